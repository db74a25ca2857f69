// The term reader follows SWI-Prolog's reader step by step (pl-read.c):
// its tokenizer, which turns a name into a functor when "(" follows at once
// and into a dict's tag when "{" does; its operator parser, which keeps
// operands and operators on two queues and reduces them by priority; and
// the constructs that parse terms inside brackets. SWI-Prolog's parser
// recurses into each construct; here a stack of frames stands for its C
// stack, so that nesting costs heap bounded by the clause, not stack.
#include "prolog/terms.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "prolog/char_classes.hpp"
#include "prolog/utf8.hpp"

namespace pl2html::prolog {

namespace {

constexpr int kMaxPriority = 1200;
// SWI-Prolog reads every argument at this priority unless its flag "iso" is
// set: f(a :- b) reads.
constexpr int kAnyPriority = kMaxPriority + 1;

// Integers a dict accepts as keys: SWI-Prolog's tagged integers.
constexpr std::int64_t kSmallIntMax = (std::int64_t{1} << 56) - 1;
constexpr std::int64_t kSmallIntMin = -(std::int64_t{1} << 56);

CharClass ClassOf(char32_t cp) {
  const CharRange* end = kCharRanges + kCharRangeCount;
  const CharRange* r =
      std::partition_point(kCharRanges, end, [cp](const CharRange& x) { return x.hi < cp; });
  return r != end && r->lo <= cp ? r->cls : CharClass::kSolo;
}

// Whether text is the one character c, or the two a and b: cheaper than a
// comparison with a string literal, which costs a call here.
inline bool IsChar(std::string_view text, char c) {
  return text.size() == 1 && text[0] == c;
}
inline bool IsPair(std::string_view text, char a, char b) {
  return text.size() == 2 && text[0] == a && text[1] == b;
}

// FNV-1a, for the tables of variables and dict keys.
std::uint64_t HashName(std::string_view name) {
  std::uint64_t h = 14695981039346656037ull;
  for (char c : name)
    h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ull;
  return h;
}

bool IsSymbolChar(char32_t cp) {
  if (cp < 0x80) return cp != 0 && std::strchr("#$&*+-./:<=>?@^~\\", static_cast<int>(cp));
  return ClassOf(cp) == CharClass::kSymbol;
}
bool IsAlnum(char32_t cp) {
  if (cp < 0x80)
    return (cp >= 'a' && cp <= 'z') || (cp >= 'A' && cp <= 'Z') || (cp >= '0' && cp <= '9') ||
           cp == '_';
  const CharClass c = ClassOf(cp);
  return c == CharClass::kVarStart || c == CharClass::kAtomStart || c == CharClass::kIdContinue;
}
bool IsBlank(char32_t cp) {
  if (cp < 0x80) return cp == ' ' || (cp >= 9 && cp <= 13);
  return ClassOf(cp) == CharClass::kLayout;
}

// Whether the atom reads back without quotes: SWI-Prolog takes a quoted atom
// for an operator only when it needs its quotes ("a '|' b", not "'-' 1").
bool Unquoted(std::string_view name) {
  if (name.empty()) return false;
  std::size_t len = 0;
  const char32_t first = DecodeUtf8(name, 0, len);
  const bool lower =
      first < 0x80 ? first >= 'a' && first <= 'z' : ClassOf(first) == CharClass::kAtomStart;
  bool all = true;
  for (std::size_t i = 0; i < name.size() && all; i += len) {
    const char32_t cp = DecodeUtf8(name, i, len);
    all = lower ? IsAlnum(cp) : IsSymbolChar(cp);
  }
  if (all) return lower || !name.starts_with("/*");
  return name == "!" || name == ";" || name == "{}";
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}
int DigitIn(char c, int base) {
  int v = -1;
  if (c >= '0' && c <= '9')
    v = c - '0';
  else if (c >= 'a' && c <= 'z')
    v = c - 'a' + 10;
  else if (c >= 'A' && c <= 'Z')
    v = c - 'A' + 10;
  return v >= 0 && v < base ? v : -1;
}
bool ValidCodePoint(std::uint64_t cp) {
  return cp <= 0x10FFFF && (cp < 0xD800 || cp > 0xDFFF);
}

// Layout the reader refuses: the control characters other than the blanks,
// as SWI-Prolog's character table has them (C1 controls included).
constexpr std::array<bool, 256> kIllegalByte = [] {
  std::array<bool, 256> t{};
  for (int c = 0; c < 32; ++c)
    t[c] = c < 9 || c > 13;
  t[127] = true;
  return t;
}();
// Those and the bytes that may start a C1 control (U+0080..U+009F).
constexpr std::array<bool, 256> kSuspiciousUtf8 = [] {
  std::array<bool, 256> t = kIllegalByte;
  t[0xC2] = true;
  return t;
}();
constexpr std::array<bool, 256> kSuspiciousLatin1 = [] {
  std::array<bool, 256> t = kIllegalByte;
  for (int c = 0x80; c <= 0x9F; ++c)
    t[c] = true;
  return t;
}();

// The end of an escape sequence after its backslash at s[i], and the code it
// stands for; -1 for an error, -2 for "no character" (the string ends:
// "\c" or a line continuation right before the closing quote). In a
// string (`inText`) "\c" and a backslash before a line end skip layout; in
// 0'\c they stand for "c" and a line end.
struct Escape {
  std::size_t end;
  std::int64_t code;
};
Escape ReadEscape(std::string_view s, std::size_t i, char quote, bool inText) {
  if (i >= s.size()) return {i, -1};
  char c = s[i++];
  for (;;) {
    switch (c) {
      case 'a':
        return {i, 7};
      case 'b':
        return {i, 8};
      case 'c':
        if (!inText) return {i, 'c'};
        [[fallthrough]];
      case '\n':
      case '\r': {
        if (c != 'c' && !inText) return {i, '\n'};
        if (c == '\r' && i < s.size() && s[i] == '\n') ++i;
        // "\c" skips all layout; a line continuation skips blanks but stops
        // at the next line end, which it keeps.
        std::size_t len = 0;
        while (i < s.size()) {
          const char32_t cp = DecodeUtf8(s, i, len);
          if (!IsBlank(cp) || (c != 'c' && cp == '\n')) break;
          i += len;
        }
        if (i >= s.size()) return {i, -1};
        const char32_t next = DecodeUtf8(s, i, len);
        i += len;
        if (next == '\\') {
          if (i >= s.size()) return {i, -1};
          c = s[i++];
          continue;
        }
        if (next == static_cast<unsigned char>(quote)) return {i, -2};
        return {i, static_cast<std::int64_t>(next)};
      }
      case 'e':
        return {i, 27};
      case 'f':
        return {i, 12};
      case '\\':
      case '\'':
      case '"':
      case '`':
        return {i, c};
      case 'n':
        return {i, '\n'};
      case 'r':
        return {i, '\r'};
      case 't':
        return {i, '\t'};
      case 's':
        return {i, ' '};
      case 'v':
        return {i, 11};
      case 'u':
      case 'U': {
        std::int64_t code = 0;
        for (int k = c == 'u' ? 4 : 8; k > 0; --k) {
          const int v = i < s.size() ? HexValue(s[i]) : -1;
          if (v < 0) return {i, -1};
          code = code * 16 + v;
          ++i;
        }
        return {i, ValidCodePoint(static_cast<std::uint64_t>(code)) ? code : -1};
      }
      default: {
        int base = 0;
        if (c == 'x' && i < s.size() && HexValue(s[i]) >= 0) {
          base = 16;
        } else if (c >= '0' && c <= '7') {
          base = 8;
          --i;
        } else {
          return {i, c == quote ? c : -1};
        }
        std::int64_t code = 0;
        for (int v; i < s.size() && (v = DigitIn(s[i], base)) >= 0; ++i) {
          code = code * base + v;
          if (!ValidCodePoint(static_cast<std::uint64_t>(code))) return {i, -1};
        }
        if (i < s.size() && s[i] == '\\') ++i;
        return {i, code};
      }
    }
  }
}

// A number's digits in base 10 with the separators "_" (and layout after
// it) and " ", from s[i]; false when there is no digit.
bool SkipDecimals(std::string_view s, std::size_t& i, bool& nonZero) {
  const std::size_t start = i;
  for (;;) {
    while (i < s.size() && s[i] >= '0' && s[i] <= '9')
      nonZero |= s[i++] != '0';
    std::size_t k = i;
    if (k < s.size() && s[k] == '_') {
      ++k;
      while (k < s.size() && IsBlank(static_cast<unsigned char>(s[k])))
        ++k;
    } else if (k < s.size() && s[k] == ' ') {
      ++k;
    } else {
      break;
    }
    if (k >= s.size() || s[k] < '0' || s[k] > '9') break;
    i = k;
  }
  return i > start;
}

// The kinds of token the parser sees, as SWI-Prolog's tokenizer makes them.
enum class Tk : std::uint8_t {
  kFunctor,   // a name right before "("
  kDict,      // a name right before "{": a dict's tag
  kQName,     // a quoted name
  kName,      // any other name, "[]" and "{}" included
  kVarDict,   // a variable right before "{"
  kVar,       // a variable
  kVoidDict,  // "_{"
  kVoid,      // "_"
  kNumber,
  kString,
  kPunct,  // ( ) [ ] { } , |
  kFullStop,
  kQqOpen,  // "{|"
  kQqBar,   // "||Text|}"
};

// What the frames parse: each is one call of SWI-Prolog's complex_term() and
// the construct that made it.
enum Construct : std::uint8_t {
  kClause,     // the clause, up to its full stop
  kArgs,       // f(...): an argument
  kList,       // [...]: an element
  kListTail,   // [...|Tail]
  kCurly,      // {...}
  kParen,      // (...)
  kDictValue,  // Tag{Key:Value, ...}: a value
  kQqSyntax,   // {|Syntax||
};

}  // namespace

class TermReader::Parser {
 public:
  Parser(TermReader& r, const Operators* ops, Encoding encoding, Limits limits,
         std::size_t partSize)
      : r_(r), ops_(ops), encoding_(encoding), limits_(limits), partSize_(partSize) {}

