// The colouring rules are shown by the examples in examples/colour.txt;
// here, what a writer of long lines relies on.
#include "scan/colour.hpp"

#include <gtest/gtest.h>

namespace pl2html {
namespace {

// A writer gathers lines in one text: a line is added after what is there,
// and a sink takes the start of a line that grows long.
TEST(ColourLine, AddsTheLineToTheOutputAndHandsLongLinesToTheSink) {
  struct Gathered final : LongLineSink {
    std::string taken;
    void TakeStart(std::string& coloured) override {
      taken += coloured;
      coloured.clear();
    }
  } sink;
  Conversion conversion;
  std::string out = "x\r\n";
  ColourLine(conversion, "f(1) 'a", out, &sink);
  ColourLine(conversion, "b' <", out, &sink);
  EXPECT_EQ(out,
            "x\r\n<font class='fonction'>f</font>(<font class='nombre'>1</font>) "
            "<font class='texte'>'ab'</font> &lt;");
  EXPECT_EQ(sink.taken, "");
  const std::string longLine(100000, 'a');
  std::string rest;
  ColourLine(conversion, longLine + " f(x)", rest, &sink);
  EXPECT_LT(rest.size(), 70000u);
  EXPECT_EQ(sink.taken + rest, longLine + " <font class='fonction'>f</font>(x)");
}

}  // namespace
}  // namespace pl2html
