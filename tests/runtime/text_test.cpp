#include "runtime/text.hpp"

#include <gtest/gtest.h>

namespace pl2html {
namespace {

TEST(TrimSpaces, RemovesSpacesOnlyAtTheEnds) {
  EXPECT_EQ(TrimSpaces("   "), "");
  EXPECT_EQ(TrimSpaces("\ta "), "\ta");
  EXPECT_EQ(TrimSpaces("  a b  "), "a b");
  EXPECT_EQ(TrimSpaces(""), "");
}

TEST(AppendEscapingLessThan, EscapesEveryLessThanAndNothingElse) {
  std::string escaped = "kept ";
  AppendEscapingLessThan(escaped, "x<<y>&");
  EXPECT_EQ(escaped, "kept x&lt;&lt;y>&");
}

}  // namespace
}  // namespace pl2html
