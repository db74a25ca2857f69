#include "meaning/docs.hpp"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <unordered_set>
#include <utility>

#include "prolog/char_classes.hpp"
#include "prolog/utf8.hpp"

namespace pl2html::meaning {

namespace {

using prolog::Term;
using prolog::TermKind;
using prolog::TokenClass;

// ---- characters as code_type/2 classes them in SWI-Prolog 9.0.4 (under a
// UTF-8 locale, where iswspace/3 decides above 255).

bool IsSpace(char32_t c) {
  if (c < 0x100) return (c >= 9 && c <= 13) || c == ' ';
  return c == 0x1680 || (c >= 0x2000 && c <= 0x2006) || (c >= 0x2008 && c <= 0x200A) ||
         c == 0x2028 || c == 0x2029 || c == 0x205F || c == 0x3000;
}

bool IsWhite(char32_t c) {
  return c == ' ' || c == '\t';
}
bool IsEndOfLine(char32_t c) {
  return c >= 10 && c <= 13;
}

// ".", "!" and "?". Above 255 SWI-Prolog looks the low byte up in ".?!"
// with strchr(), which finds the string's terminating zero too: so U+2000,
// U+3000 and U+4E00 end sentences, as do U+0121 and U+012E.
bool IsPeriod(char32_t c) {
  const char32_t low = c < 0x100 ? c : c & 0xFF;
  return low == '.' || low == '!' || low == '?' || (c >= 0x100 && low == 0);
}

// Letters and digits; above ASCII the reader's own classes stand in for
// iswalnum(), as near as a section comment's "<type>" ever needs.
bool IsAlnum(char32_t c) {
  if (c < 0x80) return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
  const prolog::CharRange* end = prolog::kCharRanges + prolog::kCharRangeCount;
  const prolog::CharRange* r = std::upper_bound(
      prolog::kCharRanges, end, c, [](char32_t x, const prolog::CharRange& e) { return x < e.lo; });
  if (r == prolog::kCharRanges || (--r)->hi < c) return false;
  return r->cls == prolog::CharClass::kVarStart || r->cls == prolog::CharClass::kAtomStart ||
         r->cls == prolog::CharClass::kIdContinue;
}

// The operators pldoc reads mode lines with (library(pldoc/doc_modes)): the
// system's, which lack user's "$", and its own.
const prolog::Operators& ModeOperators() {
  static const prolog::Operators ops = [] {
    using prolog::OpType;
    prolog::Operators o = prolog::Operators::SwiInitial();
    o.Add("$", 0, OpType::kFx);
    o.Add("...", 750, OpType::kXf);
    for (std::string_view prefix : {"+", "-", "++", "--", "?", ":", "@", "!"})
      o.Add(prefix, 650, OpType::kFx);
    o.Add("//", 200, OpType::kXf);
    return o;
  }();
  return ops;
}

constexpr std::array<std::string_view, 8> kModeIndicators = {"+", "-", "++", "--",
                                                             "?", ":", "@",  "!"};

bool IsModeIndicator(std::string_view name) {
  return std::find(kModeIndicators.begin(), kModeIndicators.end(), name) != kModeIndicators.end();
}

Determinism DeterminismOf(std::string_view name, bool& valid) {
  static constexpr std::pair<std::string_view, Determinism> kNames[] = {
      {"det", Determinism::kDet},         {"semidet", Determinism::kSemidet},
      {"nondet", Determinism::kNondet},   {"multi", Determinism::kMulti},
      {"failure", Determinism::kFailure}, {"undefined", Determinism::kUndefined}};
  for (const auto& [text, det] : kNames)
    if (text == name) return valid = true, det;
  valid = false;
  return Determinism::kUnknown;
}

// The integer a number token stands for, in decimal, as SWI-Prolog writes
// it: digits with "_" or blanks between groups, 0x, 0o, 0b and a plain
// character's 0'c. False for the rest (floats, escapes, radix notation,
// what does not fit 64 bits), which are written as they were.
bool IntegerText(std::string_view s, std::string& out) {
  const bool negative = s.starts_with('-');
  if (negative) s.remove_prefix(1);
  std::uint64_t value = 0;
  auto digits = [&](std::string_view d, unsigned base) {
    for (char ch : d) {
      if (ch == '_' || ch == ' ') continue;
      const unsigned v = ch >= '0' && ch <= '9'   ? unsigned(ch - '0')
                         : ch >= 'a' && ch <= 'f' ? unsigned(ch - 'a' + 10)
                         : ch >= 'A' && ch <= 'F' ? unsigned(ch - 'A' + 10)
                                                  : 99;
      if (v >= base || value > (UINT64_MAX - v) / base) return false;
      value = value * base + v;
    }
    return !d.empty();
  };
  bool ok;
  if (s.starts_with("0'")) {
    std::size_t len = 0;
    ok = s.size() > 2 && s[2] != '\\' && s[2] != '\'';
    if (ok) value = prolog::DecodeUtf8(s, 2, len);
    ok = ok && len == s.size() - 2;
  } else {
    const unsigned base = s.starts_with("0x")   ? 16
                          : s.starts_with("0o") ? 8
                          : s.starts_with("0b") ? 2
                                                : 10;
    ok = digits(base == 10 ? s : s.substr(2), base);
  }
  if (!ok) return false;
  if (negative && value != 0) out += '-';
  out += std::to_string(value);
  return true;
}

// A bare atom: a lower-case ASCII letter, then letters, digits and "_".
bool IsBareAtom(std::string_view name) {
  if (name.empty() || name[0] < 'a' || name[0] > 'z') return false;
  return std::all_of(name.begin(), name.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
  });
}

void AppendAtom(std::string& out, std::string_view name) {
  if (IsBareAtom(name)) {
    out += name;
    return;
  }
  out += '\'';
  for (char c : name) {
    if (c == '\'' || c == '\\') out += '\\';
    out += c;
  }
  out += '\'';
}

// A mode line's term, asked what pldoc asks of it (doc_modes.pl: is_mode/1,
// compile_mode/2, mode_to_pi/2) and written canonically.
class ModeTerm {
 public:
  explicit ModeTerm(const prolog::TermReader& reader) : r_(reader) {}

