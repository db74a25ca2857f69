// The clauses of a source, one term at a time, from its tokens: the term
// reader fed in order, the line of each clause counted, and a first line
// starting with "#" (a script's "#!" line) left out, as SWI-Prolog's
// source tools leave it out.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>
#include <utility>
#include <vector>

#include "prolog/lexer.hpp"
#include "prolog/operators.hpp"
#include "prolog/terms.hpp"

namespace pl2html::meaning {

class ClauseStream {
 public:
  // Called for every clause: its term (nullptr where SWI-Prolog's reader
  // would raise a syntax error) and the line it starts on. Returns false
  // to read no further (the clause "end_of_file.").
  using Visit = std::function<bool(const prolog::TermReader& reader, const prolog::Term* clause,
                                   std::uint64_t line)>;

  ClauseStream(const prolog::Operators* ops, prolog::Encoding encoding, Visit visit);

  // Every token of the source in order; `offset` counts bytes from its start.
  void Push(prolog::TokenClass cls, std::string_view text, std::uint64_t offset);
  void Finish();

  // During a visit: the line of a byte of the clause (or of the layout
  // before it), from 1. Lines end at LF, CR LF and a CR alone.
  std::uint64_t LineOf(std::uint64_t offset) const;

 private:
  void Deliver();
  void CountLines(std::string_view text, std::uint64_t offset);

  prolog::TermReader reader_;
  Visit visit_;
  bool stopped_ = false;
  bool atStart_ = true;
  bool inScriptLine_ = false;
  std::uint64_t line_ = 1;        // of the next byte pushed
  std::uint64_t clauseLine_ = 0;  // of the current clause's first token; 0: none yet
  bool afterCr_ = false;
  // Where each line since the last clause starts, and its number.
  std::vector<std::pair<std::uint64_t, std::uint64_t>> breaks_;
  std::uint64_t firstLine_ = 1, firstLineStart_ = 0;
};

// A whole source held in memory, lexed and read. `lines`, when given,
// points to the stream while it reads, for the lines of its offsets.
void ReadClauses(std::string_view text, prolog::Encoding encoding, const prolog::Operators* ops,
                 const ClauseStream::Visit& visit, const ClauseStream** lines = nullptr);

}  // namespace pl2html::meaning
