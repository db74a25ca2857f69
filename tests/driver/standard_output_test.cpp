// A page asked for on standard output when the program has none, as a
// Windows program started without a console or a redirection.
#include <gtest/gtest.h>

#include "convert/convert.hpp"
#include "support/memory_file_system.hpp"

namespace pl2html {
namespace {

class NoStandardOutput : public MemoryFileSystem {
 public:
  FileHandle StandardOutput() override { return 0; }
};

TEST(ConvertSource, AMissingStandardOutputIsAFailureNotASuccess) {
  NoStandardOutput fs;
  fs.files["a.pl"] = "a.\r\n";
  Outcome outcome = ConvertSource(fs, "a.pl", {{}, true}, "a.pl");
  EXPECT_EQ(outcome.failure, Failure::kCannotWrite);
  EXPECT_EQ(Describe(outcome), "page cannot be written (no standard output)");
  EXPECT_EQ(fs.OpenHandles(), 0u);
}

}  // namespace
}  // namespace pl2html
