// Writes one benchmark input to standard output: `pl2html_input KIND SIZE`.
// bench/compare.sh uses it so that the script and the benchmarks measure the
// same hostile shapes.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "inputs.hpp"

int main(int argc, char** argv) {
  using pl2html::bench::InputKinds;
  if (argc == 3) {
    std::string_view name = argv[1];
    char* end = nullptr;
    unsigned long long size = std::strtoull(argv[2], &end, 10);
    for (const auto& kind : InputKinds()) {
      if (kind.name != name || end == argv[2] || *end != '\0') continue;
      std::string bytes = kind.make(static_cast<std::size_t>(size));
      return std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size() ? 0 : 1;
    }
  }
  std::fprintf(stderr, "usage: pl2html_input KIND SIZE\nkinds:");
  for (const auto& kind : InputKinds()) {
    std::fprintf(stderr, " %.*s (SIZE in %.*s)", static_cast<int>(kind.name.size()),
                 kind.name.data(), static_cast<int>(kind.unit.size()), kind.unit.data());
  }
  std::fprintf(stderr, "\n");
  return 2;
}
