#include "scan/colour.hpp"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "runtime/text.hpp"
#include "scan/markup.hpp"

namespace pl2html {

namespace {

std::size_t NextByte(std::string_view line, std::size_t from, char byte) {
  if (from >= line.size()) return line.size();
  const void* hit = std::memchr(line.data() + from, byte, line.size() - from);
  return hit == nullptr ? line.size()
                        : static_cast<std::size_t>(static_cast<const char*>(hit) - line.data());
}

// How the colourer sees a byte of a line, as bits: a break (a separator, an
// operator or a blank) ends the word before it; a stop ("#", a quote or
// "%") ends the run of code; "<" is also escaped.
enum RoleBits : std::uint8_t {
  kBreakBit = 1,
  kStopBit = 2,
  kLessBit = 4,
};

struct RoleTable {
  std::uint8_t role[256];
};

RoleTable MakeRoles() {
  RoleTable table{};
  for (int ch = 0; ch < 256; ++ch) {
    table.role[ch] = CharKind(static_cast<unsigned char>(ch)) == kOrdinary ? 0 : kBreakBit;
  }
  table.role[static_cast<unsigned char>('<')] |= kLessBit;
  for (char ch : std::string_view("#\"'%"))
    table.role[static_cast<unsigned char>(ch)] = kStopBit;
  return table;
}

const RoleTable kRoles = MakeRoles();

// A coloured line longer than this goes to the sink, when there is one, at
// the next point where ColourLine may cut it.
constexpr std::size_t kSinkAt = 1 << 16;

void HandOnIfLong(std::string& out, LongLineSink* sink) {
  if (sink != nullptr && out.size() >= kSinkAt) sink->TakeStart(out);
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

void AppendMarkedUp(std::string& out, Markup markup, std::string_view text) {
  out.append(OpeningOf(markup));
  out.append(text);
  out.append(kClosing);
}

// ClassOfWord, with the filters of both tables tried here first: most words
// are in neither table, and then no call is needed.
WordClass ClassOf(const Conversion& conversion, std::string_view word) {
  if (!conversion.typeWords.MayContain(word) && !conversion.keywords.MayContain(word)) {
    return WordClass::kPlain;
  }
  return ClassOfWord(conversion.typeWords, conversion.keywords, word);
}

// The one place where a word's class becomes markup.
Markup MarkupOf(WordClass wordClass) {
  return wordClass == WordClass::kType ? Markup::kType : Markup::kKeyword;
}

// IsNumber, with its first byte tried here first.
bool IsNumberWord(std::string_view word) {
  char first = word.front();
  return (first == '.' || (first >= '0' && first <= '9')) && IsNumber(word);
}

// The markup of a word that a break follows at `breakAt`; false for a plain
// word. A word in neither table is a routine name when the next thing after
// it, blanks skipped, is "(", else a number when it is all digits and dots.
bool MarkupOfWord(const Conversion& conversion, std::string_view code, std::string_view word,
                  std::size_t breakAt, Markup& markup) {
  if (WordClass wordClass = ClassOf(conversion, word); wordClass != WordClass::kPlain) {
    markup = MarkupOf(wordClass);
    return true;
  }
  std::size_t next = breakAt;
  while (next < code.size() && IsBlank(code[next]))
    ++next;
  if (next < code.size() && code[next] == '(' && IsWord(word)) {
    markup = Markup::kRoutine;
    return true;
  }
  if (IsNumberWord(word)) {
    markup = Markup::kNumber;
    return true;
  }
  return false;
}

// Appends a word that no break follows: only the tables can mark it.
void AppendLastWord(const Conversion& conversion, std::string& out, std::string_view word) {
  WordClass wordClass = ClassOf(conversion, word);
  if (wordClass == WordClass::kPlain) {
    out.append(word);
  } else {
    AppendMarkedUp(out, MarkupOf(wordClass), word);
  }
}

// Appends the escape of a "<" of code. The rules escape code before they cut
// it into words, so the "&" and ";" of the escape are breaks and the word
// "lt" between them is looked up like any other: type or keyword markup if
// the tables hold it, never a routine name or a number, since ";" follows it.
void AppendEscapedLess(const Conversion& conversion, std::string& out) {
  out += '&';
  AppendLastWord(conversion, out, "lt");
  out += ';';
}

// Colours the run of code line[from, stop), where `stop` is the first stop
// byte from `from` on, or the end; returns `stop`. Words are the stretches
// between breaks; the last word of the run, which no break follows, is only
// looked up in the tables. Stretches without markup are copied whole. An
// empty run writes nothing, not even the markup of an empty type word.
//
// A "<" is escaped as it is met: for the word before it, "<" and the "&" of
// its escape are alike (a break, neither blank nor "("), and the escape
// itself is cut into words by AppendEscapedLess. So the result is that of
// colouring the escaped text.
//
// The look-ahead for "(" may pass `stop`: it only skips blanks, and neither
// a blank nor "(" is a stop byte, so it gives the same answer as within the
// run.
std::size_t FlushCode(const Conversion& conversion, std::string_view line, std::size_t from,
                      std::string& out, LongLineSink* sink) {
  const char* bytes = line.data();
  std::size_t copied = from;  // line[from, copied) is in `out` already
  std::size_t start = from;   // where the current word starts
  std::size_t at = from;
  for (; at < line.size(); ++at) {
    const std::uint8_t role = kRoles.role[static_cast<unsigned char>(bytes[at])];
    if (role == 0) continue;
    if ((role & kStopBit) != 0) break;
    if (at > start) {
      std::string_view word(bytes + start, at - start);
      Markup markup;
      if (MarkupOfWord(conversion, line, word, at, markup)) {
        out.append(bytes + copied, start - copied);
        AppendMarkedUp(out, markup, word);
        copied = at;
      }
      HandOnIfLong(out, sink);
    }
    if ((role & kLessBit) != 0) {
      out.append(bytes + copied, at - copied);
      AppendEscapedLess(conversion, out);
      copied = at + 1;
    }
    start = at + 1;
  }
  if (at == from) return at;
  out.append(bytes + copied, start - copied);
  AppendLastWord(conversion, out, std::string_view(bytes + start, at - start));
  return at;
}

// Appends a directive span starting at the "#" at `at` and returns where
// scanning goes on. Without a "/" later on the line the span takes the rest
// of the line; otherwise it stops two bytes before the first "/", and the
// byte before the "/" is scanned again as code. When the "/" follows the "#"
// directly that rule would give an empty span and never move on, so the span
// is then the "#" alone.
std::size_t AppendDirective(std::string& out, std::string_view line, std::size_t at) {
  std::size_t slash = line.find('/', at + 1);
  std::size_t length = slash == std::string_view::npos ? line.size() - at
                       : slash - at > 1                ? slash - at - 1
                                                       : 1;
  out.append(OpeningOf(Markup::kDirective));
  AppendEscapingLessThan(out, line.substr(at, length));
  out.append(kClosing);
  return at + length;
}

}  // namespace

void ColourLine(Conversion& conversion, std::string_view line, std::string& out,
                LongLineSink* sink) {
  std::size_t i = 0;
  while (i < line.size()) {
    HandOnIfLong(out, sink);
    if (conversion.quoteState != kInCode) {
      // Quoted text runs to the quote that opened it, or to the end of the
      // line, where it stays open.
      const char quote = conversion.quoteState == kInDoubleQuotes ? '"' : '\'';
      std::size_t close = NextByte(line, i, quote);
      AppendEscapingLessThan(out, line.substr(i, close - i));
      if (close == line.size()) return;
      out += quote;
      out.append(kClosing);
      conversion.quoteState = kInCode;
      i = close + 1;
      continue;
    }
    i = FlushCode(conversion, line, i, out, sink);
    if (i == line.size()) break;
    const char c = line[i];
    switch (c) {
      case '#':
        i = AppendDirective(out, line, i);
        break;
      case '"':
      case '\'':
        out.append(OpeningOf(Markup::kText));
        out += c;
        conversion.quoteState = c == '"' ? kInDoubleQuotes : kInSingleQuotes;
        ++i;
        break;
      default:  // '%': a comment to the end of the line
        out.append(OpeningOf(Markup::kComment));
        AppendEscapingLessThan(out, line.substr(i));
        out.append(kClosing);
        i = line.size();
        break;
    }
  }
}

}  // namespace pl2html