  std::size_t Push(std::span<const prolog::Token> tokens, std::string_view block,
                   std::uint64_t base);
  bool Finish();

 private:
  struct Stored {
    std::uint64_t offset;
    std::uint32_t text;  // in text_
    std::uint32_t length;
    TokenClass cls;
    bool gap;  // layout or a comment before it
  };
  struct Token {
    Tk type = Tk::kFullStop;
    char punct = 0;
    bool nil = false;         // the name "[]" is the empty list
    bool backQuoted = false;  // strings
    bool floatNumber = false;
    std::string_view name;
    std::uint64_t start = 0, end = 0;
    std::uint64_t far = 0;  // quasi-quotations: the end of "|}"
  };
  struct OpEntry {
    std::string_view name;
    bool nil = false;
    bool block = false;  // "[" or "{": the operator is the list or {} term that follows
    OpKind kind = OpKind::kPrefix;
    std::int16_t pri = 0, left = 0, right = 0;
    const OpDefs* defs = nullptr;
    std::uint64_t start = 0, end = 0;
    std::uint32_t blockNode = 0;
  };
  // A block operator waiting for its block, the construct above its frame.
  struct Block {
    OpEntry op;
    bool postfix;
    std::int16_t cpri;
  };
  struct Out {
    std::uint32_t node;
    std::int16_t pri;
  };
  struct Frame {
    Construct construct = kClause;
    std::int32_t outN = 0, sideN = 0, rmo = 0;  // rmo: operands less operators, 0 or 1
    std::uint32_t pendingBase = 0;
    std::string_view openName;  // the functor of f(...)
    bool openNil = false;
    std::uint64_t openFrom = 0, openTo = 0;  // the token that opened the construct
    bool blockPending = false;               // a block operator waits for its block: blocks_.back()
  };

  // Gathering a clause.
  void Start(std::uint64_t offset);
  void Reset();
  std::size_t NextSuspicious(std::string_view block, std::size_t from) const;
  std::size_t Refused(std::string_view text) const;
  void Copy(std::string_view block, std::uint64_t base, std::size_t from, std::size_t to);
  [[gnu::always_inline]] inline void Keep(TokenClass cls, std::uint32_t length,
                                          std::uint64_t offset);
  bool Joins(TokenClass cls, std::string_view text, std::uint64_t offset) const;
  void Complete(bool atEnd);
  std::string_view Text(const Stored& s) const { return {text_.get() + s.text, s.length}; }
  bool Adjacent(std::size_t i) const { return i < stored_.size() && !stored_[i].gap; }

  // The tokenizer.
  [[gnu::always_inline]] inline bool Next(bool mustBeOp);  // into current_
  [[gnu::always_inline]] inline bool Name(std::size_t i, bool mustBeOp, Token& t);
  bool Number(std::string_view text, std::uint64_t offset, std::size_t next, Token& t);
  bool Quoted(std::string_view quoted, std::string_view& out);
  std::string_view Utf8(std::string_view raw);

  // The parser.
  bool Parse();
  Frame& Top() { return frames_.back(); }
  const Frame& Top() const { return frames_.back(); }
  void Unget() { unget_ = true; }
  [[gnu::always_inline]] inline int IsNameToken(const Token& t, bool mustBeOp,
                                                const OpDefs* defs) const;
  [[gnu::always_inline]] static inline bool IsOp(OpEntry& e, OpKind kind);
  [[gnu::always_inline]] static inline bool IsStop(Construct c, const Token& t);
  void Modify(int cpri);
  bool Reduce(int cpri);
  int ReduceOne(int cpri);
  int CanReduce(const OpEntry& op, int cpri) const;
  void BuildOpTerm(const OpEntry& op);
  bool Operator(OpEntry& op, const Token& t, bool postfix, int cpri);
  bool SimpleTerm(const Token& t);
  [[gnu::always_inline]] inline bool Deliver(std::uint32_t node);
  bool ExitFrame();
  bool Close(std::uint32_t node);
  [[gnu::always_inline]] inline bool StopAhead() const;
  [[gnu::always_inline]] inline std::uint32_t Leaf(const Token& t);
  bool BeginDictEntry();
  bool DistinctKeys(std::uint32_t base);
  bool ValidSyntax(std::uint32_t node) const;
  bool PushFrame(Construct c, const Token& open);
  [[gnu::always_inline]] inline std::uint32_t NewTerm(TermKind kind, std::string_view name,
                                                      std::uint64_t from, std::uint64_t to);
  std::uint32_t NewVar(std::string_view name, const Token& t);
  std::uint32_t Children(std::size_t from);
  std::uint64_t OuterFrom(std::uint32_t n) const {
    const Term& t = r_.terms_[n];
    return t.parentheses ? t.parenFrom : t.from;
  }
  std::uint64_t OuterTo(std::uint32_t n) const {
    const Term& t = r_.terms_[n];
    return t.parentheses ? t.parenTo : t.to;
  }
  bool Fail() {
    r_.errorAt_ = current_.start;
    return false;
  }

  TermReader& r_;
  const Operators* ops_;
  const OpDefs* commaDefs_ = nullptr;  // ops_'s "," and "|", looked up once a clause
  const OpDefs* barDefs_ = nullptr;
  Encoding encoding_;
  Limits limits_;
  std::size_t partSize_;

  bool started_ = false;
  bool complete_ = false;  // the clause was handed out: the next token starts another
  bool gap_ = false;
  bool illegal_ = false;
  bool tooLarge_ = false;
  std::uint64_t lastEnd_ = 0;
  std::unique_ptr<char[]> text_;  // the clause's text from its first byte: textSize_ of textRoom_
  std::size_t textSize_ = 0, textRoom_ = 0;
  std::vector<Stored> stored_;
  struct Scan {
    const char* data = nullptr;  // the block, as the last call had it
    std::size_t size = 0;
    std::uint64_t base = 0;
    std::size_t next = 0;  // NextSuspicious from where the tokens have got to
  } scan_;

