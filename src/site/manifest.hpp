// The manifest a site keeps in OUT: for each page, a hash of what it was
// made from, so that a later run rewrites only the pages whose inputs
// changed, and what the page says needs a look, for the index. One line
// per page, "HASH UNDEFINED SINGLETONS KEY": the key is the source's path
// under SRC, URL-encoded so that no name can break a line.
#pragma once

#include <cstdint>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "prolog_page/page.hpp"

namespace pl2html::site {

// A 64-bit hash of bytes, eight at a time, to tell whether a page's inputs
// changed. Not for adversaries: a source that collides only keeps its old page.
class Hash {
 public:
  Hash& Add(std::string_view bytes) {
    std::size_t i = 0;
    for (; i + 8 <= bytes.size(); i += 8) {
      std::uint64_t word;
      std::memcpy(&word, bytes.data() + i, 8);
      Mix(word);
    }
    std::uint64_t tail = 0;
    std::memcpy(&tail, bytes.data() + i, bytes.size() - i);
    Mix(tail ^ (std::uint64_t{bytes.size()} << 56));
    return *this;
  }
  Hash& Add(std::uint64_t n) {
    Mix(n);
    return *this;
  }
  std::uint64_t Value() const {
    std::uint64_t h = state_;
    h ^= h >> 33;
    h *= 0xFF51AFD7ED558CCDull;
    h ^= h >> 33;
    return h;
  }
  // The value in sixteen hexadecimal digits.
  std::string Text() const;

 private:
  void Mix(std::uint64_t word) {
    state_ = (state_ ^ word) * 0x9E3779B97F4A7C15ull;
    state_ ^= state_ >> 29;
  }
  std::uint64_t state_ = 0x6A09E667F3BCC909ull;
};

struct ManifestEntry {
  std::string hash;  // its text
  prolog_page::LookCounts look;
};

// Key -> entry.
using Manifest = std::map<std::string, ManifestEntry>;

// The entries of the site's own files, the index's and the search box's:
// no source's key starts with "/".
inline constexpr std::string_view kIndexKey = "/index";
inline constexpr std::string_view kSearchDataKey = "/search";
inline constexpr std::string_view kSearchScriptKey = "/search-ui";
// xref.json's entry.
inline constexpr std::string_view kXrefKey = "/xref.json";

std::string KeyOfSource(std::string_view relative);
// The source path a key names, when it is one this program could have
// made: a plain path under SRC (no empty, "." or ".." part, no "\\" or
// ":"). A manifest is only a file in OUT, so what it names is checked
// before any page of it is removed.
std::optional<std::string> SourceOfKey(std::string_view key);

// An unreadable or foreign text gives an empty manifest: every page is made.
Manifest ParseManifest(std::string_view text);
std::string ManifestText(const Manifest& manifest);

}  // namespace pl2html::site