  static bool IsVar(const Term& t) { return t.kind == TermKind::kVar; }
  static bool IsAtom(const Term& t) { return t.kind == TermKind::kAtom && !t.emptyList; }
  static bool IsNil(const Term& t) { return t.kind == TermKind::kAtom && t.emptyList; }
  static bool IsCallable(const Term& t) {
    return IsAtom(t) || t.kind == TermKind::kCompound || t.kind == TermKind::kList ||
           t.kind == TermKind::kCurly;
  }
  static std::string_view Name(const Term& t) {
    return t.kind == TermKind::kList ? "[|]" : t.kind == TermKind::kCurly ? "{}" : t.name;
  }
  static std::uint32_t Arity(const Term& t) {
    return t.kind == TermKind::kCompound ? t.arity
           : t.kind == TermKind::kList   ? 2
           : t.kind == TermKind::kCurly  ? 1
                                         : 0;
  }
  static bool Is(const Term& t, std::string_view name, std::uint32_t arity) {
    return t.kind == TermKind::kCompound && t.arity == arity && t.name == name;
  }
  const Term& Arg(const Term& t, std::uint32_t i) const { return r_.Child(t, i); }

  // is_mode/1
  bool IsMode(const Term& t, Determinism& det) const {
    det = Determinism::kUnknown;
    if (Is(t, "is", 2)) {
      const Term& d = Arg(t, 1);
      bool valid = false;
      if (IsAtom(d)) det = DeterminismOf(d.name, valid);
      return valid && IsHead(Arg(t, 0));
    }
    return IsHead(t);
  }

  // The head of a mode: without "is Det".
  const Term& HeadOf(const Term& t) const { return Is(t, "is", 2) ? Arg(t, 0) : t; }

  // head_to_pi/2 of a valid mode's head.
  PredicateKey Indicator(const Term& head0) const {
    PredicateKey key;
    const Term* head = &head0;
    if (Is(*head, ":", 2) && IsAtom(Arg(*head, 0))) {
      key.module = std::string(Arg(*head, 0).name);
      head = &Arg(*head, 1);
    }
    const bool grammar = Is(*head, "//", 1);
    if (grammar) head = &Arg(*head, 0);
    key.name = std::string(Name(*head));
    key.arity = static_cast<int>(Arity(*head)) + (grammar ? 2 : 0);
    return key;
  }

  // compile_mode/2's head (dcg_expand/2), written canonically; false where
  // pldoc's remove_aname/2 finds no clause, which fails the whole comment.
  bool WriteCompiled(const Term& head, std::string& out) {
    numbers_.clear();
    out_ = &out;
    return Expand(head);
  }

