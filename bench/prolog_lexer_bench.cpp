// The Prolog lexer alone, on text in memory, in the blocks the page writer
// hands it.
#include <benchmark/benchmark.h>

#include <algorithm>

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

void BM_PrologLexer_Prolog(benchmark::State& state) {
  static const std::string text = PrologText(16 * kMiB);
  LexInBlocks(state, text);
}
BENCHMARK(BM_PrologLexer_Prolog)->Unit(benchmark::kMillisecond);

void BM_PrologLexer_LongLine(benchmark::State& state) {
  static const std::string text = LongLine(4 * kMiB);
  LexInBlocks(state, text);
}
BENCHMARK(BM_PrologLexer_LongLine)->Unit(benchmark::kMillisecond);

void BM_PrologLexer_Quotes(benchmark::State& state) {
  static const std::string text = UnterminatedQuotes(4 * kMiB);
  LexInBlocks(state, text);
}
BENCHMARK(BM_PrologLexer_Quotes)->Unit(benchmark::kMillisecond);

void BM_PrologLexer_RandomBytes(benchmark::State& state) {
  static const std::string text = RandomBytes(4 * kMiB);
  LexInBlocks(state, text);
}
BENCHMARK(BM_PrologLexer_RandomBytes)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace pl2html::bench
