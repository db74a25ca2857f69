// The command line's options that go together, and those that do not.
#include "driver/options.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace pl2html {
namespace {

TEST(SiteOptions, TheSiteOptionsGoTogether) {
  struct Case {
    std::vector<std::string> args;
    std::string problem;
  };
  const Case cases[] = {
      {{"--prolog", "-r", "src", "-d", "out", "-j3", "--include", "*.P", "--tags", "t"}, ""},
      {{"-r", "src", "-d", "out"}, "-r needs --prolog"},
      {{"--prolog", "-r", "src"}, "-r needs -d OUT"},
      {{"--prolog", "-r", "src", "-d", "out", "a.pl"}, "-r takes no FILE arguments"},
      {{"--prolog", "-r", "src", "-d", "out", "--fragment"}, "--fragment cannot be used with -r"},
      {{"--prolog", "-r", "src", "-d", "out", "-j", "0"},
       "-j needs a number of threads from 1 to 1024"},
      {{"--prolog", "-j", "2", "a.pl"}, "-j needs -r"},
      {{"--prolog", "--tags", "tags", "a.pl"}, "--tags needs -r"},
  };
  for (const Case& c : cases) {
    Options options = ParseOptions(c.args);
    EXPECT_EQ(options.problem, c.problem) << c.args[1];
  }
  Options options = ParseOptions(cases[0].args);
  EXPECT_TRUE(options.site);
  EXPECT_EQ(options.jobs, 3u);
  EXPECT_EQ(options.include, std::vector<std::string>{"*.P"});
  EXPECT_EQ(options.tags, "t");
}

}  // namespace
}  // namespace pl2html
