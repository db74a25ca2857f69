// Splits a byte stream into lines. CR LF, CR, LF and a 0 byte each end a line
// and are not part of it; LF CR is two line ends; the last line needs no line
// end, and a line end at the very end of the input gives no extra empty line.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace pl2html {

class LineReader {
 public:
  // Fills `buffer` with up to `size` bytes: the count, 0 at the end, -1 on an
  // error. An error ends the input and is remembered in Failed().
  using Fill = std::function<std::int64_t(char* buffer, std::size_t size)>;

  explicit LineReader(Fill fill, std::size_t bufferSize = 1 << 16);
  // Reads lines from bytes already in memory; they must outlive the reader.
  explicit LineReader(std::string_view bytes);

  // True when no byte is left.
  bool AtEnd() { return (afterReturn_ || pos_ >= end_) && AtEndOfBuffer(); }
  // The next line without its line end; empty at the end of the input. The
  // view stays valid until the next call on this reader.
  std::string_view ReadLine();

  bool Failed() const { return failed_; }

 private:
  bool AtEndOfBuffer();  // AtEnd, once the buffer may need a refill
  bool HaveByte();       // refills when the buffer is used up
  void SkipLineFeedAfterReturn();
  std::size_t NextLineEnd();
  void FindLineEnds();

  Fill fill_;
  std::vector<char> buffer_;
  const char* data_ = nullptr;
  std::size_t pos_ = 0;
  std::size_t end_ = 0;
  bool exhausted_ = false;
  bool failed_ = false;
  // The last line ended with CR: an LF right after it belongs to that line end.
  bool afterReturn_ = false;
  std::string spill_;  // a line that crosses a refill of the buffer
  // Where the next LF, CR and 0 byte are in the buffer (end_ when there is
  // none), each found with memchr and kept until the reading passes it.
  std::size_t nextLineFeed_ = 0;
  std::size_t nextReturn_ = 0;
  std::size_t nextZero_ = 0;
};

}  // namespace pl2html
