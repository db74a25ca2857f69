// The visible stand-ins of the example and golden files: ␍ CR, ␊ LF, ␀ byte
// 0, → tab, \xE9 any byte by its code, \\ a backslash.
#pragma once

#include <string>
#include <string_view>
#include <utility>

namespace pl2html {

// Turns the stand-ins of `text` back into bytes. With `dropLineFeeds`, the
// text's own LF are layout and are dropped.
inline std::string DecodeStandIns(std::string_view text, bool dropLineFeeds = false) {
  static const std::pair<std::string_view, char> kStandIns[] = {
      {"\u240D", '\r'}, {"\u240A", '\n'}, {"\u2400", '\0'}, {"\u2192", '\t'}, {"\\\\", '\\'}};
  std::string bytes;
  for (std::size_t at = 0; at < text.size();) {
    bool replaced = false;
    for (const auto& [standIn, byte] : kStandIns) {
      if (text.substr(at, standIn.size()) == standIn) {
        bytes += byte;
        at += standIn.size();
        replaced = true;
        break;
      }
    }
    if (replaced) continue;
    if (text.substr(at, 2) == "\\x" && at + 4 <= text.size()) {
      bytes += static_cast<char>(std::stoi(std::string(text.substr(at + 2, 2)), nullptr, 16));
      at += 4;
    } else if (text[at] == '\n' && dropLineFeeds) {
      ++at;
    } else {
      bytes += text[at++];
    }
  }
  return bytes;
}

// Writes `bytes` with stand-ins, as the files show them.
inline std::string EncodeStandIns(std::string_view bytes) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string text;
  for (char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    switch (c) {
      case '\r':
        text += "\u240D";
        break;
      case '\n':
        text += "\u240A";
        break;
      case '\0':
        text += "\u2400";
        break;
      case '\t':
        text += "\u2192";
        break;
      case '\\':
        text += "\\\\";
        break;
      default:
        if (byte < 32 || byte >= 127) {
          text += "\\x";
          text += kHex[byte >> 4];
          text += kHex[byte & 15];
        } else {
          text += c;
        }
    }
  }
  return text;
}

}  // namespace pl2html