 private:
  bool IsHead(const Term& t) const {
    if (IsVar(t)) return false;
    if (Is(t, "//", 1)) return IsModuleHead(Arg(t, 0));
    if (Is(t, ":", 2) && Is(Arg(t, 1), "//", 1))
      return IsAtom(Arg(t, 0)) && IsPlainHead(Arg(Arg(t, 1), 0));
    return IsModuleHead(t);
  }
  bool IsModuleHead(const Term& t) const {
    if (Is(t, ":", 2)) return IsAtom(Arg(t, 0)) && IsPlainHead(Arg(t, 1));
    return IsPlainHead(t);
  }
  bool IsPlainHead(const Term& t) const {
    if (!IsCallable(t)) return false;
    if (t.kind == TermKind::kList) {
      // '[|]'(E, T): its second argument is the rest of the list, which is
      // a head argument only when it is a variable.
      return t.arity == 2 && t.hasTail && IsVar(Arg(t, 1)) && IsHeadArg(Arg(t, 0));
    }
    for (std::uint32_t i = 0; i < Arity(t); ++i)
      if (!IsHeadArg(Arg(t, i))) return false;
    return true;
  }
  bool IsHeadArg(const Term& t) const {
    if (IsVar(t)) return true;
    return IsHeadArgNonVar(Is(t, "...", 1) ? Arg(t, 0) : t);
  }
  bool IsHeadArgNonVar(const Term& t) const {
    if (IsVar(t)) return true;
    if (t.kind == TermKind::kCompound && t.arity == 1 && IsModeIndicator(t.name) &&
        IsHeadArg(Arg(t, 0)))
      return true;
    if (Is(t, ":", 2) && IsVar(Arg(t, 0))) {
      const Term& type = Arg(t, 1);
      return IsVar(type) || IsCallable(type);
    }
    return false;
  }

  // dcg_expand/2
  bool Expand(const Term& t) {
    std::string& out = *out_;
    if (Is(t, ":", 2) && IsAtom(Arg(t, 0))) {
      out += "':'(";
      AppendAtom(out, Arg(t, 0).name);
      out += ',';
      if (!Expand(Arg(t, 1))) return false;
      out += ')';
      return true;
    }
    if (Is(t, "//", 1)) {
      const Term& h = Arg(t, 0);
      AppendAtom(out, Name(h));
      out += '(';
      for (std::uint32_t i = 0; i < Arity(h); ++i) {
        if (!RemoveArgName(Arg(h, i))) return false;
        out += ',';
      }
      out += "'?'(list),'?'(list))";
      return true;
    }
    // remove_argnames/2
    if (t.kind == TermKind::kCurly || Is(t, "{}", 1)) {
      out += '{';
      if (!RemoveArgName(Arg(t, 0))) return false;
      out += '}';
      return true;
    }
    if (t.kind == TermKind::kList) {
      out += '[';
      if (!RemoveArgName(Arg(t, 0))) return false;
      out += "|'?'(any)]";
      return true;
    }
    AppendAtom(out, Name(t));
    if (Arity(t) == 0) return true;
    out += '(';
    for (std::uint32_t i = 0; i < Arity(t); ++i) {
      if (i > 0) out += ',';
      if (!RemoveArgName(Arg(t, i))) return false;
    }
    out += ')';
    return true;
  }

  // remove_argname/2: a head's argument reduced to its mode and type.
  bool RemoveArgName(const Term& t) {
    std::string& out = *out_;
    if (IsVar(t)) {
      out += "'?'(any)";
      return true;
    }
    if (Is(t, "...", 1)) {
      out += "'...'(";
      if (!RemoveArgName(Arg(t, 0))) return false;
      out += ')';
      return true;
    }
    const bool indicator = t.kind == TermKind::kCompound && t.arity == 1 && IsModeIndicator(t.name);
    AppendAtom(out, indicator ? t.name : "?");
    out += '(';
    if (!RemoveArgNameType(indicator ? Arg(t, 0) : t)) return false;
    out += ')';
    return true;
  }

  // remove_aname/2: a variable is of type any, Name:Type of Type.
  bool RemoveArgNameType(const Term& t) {
    if (IsVar(t)) {
      *out_ += "any";
      return true;
    }
    if (!Is(t, ":", 2)) return false;
    Write(Arg(t, 1));
    return true;
  }

