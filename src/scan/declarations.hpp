// Learns type words from lines shaped like a C declaration,
// `Type Name(Type1 a, Type2 *b, ...)`: the result type and the first word of
// each parameter become type words. The scan is fed one line at a time, so it
// needs no file; a parameter list may run over several lines, which are then
// joined and not examined on their own.
#pragma once

#include <string>
#include <string_view>

#include "scan/conversion.hpp"

namespace pl2html {

class DeclarationScan {
 public:
  explicit DeclarationScan(Conversion& conversion) : conversion_(conversion) {}

  void ScanLine(std::string_view line);
  // The input ended; a parameter list still open offers the empty word.
  void EndScan();

 private:
  void ExamineLine(std::string_view line);
  void JoinLine(std::string_view line);
  // Type words found on a line are added together, a few at a time (see
  // WordTable::AddAll); the views must last until Learn.
  void Offer(std::string_view word);
  void Learn();
  void OfferParameters(std::string_view parameters);

  Conversion& conversion_;
  static constexpr std::size_t kOffered = 8;
  std::string_view offered_[kOffered];
  std::size_t offeredCount_ = 0;
  bool joining_ = false;
  std::string rest_;  // parameter text joined so far, no ")" in it yet
};

}  // namespace pl2html
