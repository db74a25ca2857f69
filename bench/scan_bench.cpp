// The scanner alone, on lines already in memory: ColourLine and the
// declaration scan.
#include <benchmark/benchmark.h>

#include "bench_util.hpp"
#include "inputs.hpp"
#include "scan/colour.hpp"
#include "scan/declarations.hpp"

namespace pl2html::bench {
namespace {

std::size_t TotalBytes(const std::vector<std::string>& lines) {
  std::size_t total = 0;
  for (const std::string& line : lines)
    total += line.size();
  return total;
}

void ColourLines(benchmark::State& state, const std::vector<std::string>& lines) {
  for (auto _ : state) {
    Conversion conversion;
    std::string out;
    for (const std::string& line : lines) {
      out.clear();
      ColourLine(conversion, line, out);
      benchmark::DoNotOptimize(out.data());
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * TotalBytes(lines)));
}

void BM_ColourLine_Prolog(benchmark::State& state) {
  static const auto lines = SplitLines(PrologText(4 * kMiB));
  ColourLines(state, lines);
}
BENCHMARK(BM_ColourLine_Prolog)->Unit(benchmark::kMillisecond);

void BM_ColourLine_LongLine(benchmark::State& state) {
  static const std::vector<std::string> lines = {LongLine(4 * kMiB)};
  ColourLines(state, lines);
}
BENCHMARK(BM_ColourLine_LongLine)->Unit(benchmark::kMillisecond);

void BM_ColourLine_DieseSlashes(benchmark::State& state) {
  static const std::vector<std::string> lines = {DieseSlashes(kMiB)};
  ColourLines(state, lines);
}
BENCHMARK(BM_ColourLine_DieseSlashes)->Unit(benchmark::kMillisecond);

void BM_ColourLine_Quotes(benchmark::State& state) {
  static const auto lines = SplitLines(UnterminatedQuotes(4 * kMiB));
  ColourLines(state, lines);
}
BENCHMARK(BM_ColourLine_Quotes)->Unit(benchmark::kMillisecond);

void ScanLines(benchmark::State& state, const std::vector<std::string>& lines) {
  for (auto _ : state) {
    Conversion conversion;
    DeclarationScan scan(conversion);
    for (const std::string& line : lines)
      scan.ScanLine(line);
    scan.EndScan();
    benchmark::DoNotOptimize(&conversion.typeWords);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * TotalBytes(lines)));
}

void BM_DeclarationScan_Prolog(benchmark::State& state) {
  static const auto lines = SplitLines(PrologText(4 * kMiB));
  ScanLines(state, lines);
}
BENCHMARK(BM_DeclarationScan_Prolog)->Unit(benchmark::kMillisecond);

void BM_DeclarationScan_ManyDeclarations(benchmark::State& state) {
  static const auto lines = SplitLines(ManyDeclarations(100000));
  ScanLines(state, lines);
}
BENCHMARK(BM_DeclarationScan_ManyDeclarations)->Unit(benchmark::kMillisecond);

void BM_DeclarationScan_Unclosed(benchmark::State& state) {
  static const auto lines = SplitLines(UnclosedParameters(4 * kMiB));
  ScanLines(state, lines);
}
BENCHMARK(BM_DeclarationScan_Unclosed)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace pl2html::bench
