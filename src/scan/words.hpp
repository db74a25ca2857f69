// The vocabulary the colourer knows and the small tests that cut code into
// words: character classes, what counts as a word and as a number.
#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>

#include "runtime/growable.hpp"

namespace pl2html {

// An ordered list of distinct words with a hash index, so that a lookup costs
// the same whether the file taught us ten type words or a million. The words
// lie end to end in one block of bytes, in the order they came, each after
// its length: a file with many declarations makes many small words, and one
// allocation or one position each would cost more than the words themselves.
class WordTable {
 public:
  WordTable();
  // Adds `word` at the end unless it is already there.
  void Add(std::string_view word);

  // False when no word of the table has the first byte and the length of
  // `word`: most words of a source are settled by this test alone.
  bool MayContain(std::string_view word) const {
    if (word.empty()) return hasEmpty_;
    return (lengthsByFirstByte_[static_cast<unsigned char>(word.front())] >> LengthBit(word)) & 1;
  }
  bool Contains(std::string_view word) const;

  // Contains, for words met in the order of a source. The page pass meets
  // the words of the declarations in the order the declaration scan learned
  // them, so the word after the last one found is tried first: in a file of
  // many declarations that spares a lookup at a random place in a large
  // index for every word it declares, and the word is not even hashed.
  bool ContainsInOrder(std::string_view word) const;

 private:
  friend struct WordTableProbe;  // the tests' view of the words held

  static unsigned LengthBit(std::string_view word) {
    return word.size() < 63 ? static_cast<unsigned>(word.size()) : 63;
  }
  // The word whose length is stored at `at` in bytes_. A length below 255
  // takes one byte; a longer one is 255 and then the length in full.
  std::string_view WordAt(std::size_t at) const {
    const char* bytes = bytes_.Data() + at;
    const auto length = static_cast<unsigned char>(*bytes);
    if (length != kLongWord) return {bytes + 1, length};
    std::size_t longLength;
    std::memcpy(&longLength, bytes + 1, sizeof longLength);
    return {bytes + 1 + sizeof longLength, longLength};
  }
  // Where the word after the one whose length is stored at `at` starts.
  std::size_t EndOf(std::size_t at) const {
    std::string_view word = WordAt(at);
    return static_cast<std::size_t>(word.data() - bytes_.Data()) + word.size();
  }
  std::size_t Slot(std::string_view word, std::uint64_t hash) const;
  void AppendWord(std::string_view word);
  void Grow();
  void Place(std::uint64_t entry);

  static constexpr unsigned char kLongWord = 255;
  GrowableArray<char> bytes_;  // every word, end to end, each after its length
  std::size_t count_ = 0;
  // 0 = empty, else the top 32 bits of the word's hash, which also pick the
  // slot, then where the word's length lies in bytes_, + 1: most slots that
  // do not hold the word are passed over without reading the word, and
  // growing needs no word at all.
  GrowableArray<std::uint64_t> slots_;
  // Where the word after the last one found lies in bytes_.
  mutable std::size_t nextInOrder_ = 0;
  // Bit n of entry b: some word of length n (63: 63 or more) starts with b.
  std::uint64_t lengthsByFirstByte_[256] = {};
  bool hasEmpty_ = false;
};

// Fills the two tables from the built-in word data.
void LoadWordTables(WordTable& typeWords, WordTable& keywords);

enum class WordClass { kPlain, kType, kKeyword };

// Type words win over keywords when a word is in both tables.
WordClass ClassOfWord(const WordTable& typeWords, const WordTable& keywords, std::string_view word);

enum CharKindValue : std::int8_t {
  kOrdinary = 0,   // part of a word
  kSeparator = 1,  // ( ) { } [ ] , ; !
  kOperator = 2,   // = * / - + < > % &
  kBlank = -1,     // space or tab
};

CharKindValue CharKind(unsigned char ch);

// True for a run of word bytes (letters, digits, "_", bytes 192 to 255),
// the empty text included, but never for "is": Prolog's arithmetic operator
// is no routine name and no declared type.
bool IsWord(std::string_view text);

// A byte of a word: 0-9, A-Z, "_", a-z, or 192 to 255 (the accented
// letters of Windows-1252, 215 and 247 included).
constexpr bool IsWordByte(unsigned char ch) {
  return (ch >= '0' && ch <= '9') || (ch >= 'A' && ch <= 'Z') || ch == '_' ||
         (ch >= 'a' && ch <= 'z') || ch >= 192;
}

struct WordByteTable {
  bool word[256];
  constexpr WordByteTable() : word() {
    for (int ch = 0; ch < 256; ++ch)
      word[ch] = IsWordByte(static_cast<unsigned char>(ch));
  }
};
inline constexpr WordByteTable kWordBytes;

// How many bytes at the start of `text` are word bytes.
inline std::size_t WordBytesAtStart(std::string_view text) {
  std::size_t length = 0;
  while (length < text.size() && kWordBytes.word[static_cast<unsigned char>(text[length])]) {
    ++length;
  }
  return length;
}

// True when every byte is a digit or ".": "1.2.3" and "" count as numbers.
bool IsNumber(std::string_view text);

}  // namespace pl2html
