#include "runtime/desktop/open_dialog.hpp"

#include "runtime/text.hpp"

namespace pl2html {

namespace {

// The other case of a Windows-1252 letter, or 0 when it has none in the code
// page (digits, punctuation, "ß", "µ", "ƒ").
unsigned char OtherCase(unsigned char byte) {
  if (byte >= 'a' && byte <= 'z') return byte - 0x20;
  if (byte >= 'A' && byte <= 'Z') return byte + 0x20;
  switch (byte) {
    case 0x8A:  // Š š
    case 0x8C:  // Œ œ
    case 0x8E:  // Ž ž
      return byte + 0x10;
    case 0x9A:
    case 0x9C:
    case 0x9E:
      return byte - 0x10;
    case 0x9F:  // Ÿ ÿ
      return 0xFF;
    case 0xFF:
      return 0x9F;
    case 0xD7:  // × and ÷ sit among the letters but are signs
    case 0xF7:
      return 0;
    default:
      break;
  }
  if (byte >= 0xC0 && byte <= 0xDE) return byte + 0x20;
  if (byte >= 0xE0 && byte <= 0xFE) return byte - 0x20;
  return 0;
}

// Cuts `text` at every `separator`; n separators give n + 1 fields.
std::vector<std::string_view> Cut(std::string_view text, char separator) {
  std::vector<std::string_view> fields;
  for (;;) {
    std::size_t at = text.find(separator);
    fields.push_back(text.substr(0, at));
    if (at == std::string_view::npos) return fields;
    text.remove_prefix(at + 1);
  }
}

// The one parser of a filter list: every pair of pieces that are both
// non-empty, its patterns cut at ";" and trimmed.
std::vector<FileFilter> CutFilterList(std::string_view pattern) {
  std::vector<FileFilter> filters;
  if (pattern.empty()) return filters;
  std::vector<std::string_view> fields = Cut(pattern, '|');
  for (std::size_t i = 0; i + 1 < fields.size(); i += 2) {
    if (fields[i].empty() || fields[i + 1].empty()) continue;
    FileFilter filter{std::string(fields[i]), std::string(fields[i + 1]), {}};
    for (std::string_view one : Cut(fields[i + 1], ';')) {
      one = TrimSpaces(one);
      if (!one.empty()) filter.patterns.emplace_back(one);
    }
    filters.push_back(std::move(filter));
  }
  return filters;
}

}  // namespace

std::vector<FileFilter> ParseFilterList(std::string_view pattern) {
  std::vector<FileFilter> filters = CutFilterList(pattern);
  std::erase_if(filters, [](const FileFilter& filter) { return filter.patterns.empty(); });
  return filters;
}

std::string FilterList(std::string_view pattern) {
  std::string list;
  for (const FileFilter& filter : CutFilterList(pattern)) {
    list.append(filter.description).push_back('\0');
    list.append(filter.pattern).push_back('\0');
  }
  if (!list.empty()) list.push_back('\0');
  return list;
}

std::size_t PreselectedFilter(int patternIndex, std::size_t count) {
  if (patternIndex < 0 || static_cast<std::size_t>(patternIndex) >= count) return 0;
  return static_cast<std::size_t>(patternIndex);
}

std::string CaseInsensitiveGlob(std::string_view windowsPattern) {
  if (windowsPattern == "*.*") return "*";
  std::string glob;
  for (char c : windowsPattern) {
    auto byte = static_cast<unsigned char>(c);
    unsigned char other = OtherCase(byte);
    if (other != 0) {
      // Lower case first, so "*.pl" reads "*.[pP][lL]"; in Windows-1252 the
      // lower-case letter is always the higher byte.
      glob += '[';
      glob += static_cast<char>(byte > other ? byte : other);
      glob += static_cast<char>(byte > other ? other : byte);
      glob += ']';
    } else if (c == '[' || c == ']' || c == '\\') {
      glob += '\\';
      glob += c;
    } else {
      glob += c;
    }
  }
  return glob;
}

}  // namespace pl2html