  // Any term, canonically (see DocMode::head).
  void Write(const Term& t) {
    std::string& out = *out_;
    switch (t.kind) {
      case TermKind::kVar: {
        auto found = std::find(numbers_.begin(), numbers_.end(), t.variable);
        if (found == numbers_.end()) found = numbers_.insert(numbers_.end(), t.variable);
        out += '_';
        out += std::to_string(found - numbers_.begin());
        return;
      }
      case TermKind::kAtom:
        if (t.emptyList) {
          out += "[]";
        } else {
          AppendAtom(out, t.name);
        }
        return;
      case TermKind::kNumber:
        if (t.floatNumber || !IntegerText(t.name, out)) out += t.name;
        return;
      case TermKind::kString:
        out += '"';
        out += t.name;
        out += '"';
        return;
      case TermKind::kBackQuoted: {
        out += '[';
        for (std::size_t i = 0, len = 0; i < t.name.size(); i += len) {
          if (i > 0) out += ',';
          out += std::to_string(static_cast<std::uint32_t>(prolog::DecodeUtf8(t.name, i, len)));
        }
        out += ']';
        return;
      }
      case TermKind::kList:
        out += '[';
        WriteElements(t);
        out += ']';
        return;
      case TermKind::kCurly:
        out += '{';
        Write(Arg(t, 0));
        out += '}';
        return;
      case TermKind::kCompound:
        if (Is(t, "{}", 1)) {
          out += '{';
          Write(Arg(t, 0));
          out += '}';
          return;
        }
        AppendAtom(out, t.name);
        out += '(';
        for (std::uint32_t i = 0; i < t.arity; ++i) {
          if (i > 0) out += ',';
          Write(Arg(t, i));
        }
        out += ')';
        return;
      case TermKind::kDict:
      case TermKind::kQuasiQuotation:
        out.append(t.name);
        out += "{}";
        return;
    }
  }

  // A list's elements, and its tail after "|" unless it is [] or a list.
  void WriteElements(const Term& list) {
    const std::uint32_t elements = list.hasTail ? list.arity - 1 : list.arity;
    for (std::uint32_t i = 0; i < elements; ++i) {
      if (i > 0) *out_ += ',';
      Write(Arg(list, i));
    }
    if (!list.hasTail) return;
    const Term& tail = Arg(list, elements);
    if (IsNil(tail)) return;
    if (tail.kind == TermKind::kList) {
      *out_ += ',';
      WriteElements(tail);
      return;
    }
    *out_ += '|';
    Write(tail);
  }

  const prolog::TermReader& r_;
  std::string* out_ = nullptr;
  std::vector<std::uint32_t> numbers_;  // variables in the order written
};

}  // namespace

std::string_view DeterminismName(Determinism det) {
  switch (det) {
    case Determinism::kDet:
      return "det";
    case Determinism::kSemidet:
      return "semidet";
    case Determinism::kNondet:
      return "nondet";
    case Determinism::kMulti:
      return "multi";
    case Determinism::kFailure:
      return "failure";
    case Determinism::kUndefined:
      return "undefined";
    case Determinism::kUnknown:
      break;
  }
  return "unknown";
}

// One structured comment as pldoc's compile_comment/4 (doc_process.pl)
// reads it: its lines (indented_lines/3 of doc_wiki.pl), its mode lines
// (process_modes/6 of doc_modes.pl), its summary (summary_from_lines/2).
// Lines are cut as they are needed: the mode lines and the summary are at
// a comment's start, the rest is never looked at. The buffers live from
// comment to comment.
class DocReader::Parse {
 public:
  // False when the comment documents no predicate: not structured, a
  // section's, or its mode lines do not read as modes.
  bool Run(std::string_view text, prolog::Encoding encoding, const std::string& module,
           const std::vector<std::string>& modules, DocComment& out) {
    text_ = text;
    latin1_ = encoding == prolog::Encoding::kLatin1;
    if (!IsStructured()) return false;
    lines_.clear();
    at_ = 0;
    if (LineAt(0) != nullptr && IsSectionLine(lines_[0])) return false;
    const std::size_t rest = ModeText();
    if (!ReadModes() || failed_ || modes_.empty()) return false;
    // modes_to_predicate_indicators/2, then decl_module/3: the module of
    // the qualified ones, which must agree, else the file's.
    indicators_.clear();
    seen_.clear();
    for (const DocMode& m : modes_) {
      // A few modes are looked through; many, hashed.
      const bool fresh = modes_.size() <= 8 ? std::find(indicators_.begin(), indicators_.end(),
                                                        m.predicate) == indicators_.end()
                                            : seen_.insert(m.predicate).second;
      if (fresh) indicators_.push_back(m.predicate);
    }
    const std::string* declared = nullptr;
    for (const PredicateKey& pi : indicators_) {
      if (pi.module.empty()) continue;
      if (declared != nullptr && *declared != pi.module) return false;
      declared = &pi.module;
    }
    std::string in = declared != nullptr ? *declared : module;
    out.predicate = indicators_[0];
    out.predicate.module.clear();
    if (std::find(modules.begin(), modules.end(), in) == modules.end())
      out.predicate.module = std::move(in);
    out.links.clear();
    for (std::size_t i = 1; i < indicators_.size(); ++i) {
      out.links.push_back(std::move(indicators_[i]));
      out.links.back().module.clear();
    }
    Summary(rest, out.summary);
    out.modes = std::move(modes_);
    modes_.clear();
    return true;
  }