  std::string decoded_;
  std::size_t at_ = 0;
  bool split_ = false;
  bool unget_ = false;
  bool tooDeep_ = false;
  Token current_;
  std::vector<OpEntry> side_;
  std::vector<Out> out_;
  std::vector<std::uint32_t> pending_;
  std::vector<Frame> frames_;
  std::vector<Block> blocks_;
  std::vector<std::uint32_t> varSlots_;  // variable number + 1, by hash of the name
  std::vector<std::uint32_t> varSlotUsed_;
  std::vector<std::uint32_t> keySlots_;
};

// ---------------------------------------------------------------------------
// Gathering a clause's tokens.

std::size_t TermReader::Parser::Push(std::span<const prolog::Token> tokens, std::string_view block,
                                     std::uint64_t base) {
  if (complete_) Reset();
  if (tokens.empty()) return 0;
  constexpr std::size_t kNone = ~std::size_t{0};
  std::size_t copyFrom = started_ ? tokens.front().begin : kNone;  // what text_ lacks of the clause
  // Where the next byte is that may be a character the reader refuses, looked
  // for once over a block however many calls its tokens take.
  if (block.data() != scan_.data || block.size() != scan_.size || base != scan_.base)
    scan_ = {block.data(), block.size(), base, NextSuspicious(block, tokens.front().begin)};
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    const prolog::Token& t = tokens[i];
    const TokenClass cls = t.cls;
    const std::uint64_t offset = base + t.begin, end = base + t.end;
    const std::uint32_t length = static_cast<std::uint32_t>(t.end - t.begin);
    if (cls == TokenClass::kLayout || cls == TokenClass::kComment) {
      if (cls == TokenClass::kLayout && scan_.next < t.end) {
        while (scan_.next < t.begin)  // in a token that may hold it, quoted text
          scan_.next = NextSuspicious(block, scan_.next + 1);
      }
      if (cls == TokenClass::kLayout && scan_.next < t.end) {
        // A character the reader refuses starts a clause, which it cannot read.
        const std::size_t at = Refused(block.substr(t.begin, length));
        if (at != kNone && !started_) {
          Start(offset + at);
          copyFrom = t.begin + at;
        }
        illegal_ |= at != kNone;
      }
      gap_ = true;
      lastEnd_ = end;
      continue;
    }
    if (!started_) {  // a "." alone too: SWI-Prolog's end_of_clause error
      Start(offset);
      copyFrom = t.begin;
    }
    if (!tooLarge_ && !stored_.empty() && stored_.back().length >= partSize_) {
      Copy(block, base, copyFrom, t.begin);  // the part before must be there to compare
      copyFrom = t.begin;
      if (Joins(cls, block.substr(t.begin, length), offset)) {
        stored_.back().length += length;
        gap_ = false;
        lastEnd_ = end;
        if (end - r_.clauseFrom_ > limits_.bytes) tooLarge_ = true;
        continue;
      }
    }
    Keep(cls, length, offset);
    gap_ = false;
    lastEnd_ = end;
    if (end - r_.clauseFrom_ > limits_.bytes) tooLarge_ = true;
    if (cls == TokenClass::kEnd) {
      Copy(block, base, copyFrom, t.end);
      Complete(false);
      return i + 1;
    }
  }
  if (copyFrom != kNone) Copy(block, base, copyFrom, tokens.back().end);
  return tokens.size();
}

void TermReader::Parser::Reset() {
  complete_ = started_ = gap_ = illegal_ = tooLarge_ = false;
  textSize_ = 0;
  stored_.clear();
  r_.status_ = Status::kNone;
  r_.terms_.clear();
  r_.childIndex_.clear();
  r_.variables_.clear();
}

namespace {

constexpr std::uint64_t kOnes = 0x0101010101010101ull;
constexpr std::uint64_t kHigh = 0x8080808080808080ull;

// The high bit of each byte of w that may be a character the reader refuses
// (set as kSuspiciousUtf8 or kSuspiciousLatin1 has it), for 8 bytes at once.
// Sums of bytes below 0x80 carry into no other byte.
std::uint64_t SuspiciousBytes(std::uint64_t w, bool utf8) {
  const std::uint64_t high = w & kHigh;
  const std::uint64_t low = w & ~kHigh;
  const auto atLeast = [low](unsigned n) { return (low + (0x80 - n) * kOnes) & kHigh; };
  const std::uint64_t control = ~atLeast(9) | (atLeast(14) & ~atLeast(32)) | atLeast(127);
  std::uint64_t beyond;
  if (utf8) {
    const std::uint64_t x = w ^ (0xC2 * kOnes);  // 0 where the byte is 0xC2
    beyond = ~(((x & ~kHigh) + ~kHigh) | x) & kHigh;
  } else {
    beyond = high & ~atLeast(32);  // 0x80..0x9F
  }
  return (~high & control & kHigh) | beyond;
}

}  // namespace

// The first byte from `from` on that may be a character the reader refuses
// (as kSuspiciousUtf8 or kSuspiciousLatin1 has them), or the block's end: 8
// bytes at a look.
std::size_t TermReader::Parser::NextSuspicious(std::string_view block, std::size_t from) const {
  const bool utf8 = encoding_ == Encoding::kUtf8;
  if constexpr (std::endian::native == std::endian::little) {
    for (; from + 8 <= block.size(); from += 8) {
      std::uint64_t w;
      std::memcpy(&w, block.data() + from, 8);
      // Printable ASCII, as most words are, at a cheaper look first: no byte
      // below 0x20 (line ends are), none from 0x7F on.
      const std::uint64_t del = w ^ (0x7F * kOnes);
      if ((((w - 0x20 * kOnes) & ~w) | ((del - kOnes) & ~del) | w) & kHigh) {
        if (const std::uint64_t m = SuspiciousBytes(w, utf8))
          return from + static_cast<std::size_t>(std::countr_zero(m)) / 8;
      }
    }
  }
  const std::array<bool, 256>& table = utf8 ? kSuspiciousUtf8 : kSuspiciousLatin1;
  while (from < block.size() && !table[static_cast<unsigned char>(block[from])])
    ++from;
  return from;
}

// Where layout holds a character the reader refuses, if it does.
std::size_t TermReader::Parser::Refused(std::string_view text) const {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const unsigned char b = static_cast<unsigned char>(text[i]);
    const bool c1 =
        encoding_ == Encoding::kUtf8
            ? b == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) <= 0x9F
            : b >= 0x80 && b <= 0x9F;
    if (kIllegalByte[b] || c1) return i;
  }
  return ~std::size_t{0};
}

// The clause's bytes block[from..to) to their place in text_, which holds
// the clause's text from its first byte on, as far as the byte limit.
void TermReader::Parser::Copy(std::string_view block, std::uint64_t base, std::size_t from,
                              std::size_t to) {
  if (to <= from) return;
  const std::uint64_t at = base + from - r_.clauseFrom_;
  if (at >= limits_.bytes) return;
  const std::size_t n =
      static_cast<std::size_t>(std::min<std::uint64_t>(to - from, limits_.bytes - at));
  if (at + n > textRoom_) {
    const std::size_t room = std::max<std::size_t>(2 * textRoom_, at + n + 4096);
    std::unique_ptr<char[]> grown(new char[room]);
    if (textSize_) std::memcpy(grown.get(), text_.get(), textSize_);
    text_ = std::move(grown);
    textRoom_ = room;
  }
  std::memcpy(text_.get() + at, block.data() + from, n);
  textSize_ = std::max<std::size_t>(textSize_, at + n);
}

void TermReader::Parser::Start(std::uint64_t offset) {
  started_ = true;
  r_.status_ = Status::kNone;
  r_.clauseFrom_ = offset;
}

void TermReader::Parser::Keep(TokenClass cls, std::uint32_t length, std::uint64_t offset) {
  if (tooLarge_) return;
  if (cls != TokenClass::kEnd && stored_.size() >= limits_.tokens) {
    tooLarge_ = true;  // the full stop is always kept: the tokens end with it
    return;
  }
  stored_.push_back(
      Stored{offset, static_cast<std::uint32_t>(offset - r_.clauseFrom_), length, cls, gap_});
}

