// The vocabulary the colourer knows and the small tests that cut code into
// words: character classes, what counts as a word and as a number.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/text.hpp"

namespace pl2html {

// An ordered list of distinct words with a hash index, so that a lookup costs
// the same whether the file taught us ten type words or a million.
class WordTable {
 public:
  WordTable();
  bool Contains(std::string_view word) const;
  // Adds `word` at the end unless it is already there.
  void Add(std::string_view word);
  const StringList& Words() const { return list_; }

 private:
  std::size_t Slot(std::string_view word) const;
  void Grow();

  StringList list_;
  std::vector<std::uint32_t> slots_;  // 0 = empty, else index into list_ + 1
};

struct Conversion;

// Fills the two tables from the built-in word data.
void LoadWordTables(Conversion& conversion);

// Adds a type word learned from the source; repeats are ignored.
void AddTypeWord(Conversion& conversion, std::string_view word);

enum class WordClass { kPlain, kType, kKeyword };

// Type words win over keywords when a word is in both tables.
WordClass ClassOfWord(const Conversion& conversion, std::string_view word);

// Appends `word` to `out`, wrapped in type markup if it is a type word, else
// in keyword markup if it is a keyword, else as it is.
void ColourWord(const Conversion& conversion, std::string_view word, std::string& out);

// Appends `word` wrapped in a font element of class `className`.
void AppendMarked(std::string& out, std::string_view className, std::string_view word);

enum CharKindValue : std::int8_t {
  kOrdinary = 0,   // part of a word
  kSeparator = 1,  // ( ) { } [ ] , ; !
  kOperator = 2,   // = * / - + < > % &
  kBlank = -1,     // space or tab
};

CharKindValue CharKind(unsigned char ch);
// The class of a one-character text; the empty text is ordinary.
CharKindValue CharKind(std::string_view ch);

// True for a run of word bytes (letters, digits, "_", bytes 192 to 255),
// the empty text included, but never for "is": Prolog's arithmetic operator
// is no routine name and no declared type.
bool IsWord(std::string_view text);

// True when every byte is a digit or ".": "1.2.3" and "" count as numbers.
bool IsNumber(std::string_view text);

// The byte at 1-based `position`, signed as the original scanner read it.
std::int32_t CharAt(std::string_view line, std::int32_t position);

}  // namespace pl2html