 private:
  struct Line {
    std::size_t begin, end;  // in text_: the text after the prefix and its blanks
    int indent;              // the column the text starts at
    bool empty() const { return begin == end; }
  };

  // The character at text_[i] and its length in bytes.
  char32_t At(std::size_t i, std::size_t& len) const {
    len = 1;
    const unsigned char c = static_cast<unsigned char>(text_[i]);
    return c < 0x80 || latin1_ ? c : prolog::DecodeUtf8(text_, i, len);
  }
  char32_t At(std::size_t i) const {
    std::size_t len;
    return At(i, len);
  }
  // The characters text_[from..to), as UTF-8.
  void Append(std::string& out, std::size_t from, std::size_t to) const {
    if (!latin1_) {
      out.append(text_, from, to - from);
      return;
    }
    for (std::size_t i = from; i < to; ++i)
      prolog::AppendUtf8(out, static_cast<unsigned char>(text_[i]));
  }

  // is_structured_comment/2 of a string: "%%", "%!" or "/**", then
  // a blank; a "%" comment must hold more than blanks and "%" before its
  // first line ends.
  bool IsStructured() {
    block_ = text_.starts_with("/**");
    const std::size_t start = block_ ? 3 : 2;
    if (!block_ && !text_.starts_with("%%") && !text_.starts_with("%!")) return false;
    if (text_.size() <= start || !IsSpace(At(start))) return false;
    if (block_) return true;
    for (std::size_t i = 2, len; i < text_.size(); i += len) {
      const char32_t c = At(i, len);
      if (IsEndOfLine(c)) return false;
      if (!IsSpace(c) && c != '%') return true;
    }
    return false;
  }

  // The column after a character of a prefix or the blanks after it.
  static int Column(char c, int at) { return c == '\t' ? (at | 7) + 1 : at + 1; }

  // The i-th line, cut when first asked for; nullptr past the last.
  const Line* LineAt(std::size_t i) {
    while (lines_.size() <= i && NextLine()) {
    }
    return i < lines_.size() ? &lines_[i] : nullptr;
  }

  // split_lines//2, one line: without its prefix ("%", or "/**" and " *")
  // and the blanks after it, nor the blanks before its line end. Blanks at
  // the very end stay, and so does a "*/" after text on the last line. A
  // line of only stars and "*/" ends the comment.
  bool NextLine() {
    const std::size_t n = text_.size();
    if (at_ >= n) return false;
    std::size_t q = at_, len = 1;
    while (q < n && IsSpace(At(q, len)))
      q += len;
    std::size_t stars = q;
    while (stars < n && text_[stars] == '*')
      ++stars;
    if (stars > q && stars + 1 == n && text_[stars] == '/') {
      at_ = n;
      return false;
    }
    int indent = 0;
    static constexpr std::string_view kBlock[] = {"/**", " *"}, kPercent[] = {"%"};
    using Prefixes = std::span<const std::string_view>;
    for (std::string_view prefix : block_ ? Prefixes(kBlock) : Prefixes(kPercent)) {
      if (text_.compare(at_, prefix.size(), prefix) != 0) continue;
      for (char c : prefix)
        indent = Column(c, indent);
      at_ += prefix.size();
      break;
    }
    while (at_ < n && IsWhite(static_cast<unsigned char>(text_[at_])))
      indent = Column(text_[at_++], indent);
    // The line ends at "\n" or "\r\n", blanks before it left out; the last
    // line keeps its blanks.
    const std::size_t begin = at_;
    const void* found = std::memchr(text_.data() + at_, '\n', n - at_);
    if (found == nullptr) {
      lines_.push_back(Line{begin, n, indent});
      at_ = n;
      return true;
    }
    const std::size_t newline = static_cast<const char*>(found) - text_.data();
    std::size_t end = newline > begin && text_[newline - 1] == '\r' ? newline - 1 : newline;
    while (end > begin && IsWhite(static_cast<unsigned char>(text_[end - 1])))
      --end;
    lines_.push_back(Line{begin, end, indent});
    at_ = newline + 1;
    return true;
  }

