#include "prolog_page/charset.hpp"

#include <cstring>

#include "runtime/text.hpp"

namespace pl2html::prolog_page {

void Utf8Validator::Feed(std::string_view bytes) {
  const auto* s = reinterpret_cast<const unsigned char*>(bytes.data());
  std::size_t n = bytes.size();
  std::size_t i = 0;
  while (i < n && valid_) {
    if (need_ > 0) {
      unsigned char c = s[i++];
      if (c < low_ || c > high_) valid_ = false;
      low_ = 0x80;
      high_ = 0xBF;
      --need_;
      continue;
    }
    // Most source text is ASCII: skip it eight bytes at a time.
    for (std::uint64_t word; i + 8 <= n; i += 8) {
      std::memcpy(&word, s + i, 8);
      if ((word & 0x8080808080808080ULL) != 0) break;
    }
    if (i >= n) break;
    unsigned char c = s[i++];
    if (c < 0x80) continue;
    // The first byte says how many follow and, for the few leads that could
    // spell an overlong form, a surrogate or a code point above U+10FFFF,
    // the range of the next byte.
    if (c < 0xC2) {
      valid_ = false;
    } else if (c < 0xE0) {
      need_ = 1;
    } else if (c < 0xF0) {
      need_ = 2;
      if (c == 0xE0) low_ = 0xA0;
      if (c == 0xED) high_ = 0x9F;
    } else if (c < 0xF5) {
      need_ = 3;
      if (c == 0xF0) low_ = 0x90;
      if (c == 0xF4) high_ = 0x8F;
    } else {
      valid_ = false;
    }
  }
}

bool IsValidUtf8(std::string_view bytes) {
  Utf8Validator validator;
  validator.Feed(bytes);
  return validator.Finish();
}

std::size_t ForbiddenControl(Charset charset, std::string_view bytes) {
  auto c = static_cast<unsigned char>(bytes[0]);
  if ((c < 0x20 && c != '\t' && c != '\n' && c != '\r') || c == 0x7F) return 1;
  if (charset == Charset::kWindows1252) {
    // The five bytes windows-1252 leaves undefined decode to C1 controls.
    return c == 0x81 || c == 0x8D || c == 0x8F || c == 0x90 || c == 0x9D ? 1 : 0;
  }
  if (c == 0xC2 && bytes.size() > 1) {
    auto next = static_cast<unsigned char>(bytes[1]);
    return next >= 0x80 && next <= 0x9F ? 2 : 0;
  }
  return 0;
}

namespace {

// The code point a forbidden control stands for.
unsigned ControlCode(Charset charset, std::string_view bytes) {
  auto c = static_cast<unsigned char>(bytes[0]);
  if (charset == Charset::kUtf8 && c == 0xC2) return static_cast<unsigned char>(bytes[1]);
  return c;
}

}  // namespace

void AppendStandIn(std::string& out, Charset charset, std::string_view bytes) {
  unsigned code = ControlCode(charset, bytes);
  if (code < 0x80) {
    // U+2400..U+241F picture C0 controls, U+2421 DEL.
    unsigned picture = code == 0x7F ? 0x2421 : 0x2400 + code;
    out += "&#x24";
    out += kHexDigits[(picture >> 4) & 0xF];
    out += kHexDigits[picture & 0xF];
    out += ';';
  } else {
    AppendHexByte(out, static_cast<unsigned char>(code));
  }
}

// Text outside the code (title, index): markup characters escaped, and
// controls, line ends included, shown by their stand-ins.
void AppendEscapingMarkupAndControls(std::string& out, std::string_view text, Charset charset) {
  auto plain = [](char c) {
    return c >= ' ' && c < '\x7F' && c != '&' && c != '<' && c != '>' && c != '"';
  };
  for (std::size_t i = 0; i < text.size(); ++i) {
    std::size_t run = i;  // printable ASCII without markup, copied as it is
    while (run < text.size() && plain(text[run]))
      ++run;
    out.append(text.substr(i, run - i));
    if (run == text.size()) break;
    i = run;
    char c = text[i];
    if (c == '&') {
      out += "&amp;";
    } else if (c == '<') {
      out += "&lt;";
    } else if (c == '>') {
      out += "&gt;";
    } else if (c == '"') {
      out += "&quot;";
    } else if (std::size_t length = c == '\t' ? 0 : ForbiddenControl(charset, text.substr(i))) {
      AppendStandIn(out, charset, text.substr(i));
      i += length - 1;
    } else if (c == '\n' || c == '\r') {
      AppendStandIn(out, charset, std::string_view("\x0A", 1));
    } else {
      out += c;
    }
  }
}

}  // namespace pl2html::prolog_page