// Whether the token is the next part of the one before: the lexer hands out
// long tokens in parts of at least its part size, each of the same class,
// right after each other.
bool TermReader::Parser::Joins(TokenClass cls, std::string_view text, std::uint64_t offset) const {
  const Stored& prev = stored_.back();
  if (gap_ || offset != lastEnd_ || text.empty() || prev.cls != cls) return false;
  const std::string_view before = Text(prev);
  std::size_t len = 0;
  switch (cls) {
    case TokenClass::kQuoted:
    case TokenClass::kString:
    case TokenClass::kCodes:
      return true;  // quoted text right after quoted text is one token
    case TokenClass::kQq:
      return before.starts_with("||") && !before.ends_with("|}");
    case TokenClass::kVar:
    case TokenClass::kAtom: {
      const char32_t first = DecodeUtf8(before, 0, len);
      const char32_t next = DecodeUtf8(text, 0, len);
      return IsSymbolChar(first) ? IsSymbolChar(next) : IsAlnum(next);
    }
    default:
      return false;
  }
}

void TermReader::Parser::Complete(bool atEnd) {
  complete_ = true;
  r_.clauseTo_ = lastEnd_;
  r_.terms_.clear();
  r_.childIndex_.clear();
  r_.variables_.clear();
  r_.errorAt_ = r_.clauseFrom_;
  if (atEnd || illegal_) {
    r_.status_ = Status::kSyntaxError;  // no full stop, or a character the reader refuses
  } else if (tooLarge_) {
    r_.status_ = Status::kTooLarge;
  } else {
    const bool read = Parse();
    r_.status_ = read ? Status::kRead : tooDeep_ ? Status::kTooLarge : Status::kSyntaxError;
  }
  if (r_.status_ != Status::kRead) {
    r_.terms_.clear();
    r_.childIndex_.clear();
    r_.variables_.clear();
  }
}

bool TermReader::Parser::Finish() {
  if (!started_ || complete_) return false;
  Complete(true);
  return true;
}

// ---------------------------------------------------------------------------
// The tokenizer: SWI-Prolog's get_token() over the kept tokens. The lexer
// has cut the text; what a token is to the parser may still depend on the
// parser's state ("-1" is a number unless an operator must come) and on the
// token after it.

bool TermReader::Parser::Next(bool mustBeOp) {
  if (unget_) {
    unget_ = false;
    return true;
  }
  Token& t = current_;
  t = Token{};
  const Stored& s = stored_[at_];
  const std::string_view text = Text(s);
  bool ok = true;
  if (split_) {  // the digits of a "-1" whose "-" was an operator
    split_ = false;
    ++at_;
    ok = Number(text.substr(1), s.offset + 1, at_, t);
  } else {
    switch (s.cls) {
      case TokenClass::kEnd:
        t.type = Tk::kFullStop;
        t.start = s.offset;
        t.end = s.offset + s.length;
        break;
      case TokenClass::kNumber:
        if (mustBeOp && text[0] == '-') {
          split_ = true;
          t.type = Tk::kName;
          t.name = text.substr(0, 1);
          t.start = s.offset;
          t.end = s.offset + 1;
          break;
        }
        ++at_;
        ok = Number(text, s.offset, at_, t);
        break;
      case TokenClass::kString:
      case TokenClass::kCodes:
        ++at_;
        t.type = Tk::kString;
        t.backQuoted = s.cls == TokenClass::kCodes;
        t.start = s.offset;
        t.end = s.offset + s.length;
        ok = Quoted(text, t.name);
        break;
      case TokenClass::kQq:
        ++at_;
        t.start = s.offset;
        if (IsPair(text, '{', '|')) {
          t.type = Tk::kQqOpen;
          t.end = s.offset + 2;
          break;
        }
        t.type = Tk::kQqBar;
        t.end = s.offset + 2;
        t.far = s.offset + s.length;
        // "||" then the text up to "|}", which the lexer found, or the end of the
        // source when no "|}" came.
        ok = text.size() >= 4 && text.ends_with("|}");
        if (ok) t.name = text.substr(2, text.size() - 4);
        break;
      default:
        ok = Name(at_, mustBeOp, t);
        break;
    }
  }
  return ok;
}

// A name, a variable, punctuation, or "-" before digits, at stored_[i].
bool TermReader::Parser::Name(std::size_t i, bool mustBeOp, Token& t) {
  const Stored& s = stored_[i];
  const std::string_view text = Text(s);
  t.start = s.offset;
  t.end = s.offset + s.length;
  at_ = i + 1;
  const char follows = Adjacent(i + 1) ? text_.get()[stored_[i + 1].text] : '\0';
  if (s.cls == TokenClass::kVar) {
    t.name = Utf8(text);
    const bool tag = follows == '{';
    t.type =
        IsChar(text, '_') ? (tag ? Tk::kVoidDict : Tk::kVoid) : (tag ? Tk::kVarDict : Tk::kVar);
    return true;
  }
  if (s.cls == TokenClass::kQuoted) {
    if (!Quoted(text, t.name)) return false;
    t.type = follows == '(' ? Tk::kFunctor : follows == '{' ? Tk::kDict : Tk::kQName;
    return true;
  }
  // "[" and "{" with nothing but layout and comments before "]" or "}" are
  // the atoms [] and {}, whichever way the lexer cut them.
  if (text.size() == 1 && (text[0] == '[' || text[0] == '{') && i + 1 < stored_.size() &&
      IsChar(Text(stored_[i + 1]), text[0] == '[' ? ']' : '}')) {
    t.type = Adjacent(i + 2) && text_.get()[stored_[i + 2].text] == '(' ? Tk::kFunctor : Tk::kName;
    t.nil = text[0] == '[';
    t.name = t.nil ? "[]" : "{}";
    t.end = stored_[i + 1].offset + 1;
    at_ = i + 2;
    return true;
  }
  if (s.cls == TokenClass::kPunct && text.size() == 1 && text[0] != ':') {
    t.type = Tk::kPunct;
    t.punct = text[0];
    return true;
  }
  // "-" right before digits is a number's sign where an operand may come.
  if (IsChar(text, '-') && !mustBeOp && Adjacent(i + 1) &&
      stored_[i + 1].cls == TokenClass::kNumber && text_.get()[stored_[i + 1].text] != '-') {
    const Stored& digits = stored_[i + 1];
    at_ = i + 2;
    return Number(std::string_view(text_.get() + s.text, s.length + digits.length), s.offset, at_,
                  t);
  }
  std::size_t len = 1;
  const char32_t first =
      encoding_ == Encoding::kUtf8 ? DecodeUtf8(text, 0, len) : static_cast<unsigned char>(text[0]);
  if (first >= 0x80 && first <= 0x9F) return false;  // a C1 control: illegal_character
  t.name = Utf8(text);
  t.nil = IsPair(text, '[', ']') && s.cls == TokenClass::kAtom;
  const bool solo = IsChar(text, '!') || IsChar(text, ';') ||
                    (first >= 0x80 && len == text.size() && ClassOf(first) == CharClass::kSolo);
  t.type = follows == '(' ? Tk::kFunctor : follows == '{' && !solo ? Tk::kDict : Tk::kName;
  return true;
}