  // section_comment_header/3: a first line "<type> Title".
  bool IsSectionLine(const Line& line) const {
    std::size_t i = line.begin, len = 1;
    while (i < line.end && IsSpace(At(i, len)))
      i += len;
    if (i == line.end || text_[i] != '<') return false;
    ++i;
    while (i < line.end) {
      if (IsAlnum(At(i, len))) {
        i += len;
      } else if (text_[i] == '_' && i + 1 < line.end && IsAlnum(At(i + 1, len))) {
        i += 1 + len;
      } else {
        break;
      }
    }
    return i < line.end && text_[i] == '>';
  }

  // mode_lines/4: the lines of a "%!" or "%%" comment that start with its
  // "!" or "%" right after the prefix; in a block comment, after blank
  // lines, the lines up to the next blank one. Returns where the lines
  // after them start.
  std::size_t ModeText() {
    modeText_.clear();
    auto append = [&](std::size_t from, std::size_t to) {
      Append(modeText_, from, to);
      modeText_ += '\n';
    };
    auto percentLine = [&](const Line* l, char c) {
      return l != nullptr && l->indent == 1 && !l->empty() && text_[l->begin] == c;
    };
    std::size_t i = 0;
    if (const Line* first = LineAt(0); percentLine(first, '%') || percentLine(first, '!')) {
      const char c = text_[first->begin];
      for (const Line* l; percentLine(l = LineAt(i), c); ++i)
        append(l->begin + 1, l->end);
      return i;
    }
    while (LineAt(i) != nullptr && lines_[i].empty())
      ++i;
    for (const Line* l; (l = LineAt(i)) != nullptr; ++i) {
      if (l->empty()) return i + 1;
      append(l->begin, l->end);
    }
    return i;
  }

  // modes/3: the mode lines read as terms, each a mode, up to the text's end
  // or an end_of_file term; false where pldoc meets a syntax error. Where
  // the text ends inside a term, pldoc reads it all again with " . " after
  // it; the terms before are the same, so the text is lexed with the " . "
  // once and the tokens after the text are read only where a term is open.
  bool ReadModes() {
    modes_.clear();
    failed_ = false;
    // Mode lines are short: these bounds keep the walks over their terms,
    // which recurse, shallow.
    static constexpr prolog::TermReaderLimits kLimits{std::size_t{1} << 16, 4096, 256};
    if (reader_ == nullptr)
      reader_ =
          std::make_unique<prolog::TermReader>(&ModeOperators(), prolog::Encoding::kUtf8, kLimits);
    const std::size_t textEnd = modeText_.size();
    modeText_ += " . ";
    tokens_.clear();
    prolog::Lexer lexer;
    lexer.Lex(modeText_, true, tokens_);
    const std::span<const prolog::Token> tokens(tokens_);
    // The text's own tokens; the last ends in its line end, or holds it
    // when a quote or block comment is open there, an error of its own.
    std::size_t own = 0;
    while (own < tokens.size() && tokens[own].begin < textEnd)
      ++own;
    if (own > 0 && tokens[own - 1].cls != TokenClass::kLayout) return false;
    // Whether a term has begun since the last full stop.
    bool open = false;
    for (std::size_t i = own; i-- > 0 && tokens[i].cls != TokenClass::kEnd;)
      open |= tokens[i].cls != TokenClass::kLayout && tokens[i].cls != TokenClass::kComment;
    const std::span<const prolog::Token> read = tokens.first(open ? tokens.size() : own);
    for (std::size_t at = 0; at < read.size();) {
      at += reader_->Push(read.subspan(at), modeText_, 0);
      const prolog::TermReader::Status status = reader_->status();
      if (status == prolog::TermReader::Status::kNone) continue;
      if (status != prolog::TermReader::Status::kRead) return false;
      const Term& t = *reader_->Clause();
      if (ModeTerm::IsAtom(t) && t.name == "end_of_file") return true;
      Mode(t);
    }
    reader_->Finish();
    return true;
  }

