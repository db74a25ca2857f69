// The Prolog lexer: one switch on the first byte of a token, a small function
// per kind of token, byte tables for the character classes. Every function
// reads through At(), which notes when it looked past the text it was given:
// the token then waits for the next call, so that where the text is cut never
// changes a token.
#include "prolog/lexer.hpp"

#include <algorithm>
#include <array>
#include <cstring>

#include "prolog/char_classes.hpp"

namespace pl2html::prolog {

// What a token does to the state that crosses tokens.
enum class Lexer::Effect : std::uint8_t {
  kLayout,     // layout or a comment: only parts a dict's tag from its "{"
  kOperand,    // a number, a string, "[]": an infix operator may follow
  kVar,        // a variable, which may tag a dict: "_{a:1}"
  kTag,        // an atom, which tags a dict where an operand is expected:
               // "X = point{}" but not "a:-{}"
  kOperator,   // a symbol-char atom or a prefix operator: an operand follows
               // (and "X = #{}" is a dict all the same)
  kInfixName,  // "is", "mod": an operand follows unless it is an operand itself
  kOpen,       // "(", "[", "{"
  kOpenEmpty,  // the "[" of "[ ]" or "{ /* */ }": its "]" is an atom too
  kOpenDict,   // the "{" of a dict
  kClose,      // ")", "]", "}"
  kComma,
  kBar,
  kDictColon,  // the ":" between a dict's key and value
  kEnd,        // the full stop: the next clause starts afresh
  kQqOpen,     // "{|": the quasi-quotation's syntax follows
  kQqBody,     // "||Text|}": the quasi-quotation is over
};

namespace {

// What the first byte of a token says about the token.
enum ByteClass : std::uint8_t {
  kLayoutByte,  // blanks, line ends and the other control characters
  kLowerByte,   // starts an atom
  kUpperByte,   // starts a variable, "_" included
  kDigitByte,
  kSymbolByte,  // # $ & * + - . / : < = > ? @ ^ ~ backslash
  kSoloByte,    // ! ;
  kOpenByte,    // ( [ {
  kCloseByte,   // ) ] }
  kCommaByte,
  kBarByte,
  kQuoteByte,  // ' " `
  kPercentByte,
  kHighByte,  // 0x80 and above: decoded first
};

constexpr std::array<ByteClass, 256> MakeByteClasses() {
  std::array<ByteClass, 256> t{};
  for (int c = 0; c < 256; ++c)
    t[c] = c < 0x80 ? kLayoutByte : kHighByte;
  for (int c = 'a'; c <= 'z'; ++c)
    t[c] = kLowerByte;
  for (int c = 'A'; c <= 'Z'; ++c)
    t[c] = kUpperByte;
  t['_'] = kUpperByte;
  for (int c = '0'; c <= '9'; ++c)
    t[c] = kDigitByte;
  for (char c : std::string_view("#$&*+-./:<=>?@^~\\"))
    t[static_cast<unsigned char>(c)] = kSymbolByte;
  t['!'] = t[';'] = kSoloByte;
  t['('] = t['['] = t['{'] = kOpenByte;
  t[')'] = t[']'] = t['}'] = kCloseByte;
  t[','] = kCommaByte;
  t['|'] = kBarByte;
  t['\''] = t['"'] = t['`'] = kQuoteByte;
  t['%'] = kPercentByte;
  return t;
}
constexpr std::array<ByteClass, 256> kByteClass = MakeByteClasses();

constexpr std::array<bool, 256> MakeByteSet(ByteClass a, ByteClass b, ByteClass c) {
  std::array<bool, 256> t{};
  for (int i = 0; i < 256; ++i)
    t[i] = kByteClass[i] == a || kByteClass[i] == b || kByteClass[i] == c;
  return t;
}
// ASCII bytes that continue a name or variable; that are symbol chars; layout.
constexpr std::array<bool, 256> kIdByte = MakeByteSet(kLowerByte, kUpperByte, kDigitByte);
constexpr std::array<bool, 256> kSymbolChar = MakeByteSet(kSymbolByte, kSymbolByte, kSymbolByte);
constexpr std::array<bool, 256> kLayoutChar = MakeByteSet(kLayoutByte, kLayoutByte, kLayoutByte);

CharClass ClassOfCodePoint(char32_t cp) {
  const CharRange* end = kCharRanges + kCharRangeCount;
  const CharRange* r = std::upper_bound(kCharRanges, end, cp,
                                        [](char32_t c, const CharRange& x) { return c < x.lo; });
  if (r == kCharRanges) return CharClass::kSolo;
  --r;
  return cp <= r->hi ? r->cls : CharClass::kSolo;
}

// The Latin-1 characters, each one byte.
const std::array<CharClass, 256> kLatin1Class = [] {
  std::array<CharClass, 256> t{};
  for (int c = 0x80; c < 256; ++c)
    t[c] = ClassOfCodePoint(static_cast<char32_t>(c));
  return t;
}();

bool ContinuesName(CharClass c) {
  return c == CharClass::kVarStart || c == CharClass::kAtomStart || c == CharClass::kIdContinue;
}

int DigitValue(int c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'z') return c - 'a' + 10;
  if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
  return 99;
}
bool IsDigitIn(int c, int base) {
  return c >= 0 && DigitValue(c) < base;
}
bool IsDecimal(int c) {
  return c >= '0' && c <= '9';
}
bool IsDecimalByte(unsigned char c) {
  return IsDecimal(c);
}

// The letter atoms that are operators in SWI-Prolog or in the libraries that
// come with it. After one of them "-1" is a negative number, as after any
// symbol-char atom; after any other atom it is "-" and 1.
constexpr std::string_view kPrefixNames[] = {"dynamic",
                                             "discontiguous",
                                             "initialization",
                                             "meta_predicate",
                                             "module_transparent",
                                             "multifile",
                                             "public",
                                             "table",
                                             "thread_initialization",
                                             "thread_local",
                                             "volatile",
                                             "mode",
                                             "chr_constraint",
                                             "chr_declaration",
                                             "chr_preprocessor",
                                             "chr_type",
                                             "constraints",
                                             "export",
                                             "handler",
                                             "html_meta",
                                             "rdf_meta",
                                             "record",
                                             "rules",
                                             "thread_shared",
                                             "import",
                                             "index",
                                             "not",
                                             "tnot",
                                             "fixme"};
constexpr std::string_view kInfixNames[] = {
    "as",     "is",      "div",    "mod",         "rdiv",        "rem",          "xor",
    "cis",    "cis_geq", "cis_gt", "cis_leq",     "cis_lt",      "from",         "in",
    "in_set", "ins",     "pragma", "should_fail", "should_give", "should_raise", "should_throw"};

// The symbol-char atoms that are prefix operators in SWI-Prolog. (Libraries
// declare a few more, "#", "?", "@", "~", but SWI-Prolog's own library reads
// the same without them, and other sources read better.)
constexpr std::string_view kPrefixSymbols[] = {"-", "+", "\\+", "\\", ":-", "?-", "$"};

template <std::size_t N>
bool IsOneOf(std::string_view name, const std::string_view (&names)[N]) {
  return std::find(std::begin(names), std::end(names), name) != std::end(names);
}

// The operator names by first letter and length, each slot the index (plus
// one) of the first name with both, chained through `next`: most names are
// told apart by one look at the table.
constexpr std::size_t kPrefixCount = std::size(kPrefixNames);
constexpr std::size_t kNameCount = kPrefixCount + std::size(kInfixNames);
constexpr std::string_view OperatorName(std::size_t i) {
  return i < kPrefixCount ? kPrefixNames[i] : kInfixNames[i - kPrefixCount];
}
constexpr std::size_t kLongestOperator = 32;  // no operator name is as long
struct OperatorTable {
  std::array<std::array<std::uint8_t, kLongestOperator>, 26> first{};  // 'a'..'z', by length
  std::array<std::uint8_t, kNameCount> next{};
};
constexpr OperatorTable kOperatorTable = [] {
  OperatorTable t;
  for (std::size_t i = kNameCount; i-- > 0;) {
    const std::string_view n = OperatorName(i);
    std::uint8_t& slot = t.first[static_cast<std::size_t>(n[0] - 'a')][n.size()];
    t.next[i] = slot;
    slot = static_cast<std::uint8_t>(i + 1);
  }
  return t;
}();

// Whether the letter atom is a prefix operator (kOperator), an infix one
// (kInfixName) or neither (kTag).
Lexer::Effect OperatorEffect(std::string_view name) {
  const unsigned char first = static_cast<unsigned char>(name[0]);
  if (first < 'a' || first > 'z' || name.size() >= kLongestOperator) return Lexer::Effect::kTag;
  for (std::size_t k = kOperatorTable.first[first - 'a'][name.size()]; k != 0;
       k = kOperatorTable.next[k - 1])
    if (OperatorName(k - 1) == name)
      return k - 1 < kPrefixCount ? Lexer::Effect::kOperator : Lexer::Effect::kInfixName;
  return Lexer::Effect::kTag;
}

constexpr std::uint8_t kKeyExpected = 0;
constexpr std::uint8_t kColonExpected = 1;
constexpr std::uint8_t kInValue = 2;
// Dicts nested deeper than this are read as plain braces: the lexer's memory
// stays bounded on any input.
constexpr std::size_t kMaxDicts = 1024;

}  // namespace

