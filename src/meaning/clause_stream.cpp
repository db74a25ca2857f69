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
  const std::uint64_t lines =
      static_cast<std::uint64_t>(std::count(text.begin(), text.end(), '\n'));
  if (inScriptLine_) {
    if (lines > 0) inScriptLine_ = false;
    line_ += lines;
    return;
  }
  const bool significant =
      cls != prolog::TokenClass::kLayout && cls != prolog::TokenClass::kComment;
  if (significant && clauseLine_ == 0) clauseLine_ = line_;
  line_ += lines;
  if (reader_.Push(cls, text, offset)) Deliver();
}

void ClauseStream::Finish() {
  if (stopped_) return;
  if (reader_.Finish()) Deliver();
}

void ClauseStream::Deliver() {
  std::uint64_t line = clauseLine_ == 0 ? line_ : clauseLine_;
  clauseLine_ = 0;
  if (!visit_(reader_, reader_.Clause(), line)) stopped_ = true;
}

void ReadClauses(std::string_view text, prolog::Encoding encoding, const prolog::Operators* ops,
                 const ClauseStream::Visit& visit) {
  ClauseStream stream(ops, encoding, visit);
  prolog::Lexer lexer(encoding);
  std::vector<prolog::Token> tokens;
  lexer.Lex(text, true, tokens);
  for (const prolog::Token& token : tokens)
    stream.Push(token.cls, text.substr(token.begin, token.end - token.begin), token.begin);
  stream.Finish();
}

}  // namespace pl2html::meaning
