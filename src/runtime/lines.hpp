// Splits a byte stream into lines. CR LF, CR, LF and a 0 byte each end a line
// and are not part of it; LF CR is two line ends; the last line needs no line
// end, and a line end at the very end of the input gives no extra empty line.
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "runtime/byte_masks.hpp"
#include "runtime/growable.hpp"

namespace pl2html {

// The bytes of a line that crosses refills of a reader's buffer. It passes
// from one reader to the next (LineReader::TakeSpill), so that a long line
// read twice is given memory once.
using SpillBuffer = GrowableArray<char>;

// Keeps in `kept` whichever of the two buffers has more memory.
inline void KeepLargerSpill(SpillBuffer& kept, SpillBuffer offered) {
  if (offered.Capacity() > kept.Capacity()) kept = std::move(offered);
}

class LineReader {
 public:
  // Fills `buffer` with up to `size` bytes: the count, 0 at the end, -1 on an
  // error. An error ends the input and is remembered in Failed().
  using Fill = std::function<std::int64_t(char* buffer, std::size_t size)>;

  explicit LineReader(Fill fill, std::size_t bufferSize = 1 << 16);

  // True when no byte is left.
  bool AtEnd() { return (afterReturn_ || pos_ >= end_) && AtEndOfBuffer(); }
  // The next line without its line end; empty at the end of the input. The
  // view stays valid until the next call on this reader.
  std::string_view ReadLine() {
    // Most lines end inside the buffer: they are cut here, without a call.
    if (afterReturn_ && pos_ < end_) {
      afterReturn_ = false;
      if (data_[pos_] == '\n') ++pos_;
    }
    if (!afterReturn_ && pos_ < end_) {
      const std::size_t at = NextLineEnd();
      if (at < end_) {
        const std::size_t start = pos_;
        pos_ = at + 1;
        afterReturn_ = data_[at] == '\r';
        return {data_ + start, at - start};
      }
    }
    return ReadLineSlowly();
  }

  bool Failed() const { return failed_; }

  // Hands the memory kept for long lines to another reader, or takes it.
  SpillBuffer TakeSpill() { return std::move(spill_); }
  void GiveSpill(SpillBuffer spill) { KeepLargerSpill(spill_, std::move(spill)); }

 private:
  bool AtEndOfBuffer();  // AtEnd, once the buffer may need a refill
  bool HaveByte();       // refills when the buffer is used up
  void SkipLineFeedAfterReturn();
  // The first line end at or after pos_, or end_. Blocks of 64 bytes are
  // examined as the reading reaches them; a line then costs one count of
  // trailing zeros, however short it is.
  std::size_t NextLineEnd() {
    std::size_t block = pos_ - pos_ % kMaskBlock;
    for (;;) {
      if (block >= end_) return end_;
      if (block != maskStart_) {
        maskStart_ = block;
        lineEnds_ = LineEndMask(data_ + block, std::min(kMaskBlock, end_ - block));
      }
      const std::size_t passed = pos_ > block ? pos_ - block : 0;
      if (std::uint64_t ahead = lineEnds_ >> passed << passed; ahead != 0) {
        return block + static_cast<std::size_t>(std::countr_zero(ahead));
      }
      block += kMaskBlock;
    }
  }
  std::string_view ReadLineSlowly();

  Fill fill_;
  std::vector<char> buffer_;
  const char* data_ = nullptr;
  std::size_t pos_ = 0;
  std::size_t end_ = 0;
  bool exhausted_ = false;
  bool failed_ = false;
  // The last line ended with CR: an LF right after it belongs to that line end.
  bool afterReturn_ = false;
  SpillBuffer spill_;  // a line that crosses a refill of the buffer
  // The line ends among the 64 bytes of the buffer from maskStart_ on, as a
  // bit mask (see byte_masks.hpp). Each block is examined once, when the
  // reading first reaches it.
  static constexpr std::size_t kNoBlock = static_cast<std::size_t>(-1);
  std::size_t maskStart_ = kNoBlock;
  std::uint64_t lineEnds_ = 0;
};

}  // namespace pl2html
