#include "site/manifest.hpp"

#include "site/links.hpp"

namespace pl2html::site {

namespace {

constexpr std::string_view kHeader = "pl2html site 1\n";
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

Manifest ParseManifest(std::string_view text) {
  Manifest manifest;
  if (!text.starts_with(kHeader)) return manifest;
  text.remove_prefix(kHeader.size());
  while (!text.empty()) {
    std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (line.size() > kHashDigits + 1 && line[kHashDigits] == ' ') {
      manifest[std::string(line.substr(kHashDigits + 1))] = line.substr(0, kHashDigits);
    }
  }
  return manifest;
}

std::string ManifestText(const Manifest& manifest) {
  std::string text(kHeader);
  for (const auto& [key, hash] : manifest)
    text += hash + ' ' + key + '\n';
  return text;
}

}  // namespace pl2html::site
