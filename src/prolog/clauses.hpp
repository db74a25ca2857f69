// The clause structure of Prolog source, read from its tokens alone: where
// each clause's head is and what it defines (name/arity), and which
// predicates its body calls. It walks bracket depth and a few operators
// rather than parsing terms, which is enough to link calls to definitions
// and never fails on source that is not Prolog.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "prolog/lexer.hpp"

namespace pl2html::prolog {

// A predicate named in a clause, as its head or as a call: at its name token, the `nameIndex`-th
// name token (atom or quoted atom) of the source, counted from 0.
struct CallSite {
  std::uint64_t nameIndex = 0;
  std::string name;  // a quoted atom's name without its quotes
  int arity = 0;
  // Stands where a goal does in a body, not in another term's arguments
  // ("q" in "p :- q(X)", not in "p :- member(q(X), L)").
  bool goal = false;
};

// What one clause says, once its full stop (or the end of the source) is seen.
struct Clause {
  bool directive = false;    // ":- Goal." or "?- Goal."
  bool grammarRule = false;  // "Head --> Body.": the head's arity counts two more
  bool hasHead = false;      // a predicate head: a plain clause, or the head of ":-" or "-->"
  CallSite head;
  std::vector<CallSite> calls;  // in source order
};

// Feeds on the tokens of a source in order and tells when a clause is
// complete. Layout and comments may be pushed too; they are skipped.
class ClauseReader {
 public:
  // Reads one token; true when it completed a clause, which Last() then
  // describes until the next Push.
  bool Push(TokenClass cls, std::string_view text) {
    // Layout and comments only end a name's chance to be a call ("f (" is
    // no call) and clear a finished clause: most of them do nothing at all.
    if ((cls == TokenClass::kLayout || cls == TokenClass::kComment) && !nameBefore_ && !finished_)
      return false;
    return PushToken(cls, text);
  }
  // The source has ended: true when it left a clause without its full stop.
  bool Finish();
  const Clause& Last() const { return clause_; }

  // While a clause is read: the leading calls whose arity is known and can no
  // longer change (none of them is inside arguments still open). A caller
  // that takes them as they come and drops them keeps a long clause from
  // gathering all its calls; Last() then holds only the calls not dropped.
  std::span<const CallSite> SettledCalls() const {
    std::size_t settled = openCalls_.empty()
                              ? clause_.calls.size()
                              : static_cast<std::size_t>(openCalls_.front() - dropped_);
    return {clause_.calls.data(), settled};
  }
  void DropSettledCalls();
  // The clause's head is complete: its body is being read.
  bool InBody() const { return phase_ == Phase::kBody; }
  // No significant token of the coming clause has been seen yet.
  bool AwaitsClause() const { return phase_ == Phase::kStart; }

 private:
  enum class Phase : std::uint8_t { kStart, kHead, kAfterHead, kBody, kSkip };
  // An open bracket: "(" of a compound's arguments, or a grouping.
  struct Frame {
    char close = ')';
    bool goals = false;    // its contents are goals (a grouping in a body)
    bool grammar = false;  // goals here are grammar-rule nonterminals
    bool empty = true;     // nothing inside yet: "f()"
    int commas = 0;        // at its own depth
    int owner = -1;        // the call whose arguments these are; -2 the head
  };

  bool PushToken(TokenClass cls, std::string_view text);
  void Significant(TokenClass cls, std::string_view text);
  void Name(TokenClass cls, std::string_view text);
  void CloseBracket();
  void AfterHead(TokenClass cls, std::string_view text);
  bool EndClause();
  void StartBody(bool grammar);
  bool InGoals() const;
  bool InGrammar() const;

  Phase phase_ = Phase::kStart;
  Clause clause_;
  bool finished_ = false;  // clause_ holds a complete clause until the next Push
  std::uint64_t names_ = 0;
  std::vector<Frame> frames_;
  std::vector<std::int64_t> openCalls_;  // the calls whose frames are open, oldest first
  std::int64_t dropped_ = 0;             // calls of this clause dropped by the caller
  // The previous token was a name: it is a call or head if "(" follows at once.
  bool nameBefore_ = false;
  CallSite pending_;
  bool pendingIsHead_ = false;
  // A bare atom that is a goal if a goal's end follows.
  bool bareGoal_ = false;
  // A goal may start here: after ":-", ",", ";", "->" and the like.
  bool goalMayStart_ = false;
  bool grammarBody_ = false;
};

// A name as the reader sees it: a quoted atom without its quotes, doubled
// quotes single.
std::string NameOf(TokenClass cls, std::string_view text);
// The same into `name`, in the memory it already has.
void AssignNameOf(std::string& name, TokenClass cls, std::string_view text);

}  // namespace pl2html::prolog
