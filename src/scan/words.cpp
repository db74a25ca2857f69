#include "scan/words.hpp"

#include <cstring>

#include "scan/conversion.hpp"

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

std::uint64_t HashWord(std::string_view word) {
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
  return hash ^ (hash >> 29);
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

constexpr bool IsWordByte(unsigned char ch) {
  return (ch >= '0' && ch <= '9') || (ch >= 'A' && ch <= 'Z') || ch == '_' ||
         (ch >= 'a' && ch <= 'z') || ch >= 192;
}

}  // namespace

WordTable::WordTable() : slots_(64, 0) {
  ListNew(list_);
}

std::size_t WordTable::Slot(std::string_view word) const {
  std::size_t mask = slots_.size() - 1;
  for (std::size_t slot = HashWord(word) & mask;; slot = (slot + 1) & mask) {
    std::uint32_t entry = slots_[slot];
    if (entry == 0 || list_.items[entry - 1] == word) return slot;
  }
}

bool WordTable::Contains(std::string_view word) const {
  return slots_[Slot(word)] != 0;
}

void WordTable::Grow() {
  std::vector<std::uint32_t> old(slots_.size() * 2, 0);
  old.swap(slots_);
  for (std::uint32_t entry : old) {
    if (entry != 0) slots_[Slot(list_.items[entry - 1])] = entry;
  }
}

void WordTable::Add(std::string_view word) {
  std::size_t slot = Slot(word);
  if (slots_[slot] != 0) return;
  // A new word always goes after the last one, as ListAdd does after a walk
  // of the whole list.
  list_.cursor = list_.items.empty() ? StringList::kNone : list_.items.size() - 1;
  ListAdd(list_);
  list_.Current().assign(word);
  slots_[slot] = static_cast<std::uint32_t>(list_.items.size());
  if (list_.items.size() * 2 > slots_.size()) Grow();
}

void LoadWordTables(Conversion& conversion) {
  const char* next = LoadList(kWordData, conversion.typeWords);
  LoadList(next, conversion.keywords);
}

void AddTypeWord(Conversion& conversion, std::string_view word) {
  conversion.typeWords.Add(word);
}

WordClass ClassOfWord(const Conversion& conversion, std::string_view word) {
  if (conversion.typeWords.Contains(word)) return WordClass::kType;
  if (conversion.keywords.Contains(word)) return WordClass::kKeyword;
  return WordClass::kPlain;
}

void AppendMarked(std::string& out, std::string_view className, std::string_view word) {
  out.append("<font class='");
  out.append(className);
  out.append("'>");
  out.append(word);
  out.append("</font>");
}

void ColourWord(const Conversion& conversion, std::string_view word, std::string& out) {
  switch (ClassOfWord(conversion, word)) {
    case WordClass::kType:
      AppendMarked(out, "type", word);
      break;
    case WordClass::kKeyword:
      AppendMarked(out, "keyWord", word);
      break;
    case WordClass::kPlain:
      out.append(word);
      break;
  }
}

CharKindValue CharKind(unsigned char ch) {
  return kKinds.kind[ch];
}

CharKindValue CharKind(std::string_view ch) {
  return ch.empty() ? kOrdinary : CharKind(static_cast<unsigned char>(ch.front()));
}

bool IsWord(std::string_view text) {
  if (TrimText(text) == "is") return false;
  for (char c : text) {
    if (!IsWordByte(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

bool IsNumber(std::string_view text) {
  for (char c : text) {
    if (c != '.' && (c < '0' || c > '9')) return false;
  }
  return true;
}

std::int32_t CharAt(std::string_view line, std::int32_t position) {
  return SignedCodeAt(line, position);
}

}  // namespace pl2html
