#include "scan/colour.hpp"

#include <gtest/gtest.h>

namespace pl2html {
namespace {

struct Example {
  const char* line;
  const char* coloured;
};

std::string Coloured(Conversion& conversion, std::string_view line) {
  std::string out;
  ColourLine(conversion, line, out);
  return out;
}

// Colours each line on its own, with the built-in tables and quoteState 0.
void ExpectColours(const std::vector<Example>& examples) {
  for (const Example& example : examples) {
    Conversion conversion;
    EXPECT_EQ(Coloured(conversion, example.line), example.coloured) << "line: " << example.line;
    EXPECT_EQ(conversion.quoteState, kInCode) << "line: " << example.line;
  }
}

TEST(ColourLine, MarksRoutineNamesBeforeAParenthesis) {
  ExpectColours({
      {"", ""},
      {"foo(X) :- bar.", "<font class='fonction'>foo</font>(X) :- bar."},
      {"foo (X)", "<font class='fonction'>foo</font> (X)"},
      {"foo \t (X)", "<font class='fonction'>foo</font> \t (X)"},
      {"foo(X, 12) :- bar(X).",
       "<font class='fonction'>foo</font>(X, <font class='nombre'>12</font>) :- "
       "<font class='fonction'>bar</font>(X)."},
      {"X is (Y)", "X is (Y)"},
      {"if(x)", "<font class='keyWord'>if</font>(x)"},
      {"a:b(X)", "a:b(X)"},  // ':' is part of the word, which is then no routine name
      {"\xE9t\xE9(X)", "<font class='fonction'>\xE9t\xE9</font>(X)"},
      {"foo ", "foo "},
      {"foo", "foo"},
      {"(", "("},
  });
}

// Breaks are found 64 bytes at a time: words, "<" and stops on either side
// of those bounds, and lines shorter than a block, colour alike.
TEST(ColourLine, ColoursAlikeAcrossBlocksOf64Bytes) {
  const std::string pad(60, 'a');
  const std::string spaces(62, ' ');
  ExpectColours({
      {(pad + "bcdefgh(X)").c_str(),
       ("<font class='fonction'>" + pad + "bcdefgh</font>(X)").c_str()},
      {(spaces + "f(1) % c").c_str(),
       (spaces + "<font class='fonction'>f</font>(<font class='nombre'>1</font>) " +
        "<font class='comment'>% c</font>")
           .c_str()},
      {(spaces + "x<if").c_str(), (spaces + "x&lt;<font class='keyWord'>if</font>").c_str()},
      {(pad + "p :- q, 'x'").c_str(), (pad + "p :- q, <font class='texte'>'x'</font>").c_str()},
      {"p :- q, 'x'", "p :- q, <font class='texte'>'x'</font>"},
      {"int", "<font class='type'>int</font>"},
  });
}

TEST(ColourLine, MarksNumbersButNotTheLastWordOfARun) {
  ExpectColours({
      {"X is 3 + 4.", "X is <font class='nombre'>3</font> + 4."},
      {"return 0;", "<font class='keyWord'>return</font> <font class='nombre'>0</font>;"},
      {"int x;", "<font class='type'>int</font> x;"},
      {"x = 1.5e3;", "x = 1.5e3;"},
      {"X = -1,", "X = -<font class='nombre'>1</font>,"},
      {"f(1.2.3)", "<font class='fonction'>f</font>(<font class='nombre'>1.2.3</font>)"},
      {". ", "<font class='nombre'>.</font> "},
      {"12", "12"},
      {"int main(void) { return 0; }",
       "<font class='type'>int</font> <font class='fonction'>main</font>(<font "
       "class='type'>void</font>) { <font class='keyWord'>return</font> <font "
       "class='nombre'>0</font>; }"},
  });
}

TEST(ColourLine, EscapesLessThanEverywhere) {
  ExpectColours({
      {"a<b", "a&lt;b"},
      {"% a<b", "<font class='comment'>% a&lt;b</font>"},
      {"X = \"<\".", "X = <font class='texte'>\"&lt;\"</font>."},
      {"3<4", "<font class='nombre'>3</font>&lt;4"},
      {"a > b & c", "a > b & c"},
  });
}

TEST(ColourLine, MarksCommentsToTheEndOfTheLine) {
  ExpectColours({
      {"% comment", "<font class='comment'>% comment</font>"},
      {"foo. % int 'x' \"y\" #z", "foo. <font class='comment'>% int 'x' \"y\" #z</font>"},
      {"s = \"50%\".", "s = <font class='texte'>\"50%\"</font>."},
      {"X = '%'.", "X = <font class='texte'>'%'</font>."},
  });
}

TEST(ColourLine, MarksQuotedTextAndTreatsDoubledQuotesAsTwoTexts) {
  ExpectColours({
      {"X = 'it''s', Y is 3.5.",
       "X = <font class='texte'>'it'</font><font class='texte'>'s'</font>, Y is 3.5."},
      {"'a\"b'", "<font class='texte'>'a\"b'</font>"},
      {"\"a'b#c\"", "<font class='texte'>\"a'b#c\"</font>"},
      {"f('int')", "<font class='fonction'>f</font>(<font class='texte'>'int'</font>)"},
      {"foo'x'(", "foo<font class='texte'>'x'</font>("},
  });
}

TEST(ColourLine, MarksDirectiveSpans) {
  ExpectColours({
      {"#include <x> // c", "<font class='diese'>#include &lt;x></font> // c"},
      {"#define N 10", "<font class='diese'>#define N 10</font>"},
      {"#x/y", "<font class='diese'>#</font>x/y"},
      {"x #= y", "x <font class='diese'>#= y</font>"},
      {"'#'", "<font class='texte'>'#'</font>"},
  });
}

// A "/" right after "#" would leave the scan where it stands for ever; the
// "#" is written alone and the "/" goes on as code.
TEST(ColourLine, MovesOnAfterHashSlash) {
  ExpectColours({
      {"#/", "<font class='diese'>#</font>/"},
      {"X #/\\ Y", "X <font class='diese'>#</font>/\\ Y"},
      {"#/#/", "<font class='diese'>#</font>/<font class='diese'>#</font>/"},
      {"a #//b", "a <font class='diese'>#</font>//b"},
  });
}

TEST(ColourLine, CarriesOpenQuotesOverToTheNextLines) {
  Conversion conversion;
  EXPECT_EQ(Coloured(conversion, "'abc"), "<font class='texte'>'abc");
  EXPECT_EQ(conversion.quoteState, kInSingleQuotes);
  EXPECT_EQ(Coloured(conversion, "int % \"<"), "int % \"&lt;");
  EXPECT_EQ(Coloured(conversion, ""), "");
  EXPECT_EQ(Coloured(conversion, "d', e"), "d'</font>, e");
  EXPECT_EQ(conversion.quoteState, kInCode);

  EXPECT_EQ(Coloured(conversion, "#define S \"a/b\""),
            "<font class='diese'>#define S \"</font>a/b<font class='texte'>\"");
  EXPECT_EQ(conversion.quoteState, kInDoubleQuotes);
  EXPECT_EQ(Coloured(conversion, "x\" f(1)"),
            "x\"</font> <font class='fonction'>f</font>(<font class='nombre'>1</font>)");
}

TEST(ColourLine, UsesTypeWordsLearnedFromTheFile) {
  Conversion conversion;
  conversion.typeWords.Add("node");
  conversion.typeWords.Add("lt");
  EXPECT_EQ(Coloured(conversion, "node(X)"), "<font class='type'>node</font>(X)");
  EXPECT_EQ(Coloured(conversion, "a<b"), "a&<font class='type'>lt</font>;b");
  conversion.typeWords.Add("");
  EXPECT_EQ(Coloured(conversion, "f(X)"),
            "<font class='fonction'>f</font>(X)<font class='type'></font>");
  EXPECT_EQ(Coloured(conversion, "'x'"), "<font class='texte'>'x'</font>");
  EXPECT_EQ(Coloured(conversion, "a b"), "a b");
}

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
