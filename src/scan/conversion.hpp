// What one conversion keeps from line to line: the word tables and quoted
// text left open. The driver makes a fresh one for each file, so a batch
// converts every file as if it were the only one.
#pragma once

#include <cstdint>

#include "scan/words.hpp"

namespace pl2html {

// Quoted text open at the end of a line continues on the next one.
enum QuoteState : std::int8_t {
  kInCode = 0,
  kInDoubleQuotes = 2,
  kInSingleQuotes = 3,
};

struct Conversion {
  Conversion() { LoadWordTables(typeWords, keywords); }

  WordTable typeWords;  // grows while the declaration scan runs
  WordTable keywords;   // fixed
  QuoteState quoteState = kInCode;
};

}  // namespace pl2html
