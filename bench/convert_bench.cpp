// Whole conversions, both passes, through the in-memory file system: the
// Prolog text and every hostile shape, each at two sizes. The bytes per
// second of the two sizes should match: time grows linearly with the input.
#include <benchmark/benchmark.h>

#include <memory>

#include "convert/convert.hpp"
#include "inputs.hpp"
#include "support/memory_file_system.hpp"

namespace pl2html::bench {
namespace {

// Counts the page's bytes instead of keeping them: a page of many megabytes
// growing in memory would time the allocator, whose cost depends on what
// ran before in the process, more than the conversion.
class CountingFileSystem : public MemoryFileSystem {
 public:
  bool Write(FileHandle, const char*, std::size_t size) override {
    written += size;
    return true;
  }
  std::size_t written = 0;
};

void Convert(benchmark::State& state, const std::string& input) {
  CountingFileSystem fs;
  fs.files["in.pl"] = input;
  for (auto _ : state) {
    Outcome outcome = ConvertSource(fs, "in.pl", PageTarget{"in.pl.html"}, "in.pl");
    if (!outcome.Ok()) state.SkipWithError("conversion failed");
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * input.size()));
  state.counters["page_bytes"] =
      static_cast<double>(fs.written) / static_cast<double>(state.iterations());
}

struct Registration {
  Registration() {
    // Sizes in each kind's own unit: about 4 and 8 MiB of text, 100,000 and
    // 200,000 declarations, half a million and a million "#/".
    struct Sizes {
      std::string_view kind;
      std::size_t small;
    };
    constexpr std::size_t kMiB = 1 << 20;
    const Sizes sizes[] = {{"prolog", 4 * kMiB},     {"long-line", 2 * kMiB + kMiB / 2},
                           {"declarations", 100000}, {"unclosed", 4 * kMiB},
                           {"diese-slash", 500000},  {"quotes", 4 * kMiB},
                           {"random", 4 * kMiB}};
    for (const Sizes& entry : sizes) {
      for (const InputKind& kind : InputKinds()) {
        if (kind.name != entry.kind) continue;
        for (std::size_t size : {entry.small, entry.small * 2}) {
          std::string name = "BM_Convert/" + std::string(kind.name) + "/" + std::to_string(size);
          // Made on first use, so that listing or filtering costs nothing.
          auto input = std::make_shared<std::string>();
          auto make = kind.make;
          auto run = [input, make, size](benchmark::State& state) {
            if (input->empty()) *input = make(size);
            Convert(state, *input);
          };
          benchmark::RegisterBenchmark(name.c_str(), run)->Unit(benchmark::kMillisecond);
        }
      }
    }
  }
};
const Registration registration;

}  // namespace
}  // namespace pl2html::bench
