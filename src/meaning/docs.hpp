// The documentation of a source's predicates: its structured comments
// ("%!", "%%", "/** */") read as SWI-Prolog 9.0.4's cross-referencer reads
// them (xref_source/2 with comments(collect), which hands them to pldoc):
// each documented predicate with its summary sentence, as xref_comment/4
// gives it, and its mode lines, as xref_mode/3 gives them.
// docs/documentation.md tells what SWI-Prolog does and where it surprises.
//
// The reader rides on the first pass, which reads the clauses anyway: the
// pass hands it each comment token as it pushes it (Comment) and each
// clause from its ClauseStream visitor (Clause). Which clauses SWI-Prolog
// can read depends on the operators the file declares, which that pass
// (the cross-referencer's) knows. A comment counts for the clause that
// follows it, read after that clause was (so a module/2 directive already
// names the module of the comment before it); comments inside a clause,
// before a clause SWI-Prolog cannot read, or after the last clause count
// for nothing. A plain comment costs a look at its first bytes; only
// structured ones are kept until their clause comes, in buffers reused
// from clause to clause.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "meaning/clause_stream.hpp"
#include "meaning/xref.hpp"
#include "prolog/lexer.hpp"
#include "prolog/operators.hpp"
#include "prolog/terms.hpp"

namespace pl2html::meaning {

// What a mode line says of a predicate's solutions: "is det" and the like.
enum class Determinism : std::uint8_t {
  kUnknown,  // no "is"
  kDet,
  kSemidet,
  kNondet,
  kMulti,
  kFailure,
  kUndefined,
};
std::string_view DeterminismName(Determinism det);  // "det", ..., "unknown"

// One mode line, "append(?List1, ?List2, ?List3) is det.".
struct DocMode {
  // The mode as written, without its full stop; the comment's "%!" or " *"
  // prefixes are left out where it runs over several lines.
  std::string text;
  // The predicate it is of, qualified only where the line qualifies it; a
  // grammar rule's "name(...)//" counts its two extra arguments.
  PredicateKey predicate;
  // Its head as xref_mode/3 gives it, every argument reduced to its mode and
  // type ("?List1" to ?(any), "+X:list" to +(list), a grammar rule's two
  // extra arguments ?(list)), written canonically: atoms bare when they are
  // a lower-case ASCII letter and letters, digits and "_", else in single
  // quotes (a quote or backslash inside escaped with a backslash); no
  // operators; lists in brackets; every variable _N, N counted from 0 in
  // order of appearance. "append('?'(any),'?'(any),'?'(any))".
  std::string head;
  Determinism det = Determinism::kUnknown;
};

// A structured comment that documents predicates: pldoc's mode lines, then
// the summary sentence.
struct DocComment {
  std::uint64_t offset = 0;  // where the comment starts, in bytes from the source's start
  std::uint64_t line = 0;    // and on which line, from 1
  // The predicate it documents, the first of its mode lines, as
  // xref_comment/4 names it: qualified by a module unless the module is
  // the file's own (so a file that is no module qualifies it with user).
  PredicateKey predicate;
  // The predicates of its further mode lines, each once, which share its
  // summary; never qualified.
  std::vector<PredicateKey> links;
  // The first sentence (UTF-8): up to a ".", "!" or "?" before a blank or
  // the line's end, a blank line, a line starting with "@" or the comment's
  // end, runs of blanks made one space, a "." added where the comment ran
  // out. Wiki markup stays as written.
  std::string summary;
  std::vector<DocMode> modes;
};

class DocReader {
 public:
  // `encoding` is the lexer's: bytes of a Latin-1 source are characters of
  // their own. `partSize` is the lexer's too, to join the parts of a long
  // comment again.
  explicit DocReader(prolog::Encoding encoding = prolog::Encoding::kUtf8,
                     std::size_t partSize = prolog::Lexer::kPartSize);
  ~DocReader();
  DocReader(const DocReader&) = delete;
  DocReader& operator=(const DocReader&) = delete;

