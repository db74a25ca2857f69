// What the bytes of a source are: UTF-8 when all of them are valid UTF-8,
// else windows-1252. The page passes the bytes through unchanged and names
// the charset, so that the browser decodes them as the reader saw them.
// Control characters that HTML forbids get visible stand-ins.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace pl2html::prolog_page {

// Checks UTF-8 that arrives in pieces: a character may be split between
// two calls of Feed.
class Utf8Validator {
 public:
  void Feed(std::string_view bytes);
  // The end of the input: false when it was not valid UTF-8.
  bool Finish() {
    if (need_ != 0) valid_ = false;
    return valid_;
  }
  bool Valid() const { return valid_; }

 private:
  int need_ = 0;  // continuation bytes still expected
  unsigned char low_ = 0x80, high_ = 0xBF;
  bool valid_ = true;
};

bool IsValidUtf8(std::string_view bytes);

// How a forbidden control is written in the page, given its first byte (and
// the next, for UTF-8's two-byte C1 controls): a Unicode control picture
// for C0 controls and DEL (U+2400 for byte 0), "\xNN" for C1 controls.
// The number of source bytes it stands for, 0 when the bytes at `bytes` are
// allowed as they are.
enum class Charset : std::uint8_t { kUtf8, kWindows1252 };
std::size_t ForbiddenControl(Charset charset, std::string_view bytes);

// Appends the stand-in of the forbidden control that starts `bytes`, as
// character references and ASCII.
void AppendStandIn(std::string& out, Charset charset, std::string_view bytes);

// Text outside the code (title, index, tooltips): markup characters
// escaped, and controls, line ends included, shown by their stand-ins.
void AppendEscapingMarkupAndControls(std::string& out, std::string_view text, Charset charset);

}  // namespace pl2html::prolog_page