// A number: what SWI-Prolog refuses of what the lexer takes for one, and
// whether it is a float. `next` is the stored token after it.
bool TermReader::Parser::Number(std::string_view text, std::uint64_t offset, std::size_t next,
                                Token& t) {
  t.type = Tk::kNumber;
  t.name = text;
  t.start = offset;
  t.end = offset + text.size();
  const std::size_t sign = text[0] == '-' ? 1 : 0;
  const std::string_view n = text.substr(sign);
  if (n.size() >= 2 && n[0] == '0' && n[1] == '\'') {
    if (n.size() > 2 && n[2] == '\\') {
      const Escape e = ReadEscape(n, 3, '\'', false);
      return e.code >= 0 && e.end == n.size();
    }
    return true;
  }
  if (IsChar(n, '0') && Adjacent(next)) {
    // "0x", "0o", "0b" with no digit of the base after them: illegal_number.
    const char c = text_.get()[stored_[next].text];
    if (c == 'x' || c == 'o' || c == 'b') return false;
  }
  if (n.size() > 2 && n[0] == '0' && (n[1] == 'x' || n[1] == 'o' || n[1] == 'b')) return true;
  std::size_t i = 0;
  bool nonZero = false;
  SkipDecimals(n, i, nonZero);
  if (i == n.size()) return true;
  if (n[i] == 'r') {  // a rational: n/0 is illegal
    bool denominator = false;
    ++i;
    SkipDecimals(n, i, denominator);
    return denominator;
  }
  if (n[i] == '\'') return true;  // 16'FF
  // A float; "Inf" and "NaN" after the fraction, NaN only as 1.xNaN.
  t.floatNumber = true;
  if (n.ends_with("Inf")) return true;
  if (n.ends_with("NaN")) return n.starts_with("1.");
  char buffer[128];
  std::string copy;
  const char* digits = buffer;
  if (text.size() < sizeof buffer) {
    std::memcpy(buffer, text.data(), text.size());
    buffer[text.size()] = '\0';
  } else {
    copy.assign(text);
    digits = copy.c_str();
  }
  errno = 0;
  const double value = std::strtod(digits, nullptr);
  // Overflow is a syntax error; underflow is not (the flag float_underflow is "ignore").
  return !(errno == ERANGE && std::fabs(value) > 1.0);
}

// The text of a quoted atom or string, quotes removed and escapes decoded.
bool TermReader::Parser::Quoted(std::string_view quoted, std::string_view& out) {
  const char q = quoted[0];
  const std::string_view body = quoted.substr(1);
  if (quoted.size() >= 2 && quoted.back() == q && body.find('\\') == std::string_view::npos &&
      body.substr(0, body.size() - 1).find(q) == std::string_view::npos &&
      (encoding_ == Encoding::kUtf8 ||
       std::none_of(body.begin(), body.end(), [](char c) { return c & 0x80; }))) {
    out = body.substr(0, body.size() - 1);
    return true;
  }
  const std::size_t start = decoded_.size();
  std::size_t i = 1;
  for (;;) {
    if (i >= quoted.size()) return false;  // never closed
    const char c = quoted[i];
    if (c == q) {
      if (i + 1 < quoted.size() && quoted[i + 1] == q) {
        decoded_ += q;
        i += 2;
        continue;
      }
      if (i + 1 != quoted.size()) return false;
      break;
    }
    if (c == '\\') {
      const Escape e = ReadEscape(quoted, i + 1, q, true);
      if (e.code == -1) return false;
      if (e.code == -2) {  // "\c" right before the closing quote
        if (e.end != quoted.size()) return false;
        break;
      }
      AppendUtf8(decoded_, static_cast<char32_t>(e.code));
      i = e.end;
      continue;
    }
    if (encoding_ == Encoding::kLatin1 && (c & 0x80))
      AppendUtf8(decoded_, static_cast<unsigned char>(c));
    else
      decoded_ += c;
    ++i;
  }
  out = std::string_view(decoded_).substr(start);
  return true;
}

// The source's bytes as UTF-8: a Latin-1 source's characters above ASCII
// become two bytes each.
std::string_view TermReader::Parser::Utf8(std::string_view raw) {
  if (encoding_ == Encoding::kUtf8 ||
      std::none_of(raw.begin(), raw.end(), [](char c) { return c & 0x80; }))
    return raw;
  const std::size_t start = decoded_.size();
  for (char c : raw)
    AppendUtf8(decoded_, static_cast<unsigned char>(c));
  return std::string_view(decoded_).substr(start);
}

// ---------------------------------------------------------------------------
// The parser.

bool TermReader::Parser::Parse() {
  // Decoded names point into decoded_, which must not move: no name decodes to
  // more than twice its source.
  decoded_.clear();
  decoded_.reserve(2 * textSize_ + 16);
  for (std::uint32_t slot : varSlotUsed_)
    varSlots_[slot] = 0;
  varSlotUsed_.clear();
  side_.clear();
  out_.clear();
  pending_.clear();
  frames_.clear();
  blocks_.clear();
  at_ = 0;
  split_ = unget_ = tooDeep_ = false;
  current_ = Token{};
  commaDefs_ = ops_->Find(",");
  barDefs_ = ops_->Find("|");
  PushFrame(kClause, current_);
  for (;;) {
    if (!Next(Top().rmo == 1)) return Fail();
    const Token& t = current_;
    if ((Top().outN != 0 || Top().sideN != 0) && IsStop(Top().construct, t)) {
      if (!ExitFrame()) return Fail();
      if (frames_.empty()) return true;
      continue;
    }
    // The commonest case, an atomic term alone before its stop ("f(a, X)"),
    // takes a shorter way to the same term.
    if (Top().outN == 0 && Top().sideN == 0 && t.type >= Tk::kQName && t.type <= Tk::kString &&
        t.type != Tk::kVarDict && t.type != Tk::kVoidDict && StopAhead()) {
      const std::uint32_t node = Leaf(t);
      Next(true);
      if (!Close(node)) return Fail();
      if (frames_.empty()) return true;
      continue;
    }
    const bool name = t.type == Tk::kName || t.type == Tk::kQName || t.type == Tk::kFunctor ||
                      t.type == Tk::kDict || t.type == Tk::kPunct;
    OpEntry op;
    if (name) {
      op.block = t.type == Tk::kPunct && (t.punct == '[' || t.punct == '{');
      op.nil = t.nil || (t.type == Tk::kPunct && t.punct == '[');
      op.name = t.type != Tk::kPunct ? t.name
                : t.punct == '['     ? std::string_view("[]")
                : t.punct == '{'     ? std::string_view("{}")
                : t.punct == ','     ? std::string_view(",")
                                     : std::string_view("|");
      op.defs = t.type != Tk::kPunct ? ops_->Find(op.name)
                : t.punct == ','     ? commaDefs_
                : t.punct == '|'     ? barDefs_
                                     : ops_->Find(op.name);
      op.start = t.start;
      op.end = t.end;
    }
    const int rc = name ? IsNameToken(t, Top().rmo == 1, op.defs) : 0;
    if (rc < 0) return Fail();
    if (rc > 0 && op.defs) {
      if (Top().rmo == 0 && IsOp(op, OpKind::kPrefix)) {
        if (!Operator(op, t, false, 0)) return Fail();
        continue;
      }
      // After an operand, an infix or a postfix operator; where an operand
      // should come, it may still make the prefix operator before it an atom.
      bool pushed = false;
      for (const OpKind kind : {OpKind::kInfix, OpKind::kPostfix}) {
        if (!IsOp(op, kind)) continue;
        Modify(op.left);
        if (Top().rmo != 1) continue;
        if (!Reduce(op.left)) return Fail();
        int cpri = kAnyPriority;  // what a postfix operator is reduced at at once
        if (kind == OpKind::kInfix) {
          Top().rmo--;
        } else if (Top().sideN > 0 && side_.back().kind != OpKind::kPostfix) {
          cpri = side_.back().right;
        }
        if (!Operator(op, t, kind == OpKind::kPostfix, cpri)) return Fail();
        pushed = true;
        break;
      }
      if (pushed) continue;
    }
    if (Top().rmo == 1) return Fail();  // operator_expected
    if (!SimpleTerm(t)) return Fail();
  }
}

int TermReader::Parser::IsNameToken(const Token& t, bool mustBeOp, const OpDefs* defs) const {
  switch (t.type) {
    case Tk::kName:
      return 1;
    case Tk::kQName:
      // Only a quoted name that needs its quotes can be an operator. (A name
      // that is no operator at all reads the same either way.)
      return defs && Unquoted(t.name) ? 0 : 1;
    case Tk::kFunctor:
    case Tk::kDict:
      return mustBeOp ? 1 : 0;
    case Tk::kPunct:
      switch (t.punct) {
        case '(':
          return 0;
        case ')':
        case ']':
        case '}':
          return -1;  // cannot_start_term
        case '|':
          return mustBeOp ? 1 : -1;  // quoted_punctuation
        default:
          return 1;
      }
    default:
      return 0;
  }
}

