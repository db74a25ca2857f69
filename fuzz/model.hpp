// A slow, literal model of the scanner, for the fuzz target to compare the
// program with: every step as the rules state it, on 1-based positions, with
// the text primitives, plain lists walked from the start and each text
// rebuilt whole. It is quadratic on purpose: the program is fast by other
// means, and this model is only ever fed small inputs.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace pl2html::model {

struct Scanner {
  Scanner();

  std::vector<std::string> typeWords;
  std::vector<std::string> keywords;
  int quoteState = 0;
  std::string lineOut;
  std::string pendingCode;
};

// Learns type words from the lines of a source, continuation lines joined.
void ScanDeclarations(Scanner& scanner, const std::vector<std::string_view>& lines);

// The coloured form of one line; quoteState carries over to the next.
std::string ColourLine(Scanner& scanner, std::string_view line);

}  // namespace pl2html::model
