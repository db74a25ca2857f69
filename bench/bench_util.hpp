// Helpers shared by the benchmark files.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "runtime/lines.hpp"

namespace pl2html::bench {

// The lines of `text` as ReadLine gives them, each an owned copy.
inline std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines;
  LineReader reader(text);
  while (!reader.AtEnd())
    lines.emplace_back(reader.ReadLine());
  return lines;
}

inline constexpr std::size_t kMiB = 1 << 20;

}  // namespace pl2html::bench
