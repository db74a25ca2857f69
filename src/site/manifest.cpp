#include "site/manifest.hpp"

#include "site/links.hpp"

namespace pl2html::site {

namespace {

constexpr std::string_view kHeader = "pl2html site 2\n";
// The first manifests had no counts: their pages are all made again (their
// hashes differ), and those of sources that left are still removed.
constexpr std::string_view kFirstHeader = "pl2html site 1\n";
constexpr std::size_t kHashDigits = 16;

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if ((c | 0x20) >= 'a' && (c | 0x20) <= 'f') return (c | 0x20) - 'a' + 10;
  return -1;
}

}  // namespace

std::string Hash::Text() const {
  std::uint64_t h = Value();
  static constexpr char kHex[] = "0123456789abcdef";
  std::string text(kHashDigits, '0');
  for (std::size_t i = kHashDigits; i-- > 0; h >>= 4)
    text[i] = kHex[h & 0xF];
  return text;
}

std::string KeyOfSource(std::string_view relative) {
  return UrlPath(relative);
}

std::optional<std::string> SourceOfKey(std::string_view key) {
  std::string relative;
  for (std::size_t i = 0; i < key.size(); ++i) {
    int high = key[i] == '%' && i + 2 < key.size() ? HexDigit(key[i + 1]) : -1;
    int low = high >= 0 ? HexDigit(key[i + 2]) : -1;
    if (low >= 0) {
      relative += static_cast<char>(high * 16 + low);
      i += 2;
    } else {
      relative += key[i];
    }
  }
  if (relative.empty() || relative.find_first_of("\\:") != std::string::npos) return std::nullopt;
  for (std::size_t start = 0; start <= relative.size();) {
    std::size_t end = std::min(relative.find('/', start), relative.size());
    std::string_view part = std::string_view(relative).substr(start, end - start);
    if (part.empty() || part == "." || part == "..") return std::nullopt;
    start = end + 1;
  }
  return relative;
}

namespace {

// A count, and the space after it.
bool TakeCount(std::string_view& line, std::size_t& count) {
  std::size_t space = line.find(' ');
  if (space == 0 || space == std::string_view::npos || space > 9) return false;
  count = 0;
  for (char c : line.substr(0, space)) {
    if (c < '0' || c > '9') return false;
    count = count * 10 + static_cast<std::size_t>(c - '0');
  }
  line.remove_prefix(space + 1);
  return true;
}

}  // namespace

Manifest ParseManifest(std::string_view text) {
  Manifest manifest;
  const bool counted = text.starts_with(kHeader);
  if (!counted && !text.starts_with(kFirstHeader)) return manifest;
  text.remove_prefix(kHeader.size());
  while (!text.empty()) {
    std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (line.size() <= kHashDigits + 1 || line[kHashDigits] != ' ') continue;
    ManifestEntry entry{std::string(line.substr(0, kHashDigits)), {}};
    line.remove_prefix(kHashDigits + 1);
    if (counted &&
        !(TakeCount(line, entry.look.undefined) && TakeCount(line, entry.look.singletons)))
      continue;
    if (!line.empty()) manifest[std::string(line)] = std::move(entry);
  }
  return manifest;
}

std::string ManifestText(const Manifest& manifest) {
  std::string text(kHeader);
  for (const auto& [key, entry] : manifest)
    text += entry.hash + ' ' + std::to_string(entry.look.undefined) + ' ' +
            std::to_string(entry.look.singletons) + ' ' + key + '\n';
  return text;
}

}  // namespace pl2html::site