// Reads one token (or a few that belong together, as "[", " ", "]") at a
// time, from the lexer's state but without changing it.
class TokenReader {
 public:
  TokenReader(const Lexer& lexer, std::string_view text, bool atEnd, std::vector<Token>& out)
      : lexer_(lexer),
        p_(reinterpret_cast<const unsigned char*>(text.data())),
        n_(text.size()),
        atEnd_(atEnd),
        out_(out),
        used_(out.size()) {}

  // Reads at `pos`, appends the tokens and returns where they end. When
  // Starved(), more text could change them, and the caller drops them.
  // Inlined into Lex's loop: a call per token costs more than the token.
  [[gnu::always_inline]] std::size_t Read(std::size_t pos, Lexer::Effect& effect) {
    starved_ = false;
    mark_ = count_;
    effect_ = Lexer::Effect::kOperand;
    next_.kind = Kind::kNone;
    std::size_t end = lexer_.open_.kind == Kind::kNone ? ReadToken(pos) : ReadPart(pos);
    effect = effect_;
    return end;
  }
  // A script's "#!" first line, which SWI-Prolog's loader and source tools
  // skip: a line comment.
  std::size_t ScriptLine(std::size_t pos, Lexer::Effect& effect) {
    starved_ = false;
    mark_ = count_;
    effect_ = Lexer::Effect::kLayout;
    next_.kind = Kind::kNone;
    std::size_t end = LineComment(pos, pos);
    effect = effect_;
    return end;
  }
  bool Starved() const { return starved_; }
  // The token of which Read handed out a part, if it did.
  const Lexer::OpenToken& Opened() const { return next_; }
  void DropLast() { count_ = mark_; }

