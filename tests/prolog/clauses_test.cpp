#include "prolog/clauses.hpp"

#include <gtest/gtest.h>

#include "../prolog_page/hand_tokens.hpp"

namespace pl2html::prolog {
namespace {

// The clauses of a hand-spelled token stream, each as "head | calls", e.g.
// "foo/1 | bar/2 baz/0"; a directive's head is ":-", no head is "-".
std::vector<std::string> Read(std::string_view spelled) {
  test::HandTokens hand = test::Tokens(spelled);
  ClauseReader reader;
  std::vector<std::string> clauses;
  auto describe = [&](const Clause& clause) {
    std::string line = clause.directive ? ":-"
                       : clause.hasHead ? clause.head.name + "/" + std::to_string(clause.head.arity)
                                        : "-";
    line += " |";
    for (const CallSite& call : clause.calls) {
      line += " " + call.name + "/" + std::to_string(call.arity);
    }
    clauses.push_back(line);
  };
  for (const Token& t : hand.tokens) {
    if (reader.Push(t.cls, std::string_view(hand.text).substr(t.begin, t.end - t.begin))) {
      describe(reader.Last());
    }
  }
  if (reader.Finish()) describe(reader.Last());
  return clauses;
}

using Clauses = std::vector<std::string>;

TEST(ClauseReader, HeadsOfFactsRulesAndGrammarRules) {
  EXPECT_EQ(Read("foo . / bar ( a , f ( b , c ) ) . / baz ( ) ."),
            (Clauses{"foo/0 |", "bar/2 |", "baz/0 |"}));
  EXPECT_EQ(Read("p ( X ) ~ :- ~ q ( X ) . / s ~ --> ~ [ a ] , ~ t ( 1 ) ."),
            (Clauses{"p/1 | q/1", "s/2 | t/3"}));
  // A quoted name is the atom it quotes.
  EXPECT_EQ(Read("'it''s' ( X ) . / '''' ( X ) . / 'a''''' ( X ) ."),
            (Clauses{"it's/1 |", "'/1 |", "a''/1 |"}));
  // Directives have no head; operator terms and qualified heads are not
  // plain predicate heads.
  EXPECT_EQ(Read(":- ~ initialization ( main ) . / a ~ = ~ b . / m : h ( X ) ~ :- ~ g ."),
            (Clauses{":- | initialization/1", "- |", "- |"}));
}

TEST(ClauseReader, CallsAndBareGoals) {
  // A name directly before "(" is a call; a bare name is a goal only where
  // goals start and end, not as an argument or an operand.
  EXPECT_EQ(
      Read("p ~ :- ~ a , ~ b ( X , g ( Y ) ) , ~ ( c ~ ; ~ \\+ ~ d ) , ~ X ~ = ~ e , ~ f ~ ."),
      (Clauses{"p/0 | a/0 b/2 g/1 c/0 d/0 f/0"}));
  // "(" after a blank is a grouping, not arguments.
  EXPECT_EQ(Read("p ~ :- ~ \\+ ~ ( r , ~ s ) ."), (Clauses{"p/0 | r/0 s/0"}));
  // A grammar body calls nonterminals (two more arguments) except inside { }.
  EXPECT_EQ(Read("s ~ --> ~ x , ~ { ~ y ( 1 ) ~ } , ~ ( z ~ ; ~ [ ] ) ."),
            (Clauses{"s/2 | x/2 y/1 z/2"}));
}

TEST(ClauseReader, UnfinishedSourceStillEnds) {
  // No full stop at the end; a call whose arguments never close is dropped.
  EXPECT_EQ(Read("p ~ :- ~ q ( 1 ) , ~ r ( 2"), (Clauses{"p/0 | q/1"}));
  EXPECT_EQ(Read("p ( a"), (Clauses{"- |"}));
  EXPECT_EQ(Read(") ) ] . / q ."), (Clauses{"- |", "q/0 |"}));
}

}  // namespace
}  // namespace pl2html::prolog
