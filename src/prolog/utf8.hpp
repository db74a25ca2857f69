// UTF-8 by hand for the term reader, which decodes names and escapes: a code
// point from its bytes, and its bytes from it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace pl2html::prolog {

// The code point at s[i] and its length in bytes; a byte that starts no
// complete sequence is a code point of its own.
inline char32_t DecodeUtf8(std::string_view s, std::size_t i, std::size_t& len) {
  const unsigned char lead = static_cast<unsigned char>(s[i]);
  len = 1;
  const std::size_t extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
  if (extra == 0 || i + extra >= s.size()) return lead;
  char32_t cp = lead & (0x3F >> extra);
  for (std::size_t k = 1; k <= extra; ++k) {
    const unsigned char c = static_cast<unsigned char>(s[i + k]);
    if ((c & 0xC0) != 0x80) return lead;
    cp = (cp << 6) | (c & 0x3F);
  }
  len = extra + 1;
  return cp;
}

inline void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
    return;
  }
  const int extra = cp < 0x800 ? 1 : cp < 0x10000 ? 2 : 3;
  // The lead byte: 110xxxxx, 1110xxxx or 11110xxx, then 10xxxxxx each.
  out += static_cast<char>((0xFF00u >> (extra + 1)) | (cp >> (6 * extra)));
  for (int k = extra - 1; k >= 0; --k)
    out += static_cast<char>(0x80 | ((cp >> (6 * k)) & 0x3F));
}

}  // namespace pl2html::prolog