  // One term of the mode lines: kept when is_mode/1 holds, compiled.
  void Mode(const Term& t) {
    ModeTerm term(*reader_);
    DocMode mode;
    if (!term.IsMode(t, mode.det)) return;  // pldoc warns and goes on
    const Term& head = term.HeadOf(t);
    if (!term.WriteCompiled(head, mode.head)) failed_ = true;
    mode.predicate = term.Indicator(head);
    mode.text = modeText_.substr(t.from, t.to - t.from);
    modes_.push_back(std::move(mode));
  }

  // summary_from_lines/2: the first sentence of the lines from `first` on.
  void Summary(std::size_t first, std::string& out) {
    out.clear();
    while (LineAt(first) != nullptr && lines_[first].empty())
      ++first;
    bool ended = false;
    for (const Line* l; !ended && (l = LineAt(first)) != nullptr; ++first) {
      const std::size_t end = l->end;
      if (l->empty() || text_[l->begin] == '@') break;
      // Characters are copied a run at a time, up to a blank or the end.
      std::size_t i = l->begin, run = i, len, next;
      for (;;) {
        if (i == end) {
          Append(out, run, i);
          out += ' ';
          break;
        }
        const char32_t c = At(i, len);
        if (i + len < end && !IsPeriod(c) && IsPeriod(At(i + len, next)) &&
            (i + len + next == end || IsSpace(At(i + len + next)))) {
          Append(out, run, i + len + next);
          ended = true;
          break;
        }
        if (IsSpace(c)) {
          Append(out, run, i);
          out += ' ';
          while (i < end && IsSpace(At(i, len)))
            i += len;
          run = i;
          continue;
        }
        i += len;
      }
    }
    if (!out.empty() && out.back() == ' ') out.back() = '.';
  }

  std::string_view text_;
  bool latin1_ = false;
  bool block_ = false;
  std::vector<Line> lines_;
  std::size_t at_ = 0;  // where the next line starts
  std::string modeText_;
  std::vector<prolog::Token> tokens_;
  std::unique_ptr<prolog::TermReader> reader_;
  std::vector<DocMode> modes_;
  bool failed_ = false;
  std::vector<PredicateKey> indicators_;
  std::unordered_set<PredicateKey, PredicateKeyHash> seen_;
};

DocReader::DocReader(prolog::Encoding encoding, std::size_t partSize)
    : encoding_(encoding), partSize_(partSize) {}

DocReader::~DocReader() = default;

void DocReader::Comment(std::string_view text, std::uint64_t offset) {
  if (done_ || text.empty()) return;
  const bool line = text[0] == '%';
  if (offset == lastEnd_ && lastSize_ >= partSize_) {
    // The next part of a long comment.
  } else if (line && lastWasLine_ && offset == lastEnd_ + 1) {
    // The next line of a "%" comment: what lies between is its line feed.
    if (keeping_) text_ += '\n';
  } else {
    lastWasLine_ = line;
    // "%%", "%!" or "/**" and a blank may be structured; the rest is not.
    keeping_ = text.size() > 2 && (line ? text[1] == '%' || text[1] == '!'
                                        : text.starts_with("/**") && text.size() > 3);
    if (keeping_) {
      const std::size_t at = line ? 2 : 3;
      std::size_t len = 1;
      const char32_t next = encoding_ == prolog::Encoding::kLatin1
                                ? static_cast<unsigned char>(text[at])
                                : prolog::DecodeUtf8(text, at, len);
      keeping_ = IsSpace(next);
    }
    if (keeping_) pending_.push_back(Pending{offset, text_.size(), text_.size()});
  }
  if (keeping_) {
    text_ += text;
    pending_.back().end = text_.size();
  }
  lastEnd_ = offset + text.size();
  lastSize_ = text.size();
}

