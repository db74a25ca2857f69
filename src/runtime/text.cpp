#include "runtime/text.hpp"

#include <cstring>

namespace pl2html {

std::string_view TrimSpaces(std::string_view text) {
  std::size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

void AppendEscapingLessThan(std::string& out, std::string_view text) {
  for (;;) {
    const void* hit = text.empty() ? nullptr : std::memchr(text.data(), '<', text.size());
    if (hit == nullptr) {
      out.append(text);
      return;
    }
    std::size_t at = static_cast<std::size_t>(static_cast<const char*>(hit) - text.data());
    out.append(text.substr(0, at));
    out.append("&lt;");
    text.remove_prefix(at + 1);
  }
}

void AppendHexByte(std::string& out, unsigned char byte) {
  out += "\\x";
  out += kHexDigits[byte >> 4];
  out += kHexDigits[byte & 0xF];
}

}  // namespace pl2html