  // The end of the ASCII layout at pos, when the text shows that it ends
  // there (0 otherwise): the layout between tokens, the commonest token,
  // read without the dispatch of Read().
  std::size_t PlainLayoutEnd(std::size_t pos) const {
    if (pos >= n_ || p_[pos] >= 0x80 || !kLayoutChar[p_[pos]]) return 0;
    const std::size_t cutAt = PartEnd(pos);
    std::size_t end = pos + 1;
    const std::size_t stop = std::min(n_, std::max(end, cutAt));
    while (end < stop && kLayoutChar[p_[end]])
      ++end;
    if (end >= cutAt && end < n_) return end;  // a part of a longer run, as LayoutRun cuts it
    return end < n_ && p_[end] < 0x80 ? end : 0;
  }
  void EmitLayout(std::size_t begin, std::size_t end) {
    batch_[count_++] = Token{begin, end, TokenClass::kLayout};
  }

  // The tokens are written straight into `out`, grown a batch at a time
  // ahead of them: cheaper than a push_back per token.
  void MakeRoom() {
    if (count_ + kMaxPerRead <= room_) return;
    out_.resize(used_ + count_ + kBatch);
    batch_ = out_.data() + used_;
    room_ = count_ + kBatch;
  }
  void Finish() { out_.resize(used_ + count_); }

 private:
  using Effect = Lexer::Effect;
  using Kind = Lexer::OpenToken::Kind;
  // How far "[" or "{" looks for its "]" or "}" across layout and comments.
  static constexpr std::size_t kLookahead = Lexer::kPartSize;
  static constexpr std::size_t kNowhere = ~std::size_t{0};

  // The byte at i, or -1 past the text; past a text that is not the end of
  // the source, the token must wait for more.
  int At(std::size_t i) {
    if (i < n_) return p_[i];
    if (!atEnd_) starved_ = true;
    return -1;
  }
  // Notes that a run reached the end of the text, and returns the end.
  std::size_t RanOut() {
    if (!atEnd_) starved_ = true;
    return n_;
  }

  std::size_t Emit(std::size_t begin, std::size_t end, TokenClass cls) {
    batch_[count_++] = Token{begin, end, cls};
    return end;
  }
  std::size_t Emit(std::size_t begin, std::size_t end, TokenClass cls, Effect effect) {
    effect_ = effect;
    return Emit(begin, end, cls);
  }
  // The parts of long tokens, in one place for every scanner of a long
  // token (layout, names, symbol chars, quoted text, comments, the text of
  // a quasi-quotation). Each scans up to PartEnd without asking where it
  // may stop, which keeps the common short token as fast as a plain loop;
  // past it, it stops where CutsAt allows, and hands the part out with
  // Part, telling how the next part goes on.

  // Where a part of the token begun at `begin` may end, at the earliest:
  // the part size on, and never before `least` bytes (a name or a symbol
  // run is cut only past the longest operator, so no part is one).
  std::size_t PartEnd(std::size_t begin, std::size_t least = 0) const {
    return begin + std::max(lexer_.partSize_, least);
  }
  // Whether a part may end before the byte at i (which the text holds):
  // from `cutAt` on, where a character starts, or where the text is not
  // UTF-8 anyway.
  bool CutsAt(std::size_t i, std::size_t cutAt) const {
    return i >= cutAt &&
           (lexer_.encoding_ == Encoding::kLatin1 || (p_[i] & 0xC0) != 0x80 || i >= cutAt + 4);
  }
  // The first place from i on where a part may end; 0 when the text ends first.
  std::size_t CutFrom(std::size_t i, std::size_t cutAt) const {
    for (; i < n_; ++i)
      if (CutsAt(i, cutAt)) return i;
    return 0;
  }
  // A part of a long token, which the next part goes on with as `open` says.
  std::size_t Part(std::size_t begin, std::size_t end, TokenClass cls, Lexer::OpenToken open) {
    next_ = open;
    return Emit(begin, end, cls, Effect::kLayout);
  }

  // The next part of the token that the last one left open.
  std::size_t ReadPart(std::size_t pos) {
    const Lexer::OpenToken& open = lexer_.open_;
    switch (open.kind) {
      case Kind::kQuoted:
        return QuotedFrom(pos, pos, open.quote);
      case Kind::kBlockComment:
        return BlockComment(pos, pos, open.depth);
      case Kind::kLineComment:
        return LineComment(pos, pos);
      case Kind::kQqText:
        return QqText(pos, pos);
      case Kind::kName:
        return NameRun(pos, pos, open.cls, true);
      case Kind::kSymbols:
        return Symbols(pos, open.beyondAscii);
      case Kind::kNone:
        break;
    }
    return ReadToken(pos);
  }

  [[gnu::always_inline]] std::size_t ReadToken(std::size_t pos) {
    const unsigned char c = p_[pos];
    switch (kByteClass[c]) {
      case kLayoutByte:
        return Emit(pos, LayoutRun(pos, pos + 1), TokenClass::kLayout, Effect::kLayout);
      case kLowerByte:
        return NameRun(pos, pos + 1, TokenClass::kAtom, false);
      case kUpperByte:
        return NameRun(pos, pos + 1, TokenClass::kVar, false);
      case kDigitByte:
        return Emit(pos, Number(pos), TokenClass::kNumber, Effect::kOperand);
      case kSymbolByte:
        return Symbol(pos);
      case kSoloByte:
        return Emit(pos, pos + 1, TokenClass::kAtom,
                    c == '!' ? Effect::kOperand : Effect::kInfixName);
      case kOpenByte:
        return Open(pos);
      case kCloseByte:
        if (lexer_.closeIsAtom_) return Emit(pos, pos + 1, TokenClass::kAtom, Effect::kOperand);
        return Emit(pos, pos + 1, TokenClass::kPunct, Effect::kClose);
      case kCommaByte:
        return Emit(pos, pos + 1, TokenClass::kPunct, Effect::kComma);
      case kBarByte:
        return Bar(pos);
      case kQuoteByte:
        return Quoted(pos);
      case kPercentByte:
        return LineComment(pos, pos);
      case kHighByte:
        return High(pos);
    }
    return Emit(pos, pos + 1, TokenClass::kAtom);
  }

