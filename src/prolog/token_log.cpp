#include "prolog/token_log.hpp"

namespace pl2html::prolog {

// A record is one byte, the class in its low four bits and the length in
// its high four, for tokens of 1 to 15 bytes (most of them); else the
// class alone, then the length in 7-bit groups, lowest first.
void TokenLog::Record(std::span<const Token> tokens) {
  if (full_) return;
  char* at = at_;
  for (const Token& token : tokens) {
    if (limitOfChunk_ - at < static_cast<std::ptrdiff_t>(kMaxRecord)) {
      at_ = at;
      if ((chunks_.size() + 1) * kChunk > limit_) {
        Clear();
        full_ = true;
        return;
      }
      StartChunk();
      at = at_;
    }
    const auto cls = static_cast<unsigned char>(token.cls);
    std::size_t size = token.end - token.begin;
    if (size - 1 < 15) {
      *at++ = static_cast<char>(cls | size << 4);
      continue;
    }
    *at++ = static_cast<char>(cls);
    for (; size >= 0x80; size >>= 7)
      *at++ = static_cast<char>(0x80 | (size & 0x7F));
    *at++ = static_cast<char>(size);
  }
  at_ = at;
  NoteChunkSize();
}

void TokenLog::NoteChunkSize() {
  if (!chunks_.empty())
    chunks_.back().size = static_cast<std::size_t>(at_ - chunks_.back().bytes.get());
}

void TokenLog::StartChunk() {
  NoteChunkSize();
  Chunk& chunk = chunks_.emplace_back();
  chunk.bytes = std::make_unique_for_overwrite<char[]>(kChunk);
  at_ = chunk.bytes.get();
  limitOfChunk_ = at_ + kChunk;
}

void TokenLog::Clear() {
  chunks_.clear();
  chunks_.shrink_to_fit();
  at_ = limitOfChunk_ = nullptr;
  full_ = false;
}

std::size_t TokenLog::Replay::Lex(std::string_view text, bool atEnd, std::vector<Token>& out) {
  std::size_t pos = Replayed(text, out);
  // A source that changed since it was lexed: no byte of it is lost.
  if (atEnd && pos < text.size()) {
    out.push_back(Token{pos, text.size(), TokenClass::kLayout});
    pos = text.size();
  }
  return pos;
}

std::size_t TokenLog::Replay::Replayed(std::string_view text, std::vector<Token>& out) {
  std::size_t pos = 0;
  for (; chunk_ < log_.chunks_.size(); ++chunk_, at_ = 0) {
    const Chunk& chunk = log_.chunks_[chunk_];
    const auto* bytes = reinterpret_cast<const unsigned char*>(chunk.bytes.get());
    std::size_t at = at_;
    while (at < chunk.size) {
      const std::size_t head = bytes[at];
      std::size_t next = at + 1;
      std::size_t size = head >> 4;
      if (size == 0) {
        for (int shift = 0;; shift += 7) {
          const std::size_t byte = bytes[next++];
          size |= (byte & 0x7F) << shift;
          if (byte < 0x80) break;
        }
      }
      // A token that runs past this piece of the source waits for more.
      if (size > text.size() - pos) {
        at_ = at;
        return pos;
      }
      out.push_back(Token{pos, pos + size, static_cast<TokenClass>(head & 0xF)});
      pos += size;
      at = next;
    }
  }
  return pos;
}

}  // namespace pl2html::prolog
