// Clauses as terms, read from the lexer's tokens the way SWI-Prolog 9.0.4's
// read_term/3 reads them: the same term, the same positions for every
// subterm (what its subterm_positions option gives, in bytes instead of
// characters), and a syntax error wherever it raises one. docs/terms.md
// tells what the reader does and where SWI-Prolog surprises.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "prolog/lexer.hpp"
#include "prolog/operators.hpp"

namespace pl2html::prolog {

enum class TermKind : std::uint8_t {
  kVar,
  kAtom,
  kNumber,
  kString,      // "text"
  kBackQuoted,  // `text`
  kCompound,
  kList,
  kCurly,  // {Term}
  kDict,
  kQuasiQuotation,  // {|Syntax||Text|}
};

// How a compound was written: f(...), or with an operator.
enum class TermForm : std::uint8_t { kCanonical, kPrefix, kInfix, kPostfix };

// One node of a clause's term. Positions are byte offsets from the start of
// the source; each is what subterm_positions gives for the node.
struct Term {
  TermKind kind = TermKind::kAtom;
  TermForm form = TermForm::kCanonical;  // compounds
  std::uint8_t parentheses = 0;          // how many ( ) wrap it (255 for more)
  bool emptyList = false;    // atoms: the reserved [] of SWI-Prolog 7, not the atom '[]'
  bool hasTail = false;      // lists: "[a|T]", whose last child is the tail
  bool floatNumber = false;  // numbers: a float, not an integer or rational
  bool block = false;  // compounds: an operator written as a [...] or {...} block, which is the
                       // first child; the functor position is then 0..0, as SWI-Prolog gives it
  // Children: a compound's arguments (an operator's operands), a list's elements (and its
  // tail), the term inside {}, a dict's tag then its keys and values in turn, as written, a
  // quasi-quotation's syntax term.
  std::uint32_t arity = 0;
  std::uint32_t children = 0;  // where they start in the reader's child array
  std::uint32_t variable = 0;  // variables: their number in the clause
  // Atoms and functors: the name, quotes removed and escapes decoded; variables: the name;
  // numbers: their text as written ("-1", "0'a", "1 000"); strings: their text decoded;
  // dicts: the tag's name; quasi-quotations: the text between "||" and "|}". UTF-8, valid
  // until the next clause.
  std::string_view name;
  std::uint64_t from = 0, to = 0;  // the term itself, inside its parentheses
  // Compounds: the functor or operator; dicts: the tag; lists: the "["; {}: the "{";
  // quasi-quotations: the text between "||" and "|}"; a dict's keys: the ":" after them.
  std::uint64_t functorFrom = 0, functorTo = 0;
  std::uint64_t parenFrom = 0, parenTo = 0;  // the outermost parentheses, when there are any
};

// A clause's variables, numbered in the order they first appear. Every "_"
// is one of its own, as is the tag of "_{...}".
struct Variable {
  std::string_view name;
  std::uint32_t occurrences = 0;
};

// What a clause may hold before the reader gives up on it (see TermReader).
struct TermReaderLimits {
  std::size_t bytes = std::size_t{1} << 20;  // from the clause's first token to its full stop
  std::size_t tokens = 100000;               // tokens other than layout and comments
  std::size_t depth = 10000;
};

// Fed a source's tokens in order, each with its byte offset, every token the
// lexer makes (layout and comments too), the reader parses each clause when
// its full stop arrives and keeps its term until the next token comes.
//
// Bounds, so that any input costs time linear in its size and memory no
// more than the bounds: a clause of more source bytes or more tokens than
// its Limits, or one nested deeper, is not parsed (kTooLarge), and beyond
// the bounds its tokens are not kept. Nesting counts brackets, braces,
// parentheses and argument lists; SWI-Prolog itself fails on nesting of some
// 15,000 with its default C stack. Chains of operators ("- - - a", "a, b,
// c, ...") are not nesting: their terms can be as deep as the clause has
// tokens, so walk terms without recursion.
class TermReader {
 public:
  using Limits = TermReaderLimits;
  enum class Status : std::uint8_t {
    kNone,         // no clause yet
    kRead,         // Clause() is its term
    kSyntaxError,  // SWI-Prolog raises a syntax error for it
    kTooLarge,     // over the limits, not parsed
  };

  // The caller may change *ops between clauses, as a directive that was read
  // declares operators; the reader parses each clause with *ops as it is
  // when the clause's full stop arrives. `encoding` is the lexer's: names
  // from a Latin-1 source are converted to UTF-8. `partSize` is the lexer's
  // too, to join the parts of a long token again.
  explicit TermReader(const Operators* ops, Encoding encoding = Encoding::kUtf8, Limits limits = {},
                      std::size_t partSize = Lexer::kPartSize);

  // The next token: true when it ends a clause, which is then there to see
  // until the next call.
  bool Push(TokenClass cls, std::string_view text, std::uint64_t offset);
  // The same for tokens as the lexer hands them out, their offsets in `text`,
  // which starts at byte `base` of the source: pushes them in order until one
  // ends a clause and returns how many it took. A clause ended when status()
  // is not kNone. Cheaper than a call per token.
  std::size_t Push(std::span<const Token> tokens, std::string_view text, std::uint64_t base);
  // The end of the source: true when a clause was left without a full stop
  // (a syntax error, as for SWI-Prolog).
  bool Finish();

  Status status() const { return status_; }
  // The clause's term; nullptr unless status() is kRead.
  const Term* Clause() const;
  // From the clause's first byte to the end of its full stop (or of the source).
  std::uint64_t ClauseFrom() const { return clauseFrom_; }
  std::uint64_t ClauseTo() const { return clauseTo_; }
  // Where a syntax error was found: the token the reader stopped at.
  std::uint64_t ErrorAt() const { return errorAt_; }

  const Term& Child(const Term& t, std::uint32_t i) const {
    return terms_[childIndex_[t.children + i]];
  }
  std::span<const Term> Terms() const { return terms_; }  // every node, children before parents
  std::span<const Variable> Variables() const { return variables_; }

  TermReader(const TermReader&) = delete;
  TermReader& operator=(const TermReader&) = delete;
  ~TermReader();

 private:
  class Parser;  // terms.cpp: gathers a clause's tokens and parses them into the arrays below
  std::unique_ptr<Parser> parser_;

  Status status_ = Status::kNone;
  std::uint64_t clauseFrom_ = 0, clauseTo_ = 0, errorAt_ = 0;
  std::uint32_t root_ = 0;
  std::vector<Term> terms_;
  std::vector<std::uint32_t> childIndex_;
  std::vector<Variable> variables_;
};

}  // namespace pl2html::prolog
