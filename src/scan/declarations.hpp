// Learns type words from lines shaped like a C declaration,
// `Type Name(Type1 a, Type2 *b, ...)`: the result type and the first word of
// each parameter become type words. The scan is fed one line at a time, so it
// needs no file; a parameter list may run over several lines, which are then
// joined and not examined on their own.
#pragma once

#include <string>
#include <string_view>

#include "scan/conversion.hpp"
#include "scan/words.hpp"

namespace pl2html {

class DeclarationScan {
 public:
  explicit DeclarationScan(Conversion& conversion) : conversion_(conversion) {}

  void ScanLine(std::string_view line) {
    if (joining_) {
      JoinLine(line);
    } else if (MayDeclare(line)) {
      ExamineLine(line);
    }
  }
  // The input ended; a parameter list still open offers the empty word.
  void EndScan();

 private:
  // Most lines of a source are settled by their first bytes, here: a
  // declaration starts with a word byte, or with one space and then a word
  // byte, "(" or " (" (an empty first word, and an empty second one).
  // Indented code, comments and empty lines fail at once.
  static bool MayDeclare(std::string_view line) {
    if (line.empty()) return false;
    if (kWordBytes.word[static_cast<unsigned char>(line[0])]) return true;
    if (line[0] != ' ' || line.size() < 2) return false;
    const char second = line[1];
    return kWordBytes.word[static_cast<unsigned char>(second)] || second == '(' ||
           (second == ' ' && line.size() > 2 && line[2] == '(');
  }
  void ExamineLine(std::string_view line);
  void JoinLine(std::string_view line);
  void Offer(std::string_view word) { conversion_.typeWords.Add(word); }
  void OfferParameters(std::string_view parameters);

  Conversion& conversion_;
  bool joining_ = false;
  std::string rest_;  // parameter text joined so far, no ")" in it yet
};

}  // namespace pl2html