  // A character of 0x80 and above: what it is decides the token.
  std::size_t High(std::size_t pos) {
    std::size_t len = 0;
    const CharClass cls = Decode(pos, len);
    if (len == 0) return n_;  // a character cut by the end of the text
    switch (cls) {
      case CharClass::kLayout:
        return Emit(pos, LayoutRun(pos, pos + len), TokenClass::kLayout, Effect::kLayout);
      case CharClass::kVarStart:
        return NameRun(pos, pos + len, TokenClass::kVar, false);
      case CharClass::kAtomStart:
        return NameRun(pos, pos + len, TokenClass::kAtom, false);
      case CharClass::kSymbol:
        return Symbols(pos, true);  // "×" is no operator
      case CharClass::kIdContinue:
      case CharClass::kSolo:
        break;
    }
    return Emit(pos, pos + len, TokenClass::kAtom, Effect::kOperand);
  }

  // The class of the character at i and its length in bytes: 0 when the text
  // ends inside it. A byte that is not UTF-8 is a character of its own.
  CharClass Decode(std::size_t i, std::size_t& len) {
    const unsigned char b = p_[i];
    len = 1;
    if (b < 0x80) return kLayoutChar[b] ? CharClass::kLayout : CharClass::kSolo;
    if (lexer_.encoding_ == Encoding::kLatin1) return kLatin1Class[b];
    std::size_t need = 0;
    char32_t cp = 0;
    unsigned lo = 0x80, hi = 0xBF;  // the range of the second byte
    if (b >= 0xC2 && b <= 0xDF) {
      need = 1, cp = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
      need = 2, cp = b & 0x0F;
      if (b == 0xE0) lo = 0xA0;
      if (b == 0xED) hi = 0x9F;
    } else if (b >= 0xF0 && b <= 0xF4) {
      need = 3, cp = b & 0x07;
      if (b == 0xF0) lo = 0x90;
      if (b == 0xF4) hi = 0x8F;
    } else {
      return CharClass::kSolo;
    }
    for (std::size_t k = 1; k <= need; ++k) {
      const int c = At(i + k);
      if (c < 0) {
        if (starved_) len = 0;
        return CharClass::kSolo;
      }
      if (c < static_cast<int>(k == 1 ? lo : 0x80) || c > static_cast<int>(k == 1 ? hi : 0xBF))
        return CharClass::kSolo;
      cp = (cp << 6) | (c & 0x3F);
    }
    len = need + 1;
    return ClassOfCodePoint(cp);
  }

  // The end of the run of characters from i that the byte table and the
  // class test accept; from `cutAt` on, where `cut` tells that it goes on.
  template <typename Test>
  std::size_t Run(std::size_t i, const std::array<bool, 256>& ascii, Test test,
                  std::size_t cutAt = kNowhere, bool* cut = nullptr) {
    for (;;) {
      const std::size_t stop = std::min(n_, std::max(i, cutAt));
      while (i < stop && ascii[p_[i]])
        ++i;
      if (i >= n_) return RanOut();
      std::size_t len = 1;
      if (p_[i] < 0x80) {
        if (!ascii[p_[i]]) return i;
      } else {
        const CharClass cls = Decode(i, len);
        if (len == 0 || !test(cls)) return i;
      }
      if (i >= cutAt) {
        *cut = true;
        return i;
      }
      i += len;
    }
  }

  // A letter atom or a variable from i on, begun at `begin`; in parts when
  // long, and then no operator (none is that long), whatever its last part.
  [[gnu::always_inline]] std::size_t NameRun(std::size_t begin, std::size_t i, TokenClass cls,
                                             bool continued) {
    bool cut = false;
    const std::size_t end = Run(i, kIdByte, ContinuesName, PartEnd(begin, kLongestOperator), &cut);
    if (cut) return Part(begin, end, cls, {Kind::kName, 0, 0, cls});
    if (cls == TokenClass::kVar) return Emit(begin, end, cls, Effect::kVar);
    if (continued) return Emit(begin, end, cls, At(end) == '(' ? Effect::kOperand : Effect::kTag);
    return Name(begin, end);
  }
  std::size_t SymbolRun(std::size_t i, std::size_t cutAt, bool& cut) {
    return Run(
        i, kSymbolChar, [](CharClass c) { return c == CharClass::kSymbol; }, cutAt, &cut);
  }
  // Symbol chars from `begin` on that no "/*", ".", "-" or ":" can start
  // differently: after a character beyond ASCII, or a part of a long run.
  // Long runs come in parts; none is an operator, and `beyondAscii` tells
  // whether a character beyond ASCII came before, which makes it an operand.
  std::size_t Symbols(std::size_t begin, bool beyondAscii) {
    bool cut = false;
    const std::size_t end = SymbolRun(begin, PartEnd(begin, kLongestOperator), cut);
    beyondAscii = beyondAscii || SymbolEffect(begin, end) == Effect::kTag;
    if (cut) {
      return Part(begin, end, TokenClass::kAtom,
                  {.kind = Kind::kSymbols, .beyondAscii = beyondAscii});
    }
    return Emit(begin, end, TokenClass::kAtom, beyondAscii ? Effect::kTag : Effect::kInfixName);
  }
  // Layout from i on, begun at `begin`. Cut into parts as quoted text is
  // (layout after layout is layout: the next part needs no state), so that
  // a run of blanks or of control characters, as in a binary file, is never
  // held whole.
  std::size_t LayoutRun(std::size_t begin, std::size_t i) {
    const std::size_t cutAt = PartEnd(begin);
    for (;;) {
      const std::size_t stop = std::min(n_, std::max(i, cutAt));
      while (i < stop && kLayoutChar[p_[i]])
        ++i;
      if (i >= n_) return RanOut();
      if (i >= cutAt || p_[i] < 0x80) return i;
      std::size_t len = 0;
      if (Decode(i, len) != CharClass::kLayout || len == 0) return i;
      i += len;
    }
  }
  bool LayoutAt(std::size_t i) {
    const int c = At(i);
    if (c < 0x80) return c >= 0 && kLayoutChar[c];
    std::size_t len = 0;
    return Decode(i, len) == CharClass::kLayout;
  }