  // Every comment token of the source, in order, `offset` its first byte's
  // from the source's start. SWI-Prolog's reader makes "%" comments on
  // lines that follow each other, each "%" at the start of its line, one
  // comment; so does this.
  void Comment(std::string_view text, std::uint64_t offset);
  // Each clause, as ClauseStream visits it (`clause` nullptr where
  // SWI-Prolog's reader raises a syntax error), after the cross-referencer
  // processed it. `stream` tells the lines of the comments before it.
  void Clause(const prolog::TermReader& reader, const prolog::Term* clause,
              const ClauseStream& stream);
  // The end of the source.
  void Finish();

  // The comments that document predicates, in the order of the source.
  const std::vector<DocComment>& Comments() const { return comments_; }

  // After Finish: the comment whose summary xref_comment/4 gives first for
  // `predicate` (its own first comment, else the first comment of the
  // predicate its first link leads to), or nullptr.
  const DocComment* Find(const PredicateKey& predicate) const;
  // After Finish: every answer of xref_comment/4, in its order, as
  // visit(predicate, comment): every comment's predicate, then every link
  // with each comment of the predicate it leads to. (Files can make those
  // many: n comments of one predicate and n links to it make n * n.)
  template <typename Visit>
  void ForEachSummary(Visit visit) const {
    for (const DocComment& c : comments_)
      visit(c.predicate, c);
    for (const Link& link : links_)
      for (std::uint32_t to : documenting_.at(*link.to))
        visit(*link.from, comments_[to]);
  }

 private:
  struct Pending {
    std::uint64_t offset;
    std::size_t begin, end;  // in text_
  };
  class Parse;  // docs.cpp: one structured comment as pldoc parses it, a thread's buffers
  struct Link {
    const PredicateKey* from;
    const PredicateKey* to;  // documented in this file
  };
  void Document(const Pending& comment, std::uint64_t line);
  void Drop();

  prolog::Encoding encoding_;
  std::size_t partSize_;
  // The comment token before, to join lines and parts.
  std::uint64_t lastEnd_ = 0;
  std::size_t lastSize_ = 0;
  bool lastWasLine_ = false;
  bool keeping_ = false;  // the comment being read may be a structured one
  bool done_ = false;     // end_of_file was read
  // The structured comments since the last clause, their bytes in text_.
  std::vector<Pending> pending_;
  std::string text_;
  // The modules the file declared (module/2), and the one it reads into.
  std::vector<std::string> modules_;
  std::string module_ = "user";
  std::vector<DocComment> comments_;
  // After Finish: the comments that document each predicate, by index into
  // comments_; the links, in order; for each predicate linked, the first
  // comment its links lead to.
  std::unordered_map<PredicateKey, std::vector<std::uint32_t>, PredicateKeyHash> documenting_;
  std::vector<Link> links_;
  std::unordered_map<PredicateKey, std::uint32_t, PredicateKeyHash> firstByLink_;
};

// What a hover card says of a predicate the cross-reference found defined
// in its file: the mode lines and summary of its structured comment, one a
// line, or else the head of its first clause. Empty if there is neither.
struct Documentation {
  std::vector<std::string> modes;  // "append(?List1, ?List2, ?List3) is det"
  std::string summary;
  std::string head;  // without a comment: "append(A, B, C)"
  bool Empty() const { return modes.empty() && summary.empty() && head.empty(); }
  // The lines, "\n" between them.
  std::string Text() const;
};
Documentation DocumentationOf(const Xref& xref, std::string_view name, int arity);
// The same of a predicate qualified by another module ("prolog:message/3").
Documentation DocumentationOf(const Xref& xref, const PredicateKey& key);

// A whole source held in memory, for tools and tests: lexed, its clauses
// read with *ops and its comments documented. `clauseRead`, if given, sees
// each clause before the reader does, to change *ops as a directive
// declares operators; it returns false to read no further.
void ReadDocs(std::string_view text, prolog::Encoding encoding, prolog::Operators* ops,
              DocReader& docs, const ClauseStream::Visit& clauseRead = {});

}  // namespace pl2html::meaning
