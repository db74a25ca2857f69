#include "runtime/lines.hpp"

#include <bit>
#include <cstring>

namespace pl2html {

LineReader::LineReader(Fill fill, std::size_t bufferSize)
    : fill_(std::move(fill)), buffer_(bufferSize) {
  data_ = buffer_.data();
}

LineReader::LineReader(std::string_view bytes)
    : data_(bytes.data()), end_(bytes.size()), exhausted_(true) {}

bool LineReader::HaveByte() {
  if (pos_ < end_) return true;
  if (exhausted_) return false;
  std::int64_t got = fill_(buffer_.data(), buffer_.size());
  if (got <= 0) {
    exhausted_ = true;
    failed_ = got < 0;
    return false;
  }
  pos_ = 0;
  end_ = static_cast<std::size_t>(got);
  return true;
}

// A CR line end is resolved lazily, when the next byte is needed anyway: this
// keeps the previous line's view valid, since peeking might refill the buffer.
void LineReader::SkipLineFeedAfterReturn() {
  if (!afterReturn_) return;
  afterReturn_ = false;
  if (HaveByte() && data_[pos_] == '\n') ++pos_;
}

bool LineReader::AtEnd() {
  SkipLineFeedAfterReturn();
  return !HaveByte();
}

namespace {
bool EndsLine(char c) {
  return static_cast<unsigned char>(c) <= 13 && (c == '\n' || c == '\r' || c == '\0');
}

constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
constexpr std::uint64_t kHighBits = kOnes << 7;

// Flags, in the top bit of each byte, the bytes of `word` below `limit`
// (at most 128). Only the lowest flag is sure: a borrow can flag bytes above
// a flagged byte too.
constexpr std::uint64_t BytesBelow(std::uint64_t word, std::uint64_t limit) {
  return (word - kOnes * limit) & ~word & kHighBits;
}

// The first byte of data[at, end) that ends a line (LF, CR or 0), or `end`.
// Line ends are rare, so the bytes are tested eight at a time, first for any
// byte below 14 (a tab gets through this test too), then for the three line
// ends; the lowest flag is the first line end, the later flags do not matter.
std::size_t FindLineEnd(const char* data, std::size_t at, std::size_t end) {
  if constexpr (std::endian::native == std::endian::little) {
    while (end - at >= 8) {
      std::uint64_t word;
      std::memcpy(&word, data + at, sizeof word);
      if (BytesBelow(word, 14) != 0) {
        std::uint64_t ends = BytesBelow(word, 1) | BytesBelow(word ^ (kOnes * '\n'), 1) |
                             BytesBelow(word ^ (kOnes * '\r'), 1);
        if (ends != 0) return at + static_cast<std::size_t>(std::countr_zero(ends)) / 8;
      }
      at += 8;
    }
  }
  while (at < end && !EndsLine(data[at]))
    ++at;
  return at;
}

}  // namespace

std::string_view LineReader::ReadLine() {
  SkipLineFeedAfterReturn();
  spill_.clear();
  bool spilled = false;
  while (HaveByte()) {
    std::size_t start = pos_;
    std::size_t at = FindLineEnd(data_, start, end_);
    if (at == end_) {
      // The line goes on past this buffer: keep what we have and refill.
      spill_.append(data_ + start, at - start);
      spilled = true;
      pos_ = at;
      continue;
    }
    pos_ = at + 1;
    afterReturn_ = data_[at] == '\r';
    std::string_view piece(data_ + start, at - start);
    if (!spilled) return piece;
    spill_.append(piece);
    return spill_;
  }
  return spill_;
}

}  // namespace pl2html
