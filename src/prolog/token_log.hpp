// The tokens of a source, kept in about a byte each: what the lexer made
// of the source the first time, handed out again without lexing it twice.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "prolog/lexer.hpp"

namespace pl2html::prolog {

class TokenLog {
 public:
  // Keeps at most `limit` bytes; past them the log is Full() and keeps
  // nothing more, and the source must be lexed again.
  explicit TokenLog(std::size_t limit) : limit_(limit) {}

  // The next tokens of the source, in order. Tokens tile the source, so
  // each is kept as its class and length.
  void Record(std::span<const Token> tokens);
  bool Full() const { return full_; }
  void Clear();

  // Hands out the recorded tokens as the lexer did: Lex has the lexer's
  // contract, over the same source.
  class Replay {
   public:
    explicit Replay(const TokenLog& log) : log_(log) {}
    std::size_t Lex(std::string_view text, bool atEnd, std::vector<Token>& out);

   private:
    std::size_t Replayed(std::string_view text, std::vector<Token>& out);
    const TokenLog& log_;
    std::size_t chunk_ = 0;  // where the next token's record is
    std::size_t at_ = 0;
  };

 private:
  // The records go in chunks of a fixed size, never moved once written: a
  // log that grew by doubling would briefly need half as much again.
  static constexpr std::size_t kChunk = 1 << 18;
  static constexpr std::size_t kMaxRecord = 11;  // a class byte and a 64-bit length
  struct Chunk {
    std::unique_ptr<char[]> bytes;
    std::size_t size = 0;
  };
  void StartChunk();
  void NoteChunkSize();  // the last chunk's records end at at_
  std::vector<Chunk> chunks_;
  char* at_ = nullptr;  // the end of the last chunk's records
  char* limitOfChunk_ = nullptr;
  std::size_t limit_;
  bool full_ = false;
};

}  // namespace pl2html::prolog
