// Helpers shared by the benchmark files.
#pragma once

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/lines.hpp"

namespace pl2html::bench {

// The lines of `text` as ReadLine gives them, each an owned copy.
inline std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines;
  std::size_t at = 0;
  LineReader reader([&](char* buffer, std::size_t size) {
    std::size_t take = std::min(size, text.size() - at);
    std::memcpy(buffer, text.data() + at, take);
    at += take;
    return static_cast<std::int64_t>(take);
  });
  while (!reader.AtEnd())
    lines.emplace_back(reader.ReadLine());
  return lines;
}

inline constexpr std::size_t kMiB = 1 << 20;

}  // namespace pl2html::bench
