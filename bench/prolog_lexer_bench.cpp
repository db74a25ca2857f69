// The Prolog lexer alone, on text in memory, in the blocks the page writer
// hands it.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <map>

#include "bench_util.hpp"
#include "inputs.hpp"
#include "prolog/lexer.hpp"

namespace pl2html::bench {
namespace {

using prolog::Lexer;
using prolog::Token;

// 64 KiB at a time; what a call leaves is handed again with the next block.
void LexInBlocks(benchmark::State& state, const std::string& text) {
  constexpr std::size_t kBlock = 64 * 1024;
  std::vector<Token> tokens;
  for (auto _ : state) {
    Lexer lexer;
    std::size_t start = 0, end = std::min(kBlock, text.size());
    while (start < text.size()) {
      tokens.clear();
      const std::size_t taken =
          lexer.Lex(std::string_view(text).substr(start, end - start), end == text.size(), tokens);
      const std::size_t want = taken == 0 ? 2 * (end - start) : kBlock;
      start += taken;
      end = std::min(text.size(), start + std::max(want, kBlock));
    }
    benchmark::DoNotOptimize(tokens.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

// Each input made once, the first time its benchmark runs.
void BM_PrologLexer(benchmark::State& state, std::string (*make)(std::size_t), std::size_t size) {
  static std::map<std::string (*)(std::size_t), std::string> texts;
  auto made = texts.find(make);
  if (made == texts.end()) made = texts.emplace(make, make(size)).first;
  LexInBlocks(state, made->second);
}
std::string Random(std::size_t size) {
  return RandomBytes(size);
}
BENCHMARK_CAPTURE(BM_PrologLexer, Prolog, PrologText, 16 * kMiB)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_PrologLexer, LongLine, LongLine, 4 * kMiB)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_PrologLexer, Quotes, UnterminatedQuotes, 4 * kMiB)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_PrologLexer, RandomBytes, Random, 4 * kMiB)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace pl2html::bench