  // A letter atom: whether it is an operator decides what "-1" after it is.
  std::size_t Name(std::size_t begin, std::size_t end) {
    const std::string_view name(reinterpret_cast<const char*>(p_ + begin), end - begin);
    // A compound's name is no operator.
    const Effect effect = At(end) == '(' ? Effect::kOperand : OperatorEffect(name);
    return Emit(begin, end, TokenClass::kAtom, effect);
  }

  // Symbol chars, greedy: "+/*" is one atom. Alone, "." may end the clause,
  // "-" may be a number's sign and ":" may part a dict's key from its value.
  std::size_t Symbol(std::size_t pos) {
    const unsigned char c = p_[pos];
    if (c == '/' && At(pos + 1) == '*') return BlockComment(pos, pos + 2, 1);
    bool cut = false;
    const std::size_t end = SymbolRun(pos + 1, PartEnd(pos, kLongestOperator), cut);
    if (cut) {
      return Part(pos, end, TokenClass::kAtom,
                  {.kind = Kind::kSymbols, .beyondAscii = SymbolEffect(pos, end) == Effect::kTag});
    }
    if (end == pos + 1) {
      if (c == '.') {
        const int next = At(end);
        if ((next < 0 && !starved_) || next == '%' || LayoutAt(end))
          return Emit(pos, end, TokenClass::kEnd, Effect::kEnd);
      } else if (c == '-' && lexer_.expectOperand_ && IsDecimal(At(end))) {
        return Emit(pos, Number(end), TokenClass::kNumber, Effect::kOperand);
      } else if (c == ':' && lexer_.DictColonExpected()) {
        return Emit(pos, end, TokenClass::kPunct, Effect::kDictColon);
      }
    }
    return Emit(pos, end, TokenClass::kAtom, SymbolEffect(pos, end));
  }

  // A prefix operator expects an operand after it; any other symbol-char
  // atom is an operand where one is expected ("= -1" in "(= -1)" is "=",
  // "-", 1) and an infix operator elsewhere, declared or not. The system
  // declares no operator with characters beyond ASCII: "×" is an operand.
  Effect SymbolEffect(std::size_t begin, std::size_t end) const {
    const std::string_view name(reinterpret_cast<const char*>(p_ + begin), end - begin);
    if (std::any_of(name.begin(), name.end(),
                    [](char b) { return static_cast<unsigned char>(b) >= 0x80; }))
      return Effect::kTag;
    return IsOneOf(name, kPrefixSymbols) ? Effect::kOperator : Effect::kInfixName;
  }

  // "(", "[" and "{"; "[]" and "{}" are atoms, with layout inside or not;
  // "{|" opens a quasi-quotation and "{" right after a tag opens a dict.
  [[gnu::always_inline]] std::size_t Open(std::size_t pos) {
    const unsigned char c = p_[pos];
    if (c == '{' && At(pos + 1) == '|') return Emit(pos, pos + 2, TokenClass::kQq, Effect::kQqOpen);
    if (c == '{' && lexer_.afterTag_)
      return Emit(pos, pos + 1, TokenClass::kPunct, Effect::kOpenDict);
    if (c != '(') {
      const std::size_t k = SkipLayoutAndComments(pos + 1);
      if (k != kNowhere && At(k) == (c == '[' ? ']' : '}')) {
        if (k == pos + 1) return Emit(pos, pos + 2, TokenClass::kAtom, Effect::kOperand);
        return Emit(pos, pos + 1, TokenClass::kAtom, Effect::kOpenEmpty);
      }
    }
    return Emit(pos, pos + 1, TokenClass::kPunct, Effect::kOpen);
  }

  // "|", or the "||Text|}" that ends a quasi-quotation's syntax part. The
  // reader takes any "||" for that, even with no "{|" before it ("[a||b]"
  // runs to the next "|}"), and so does the lexer, to find the same end.
  std::size_t Bar(std::size_t pos) {
    if (At(pos + 1) == '|') return QqText(pos, pos + 2);
    return Emit(pos, pos + 1, TokenClass::kPunct, Effect::kBar);
  }

  // The next byte after i that is neither layout nor in a comment;
  // kNowhere when comments run on too far to look.
  std::size_t SkipLayoutAndComments(std::size_t i) {
    const std::size_t limit = i + kLookahead;
    for (;;) {
      if (i >= limit) return kNowhere;
      const int c = At(i);
      bool tooFar = false;
      if (c == '%') {
        i = LineCommentScan(i, limit, tooFar);
      } else if (c == '/' && At(i + 1) == '*') {
        std::uint64_t depth = 1;
        i = BlockCommentScan(i + 2, limit, depth, tooFar);
      } else if (c >= 0 && LayoutAt(i)) {
        i = LayoutRun(i, i);
      } else {
        return i;
      }
      if (tooFar) return kNowhere;
    }
  }

