// The term reader on SWI-Prolog's library and boot files concatenated (about
// 9 MB of real Prolog), fed the lexer's tokens: the reader alone, on tokens
// lexed beforehand (which it reads from memory, not from the cache), and as
// the page will run it, on each block's tokens as the lexer makes them, with
// the lexer alone beside it for its share. Skipped where SWI-Prolog is not
// installed.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <span>
#include <sstream>
#include <string>
#include <vector>

#include "prolog/lexer.hpp"
#include "prolog/operators.hpp"
#include "prolog/terms.hpp"

namespace pl2html::bench {
namespace {

using prolog::Lexer;
using prolog::Operators;
using prolog::TermReader;
using prolog::Token;

// The .pl files under the library and boot folders, in name order.
const std::string& SwiLibrary() {
  static const std::string text = [] {
    namespace fs = std::filesystem;
    std::vector<fs::path> files;
    for (const char* dir : {"/usr/lib/swi-prolog/library", "/usr/lib/swi-prolog/boot"}) {
      std::error_code error;
      for (fs::recursive_directory_iterator it(dir, error), end; !error && it != end;
           it.increment(error))
        if (it->is_regular_file() && it->path().extension() == ".pl") files.push_back(it->path());
    }
    std::sort(files.begin(), files.end());
    std::string all;
    for (const fs::path& f : files) {
      std::ifstream in(f, std::ios::binary);
      std::ostringstream s;
      s << in.rdbuf();
      all += s.str();
      all += "\n";
    }
    return all;
  }();
  return text;
}

// The tokens through the reader, a clause at a time.
void Read(TermReader& reader, std::string_view text, std::span<const Token> tokens,
          std::uint64_t base, std::size_t& clauses) {
  while (!tokens.empty()) {
    tokens = tokens.subspan(reader.Push(tokens, text, base));
    if (reader.status() != TermReader::Status::kNone) ++clauses;
  }
}

void BM_TermReader(benchmark::State& state) {
  const std::string& text = SwiLibrary();
  if (text.empty()) {
    state.SkipWithError("no SWI-Prolog library under /usr/lib/swi-prolog");
    return;
  }
  std::vector<Token> tokens;
  Lexer().Lex(text, true, tokens);
  std::size_t clauses = 0;
  for (auto _ : state) {
    Operators ops = Operators::SwiInitial();
    TermReader reader(&ops);
    Read(reader, text, tokens, 0, clauses);
    if (reader.Finish()) ++clauses;
    benchmark::DoNotOptimize(clauses);
  }
  state.counters["clauses"] = static_cast<double>(clauses / state.iterations());
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_TermReader)->Unit(benchmark::kMillisecond);

// 64 KiB at a time, as the page writer lexes, each block's tokens read at
// once (or not at all: the lexer's share, to take from the whole).
template <bool kRead>
void BM_LexAndRead(benchmark::State& state) {
  const std::string& text = SwiLibrary();
  if (text.empty()) {
    state.SkipWithError("no SWI-Prolog library under /usr/lib/swi-prolog");
    return;
  }
  constexpr std::size_t kBlock = 64 * 1024;
  std::vector<Token> tokens;
  std::size_t clauses = 0;
  for (auto _ : state) {
    Operators ops = Operators::SwiInitial();
    TermReader reader(&ops);
    Lexer lexer;
    std::size_t start = 0, end = std::min(kBlock, text.size());
    while (start < text.size()) {
      tokens.clear();
      const std::string_view block = std::string_view(text).substr(start, end - start);
      const std::size_t taken = lexer.Lex(block, end == text.size(), tokens);
      if (kRead) Read(reader, block, tokens, start, clauses);
      const std::size_t want = taken == 0 ? 2 * (end - start) : kBlock;
      start += taken;
      end = std::min(text.size(), start + std::max(want, kBlock));
    }
    if (reader.Finish()) ++clauses;
    benchmark::DoNotOptimize(clauses);
    benchmark::DoNotOptimize(tokens.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK_TEMPLATE(BM_LexAndRead, false)->Name("BM_LexOnly")->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_LexAndRead, true)->Name("BM_LexAndRead")->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace pl2html::bench
