#include "scan/words.hpp"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <vector>

namespace pl2html {

namespace {

// The built-in vocabulary: consecutive NUL-terminated words, each list ended
// by an empty word. The first list holds type words, the second keywords.
// Extend a list by inserting words before its empty word.
constexpr char kWordData[] =
    "int\0char\0double\0void\0FILE\0struct\0time_t\0"
    "\0"
    "if\0else\0elseif\0switch\0case\0default\0const\0for\0while\0do\0return\0break\0"
    "sizeof\0typedef\0"
    "\0";

// Reads one list of kWordData starting at `at`; returns where the next starts.
const char* LoadList(const char* at, WordTable& table) {
  for (std::size_t length = std::strlen(at); length != 0; length = std::strlen(at)) {
    table.Add(std::string_view(at, length));
    at += length + 1;
  }
  return at + 1;
}

// Words are short; they are read eight bytes at a time and the result is
// mixed well, so that the low bits that pick a slot depend on every byte.
std::uint64_t HashOfWord(std::string_view word) {
  constexpr std::uint64_t kMultiplier = 0xff51afd7ed558ccdULL;
  std::uint64_t hash = 0x9E3779B97F4A7C15ULL ^ word.size();
  const char* bytes = word.data();
  std::size_t left = word.size();
  while (left >= 8) {
    std::uint64_t chunk;
    std::memcpy(&chunk, bytes, 8);
    hash = (hash ^ chunk) * kMultiplier;
    hash ^= hash >> 32;
    bytes += 8;
    left -= 8;
  }
  std::uint64_t tail = 0;
  if (left != 0) std::memcpy(&tail, bytes, left);
  hash = (hash ^ tail) * kMultiplier;
  hash ^= hash >> 33;
  hash *= 0xc4ceb9fe1a85ec53ULL;
  return hash ^ (hash >> 33);
}

constexpr CharKindValue MakeKind(unsigned char ch) {
  switch (ch) {
    case '(':
    case ')':
    case '{':
    case '}':
    case '[':
    case ']':
    case ',':
    case ';':
    case '!':
      return kSeparator;
    case '=':
    case '*':
    case '/':
    case '-':
    case '+':
    case '<':
    case '>':
    case '%':
    case '&':
      return kOperator;
    case ' ':
    case '\t':
      return kBlank;
    default:
      return kOrdinary;
  }
}

struct KindTable {
  CharKindValue kind[256];
  constexpr KindTable() : kind() {
    for (int ch = 0; ch < 256; ++ch)
      kind[ch] = MakeKind(static_cast<unsigned char>(ch));
  }
};
constexpr KindTable kKinds;

}  // namespace

WordTable::WordTable() : slots_(GrowableArray<std::uint64_t>::Zeroed(64)) {}

namespace {
constexpr std::uint64_t kPlaceBits = 0xFFFFFFFFULL;
constexpr std::uint64_t TagOf(std::uint64_t hash) {
  return hash & ~kPlaceBits;
}
// The slot a tag starts from in a table of mask + 1 slots.
constexpr std::size_t HomeOf(std::uint64_t tag, std::size_t mask) {
  return static_cast<std::size_t>(tag >> 32) & mask;
}
constexpr std::size_t PlaceOf(std::uint64_t entry) {
  return static_cast<std::size_t>(entry & kPlaceBits) - 1;
}
}  // namespace

std::size_t WordTable::Slot(std::string_view word, std::uint64_t hash) const {
  const std::size_t mask = slots_.Size() - 1;
  const std::uint64_t tag = TagOf(hash);
  for (std::size_t slot = HomeOf(tag, mask);; slot = (slot + 1) & mask) {
    std::uint64_t entry = slots_[slot];
    if (entry == 0) return slot;
    if (TagOf(entry) == tag && WordAt(PlaceOf(entry)) == word) return slot;
  }
}

bool WordTable::Contains(std::string_view word) const {
  return MayContain(word) && slots_[Slot(word, HashOfWord(word))] != 0;
}

bool WordTable::ContainsInOrder(std::string_view word) const {
  if (nextInOrder_ < bytes_.Size() && WordAt(nextInOrder_) == word) {
    nextInOrder_ = EndOf(nextInOrder_);
    return true;
  }
  std::uint64_t entry = slots_[Slot(word, HashOfWord(word))];
  if (entry == 0) return false;
  nextInOrder_ = EndOf(PlaceOf(entry));
  return true;
}

// Puts an entry at the first free slot from its home.
void WordTable::Place(std::uint64_t entry) {
  const std::size_t mask = slots_.Size() - 1;
  std::size_t slot = HomeOf(TagOf(entry), mask);
  while (slots_[slot] != 0)
    slot = (slot + 1) & mask;
  slots_[slot] = entry;
}

// Doubles the index in place: the slots are extended with zeros, and no
// second index is needed beside the first, then every entry is placed again.
//
// Entries are taken from the old slots in order, starting after an empty
// one, and each is placed before the next is taken. An entry's home in the
// doubled index is its old home or that plus the old size. The slots from
// its old home to its old slot were all full, and have all been placed
// again already, so its new place is at most its old slot, and no probe
// passes an entry still waiting to be placed. The entries before the first
// empty slot may have wrapped around from the end of the old index; they
// are taken out first and placed last, when every other entry is settled.
void WordTable::Grow() {
  const std::size_t oldSize = slots_.Size();
  std::size_t firstEmpty = 0;
  while (slots_[firstEmpty] != 0)
    ++firstEmpty;
  std::vector<std::uint64_t> wrapped(slots_.Data(), slots_.Data() + firstEmpty);
  slots_.GrowZeroed(oldSize * 2);
  std::fill(slots_.Data(), slots_.Data() + firstEmpty, 0);
  for (std::size_t i = firstEmpty + 1; i < oldSize; ++i) {
    const std::uint64_t entry = slots_[i];
    if (entry == 0) continue;
    slots_[i] = 0;
    Place(entry);
  }
  for (std::uint64_t entry : wrapped)
    Place(entry);
}

void WordTable::AppendWord(std::string_view word) {
  if (word.size() < kLongWord) {
    const char length = static_cast<char>(word.size());
    bytes_.Append(&length, 1);
  } else {
    const char mark = static_cast<char>(kLongWord);
    const std::size_t length = word.size();
    bytes_.Append(&mark, 1);
    bytes_.Append(reinterpret_cast<const char*>(&length), sizeof length);
  }
  bytes_.Append(word.data(), word.size());
}

void WordTable::Add(std::string_view word) {
  const std::uint64_t hash = HashOfWord(word);
  std::size_t slot = Slot(word, hash);
  if (slots_[slot] != 0) return;
  // Where the word lies must fit beside the tag.
  const std::size_t at = bytes_.Size();
  if (at >= kPlaceBits - 1) throw std::length_error("too many type words");
  AppendWord(word);
  ++count_;
  slots_[slot] = TagOf(hash) | static_cast<std::uint64_t>(at + 1);
  if (word.empty()) {
    hasEmpty_ = true;
  } else {
    std::uint64_t lengthBit = std::uint64_t{1} << LengthBit(word);
    lengthsByFirstByte_[static_cast<unsigned char>(word.front())] |= lengthBit;
  }
  if (count_ * 4 > slots_.Size() * 3) Grow();
}

void LoadWordTables(WordTable& typeWords, WordTable& keywords) {
  LoadList(LoadList(kWordData, typeWords), keywords);
}

WordClass ClassOfWord(const WordTable& typeWords, const WordTable& keywords,
                      std::string_view word) {
  if (typeWords.MayContain(word) && typeWords.ContainsInOrder(word)) return WordClass::kType;
  if (keywords.Contains(word)) return WordClass::kKeyword;
  return WordClass::kPlain;
}

CharKindValue CharKind(unsigned char ch) {
  return kKinds.kind[ch];
}

bool IsWord(std::string_view text) {
  // A space is no word byte, so " is " fails the first test: only the bare
  // "is" is left to refuse.
  return WordBytesAtStart(text) == text.size() && text != "is";
}

bool IsNumber(std::string_view text) {
  for (char c : text) {
    if (c != '.' && (c < '0' || c > '9')) return false;
  }
  return true;
}

}  // namespace pl2html
