// Every example of examples.txt reads as written under it.
#include "examples.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "lex_util.hpp"

namespace pl2html::prolog::testing {
namespace {

std::vector<Example> LoadExamples() {
  std::ifstream in(PL2HTML_TEST_DATA "/prolog/examples.txt", std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return ParseExamples(text.str());
}

TEST(PrologExamples, EveryExampleReadsAsWritten) {
  const std::vector<Example> examples = LoadExamples();
  ASSERT_GE(examples.size(), 19u);
  for (const Example& e : examples) {
    ASSERT_EQ(e.error, "") << "Example " << e.title;
    const std::string got = ClassLetters(
        LexWhole(e.source, e.latin1 ? Encoding::kLatin1 : Encoding::kUtf8), e.source.size());
    EXPECT_EQ(got, e.expected) << "Example " << e.title << "\n--- expected\n"
                               << ShowClasses(e.source, e.expected) << "--- lexer\n"
                               << ShowClasses(e.source, got);
  }
}

}  // namespace
}  // namespace pl2html::prolog::testing
