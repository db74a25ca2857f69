#include "runtime/lines.hpp"

#include <algorithm>
#include <cstring>

namespace pl2html {

LineReader::LineReader(Fill fill, std::size_t bufferSize)
    : fill_(std::move(fill)), buffer_(bufferSize) {
  data_ = buffer_.data();
}

LineReader::LineReader(std::string_view bytes)
    : data_(bytes.data()), end_(bytes.size()), exhausted_(true) {
  FindLineEnds();
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
  FindLineEnds();
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

namespace {

// The first `byte` of data[from, end), or `end`.
std::size_t Find(const char* data, std::size_t from, std::size_t end, char byte) {
  if (from >= end) return end;
  const void* hit = std::memchr(data + from, byte, end - from);
  return hit == nullptr ? end : static_cast<std::size_t>(static_cast<const char*>(hit) - data);
}

}  // namespace

void LineReader::FindLineEnds() {
  nextLineFeed_ = Find(data_, pos_, end_, '\n');
  nextReturn_ = Find(data_, pos_, end_, '\r');
  nextZero_ = Find(data_, pos_, end_, '\0');
}

// The first line end at or after pos_, or end_. Each kind of line end is
// looked for again only once the reading has passed the last one found, so
// every byte of the buffer is looked at once for each kind, even when one
// kind is missing from a file.
std::size_t LineReader::NextLineEnd() {
  if (nextLineFeed_ < pos_) nextLineFeed_ = Find(data_, pos_, end_, '\n');
  if (nextReturn_ < pos_) nextReturn_ = Find(data_, pos_, end_, '\r');
  if (nextZero_ < pos_) nextZero_ = Find(data_, pos_, end_, '\0');
  return std::min(nextLineFeed_, std::min(nextReturn_, nextZero_));
}

std::string_view LineReader::ReadLine() {
  SkipLineFeedAfterReturn();
  spill_.clear();
  bool spilled = false;
  while (HaveByte()) {
    std::size_t start = pos_;
    std::size_t at = NextLineEnd();
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
