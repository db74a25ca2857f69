// A Prolog source read in blocks and lexed as it comes, for every pass that
// needs its tokens: the Prolog page's two passes and the site's facts. None
// holds the source whole, and a source that is not UTF-8 is read again as
// Latin-1 in one place.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "prolog/lexer.hpp"
#include "runtime/stream.hpp"

namespace pl2html::prolog {

// The source is read in blocks of this size.
inline constexpr std::size_t kSourceBlock = 1 << 16;

// The text of a source from where the lexer is on: the bytes it has not
// settled yet and those read after them. A source held in memory is taken
// where it is; any other is read into a buffer of this window's own, which
// grows to the longest text kept.
class SourceText {
 public:
  explicit SourceText(Source& source) : source_(source), memory_(source.InMemory()) {}

  // Up to `want` bytes more; true when the source has no more.
  bool Read(std::size_t want) {
    if (memory_.data() != nullptr) {
      end_ = std::min(memory_.size(), end_ + want);
      return end_ == memory_.size();
    }
    if (capacity_ < kept_ + want) {
      std::size_t grown = std::max(capacity_ * 2, kept_ + want);
      auto larger = std::make_unique_for_overwrite<char[]>(grown);
      if (kept_ > 0) std::memcpy(larger.get(), buffer_.get(), kept_);
      buffer_ = std::move(larger);
      capacity_ = grown;
    }
    std::size_t got = source_.Read(buffer_.get() + kept_, want);
    kept_ += got;
    return got == 0;
  }
  std::string_view Text() const {
    if (memory_.data() != nullptr) return memory_.substr(begin_, end_ - begin_);
    return {buffer_.get(), kept_};
  }
  // The first `size` bytes of the text are done with.
  void Drop(std::size_t size) {
    if (memory_.data() != nullptr) {
      begin_ += size;
      return;
    }
    kept_ -= size;
    if (kept_ > 0) std::memmove(buffer_.get(), buffer_.get() + size, kept_);
  }

 private:
  Source& source_;
  std::string_view memory_;
  std::size_t begin_ = 0, end_ = 0;  // the text in memory_
  std::unique_ptr<char[]> buffer_;
  std::size_t capacity_ = 0;
  std::size_t kept_ = 0;  // the text at the start of buffer_
};

// Hands each run of tokens that `lexer` settles to `visit(text, tokens)`,
// which returns false to stop; false when it did. The text the lexer cannot
// settle yet is kept and handed to it again with the next block; when it
// settles nothing, the next read is as long as all that is kept, so that a
// token of any length is lexed a bounded number of times over. Read as
// UTF-8, a leading byte-order mark is no part of the text: the lexer never
// sees it and the page leaves it out. `lexer` is a Lexer, or a replay of
// the tokens it made before (TokenLog::Replay).
template <class AnyLexer, class Visit>
bool LexSource(Source& source, Encoding encoding, AnyLexer& lexer, Visit&& visit) {
  SourceText window(source);
  std::size_t want = kSourceBlock;
  bool atStart = encoding == Encoding::kUtf8;
  std::vector<Token> tokens;
  for (;;) {
    bool atEnd = window.Read(want);
    if (atStart) {
      if (window.Text().size() < kByteOrderMark.size() && !atEnd) continue;  // too little yet
      atStart = false;
      if (window.Text().starts_with(kByteOrderMark)) window.Drop(kByteOrderMark.size());
    }
    std::string_view text = window.Text();
    tokens.clear();
    std::size_t taken = lexer.Lex(text, atEnd, tokens);
    if (!visit(text.substr(0, taken), std::span<const Token>(tokens))) return false;
    if (atEnd) return true;
    want = taken == 0 ? std::max(kSourceBlock, text.size()) : kSourceBlock;
    window.Drop(taken);
  }
}

// Reads the whole source as UTF-8, and once more from its start as Latin-1
// (every byte a character) when it turns out not to be UTF-8: when `visit`
// stops the reading or `finish` returns false at its end. Each reading
// begins with `begin(encoding)`, which sets its reader up afresh; the
// Latin-1 reading is the last whatever `finish` says. Returns the encoding
// of the reading that stood.
template <class Begin, class Visit, class Finish>
Encoding ReadSource(Source& source, Begin&& begin, Visit&& visit, Finish&& finish) {
  begin(Encoding::kUtf8);
  Lexer utf8(Encoding::kUtf8);
  if (LexSource(source, Encoding::kUtf8, utf8, visit) && finish()) return Encoding::kUtf8;
  source.Rewind();
  begin(Encoding::kLatin1);
  Lexer latin1(Encoding::kLatin1);
  LexSource(source, Encoding::kLatin1, latin1, visit);
  finish();
  return Encoding::kLatin1;
}

}  // namespace pl2html::prolog
