// What the first pass learns of a source for the links between pages.
#include "site/facts.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace pl2html::site {
namespace {

std::vector<std::string> KeysOf(const std::vector<Definition>& definitions) {
  std::vector<std::string> keys;
  for (const Definition& definition : definitions)
    keys.push_back(definition.key);
  return keys;
}

TEST(Facts, ModuleExportsLoadsDefinitionsAndOutsideCalls) {
  FileFacts facts = ReadFacts(
      ":- module(shapes, [area/2, scaled//1, area/2]).\n"
      ":- use_module(library(lists/extra), [member/2]).\n"
      ":- [util, 'more/parts'].\n"
      "area(square(S), A) :- A is S * S, helper(S).\n"
      "scaled(X) --> [X].\n");
  EXPECT_TRUE(facts.isModule);
  EXPECT_EQ(facts.module, "shapes");
  EXPECT_EQ(facts.exports, (std::vector<std::string>{"area/2", "scaled/3"}));
  ASSERT_EQ(facts.loads.size(), 3u);
  EXPECT_TRUE(facts.loads[0].library);
  EXPECT_EQ(facts.loads[0].path, "lists/extra");
  EXPECT_EQ(facts.loads[0].names, std::vector<std::string>{"member/2"});
  EXPECT_EQ(facts.loads[2].path, "more/parts");
  EXPECT_EQ(KeysOf(facts.definitions), (std::vector<std::string>{"area/2", "scaled/3"}));
  EXPECT_EQ(facts.definitions[1].line, 5u);
  EXPECT_EQ(facts.outsideCalls, (std::vector<std::string>{"helper/1", "module/2", "use_module/2"}));
}

// A source that is not UTF-8 is read again as Latin-1, from scratch: what
// the first reading found before the bad byte, blocks before it, is not
// kept twice. A byte-order mark is no part of the first clause.
TEST(Facts, ReadAgainAsLatin1AndPastAByteOrderMark) {
  FileFacts latin1 = ReadFacts(":- module(m, [p/0]).\n:- use_module(library(lists)).\np.\n%" +
                               std::string(100000, 'x') + "\nq :- caf\xE9.\n");
  EXPECT_EQ(latin1.loads.size(), 1u);
  EXPECT_EQ(KeysOf(latin1.definitions), (std::vector<std::string>{"p/0", "q/0"}));
  EXPECT_EQ(latin1.outsideCalls,
            (std::vector<std::string>{"caf\xE9/0", "module/2", "use_module/1"}));

  FileFacts marked = ReadFacts("\xEF\xBB\xBF:- module(m, [p/0]).\np.\n");
  EXPECT_TRUE(marked.isModule);
  EXPECT_EQ(KeysOf(marked.definitions), std::vector<std::string>{"p/0"});
}

}  // namespace
}  // namespace pl2html::site
