// What the first pass learns of a source for the links between pages,
// the files it loads found in the tree.
#include "site/facts.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "site/tree_loader.hpp"
#include "support/memory_file_system.hpp"

namespace pl2html::site {
namespace {

std::vector<std::string> KeysOf(const std::vector<Definition>& definitions) {
  std::vector<std::string> keys;
  for (const Definition& definition : definitions)
    keys.push_back(definition.key);
  return keys;
}

TEST(Facts, DefinitionsExportsAndCallsResolvedInTheTree) {
  MemoryFileSystem fs;
  fs.files = {
      {"src/app/shapes.pl",
       ":- module(shapes, [area/2, scaled//1]).\n"
       ":- use_module(library(lists)).\n"
       ":- use_module('../util/geometry').\n"
       ":- use_module(library(tools/extra)).\n"
       "area(square(S), A) :- A is S * S, helper(S), square(S, A), last([S], _).\n"
       "scaled(X) --> [X], { tool(X), geo:deep(X) }.\n"},
      {"src/util/geometry.pl", ":- module(geometry, [square/2]).\nsquare(S, A) :- A is S*S.\n"},
      {"src/vendor/tools/extra.pl", ":- module(extra, [tool/1]).\ntool(_).\n"},
  };
  std::vector<SourceFile> files = {
      {"app/shapes.pl", 0}, {"util/geometry.pl", 0}, {"vendor/tools/extra.pl", 0}};
  TreeFiles tree(fs, "src", files);
  TreeLoader loader(tree, 0);
  FileFacts facts = ReadFacts(fs.files["src/app/shapes.pl"], &loader);

  EXPECT_TRUE(facts.isModule);
  EXPECT_EQ(facts.module, "shapes");
  EXPECT_EQ(facts.exports, (std::vector<std::string>{"area/2", "scaled/3"}));
  EXPECT_EQ(KeysOf(facts.definitions), (std::vector<std::string>{"area/2", "scaled/3"}));
  EXPECT_EQ(facts.definitions[1].line, 6u);
  EXPECT_EQ(facts.definitions[1].anchor, "scaled/3");
  EXPECT_TRUE(facts.definitions[0].exported);
  // Built-ins are no file's; last/2 comes from SWI-Prolog's library, which
  // the tree does not hold; the plain path and the library are the tree's.
  EXPECT_EQ(facts.outsideCalls,
            (std::vector<OutsideCall>{{"", "helper/1", "", false},
                                      {"", "last/2", "", true},
                                      {"", "square/2", "util/geometry.pl", false},
                                      {"", "tool/1", "vendor/tools/extra.pl", false},
                                      {"geo", "deep/1", "", false}}));
  EXPECT_EQ(loader.Headers(), (std::vector<std::size_t>{1, 2}));
}

// A source that is not UTF-8 is read again as Latin-1, from scratch; its
// names stay in its own bytes. A byte-order mark is no part of the first
// clause.
TEST(Facts, ReadAgainAsLatin1AndPastAByteOrderMark) {
  FileFacts latin1 =
      ReadFacts(":- module(m, [p/0]).\np.\n%" + std::string(100000, 'x') + "\nq :- caf\xE9.\n");
  EXPECT_EQ(KeysOf(latin1.definitions), (std::vector<std::string>{"p/0", "q/0"}));
  ASSERT_EQ(latin1.outsideCalls.size(), 1u);
  EXPECT_EQ(latin1.outsideCalls[0].key, "caf\xE9/0");

  FileFacts marked = ReadFacts("\xEF\xBB\xBF:- module(m, [p/0]).\np.\n");
  EXPECT_TRUE(marked.isModule);
  EXPECT_EQ(KeysOf(marked.definitions), std::vector<std::string>{"p/0"});
}

// Clauses for another module are the file's definitions of that module's
// predicate: their callers are edges (the callee keyed with its module),
// listed apart from the page's own predicates. A record declaration's made
// clauses call what library(record) makes them call, at its line.
TEST(Facts, EdgesOfHooksAndOfARecordsMadeClauses) {
  MemoryFileSystem fs;
  fs.files = {
      {"src/m.pl",
       ":- module(m, [title/1]).\n"
       ":- use_module([library(error), library(record)]).\n"
       ":- multifile prolog:doc_category/2.\n"
       "title(T) :- prolog:doc_category(a, T).\n"
       "prolog:doc_category(a, 'A').\n"
       ":- record point(x:integer=0, y=0).\n"},
      {"src/error.pl", ":- module(error, [must_be/2]).\nmust_be(_, _).\n"},
  };
  std::vector<SourceFile> files = {{"m.pl", 0}, {"error.pl", 0}};
  TreeFiles tree(fs, "src", files);
  TreeLoader loader(tree, 0);
  FileFacts facts = ReadFacts(fs.files["src/m.pl"], &loader);
  // The record declaration's clause for library(record)'s module too.
  ASSERT_EQ(facts.otherModules.size(), 2u);
  EXPECT_EQ(CalleeKey(facts.otherModules[0]), "prolog:doc_category/2");
  EXPECT_EQ(CalleeKey(facts.otherModules[1]), "record:current_record/5");
  EXPECT_EQ(facts.otherModules[0].line, 5u);
  EXPECT_EQ(KeysOf(facts.definitions)[0], "title/1");
  auto has = [&](std::string_view callee, std::string_view caller, std::uint64_t line) {
    return std::any_of(facts.edges.begin(), facts.edges.end(), [&](const CallEdge& e) {
      return e.callee == callee && e.caller == caller && e.line == line;
    });
  };
  EXPECT_TRUE(has("prolog:doc_category/2", "title/1", 4));
  EXPECT_TRUE(has("make_point/3", "make_point/2", 6));
  EXPECT_TRUE(has("set_point_fields/4", "set_point_fields/4", 6));
  // Only the typed field's setters check their value.
  EXPECT_TRUE(has("must_be/2", "set_x_of_point/3", 6));
  EXPECT_TRUE(has("must_be/2", "set_point_field/3", 6));
  EXPECT_FALSE(has("must_be/2", "set_y_of_point/3", 6));
}

}  // namespace
}  // namespace pl2html::site
