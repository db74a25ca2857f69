// Hostile inputs convert in time proportional to their size. Each is timed
// at two sizes, a quarter and the whole: four times the bytes must take well
// under the sixteen times that work growing with the square of the size
// would take. (Linear work takes four to six times here: a larger word
// index no longer fits the caches. The bound is ten.) Times are CPU times, the best of three, so that other work on
// the machine counts little; no time is compared with a fixed figure.
#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <functional>

#include "convert/convert.hpp"
#include "inputs.hpp"
#include "support/memory_file_system.hpp"

namespace pl2html {
namespace {

// The page is counted, not kept: only the program's own memory counts.
struct PageCounter final : MemoryFileSystem {
  std::size_t written = 0;
  bool Write(FileHandle /*file*/, const char* /*data*/, std::size_t size) override {
    written += size;
    return true;
  }
};

double SecondsToConvert(const std::string& source) {
  double best = 1e9;
  for (int round = 0; round < 3; ++round) {
    PageCounter fs;
    fs.files["in.pl"] = source;
    const std::clock_t start = std::clock();
    EXPECT_TRUE(ConvertSource(fs, "in.pl", {"in.pl.html"}, "in.pl").Ok());
    best = std::min(best, static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC);
  }
  return best;
}

struct Hostile {
  const char* name;
  std::size_t size;  // of the larger input, in the generator's unit
  std::function<std::string(std::size_t)> make;
};

TEST(Linearity, HostileInputsTakeTimeInProportionToTheirSize) {
  constexpr std::size_t kMiB = 1 << 20;
  const Hostile inputs[] = {
      {"one line of code", 5 * kMiB, bench::LongLine},
      {"distinct declarations", 200000, bench::ManyDeclarations},
      {"quoted text never closed", 5 * kMiB, bench::UnterminatedQuotes},
      {"a parameter list never closed", 5 * kMiB, bench::UnclosedParameters},
      {"one line of \"#/\"", kMiB, bench::DieseSlashes},
  };
  for (const Hostile& input : inputs) {
    const double quarter = SecondsToConvert(input.make(input.size / 4));
    const double whole = SecondsToConvert(input.make(input.size));
    EXPECT_LT(whole, 10 * std::max(quarter, 1e-3))
        << input.name << ": " << quarter << " s for a quarter, " << whole << " s for the whole";
  }
}

}  // namespace
}  // namespace pl2html
