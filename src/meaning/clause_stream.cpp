#include "meaning/clause_stream.hpp"

#include <algorithm>
#include <vector>

namespace pl2html::meaning {

ClauseStream::ClauseStream(const prolog::Operators* ops, prolog::Encoding encoding, Visit visit)
    : reader_(ops, encoding), visit_(std::move(visit)) {}

void ClauseStream::Push(prolog::TokenClass cls, std::string_view text, std::uint64_t offset) {
  if (stopped_) return;
  if (atStart_ && !text.empty()) {
    atStart_ = false;
    inScriptLine_ = text.front() == '#';
  }
  const std::uint64_t before = line_;
  CountLines(text, offset);
  if (inScriptLine_) {
    if (line_ != before) inScriptLine_ = false;
    return;
  }
  const bool significant =
      cls != prolog::TokenClass::kLayout && cls != prolog::TokenClass::kComment;
  if (significant && clauseLine_ == 0) clauseLine_ = before;
  if (reader_.Push(cls, text, offset)) Deliver();
}

// Lines end at LF, CR LF and a CR alone, as the page numbers them; a CR LF
// may be split between two tokens.
void ClauseStream::CountLines(std::string_view text, std::uint64_t offset) {
  // Most tokens hold no control character at all.
  if (std::none_of(text.begin(), text.end(),
                   [](char c) { return static_cast<unsigned char>(c) <= '\r'; })) {
    if (!text.empty()) afterCr_ = false;
    return;
  }
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c != '\n' && c != '\r') {
      afterCr_ = false;
      continue;
    }
    if (c == '\n' && afterCr_) {
      afterCr_ = false;
      breaks_.back().first = offset + i + 1;  // the line starts after the LF
      continue;
    }
    afterCr_ = c == '\r';
    ++line_;
    breaks_.emplace_back(offset + i + 1, line_);
  }
}

std::uint64_t ClauseStream::LineOf(std::uint64_t offset) const {
  auto after = std::upper_bound(breaks_.begin(), breaks_.end(), offset,
                                [](std::uint64_t o, const auto& b) { return o < b.first; });
  return after == breaks_.begin() ? firstLine_ : std::prev(after)->second;
}

void ClauseStream::Finish() {
  if (stopped_) return;
  if (reader_.Finish()) Deliver();
}

void ClauseStream::Deliver() {
  std::uint64_t line = clauseLine_ == 0 ? line_ : clauseLine_;
  clauseLine_ = 0;
  if (!visit_(reader_, reader_.Clause(), line)) stopped_ = true;
  // The line breaks of the clause are done with; the last is kept, where
  // the next clause's first line may start.
  if (!breaks_.empty()) {
    firstLine_ = breaks_.back().second;
    firstLineStart_ = breaks_.back().first;
    breaks_.clear();
    breaks_.emplace_back(firstLineStart_, firstLine_);
  }
}

void ReadClauses(std::string_view text, prolog::Encoding encoding, const prolog::Operators* ops,
                 const ClauseStream::Visit& visit, const ClauseStream** lines) {
  ClauseStream stream(ops, encoding, visit);
  if (lines != nullptr) *lines = &stream;
  prolog::Lexer lexer(encoding);
  std::vector<prolog::Token> tokens;
  lexer.Lex(text, true, tokens);
  for (const prolog::Token& token : tokens)
    stream.Push(token.cls, text.substr(token.begin, token.end - token.begin), token.begin);
  stream.Finish();
  if (lines != nullptr) *lines = nullptr;
}

}  // namespace pl2html::meaning
