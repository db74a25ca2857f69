// The meaning of hostile sources costs time in proportion to their size:
// each case, at a quarter of its size and whole, must not take much more
// than four times as long (work that grows with the square would take
// sixteen). Each case is headed by the fault it caught.
#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <string>
#include <string_view>

#include "meaning/colour.hpp"
#include "meaning/xref.hpp"

namespace pl2html::meaning {
namespace {

double SecondsForMeaning(const std::string& text) {
  double best = 1e9;
  for (int round = 0; round < 3; ++round) {
    const std::clock_t start = std::clock();
    Xref xref(nullptr);
    xref.ReadSource(text, prolog::Encoding::kUtf8);
    std::size_t fragments = 0;
    Colour(text, prolog::Encoding::kUtf8, xref, [&](const Fragment&) { ++fragments; });
    best = std::min(best, static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC);
  }
  return best;
}

// n lines, each `before`, a number, `after`.
std::string Numbered(std::size_t n, std::string_view before, std::string_view after) {
  std::string text;
  for (std::size_t i = 0; i < n; ++i)
    text.append(before).append(std::to_string(i)).append(after);
  return text;
}

TEST(MeaningHostile, TimeGrowsWithTheSource) {
#ifdef _WIN32
  // The C runtime's clock() counts wall time there, which a busy machine
  // blurs; the reading is the same code everywhere, timed on the others.
  GTEST_SKIP() << "clock() is wall time on Windows";
#endif
  struct Case {
    const char* fault;
    std::string (*make)(std::size_t n);
  };
  const Case cases[] = {
      // Each disjunction copied the bindings of all the clause's variables
      // for each branch: 8,000 of them took 4.7 s.
      {"a clause of many disjunctions and variables",
       [](std::size_t n) {
         std::string text = "a :- ";
         for (std::size_t i = 0; i < n; ++i) {
           const std::string x = std::to_string(i);
           text.append("(X").append(x).append("=1;X").append(x).append("=2), ");
         }
         return text.append("true.\n");
       }},
      // Each call looked through all the callee's callers: 80,000 callers
      // of one predicate took 11.5 s.
      {"one predicate called by many", [](std::size_t n) { return Numbered(n, "p", " :- q.\n"); }},
      {"many declarations", [](std::size_t n) { return Numbered(n, ":- dynamic d", "/1.\n"); }},
      {"nested meta-calls",
       [](std::size_t n) {
         std::string clause = "a :- ";
         for (int depth = 0; depth < 100; ++depth)
           clause += "findall(X, ";
         clause += "true";
         clause.append(100, ')');
         clause += ".\n";
         std::string text;
         for (std::size_t i = 0; i < n / 100; ++i)
           text += clause;
         return text;
       }},
  };
  for (const Case& c : cases) {
    const double quarter = SecondsForMeaning(c.make(2000));
    const double whole = SecondsForMeaning(c.make(8000));
    EXPECT_LT(whole, 8 * std::max(quarter, 2e-3))
        << c.fault << ": " << quarter << " s for a quarter, " << whole << " s for the whole";
  }
}

}  // namespace
}  // namespace pl2html::meaning