  // The comments and the text of a quasi-quotation, each from i on, its
  // token (or part) begun at `begin`: a part ends at begin + the part
  // size, or soon after.

  // "||Text|}": any "|}" ends it.
  std::size_t QqText(std::size_t begin, std::size_t i) {
    bool cut = false;
    const std::size_t end = QqTextScan(i, PartEnd(begin), cut);
    if (cut) return Part(begin, end, TokenClass::kQq, {Kind::kQqText});
    return Emit(begin, end, TokenClass::kQq, Effect::kQqBody);
  }
  std::size_t QqTextScan(std::size_t i, std::size_t cutAt, bool& cut) {
    for (;;) {
      const std::size_t searchEnd = std::min(n_, std::max(i, cutAt));
      const void* bar = i < searchEnd ? std::memchr(p_ + i, '|', searchEnd - i) : nullptr;
      if (bar == nullptr) {
        const std::size_t at = CutFrom(searchEnd, cutAt);
        cut = at != 0;
        return cut ? at : RanOut();
      }
      i = static_cast<std::size_t>(static_cast<const unsigned char*>(bar) - p_) + 1;
      const int next = At(i);
      if (next == '}') return i + 1;
      if (next < 0) return n_;
    }
  }

  // "%" to the line feed.
  std::size_t LineComment(std::size_t begin, std::size_t i) {
    bool cut = false;
    const std::size_t end = LineCommentScan(i, PartEnd(begin), cut);
    if (cut) return Part(begin, end, TokenClass::kComment, {Kind::kLineComment});
    return Emit(begin, end, TokenClass::kComment, Effect::kLayout);
  }
  std::size_t LineCommentScan(std::size_t i, std::size_t cutAt, bool& cut) {
    const std::size_t searchEnd = std::min(n_, std::max(i, cutAt));
    if (const void* nl = i < searchEnd ? std::memchr(p_ + i, '\n', searchEnd - i) : nullptr)
      return static_cast<std::size_t>(static_cast<const unsigned char*>(nl) - p_);
    const std::size_t at = CutFrom(searchEnd, cutAt);
    if (at == 0) return RanOut();
    cut = p_[at] != '\n';  // a cut right at the line feed is the comment's end
    return at;
  }

  // "/* */" nests: "/* a /* b */ c */" is one comment.
  std::size_t BlockComment(std::size_t begin, std::size_t i, std::uint64_t depth) {
    bool cut = false;
    const std::size_t end = BlockCommentScan(i, PartEnd(begin), depth, cut);
    if (cut) return Part(begin, end, TokenClass::kComment, {Kind::kBlockComment, 0, depth});
    return Emit(begin, end, TokenClass::kComment, Effect::kLayout);
  }
  std::size_t BlockCommentScan(std::size_t i, std::size_t cutAt, std::uint64_t& depth, bool& cut) {
    for (;;) {
      // Up to the part's size without asking where it may end; then a
      // character at a time.
      const std::size_t stop = std::min(n_, std::max(i + 1, cutAt));
      while (i < stop) {
        const unsigned char c = p_[i];
        if (c == '*' && At(i + 1) == '/') {
          i += 2;
          if (--depth == 0) return i;
        } else if (c == '/' && At(i + 1) == '*') {
          i += 2;
          ++depth;
        } else {
          ++i;
        }
      }
      if (i >= n_) return RanOut();
      if (CutsAt(i, cutAt)) {
        cut = true;
        return i;
      }
    }
  }

  // A quoted atom, string or back-quoted text: a doubled quote or an escaped
  // one does not end it; left open, it runs to the end of the source.
  [[gnu::always_inline]] std::size_t Quoted(std::size_t pos) {
    return QuotedFrom(pos, pos + 1, p_[pos]);
  }
  [[gnu::always_inline]] std::size_t QuotedFrom(std::size_t begin, std::size_t i, unsigned char q) {
    const TokenClass cls = q == '\''  ? TokenClass::kQuoted
                           : q == '"' ? TokenClass::kString
                                      : TokenClass::kCodes;
    const std::size_t cutAt = PartEnd(begin);
    for (;;) {
      const std::size_t plainEnd = std::min(n_, std::max(i, cutAt));
      while (i < plainEnd && p_[i] != q && p_[i] != '\\')
        ++i;
      if (i >= cutAt) {
        const std::size_t at = CutFrom(i, cutAt);
        if (at != 0) return Part(begin, at, cls, {Kind::kQuoted, q});
        i = RanOut();
        break;
      }
      if (i >= n_) {
        i = RanOut();
        break;
      }
      if (p_[i] == '\\') {
        i = EscapeEnd(i);
      } else if (At(i + 1) == q) {
        i += 2;
      } else {
        ++i;
        break;
      }
    }
    return Emit(begin, std::min(i, n_), cls, q == '\'' ? Effect::kTag : Effect::kOperand);
  }

  // The end of the escape sequence whose backslash is at i. Only its length
  // matters here; a code ("\x41\", "\101\") may end with a backslash.
  std::size_t EscapeEnd(std::size_t i) {
    const int c = At(i + 1);
    std::size_t k = i + 2;
    switch (c) {
      case -1:
        return i + 1;
      case 'x':
        return CodeEnd(k, 16);
      case '0':
      case '1':
      case '2':
      case '3':
      case '4':
      case '5':
      case '6':
      case '7':
        return CodeEnd(k, 8);
      case 'u':
      case 'U':
        for (std::size_t left = c == 'u' ? 4 : 8; left > 0 && IsDigitIn(At(k), 16); --left)
          ++k;
        return k;
      default:  // \n \\ \' \e \s \c, a backslash before a line end, ...
        return k;
    }
  }

