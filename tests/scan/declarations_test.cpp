#include "scan/declarations.hpp"

#include <gtest/gtest.h>

#include "support/word_table_probe.hpp"

namespace pl2html {
namespace {

// The type words a file teaches beyond the seven built-in ones, in order.
std::vector<std::string> Learned(const std::vector<std::string>& lines) {
  Conversion conversion;
  DeclarationScan scan(conversion);
  for (const std::string& line : lines)
    scan.ScanLine(line);
  scan.EndScan();
  const auto words = WordTableProbe::Words(conversion.typeWords);
  return {words.begin() + 7, words.end()};
}

using Words = std::vector<std::string>;

TEST(DeclarationScan, LearnsResultAndParameterTypes) {
  EXPECT_EQ(Learned({"int main(void)"}), Words{});
  EXPECT_EQ(Learned({"int main()"}), Words{""});
  EXPECT_EQ(Learned({"double area(shape s)"}), Words{"shape"});
  EXPECT_EQ(Learned({"node build(char* s, node n)"}), Words{"node"});
  EXPECT_EQ(Learned({"int f (x)"}), Words{"x"});
  EXPECT_EQ(Learned({"a (b)"}), (Words{"a", "b"}));
  EXPECT_EQ(Learned({"dynamic (foo/1)."}), (Words{"dynamic", "foo/1"}));
  EXPECT_EQ(Learned({"T f(  spaced  type, , last)"}), (Words{"T", "spaced", "", "last"}));
}

TEST(DeclarationScan, RemovesOnlyOneTrailingStar) {
  EXPECT_EQ(Learned({"void f(char **p)"}), Words{});
  EXPECT_EQ(Learned({"void f(char** p)"}), Words{"char*"});
  EXPECT_EQ(Learned({"void f(*)"}), Words{""});
}

TEST(DeclarationScan, IgnoresLinesThatAreNotDeclarations) {
  EXPECT_EQ(Learned({"nospace(x)", "X is (A+B)", "f(a) :- g(b).", "mytype *make(FILE *f)"}),
            Words{});
  EXPECT_EQ(Learned({"int f\t(x)"}), Words{});
  EXPECT_EQ(Learned({"int f x(y)"}), Words{});
  EXPECT_EQ(Learned({"\xE9t\xE9 f(x)"}), (Words{"\xE9t\xE9", "x"}));
}

TEST(DeclarationScan, PrologLinesIndentedByOneSpaceCanMatch) {
  EXPECT_EQ(Learned({" foo(X, Y) :- bar."}), (Words{"", "X", "Y"}));
  EXPECT_EQ(Learned({"  foo(X)"}), Words{});  // the second field is empty, the third "foo(X)"
}

TEST(DeclarationScan, LinesOfSpacesAndParenthesesAreSettledByTheirFields) {
  // Lines are first sorted out by their first bytes; these pass or fail on
  // the second or third byte, where an empty word may still be a field.
  EXPECT_EQ(Learned({" (x)"}), (Words{"", "x"}));
  EXPECT_EQ(Learned({"  (x)"}), (Words{"", "x"}));
  EXPECT_EQ(Learned({" ("}), Words{""});  // never closed
  EXPECT_EQ(Learned({"   (x)", " ", "  ", "(x)", "\t(x)", " \t(x)", ""}), Words{});
}

TEST(DeclarationScan, JoinsParameterListsOverSeveralLines) {
  EXPECT_EQ(Learned({"void f(", "int a,", "long b)", "other g(h)"}), (Words{"long", "other", "h"}));
  // Continuation lines are not examined as declarations themselves.
  EXPECT_EQ(Learned({"void f(", "mine x(y)"}), Words{"mine"});
  EXPECT_EQ(Learned({"void f(a", "", "b)"}), Words{"ab"});
  EXPECT_EQ(Learned({"void f(", "\tint a)"}), Words{"\tint"});
}

TEST(DeclarationScan, AnUnclosedListOffersTheEmptyWordAtTheEnd) {
  EXPECT_EQ(Learned({"void g(int a", "more, text, with commas", "last"}), Words{""});
  EXPECT_EQ(Learned({"void g(int a"}), Words{""});
}

}  // namespace
}  // namespace pl2html
