// Everything one conversion keeps between lines. The driver makes a fresh one
// for each file, so a batch converts every file as if it were the only one.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "scan/words.hpp"

namespace pl2html {

// Quoted text open at the end of a line continues on the next one.
enum QuoteState : std::int8_t {
  kInCode = 0,
  kInDoubleQuotes = 2,
  kInSingleQuotes = 3,
};

struct Conversion {
  Conversion() { LoadWordTables(*this); }

  WordTable typeWords;  // grows while the declaration scan runs
  WordTable keywords;   // fixed
  QuoteState quoteState = kInCode;

  // The coloured line being built.
  std::string lineOut;
  // Source bytes gathered since the last flush: always one stretch of the
  // line being coloured, so a view into it.
  std::string_view pendingCode;
  // Room for pendingCode with "<" escaped, reused from line to line.
  std::string escapedCode;
  // When set, ColourLine hands the start of a coloured line that grows long
  // to it, so that lineOut stays short whatever the line: what ColourLine
  // returns is then the rest of the line. The page writer sends it on to
  // the page.
  std::function<void(std::string_view)> lineOutSink;
};

}  // namespace pl2html