  // The digits of a character's code, and the backslash that may close them.
  std::size_t CodeEnd(std::size_t k, int base) {
    while (IsDigitIn(At(k), base))
      ++k;
    return At(k) == '\\' ? k + 1 : k;
  }

  // The end of the number whose first digit is at i.
  std::size_t Number(std::size_t i) {
    if (p_[i] == '0') {
      const int next = At(i + 1);
      if (next == '\'') return CharCodeEnd(i + 2, i + 1);
      const int base = next == 'x' ? 16 : next == 'o' ? 8 : next == 'b' ? 2 : 0;
      if (base != 0 && IsDigitIn(At(i + 2), base)) return Digits(i + 2, base);
    }
    std::size_t j = Digits(i, 10);
    const bool grouped = !std::all_of(p_ + i, p_ + j, IsDecimalByte);
    const int next = At(j);
    if (grouped && next != 'r') return j;  // "1 000.5" is 1000, ".", 5
    switch (next) {
      case '\'': {  // "16'FF": the digits before the quote are the base
        int radix = 0;
        for (std::size_t k = i; k < j && radix <= 36; ++k)
          radix = radix * 10 + DigitValue(p_[k]);
        if (radix >= 2 && radix <= 36 && IsDigitIn(At(j + 1), radix)) return Digits(j + 1, radix);
        return j;
      }
      case '.':
        if (!IsDecimal(At(j + 1))) return j;
        j = PlainDigits(j + 1);
        if (At(j) == 'I' && At(j + 1) == 'n' && At(j + 2) == 'f') return j + 3;
        if (At(j) == 'N' && At(j + 1) == 'a' && At(j + 2) == 'N') return j + 3;
        return ExponentEnd(j);
      case 'e':
      case 'E':
        return ExponentEnd(j);
      case 'r':
        return IsDecimal(At(j + 1)) ? Digits(j + 1, 10) : j;
      default:
        return j;
    }
  }

  // "0'c": the character after "0'" is the number's; "0'''" and "0''" both
  // mean the quote. Without a character, the number is the 0 alone.
  std::size_t CharCodeEnd(std::size_t i, std::size_t alone) {
    const int c = At(i);
    if (c < 0) return alone;
    if (c == '\\') return EscapeEnd(i);
    if (c == '\'') return At(i + 1) == '\'' ? i + 2 : i + 1;
    std::size_t len = 1;
    if (c >= 0x80) Decode(i, len);
    return len == 0 ? n_ : i + len;
  }

  // Digits of the base, in groups: "1 000 000" (one space, bases up to 10)
  // and "1_000_000" (an underscore, then optional layout).
  std::size_t Digits(std::size_t i, int base) {
    for (;;) {
      while (IsDigitIn(At(i), base))
        ++i;
      const int c = At(i);
      std::size_t k = i + 1;  // the next group
      if (c == '_') {
        while (LayoutAt(k))
          ++k;
      } else if (c != ' ' || base > 10) {
        return i;
      }
      if (!IsDigitIn(At(k), base) || At(GroupEnd(k, base)) == '\'') return i;
      i = k;
    }
  }
  // A group followed by a quote is the start of "0'c" or "2'101" to the
  // reader, which finds the clause's end before it reads numbers.
  std::size_t GroupEnd(std::size_t i, int base) {
    while (IsDigitIn(At(i), base))
      ++i;
    return i;
  }
  std::size_t PlainDigits(std::size_t i) {
    while (IsDecimal(At(i)))
      ++i;
    return i;
  }
  std::size_t ExponentEnd(std::size_t j) {
    const int e = At(j);
    if (e != 'e' && e != 'E') return j;
    std::size_t k = j + 1;
    if (At(k) == '+' || At(k) == '-') ++k;
    return IsDecimal(At(k)) ? PlainDigits(k) : j;
  }

  const Lexer& lexer_;
  const unsigned char* p_;
  std::size_t n_;
  bool atEnd_;
  static constexpr std::size_t kBatch = 1024;
  static constexpr std::size_t kMaxPerRead = 4;  // "[", layout, "]", layout
  std::vector<Token>& out_;
  std::size_t used_;        // the tokens `out` held before
  Token* batch_ = nullptr;  // where this call's tokens go in `out`
  std::size_t count_ = 0;   // this call's tokens
  std::size_t room_ = 0;    // and how many fit
  std::size_t mark_ = 0;
  bool starved_ = false;
  Effect effect_ = Effect::kOperand;
  Lexer::OpenToken next_;
};

bool Lexer::InDict() const {
  return !dicts_.empty() && dicts_.back().depth == depth_;
}

bool Lexer::DictColonExpected() const {
  return InDict() && dicts_.back().keyState == kColonExpected;
}

