// The text operations the fuzz model is written in.
#include "model_text.hpp"

#include <gtest/gtest.h>

namespace pl2html::model {
namespace {

TEST(FindText, ClampsTheStartAndFindsOverlappingOccurrences) {
  EXPECT_EQ(FindText("abcabc", "bc", 3), 5);
  EXPECT_EQ(FindText("abc", "c", 4), 0);
  EXPECT_EQ(FindText("abc", "a", 0), 1);
  EXPECT_EQ(FindText("abc", "a", -7), 1);
  EXPECT_EQ(FindText("", "(", 1), 0);
  EXPECT_EQ(FindText("aaab", "aab", 1), 2);
  EXPECT_EQ(FindText("abc", "c", 99), 0);
}

TEST(CountText, CountsWithoutOverlap) {
  EXPECT_EQ(CountText("a b c", " "), 2);
  EXPECT_EQ(CountText("abc", "x"), 0);
  EXPECT_EQ(CountText("abc", ""), 0);
  EXPECT_EQ(CountText("", "a"), 0);
  EXPECT_EQ(CountText("aaaa", "aa"), 2);
  EXPECT_EQ(CountText("aaa", "aa"), 1);
}

TEST(FieldOf, CutsAtEverySeparatorByte) {
  struct Case {
    Text s;
    std::int32_t index;
    Text separator;
    Text field;
  } cases[] = {
      {"a  b", 2, " ", ""}, {"a  b", 3, " ", "b"}, {"abc", 1, ",", "abc"}, {"abc", 2, ",", ""},
      {"a,", 2, ",", ""},   {"a,b", 0, ",", "a"},  {"a;b", 2, ";,", "b"},  {"a,b", 1, "", "a,b"},
      {"", 1, ",", ""},     {" x", 1, " ", ""},    {" x", 2, " ", "x"},    {"a,b,c", 4, ",", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FieldOf(c.s, c.index, c.separator), c.field)
        << "field " << c.index << " of '" << c.s << "' cut at '" << c.separator << "'";
  }
}

TEST(Substrings, ClampLengthsAndStarts) {
  EXPECT_EQ(LeftOf("abc", 5), "abc");
  EXPECT_EQ(LeftOf("abc", 0), "");
  EXPECT_EQ(LeftOf("abc", -1), "");
  EXPECT_EQ(RightOf("abc", 5), "abc");
  EXPECT_EQ(RightOf("abc", 1), "c");
  EXPECT_EQ(RightOf("abc", -2), "");
  EXPECT_EQ(MidOf("abcdef", 0, 2), "ab");
  EXPECT_EQ(MidOf("abcdef", -5, 2), "ab");
  EXPECT_EQ(MidOf("abc", 4, 1), "");
  EXPECT_EQ(MidOf("abc", 2, 10), "bc");
  EXPECT_EQ(MidOf("abc", 2, 0), "");
  EXPECT_EQ(MidOf("abc", 2, -3), "");
}

TEST(TrimText, RemovesSpacesOnlyAtTheEnds) {
  EXPECT_EQ(TrimText("   "), "");
  EXPECT_EQ(TrimText("\ta "), "\ta");
  EXPECT_EQ(TrimText("  a b  "), "a b");
  EXPECT_EQ(TrimText(""), "");
}

TEST(ReplaceText, ReplacesLeftToRightWithoutRescanning) {
  EXPECT_EQ(ReplaceText("a<b<<c", "<", "&lt;"), "a&lt;b&lt;&lt;c");
  EXPECT_EQ(ReplaceText("aaa", "aa", "b"), "ba");
  EXPECT_EQ(ReplaceText("", "<", "&lt;"), "");
  EXPECT_EQ(ReplaceText("<", "<", "<<"), "<<");
}

}  // namespace
}  // namespace pl2html::model