namespace {

// What an operator's arguments may have, below its own priority: 0 for
// "y" (as much), 1 for "x" (less), by OpType; -1 where it has no argument.
struct ArgumentRoom {
  std::int8_t left, right;
};
constexpr ArgumentRoom kRoom[] = {{1, 1}, {1, 0}, {0, 1}, {-1, 1}, {-1, 0}, {1, -1}, {0, -1}};

}  // namespace

bool TermReader::Parser::IsOp(OpEntry& e, OpKind kind) {
  const OpDef& d = (*e.defs)[kind];
  if (d.priority == 0) return false;
  const ArgumentRoom room = kRoom[static_cast<int>(d.type)];
  e.kind = kind;
  e.pri = static_cast<std::int16_t>(d.priority);
  e.left = static_cast<std::int16_t>(room.left < 0 ? 0 : d.priority - room.left);
  e.right = static_cast<std::int16_t>(room.right < 0 ? 0 : d.priority - room.right);
  return true;
}

bool TermReader::Parser::IsStop(Construct c, const Token& t) {
  if (c == kClause) return t.type == Tk::kFullStop;
  if (c == kQqSyntax) return t.type == Tk::kQqBar || (t.type == Tk::kPunct && t.punct == '|');
  if (t.type != Tk::kPunct) return false;
  switch (c) {
    case kArgs:
      return t.punct == ',' || t.punct == ')';
    case kList:
    case kListTail:
      return t.punct == ',' || t.punct == '|' || t.punct == ']';
    case kCurly:
      return t.punct == '}';
    case kParen:
      return t.punct == ')';
    case kDictValue:
      return t.punct == ',' || t.punct == '}';
    default:
      return false;
  }
}

// Where an operand was expected but an operator came (or the end): the
// operator before it is an atom if it is a prefix one, or a postfix one if
// it is an infix one that can be.
void TermReader::Parser::Modify(int cpri) {
  Frame& f = Top();
  if (f.sideN == 0 || f.rmo != 0 || cpri <= side_.back().right) return;
  OpEntry& op = side_.back();
  if (op.kind == OpKind::kPrefix && !op.block) {  // a block stays an operator: "X = {a}" fails
    f.rmo++;
    const std::uint32_t node = NewTerm(TermKind::kAtom, op.name, op.start, op.end);
    r_.terms_[node].emptyList = op.nil;
    out_.push_back(Out{node, 0});
    f.outN++;
    side_.pop_back();
    f.sideN--;
  } else if (op.kind == OpKind::kInfix && f.outN > 0 && IsOp(op, OpKind::kPostfix)) {
    f.rmo++;
    BuildOpTerm(op);
    side_.pop_back();
    f.sideN--;
  }
}

bool TermReader::Parser::Reduce(int cpri) {
  int rc;
  while ((rc = ReduceOne(cpri)) == 1) {
  }
  return rc == 0;
}

int TermReader::Parser::ReduceOne(int cpri) {
  Frame& f = Top();
  if (f.outN == 0 || f.sideN == 0 || cpri < side_.back().pri) return 0;
  const int rc = CanReduce(side_.back(), cpri);
  if (rc > 0) {
    BuildOpTerm(side_.back());
    if (side_.back().kind == OpKind::kInfix) f.outN--;
    side_.pop_back();
    f.sideN--;
  }
  return rc;
}

// 1 if the operator takes the operands before it, 0 if not yet, -1 if it
// never can (operator_clash).
int TermReader::Parser::CanReduce(const OpEntry& op, int cpri) const {
  const int arity = op.kind == OpKind::kInfix ? 2 : 1;
  if (arity > Top().outN) return 0;
  const Out* e = &out_[out_.size() - arity];
  bool ok = false;
  switch (op.kind) {
    case OpKind::kPrefix:
      ok = op.right >= e[0].pri;
      break;
    case OpKind::kPostfix:
      ok = op.left >= e[0].pri;
      break;
    case OpKind::kInfix:
      ok = op.left >= e[0].pri && op.right >= e[1].pri;
      break;
  }
  if (!ok && cpri == kAnyPriority) return -1;
  return ok ? 1 : 0;
}

void TermReader::Parser::BuildOpTerm(const OpEntry& op) {
  const std::size_t arity = op.kind == OpKind::kInfix ? 2 : 1;
  const std::size_t base = out_.size() - arity;
  const std::uint32_t first = out_[base].node, last = out_.back().node;
  std::uint64_t from = op.start, to = op.end;
  if (op.kind != OpKind::kPrefix) from = OuterFrom(first);
  if (op.kind != OpKind::kPostfix) to = OuterTo(last);
  const std::string_view name =
      op.block ? (r_.terms_[op.blockNode].kind == TermKind::kList ? "[]" : "{}") : op.name;
  const std::uint32_t node = NewTerm(TermKind::kCompound, name, from, to);
  Term& t = r_.terms_[node];
  t.form = op.kind == OpKind::kPrefix  ? TermForm::kPrefix
           : op.kind == OpKind::kInfix ? TermForm::kInfix
                                       : TermForm::kPostfix;
  t.block = op.block;
  t.emptyList = op.block ? r_.terms_[op.blockNode].kind == TermKind::kList : op.nil;
  t.functorFrom = op.block ? 0 : op.start;
  t.functorTo = op.block ? 0 : op.end;
  t.children = static_cast<std::uint32_t>(r_.childIndex_.size());
  if (op.block) r_.childIndex_.push_back(op.blockNode);
  for (std::size_t k = base; k < out_.size(); ++k)
    r_.childIndex_.push_back(out_[k].node);
  t.arity = static_cast<std::uint32_t>(arity + (op.block ? 1 : 0));
  out_.resize(base);
  out_.push_back(Out{node, op.pri});
}

// Pushes an operator, or for a block operator ("[...]" or "{...}" declared
// as one) starts its block, after which Deliver pushes it.
bool TermReader::Parser::Operator(OpEntry& op, const Token& t, bool postfix, int cpri) {
  if (op.block) {
    Frame& f = Top();
    f.blockPending = true;
    blocks_.push_back(Block{op, postfix, static_cast<std::int16_t>(cpri)});
    return SimpleTerm(t);
  }
  side_.push_back(op);
  Top().sideN++;
  return !postfix || ReduceOne(cpri) >= 0;
}

// Whether the next stored token is a stop of the frame on top (a full stop
// or punctuation, which reads the same whatever the parser's state).
bool TermReader::Parser::StopAhead() const {
  const Stored& s = stored_[at_];
  const Construct c = Top().construct;
  if (c == kClause) return s.cls == TokenClass::kEnd;
  if (s.cls != TokenClass::kPunct || s.length != 1 || c == kQqSyntax) return false;
  const char p = text_.get()[s.text];
  switch (c) {
    case kArgs:
      return p == ',' || p == ')';
    case kList:
    case kListTail:
      return p == ',' || p == '|' || p == ']';
    case kCurly:
      return p == '}';
    case kParen:
      return p == ')';
    case kDictValue:
      return p == ',' || p == '}';
    default:
      return false;
  }
}

// The term of an atomic token: a variable, an atom, a number or a string.
std::uint32_t TermReader::Parser::Leaf(const Token& t) {
  switch (t.type) {
    case Tk::kVoid:
    case Tk::kVar:
      return NewVar(t.name, t);
    case Tk::kNumber: {
      const std::uint32_t n = NewTerm(TermKind::kNumber, t.name, t.start, t.end);
      r_.terms_[n].floatNumber = t.floatNumber;
      return n;
    }
    case Tk::kString:
      return NewTerm(t.backQuoted ? TermKind::kBackQuoted : TermKind::kString, t.name, t.start,
                     t.end);
    default: {
      const std::uint32_t n = NewTerm(TermKind::kAtom, t.name, t.start, t.end);
      r_.terms_[n].emptyList = t.nil;
      return n;
    }
  }
}