namespace {

// What the commonest effects do outside dicts and "[ ]":
// a table instead of a second switch per token. expectOperand_ becomes
// (expectOperand_ & keep) ^ flip: kept, toggled, false or true.
struct PlainEffect {
  bool plain;  // this table tells all the effect does
  bool keep, flip;
  bool tag;           // afterTag_
  bool tagAsOperand;  // afterTag_ where an operand was expected
  int depth;          // brackets opened (1) or closed (-1)
};
constexpr PlainEffect kPlainEffects[] = {
    {true, true, false, false, false, 0},    // kLayout
    {true, false, false, false, false, 0},   // kOperand
    {true, false, false, true, false, 0},    // kVar
    {true, false, false, false, true, 0},    // kTag
    {true, false, true, false, true, 0},     // kOperator
    {true, true, true, false, true, 0},      // kInfixName
    {true, false, true, false, false, 1},    // kOpen
    {false, false, true, false, false, 0},   // kOpenEmpty
    {false, false, true, false, false, 1},   // kOpenDict
    {true, false, false, false, false, -1},  // kClose
    {true, false, true, false, false, 0},    // kComma
    {true, false, true, false, false, 0},    // kBar
    {false, false, true, false, false, 0},   // kDictColon
    {false, false, true, false, false, 0},   // kEnd
    {true, false, true, false, false, 0},    // kQqOpen
    {true, false, false, false, false, 0},   // kQqBody
};

}  // namespace

[[gnu::always_inline]] inline void Lexer::Apply(Effect effect) {
  const PlainEffect& rule = kPlainEffects[static_cast<std::size_t>(effect)];
  if (rule.plain && !rare_) {
    afterTag_ = rule.tag | (rule.tagAsOperand & expectOperand_);  // no branch
    expectOperand_ = (expectOperand_ & rule.keep) ^ rule.flip;
    depth_ += rule.depth;
    return;
  }
  ApplyInFull(effect);
  rare_ = !dicts_.empty() || closeIsAtom_;
}

void Lexer::ApplyInFull(Effect effect) {
  // Any token but layout is an item of the innermost dict: a key, or a part of
  // a value.
  if (effect != Effect::kLayout && effect != Effect::kComma && effect != Effect::kClose &&
      effect != Effect::kDictColon && InDict()) {
    std::uint8_t& key = dicts_.back().keyState;
    if (key == kKeyExpected)
      key = kColonExpected;
    else if (key == kColonExpected)
      key = kInValue;
  }
  const bool operandExpected = expectOperand_;
  afterTag_ = false;
  if (effect != Effect::kLayout) closeIsAtom_ = effect == Effect::kOpenEmpty;
  switch (effect) {
    case Effect::kLayout:
      return;
    case Effect::kOperand:
      expectOperand_ = false;
      return;
    case Effect::kVar:
      expectOperand_ = false;
      afterTag_ = true;
      return;
    case Effect::kTag:
      expectOperand_ = false;
      afterTag_ = operandExpected;
      return;
    case Effect::kOperator:
      expectOperand_ = true;
      afterTag_ = operandExpected;
      return;
    case Effect::kBar:
    case Effect::kOpenEmpty:
      expectOperand_ = true;
      return;
    case Effect::kInfixName:
      expectOperand_ = !expectOperand_;
      afterTag_ = operandExpected;
      return;
    case Effect::kOpenDict:
      if (dicts_.size() < kMaxDicts) dicts_.push_back(DictFrame{depth_ + 1, kKeyExpected});
      [[fallthrough]];
    case Effect::kOpen:
      ++depth_;
      expectOperand_ = true;
      return;
    case Effect::kClose:
      if (InDict()) dicts_.pop_back();
      --depth_;
      expectOperand_ = false;
      return;
    case Effect::kComma:
      if (InDict()) dicts_.back().keyState = kKeyExpected;
      expectOperand_ = true;
      return;
    case Effect::kDictColon:
      dicts_.back().keyState = kInValue;
      expectOperand_ = true;
      return;
    case Effect::kEnd:
      expectOperand_ = true;
      depth_ = 0;
      dicts_.clear();
      return;
    case Effect::kQqOpen:
      expectOperand_ = true;
      return;
    case Effect::kQqBody:
      expectOperand_ = false;
      return;
  }
}

Lexer::Lexer(Encoding encoding, std::size_t partSize)
    : encoding_(encoding), partSize_(std::max<std::size_t>(partSize, 1)) {}

std::size_t Lexer::Lex(std::string_view text, bool atEnd, std::vector<Token>& out) {
  std::size_t pos = 0;
  if (atStart_ && !text.empty()) {
    // A byte-order mark is no character to the reader: layout here.
    if (encoding_ == Encoding::kUtf8 && text.size() < kByteOrderMark.size() && !atEnd &&
        kByteOrderMark.starts_with(text))
      return 0;
    if (encoding_ == Encoding::kUtf8 && text.starts_with(kByteOrderMark))
      pos = kByteOrderMark.size();
    // A script's "#!" may come after what was handed so far.
    if (!atEnd && (text.size() == pos || (text.size() - pos < 2 && text[pos] == '#'))) return 0;
    scriptLine_ = text.substr(pos).starts_with("#!");
    atStart_ = false;
  }
  TokenReader reader(*this, text, atEnd, out);
  reader.MakeRoom();
  if (pos != 0) reader.EmitLayout(0, pos);
  while (pos < text.size()) {
    Effect effect;
    const std::size_t end = scriptLine_ ? reader.ScriptLine(pos, effect) : reader.Read(pos, effect);
    if (reader.Starved()) {
      reader.DropLast();
      break;
    }
    scriptLine_ = false;
    Apply(effect);
    pos = end;
    if (reader.Opened().kind != OpenToken::Kind::kNone || open_.kind != OpenToken::Kind::kNone)
        [[unlikely]] {
      open_ = reader.Opened();
      reader.MakeRoom();
      continue;
    }
    if (const std::size_t layoutEnd = reader.PlainLayoutEnd(pos)) {
      reader.EmitLayout(pos, layoutEnd);
      afterTag_ = false;  // all that layout does to the state
      pos = layoutEnd;
    }
    reader.MakeRoom();
  }
  reader.Finish();
  return pos;
}

}  // namespace pl2html::prolog