void DocReader::Clause(const prolog::TermReader& reader, const Term* clause,
                       const ClauseStream& stream) {
  if (done_) return;
  if (clause == nullptr) return Drop();  // the reader's error loses the comments read with it
  if (ModeTerm::IsAtom(*clause) && clause->name == "end_of_file") {
    done_ = true;
    return Drop();
  }
  // The cross-referencer's module: module/2,3 and '$set_source_module'(system).
  if (ModeTerm::Is(*clause, ":-", 1)) {
    const Term& d = reader.Child(*clause, 0);
    const Term* name = nullptr;
    if (ModeTerm::Is(d, "module", 2) || ModeTerm::Is(d, "module", 3)) name = &reader.Child(d, 0);
    if (ModeTerm::Is(d, "$set_source_module", 1) && ModeTerm::IsAtom(reader.Child(d, 0)) &&
        reader.Child(d, 0).name == "system")
      name = &reader.Child(d, 0);
    if (name != nullptr && ModeTerm::IsAtom(*name)) {
      module_ = std::string(name->name);
      if (std::find(modules_.begin(), modules_.end(), module_) == modules_.end())
        modules_.push_back(module_);
    }
  }
  for (const Pending& p : pending_) {
    if (p.offset >= reader.ClauseFrom()) break;  // inside the clause
    Document(p, stream.LineOf(p.offset));
  }
  Drop();
}

void DocReader::Finish() {
  Drop();
  documenting_.clear();
  links_.clear();
  firstByLink_.clear();
  for (std::uint32_t i = 0; i < comments_.size(); ++i)
    documenting_[comments_[i].predicate].push_back(i);
  for (const DocComment& c : comments_)
    for (const PredicateKey& from : c.links) {
      links_.push_back(Link{&from, &c.predicate});
      firstByLink_.emplace(from, documenting_.at(c.predicate).front());
    }
}

void DocReader::Drop() {
  pending_.clear();
  text_.clear();
  keeping_ = false;
}

void DocReader::Document(const Pending& comment, std::uint64_t line) {
  // One parse a thread, its buffers and term reader kept from file to file.
  thread_local Parse parse;
  DocComment doc;
  doc.offset = comment.offset;
  doc.line = line;
  const std::string_view bytes =
      std::string_view(text_).substr(comment.begin, comment.end - comment.begin);
  if (parse.Run(bytes, encoding_, module_, modules_, doc)) comments_.push_back(std::move(doc));
}

const DocComment* DocReader::Find(const PredicateKey& predicate) const {
  if (auto found = documenting_.find(predicate); found != documenting_.end())
    return &comments_[found->second.front()];
  auto linked = firstByLink_.find(predicate);
  return linked == firstByLink_.end() ? nullptr : &comments_[linked->second];
}

std::string Documentation::Text() const {
  std::string text;
  for (const std::string& mode : modes)
    text.append(mode).append(".\n");
  if (!summary.empty()) text += summary;
  if (modes.empty() && summary.empty()) text = head;
  while (!text.empty() && text.back() == '\n')
    text.pop_back();
  return text;
}

Documentation DocumentationOf(const Xref& xref, const PredicateKey& key) {
  Documentation doc;
  const DocComment* comment = nullptr;
  if (const DocReader* docs = xref.Docs()) {
    comment = docs->Find(key);
    // A file that is no module documents its predicates as user's.
    if (comment == nullptr && key.module.empty() && !xref.IsModule())
      comment = docs->Find({"user", key.name, key.arity});
  }
  if (comment != nullptr) {
    for (const DocMode& mode : comment->modes)
      doc.modes.push_back(mode.text);
    doc.summary = comment->summary;
  }
  if (const PredicateFacts* facts = xref.Find(key); facts != nullptr) doc.head = facts->head;
  return doc;
}

Documentation DocumentationOf(const Xref& xref, std::string_view name, int arity) {
  return DocumentationOf(xref, PredicateKey{std::string(), std::string(name), arity});
}

void ReadDocs(std::string_view text, prolog::Encoding encoding, prolog::Operators* ops,
              DocReader& docs, const ClauseStream::Visit& clauseRead) {
  const ClauseStream* lines = nullptr;
  ClauseStream stream(
      ops, encoding, [&](const prolog::TermReader& reader, const Term* clause, std::uint64_t line) {
        const bool more = !clauseRead || clauseRead(reader, clause, line);
        docs.Clause(reader, clause, *lines);
        return more;
      });
  lines = &stream;
  prolog::Lexer lexer(encoding);
  std::vector<prolog::Token> tokens;
  lexer.Lex(text, true, tokens);
  for (const prolog::Token& token : tokens) {
    const std::string_view bytes = text.substr(token.begin, token.end - token.begin);
    if (token.cls == TokenClass::kComment) docs.Comment(bytes, token.begin);
    stream.Push(token.cls, bytes, token.begin);
  }
  stream.Finish();
  docs.Finish();
}

}  // namespace pl2html::meaning
