// Line reading: from bytes in memory, and through a fill function in 64 KiB
// blocks as the file table reads a file.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>

#include "bench_util.hpp"
#include "inputs.hpp"

namespace pl2html::bench {
namespace {

std::string WithLineEnds(std::string_view text, std::string_view end) {
  std::string out;
  out.reserve(text.size() * 2);
  for (char c : text) {
    if (c == '\n') {
      out.append(end);
    } else {
      out += c;
    }
  }
  return out;
}

const std::string& InputFor(int which) {
  static const std::string lf = PrologText(8 * kMiB);
  static const std::string crlf = WithLineEnds(lf, "\r\n");
  static const std::string random = RandomBytes(8 * kMiB);
  static const std::string longLine = LongLine(8 * kMiB);
  switch (which) {
    case 0:
      return lf;
    case 1:
      return crlf;
    case 2:
      return random;
    default:
      return longLine;
  }
}

void Drain(LineReader& reader) {
  while (!reader.AtEnd())
    benchmark::DoNotOptimize(reader.ReadLine().data());
}

// state.range(0): 0 LF, 1 CR LF, 2 random bytes, 3 one long line.
void BM_LineReader_Blocks(benchmark::State& state) {
  const std::string& input = InputFor(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    std::size_t at = 0;
    LineReader reader([&](char* buffer, std::size_t size) -> std::int64_t {
      std::size_t take = std::min(size, input.size() - at);
      std::memcpy(buffer, input.data() + at, take);
      at += take;
      return static_cast<std::int64_t>(take);
    });
    Drain(reader);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * input.size()));
}
BENCHMARK(BM_LineReader_Blocks)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace pl2html::bench