// A term that is no operator: atomic at once, or the start of a construct.
bool TermReader::Parser::SimpleTerm(const Token& t) {
  switch (t.type) {
    case Tk::kVoid:
    case Tk::kVar:
    case Tk::kName:
    case Tk::kQName:
    case Tk::kNumber:
    case Tk::kString:
      return Deliver(Leaf(t));
    case Tk::kFunctor: {
      const Token functor = t;
      if (!Next(false) || !Next(false)) return false;              // "(", then what follows it
      if (current_.type == Tk::kPunct && current_.punct == ')') {  // f()
        const std::uint32_t n =
            NewTerm(TermKind::kCompound, functor.name, functor.start, current_.end);
        Term& c = r_.terms_[n];
        c.emptyList = functor.nil;
        c.functorFrom = functor.start;
        c.functorTo = functor.end;
        c.children = static_cast<std::uint32_t>(r_.childIndex_.size());
        return Deliver(n);
      }
      Unget();
      return PushFrame(kArgs, functor);
    }
    case Tk::kDict:
    case Tk::kVarDict:
    case Tk::kVoidDict: {
      const Token tagToken = t;
      const std::uint32_t base = static_cast<std::uint32_t>(pending_.size());
      std::uint32_t tag;
      if (t.type == Tk::kDict) {
        tag = NewTerm(TermKind::kAtom, t.name, t.start, t.end);
      } else {
        tag = NewVar(t.type == Tk::kVoidDict ? std::string_view("_") : t.name, t);
      }
      pending_.push_back(tag);
      if (!Next(false)) return false;  // "{", or "{}" for an empty dict
      if (current_.type == Tk::kName && IsPair(current_.name, '{', '}')) {
        const std::uint32_t n =
            NewTerm(TermKind::kDict, tagToken.name, tagToken.start, current_.end);
        r_.terms_[n].functorFrom = tagToken.start;
        r_.terms_[n].functorTo = tagToken.end;
        r_.terms_[n].arity = 1;
        r_.terms_[n].children = Children(base);
        return Deliver(n);
      }
      if (!PushFrame(kDictValue, tagToken)) return false;
      Top().pendingBase = base;
      return BeginDictEntry();
    }
    case Tk::kPunct:
      switch (t.punct) {
        case '(':
          return PushFrame(kParen, t);
        case '{':
          return PushFrame(kCurly, t);
        case '[':
          return PushFrame(kList, t);
        default:
          return false;  // "," (quoted_punctuation); nothing else gets here
      }
    case Tk::kQqOpen:
      return PushFrame(kQqSyntax, t);
    default:
      return false;  // a full stop (end_of_clause) or "||" outside a quasi-quotation
  }
}

// A term for the frame on top: an operand, or the block its operator waits for.
bool TermReader::Parser::Deliver(std::uint32_t node) {
  Frame& f = Top();
  if (f.blockPending) {
    f.blockPending = false;
    const Block block = blocks_.back();
    blocks_.pop_back();
    OpEntry op = block.op;
    op.blockNode = node;
    op.start = OuterFrom(node);
    op.end = OuterTo(node);
    side_.push_back(op);
    f.sideN++;
    return !block.postfix || ReduceOne(block.cpri) >= 0;
  }
  f.rmo++;
  out_.push_back(Out{node, 0});
  f.outN++;
  return true;
}

bool TermReader::Parser::PushFrame(Construct c, const Token& open) {
  if (frames_.size() > limits_.depth) {
    tooDeep_ = true;
    return false;
  }
  Frame f;
  f.construct = c;
  f.pendingBase = static_cast<std::uint32_t>(pending_.size());
  f.openName = open.name;
  f.openNil = open.nil;
  f.openFrom = open.start;
  f.openTo = open.end;
  frames_.push_back(f);
  return true;
}

// The frame on top met its stop: its term is done, and so is the construct
// when the stop closes it.
bool TermReader::Parser::ExitFrame() {
  Unget();
  Modify(kAnyPriority);
  if (!Reduce(kAnyPriority)) return false;
  Frame& f = Top();
  std::uint32_t node;
  if (f.outN == 1 && f.sideN == 0) {
    node = out_.back().node;
    out_.pop_back();
  } else if (f.outN == 0 && f.sideN == 1) {
    const OpEntry op = side_.back();
    side_.pop_back();
    node = op.block ? op.blockNode : NewTerm(TermKind::kAtom, op.name, op.start, op.end);
    if (!op.block) r_.terms_[node].emptyList = op.nil;
  } else {
    return false;  // operator_balance
  }
  Next(false);  // the stop again
  return Close(node);
}

// The construct of the frame on top takes the term before its stop.
bool TermReader::Parser::Close(std::uint32_t node) {
  const Token& stop = current_;
  Frame& f = Top();
  f.outN = f.sideN = f.rmo = 0;
  const auto finish = [&](TermKind kind, std::string_view name) {
    const std::uint32_t n = NewTerm(kind, name, f.openFrom, stop.end);
    Term& t = r_.terms_[n];
    t.functorFrom = f.openFrom;
    t.functorTo = f.openTo;
    t.arity = static_cast<std::uint32_t>(pending_.size() - f.pendingBase);
    t.children = Children(f.pendingBase);
    return n;
  };
  switch (f.construct) {
    case kClause:
      r_.root_ = node;
      frames_.pop_back();
      return true;
    case kArgs: {
      pending_.push_back(node);
      if (stop.punct == ',') return true;
      const std::uint32_t n = finish(TermKind::kCompound, f.openName);
      r_.terms_[n].emptyList = f.openNil;
      frames_.pop_back();
      return Deliver(n);
    }
    case kList:
    case kListTail: {
      if (f.construct == kListTail && stop.punct != ']') return false;  // list_rest
      pending_.push_back(node);
      if (stop.punct == ',') return true;
      if (stop.punct == '|') {
        f.construct = kListTail;
        return true;
      }
      const bool tail = f.construct == kListTail;
      const std::uint32_t n = finish(TermKind::kList, "[|]");
      r_.terms_[n].hasTail = tail;
      r_.terms_[n].functorTo = f.openFrom + 1;
      frames_.pop_back();
      return Deliver(n);
    }
    case kCurly: {
      pending_.push_back(node);
      const std::uint32_t n = finish(TermKind::kCurly, "{}");
      frames_.pop_back();
      return Deliver(n);
    }
    case kParen: {
      Term& t = r_.terms_[node];
      if (t.parentheses < 255) t.parentheses++;
      t.parenFrom = f.openFrom;
      t.parenTo = stop.end;
      frames_.pop_back();
      return Deliver(node);
    }
    case kDictValue: {
      pending_.push_back(node);
      if (stop.punct == ',') return BeginDictEntry();
      const std::uint32_t base = f.pendingBase;
      if (!DistinctKeys(base)) return false;  // duplicate_key
      const std::string_view tag = r_.terms_[pending_[base]].name;
      const std::uint32_t n = finish(TermKind::kDict, tag);
      frames_.pop_back();
      return Deliver(n);
    }
    case kQqSyntax: {
      if (stop.type != Tk::kQqBar || !ValidSyntax(node)) return false;
      pending_.push_back(node);
      const std::uint32_t n = NewTerm(TermKind::kQuasiQuotation, stop.name, f.openFrom, stop.far);
      Term& t = r_.terms_[n];
      t.functorFrom = stop.end;
      t.functorTo = stop.far - 2;
      t.arity = 1;
      t.children = Children(f.pendingBase);
      frames_.pop_back();
      return Deliver(n);
    }
  }
  return false;
}

// A dict's key and the ":" after it, before its value.
bool TermReader::Parser::BeginDictEntry() {
  if (!Next(false)) return false;
  const Token key = current_;
  std::uint32_t node;
  if (key.type == Tk::kName || key.type == Tk::kQName || key.type == Tk::kFunctor ||
      key.type == Tk::kDict) {
    node = NewTerm(TermKind::kAtom, key.name, key.start, key.end);
    r_.terms_[node].emptyList = key.nil;
  } else if (key.type == Tk::kNumber && !key.floatNumber) {
    node = NewTerm(TermKind::kNumber, key.name, key.start, key.end);
  } else {
    return false;  // key_expected
  }
  if (!Next(false)) return false;
  const Token& colon = current_;
  const bool name = colon.type == Tk::kName || colon.type == Tk::kQName ||
                    colon.type == Tk::kFunctor || colon.type == Tk::kDict;
  if (!name || !IsChar(colon.name, ':')) return false;  // colon_expected
  r_.terms_[node].functorFrom = colon.start;
  r_.terms_[node].functorTo = colon.end;
  pending_.push_back(node);
  return true;
}

