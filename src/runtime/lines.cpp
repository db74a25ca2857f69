#include "runtime/lines.hpp"

#include <algorithm>

namespace pl2html {

LineReader::LineReader(Fill fill, std::size_t bufferSize)
    : fill_(std::move(fill)), buffer_(bufferSize) {
  data_ = buffer_.data();
}

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
  maskStart_ = kNoBlock;
  return true;
}

// A CR line end is resolved lazily, when the next byte is needed anyway: this
// keeps the previous line's view valid, since peeking might refill the buffer.
void LineReader::SkipLineFeedAfterReturn() {
  if (!afterReturn_) return;
  afterReturn_ = false;
  if (HaveByte() && data_[pos_] == '\n') ++pos_;
}

bool LineReader::AtEndOfBuffer() {
  SkipLineFeedAfterReturn();
  return !HaveByte();
}

std::string_view LineReader::ReadLineSlowly() {
  SkipLineFeedAfterReturn();
  spill_.Clear();
  bool spilled = false;
  while (HaveByte()) {
    std::size_t start = pos_;
    std::size_t at = NextLineEnd();
    if (at == end_) {
      // The line goes on past this buffer: keep what we have and refill.
      spill_.Append(data_ + start, at - start);
      spilled = true;
      pos_ = at;
      continue;
    }
    pos_ = at + 1;
    afterReturn_ = data_[at] == '\r';
    std::string_view piece(data_ + start, at - start);
    if (!spilled) return piece;
    spill_.Append(piece.data(), piece.size());
    return spill_.View();
  }
  return spill_.View();
}

}  // namespace pl2html