namespace {

// The value of an integer that a dict takes as a key; false when it is none
// (a rational, or beyond the tagged integers: key_domain).
bool SmallInteger(std::string_view text, std::int64_t& value) {
  const bool negative = text[0] == '-';
  std::string_view n = text.substr(negative ? 1 : 0);
  std::uint64_t v = 0;
  if (n.size() >= 2 && n[0] == '0' && n[1] == '\'') {
    const std::string_view c = n.substr(2);
    std::size_t len = 0;
    v = static_cast<std::uint64_t>(c[0] == '\\' ? ReadEscape(c, 1, '\'', false).code
                                                : DecodeUtf8(c, 0, len));
  } else {
    int base = 10;
    std::size_t i = 0;
    if (n.size() > 2 && n[0] == '0' && (n[1] == 'x' || n[1] == 'o' || n[1] == 'b')) {
      base = n[1] == 'x' ? 16 : n[1] == 'o' ? 8 : 2;
      i = 2;
    } else if (const std::size_t q = n.find('\''); q != std::string_view::npos) {
      base = 0;
      for (std::size_t k = 0; k < q; ++k)
        base = base * 10 + (n[k] - '0');
      i = q + 1;
    }
    for (; i < n.size(); ++i) {
      const int d = DigitIn(n[i], base);
      if (d >= 0) {
        if (v > (std::uint64_t{1} << 58)) return false;  // far beyond the range already
        v = v * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(d);
      } else if (n[i] == 'r') {
        return false;  // SWI-Prolog would take 4r2 for 2; no key is written so
      }
    }
  }
  if (negative ? v > static_cast<std::uint64_t>(-kSmallIntMin)
               : v > static_cast<std::uint64_t>(kSmallIntMax))
    return false;
  value = negative ? -static_cast<std::int64_t>(v) : static_cast<std::int64_t>(v);
  return true;
}

}  // namespace

// Whether a dict's keys (from pending_[base + 1], every other one) are all
// different; an integer key out of range fails too.
bool TermReader::Parser::DistinctKeys(std::uint32_t base) {
  const std::size_t keys = (pending_.size() - base) / 2;
  std::size_t size = 16;
  while (size < 2 * keys)
    size *= 2;
  keySlots_.assign(size, 0);
  for (std::size_t k = 0; k < keys; ++k) {
    const std::uint32_t node = pending_[base + 1 + 2 * k];
    const Term& key = r_.terms_[node];
    std::int64_t value = 0;
    std::uint64_t h;
    if (key.kind == TermKind::kNumber) {
      if (!SmallInteger(key.name, value)) return false;
      h = static_cast<std::uint64_t>(value) * 0x9E3779B97F4A7C15ull;
    } else {
      h = HashName(key.name) + (key.emptyList ? 1 : 0);
    }
    for (std::size_t i = h & (size - 1);; i = (i + 1) & (size - 1)) {
      if (keySlots_[i] == 0) {
        keySlots_[i] = node + 1;
        break;
      }
      const Term& other = r_.terms_[keySlots_[i] - 1];
      if (other.kind != key.kind) continue;
      if (key.kind == TermKind::kNumber) {
        std::int64_t v = 0;
        SmallInteger(other.name, v);
        if (v == value) return false;
      } else if (other.name == key.name && other.emptyList == key.emptyList) {
        return false;
      }
    }
  }
  return true;
}

// A quasi-quotation's syntax, modules stripped, must be an atom or compound.
bool TermReader::Parser::ValidSyntax(std::uint32_t node) const {
  for (;;) {
    const Term& t = r_.terms_[node];
    if (t.kind == TermKind::kCompound && t.arity == 2 && !t.block && IsChar(t.name, ':')) {
      const std::uint32_t module = r_.childIndex_[t.children];
      if (r_.terms_[module].kind == TermKind::kAtom && !r_.terms_[module].emptyList) {
        node = r_.childIndex_[t.children + 1];
        continue;
      }
    }
    switch (t.kind) {
      case TermKind::kAtom:
        return !t.emptyList;
      case TermKind::kCompound:
      case TermKind::kList:
      case TermKind::kCurly:
      case TermKind::kDict:
        return true;
      case TermKind::kBackQuoted:
        return !t.name.empty();  // a list of codes; `` is []
      default:
        return false;
    }
  }
}

std::uint32_t TermReader::Parser::NewTerm(TermKind kind, std::string_view name, std::uint64_t from,
                                          std::uint64_t to) {
  Term t;
  t.kind = kind;
  t.name = name;
  t.from = from;
  t.to = to;
  r_.terms_.push_back(t);
  return static_cast<std::uint32_t>(r_.terms_.size() - 1);
}

std::uint32_t TermReader::Parser::NewVar(std::string_view name, const Token& tok) {
  const std::uint32_t node = NewTerm(TermKind::kVar, name, tok.start, tok.end);
  std::vector<Variable>& vars = r_.variables_;
  std::uint32_t number = static_cast<std::uint32_t>(vars.size());
  if (!IsChar(name, '_')) {
    if (varSlots_.size() < 2 * (vars.size() + 1)) {
      // Grow, and place the variables again.
      std::size_t size = 64;
      while (size < 4 * (vars.size() + 1))
        size *= 2;
      varSlots_.assign(size, 0);
      varSlotUsed_.clear();
      for (std::uint32_t k = 0; k < vars.size(); ++k) {
        if (IsChar(vars[k].name, '_')) continue;
        std::size_t i = HashName(vars[k].name) & (varSlots_.size() - 1);
        while (varSlots_[i] != 0)
          i = (i + 1) & (varSlots_.size() - 1);
        varSlots_[i] = k + 1;
        varSlotUsed_.push_back(static_cast<std::uint32_t>(i));
      }
    }
    const std::size_t mask = varSlots_.size() - 1;
    std::size_t i = HashName(name) & mask;
    for (; varSlots_[i] != 0; i = (i + 1) & mask) {
      if (vars[varSlots_[i] - 1].name == name) {
        number = varSlots_[i] - 1;
        break;
      }
    }
    if (varSlots_[i] == 0) {
      varSlots_[i] = number + 1;
      varSlotUsed_.push_back(static_cast<std::uint32_t>(i));
    }
  }
  if (number == vars.size()) vars.push_back(Variable{name, 0});
  vars[number].occurrences++;
  r_.terms_[node].variable = number;
  return node;
}

// Moves pending_[from...] to the child array, where they start.
std::uint32_t TermReader::Parser::Children(std::size_t from) {
  const std::uint32_t start = static_cast<std::uint32_t>(r_.childIndex_.size());
  r_.childIndex_.insert(r_.childIndex_.end(), pending_.begin() + static_cast<std::ptrdiff_t>(from),
                        pending_.end());
  pending_.resize(from);
  return start;
}

// ---------------------------------------------------------------------------

TermReader::TermReader(const Operators* ops, Encoding encoding, Limits limits, std::size_t partSize)
    : parser_(std::make_unique<Parser>(*this, ops, encoding, limits, partSize)) {}
TermReader::~TermReader() = default;

bool TermReader::Push(TokenClass cls, std::string_view text, std::uint64_t offset) {
  const Token token{0, text.size(), cls};
  parser_->Push(std::span<const Token>(&token, 1), text, offset);
  return status_ != Status::kNone;
}

std::size_t TermReader::Push(std::span<const Token> tokens, std::string_view text,
                             std::uint64_t base) {
  return parser_->Push(tokens, text, base);
}

bool TermReader::Finish() {
  return parser_->Finish();
}

const Term* TermReader::Clause() const {
  return status_ == Status::kRead ? &terms_[root_] : nullptr;
}

}  // namespace pl2html::prolog
