#include "scan/colour.hpp"

#include <cstring>

namespace pl2html {

namespace {

constexpr std::string_view kTextOpen = "<font class='texte'>";
constexpr std::string_view kClose = "</font>";

// Bytes that end a stretch of ordinary code: directive, both quotes, comment.
struct SpecialTable {
  bool special[256];
  constexpr SpecialTable() : special() {
    special[static_cast<unsigned char>('#')] = true;
    special[static_cast<unsigned char>('"')] = true;
    special[static_cast<unsigned char>('\'')] = true;
    special[static_cast<unsigned char>('%')] = true;
  }
};
constexpr SpecialTable kSpecial;

std::size_t NextSpecial(std::string_view line, std::size_t from) {
  while (from < line.size() && !kSpecial.special[static_cast<unsigned char>(line[from])])
    ++from;
  return from;
}

std::size_t NextByte(std::string_view line, std::size_t from, char byte) {
  if (from >= line.size()) return line.size();
  const void* hit = std::memchr(line.data() + from, byte, line.size() - from);
  return hit == nullptr ? line.size()
                        : static_cast<std::size_t>(static_cast<const char*>(hit) - line.data());
}

bool IsBlankAt(std::string_view code, std::size_t at) {
  return CharKind(static_cast<unsigned char>(code[at])) == kBlank;
}

// A word that is in neither table: a routine name when the next thing after
// it, blanks skipped, is "(" in the same run of code; else a number when it
// is all digits and dots; else plain.
void ColourFreeWord(std::string& out, std::string_view code, std::string_view word,
                    std::size_t separatorAt) {
  std::size_t next = separatorAt;
  while (next < code.size() && IsBlankAt(code, next))
    ++next;
  if (next < code.size() && code[next] == '(' && IsWord(word)) {
    AppendMarked(out, "fonction", word);
  } else if (IsNumber(word)) {
    AppendMarked(out, "nombre", word);
  } else {
    out.append(word);
  }
}

// Colours a run of code that has "<" already escaped. Words are the stretches
// between separators, operators and blanks; the last word of the run, which
// no such character follows, is only looked up in the tables.
void ColourCode(Conversion& conversion, std::string_view code) {
  std::string& out = conversion.lineOut;
  std::size_t start = 0;
  for (std::size_t i = 0; i < code.size(); ++i) {
    if (CharKind(static_cast<unsigned char>(code[i])) == kOrdinary) continue;
    if (i > start) {
      std::string_view word = code.substr(start, i - start);
      if (ClassOfWord(conversion, word) == WordClass::kPlain) {
        ColourFreeWord(out, code, word, i);
      } else {
        ColourWord(conversion, word, out);
      }
    }
    out += code[i];
    start = i + 1;
  }
  ColourWord(conversion, code.substr(start), out);
}

}  // namespace

void FlushCode(Conversion& conversion) {
  std::string_view code = conversion.pendingCode;
  // The escape comes first, so the words are cut from the escaped text.
  if (code.find('<') != std::string_view::npos) {
    conversion.escapedCode.clear();
    AppendEscaped(conversion.escapedCode, code);
    code = conversion.escapedCode;
  }
  if (!code.empty() && conversion.quoteState == kInCode) {
    ColourCode(conversion, code);
  } else {
    conversion.lineOut.append(code);
  }
  conversion.pendingCode = {};
}

namespace {

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
  out.append("<font class='diese'>");
  AppendEscaped(out, line.substr(at, length));
  out.append(kClose);
  return at + length;
}

}  // namespace

const std::string& ColourLine(Conversion& conversion, std::string_view line) {
  std::string& out = conversion.lineOut;
  out.clear();
  std::size_t pendingStart = 0;  // pendingCode is line[pendingStart, i)
  auto flushUpTo = [&](std::size_t end) {
    conversion.pendingCode = line.substr(pendingStart, end - pendingStart);
    FlushCode(conversion);
  };
  std::size_t i = 0;
  while (i < line.size()) {
    switch (conversion.quoteState) {
      case kInCode:
        i = NextSpecial(line, i);
        break;
      case kInDoubleQuotes:
        i = NextByte(line, i, '"');
        break;
      case kInSingleQuotes:
        i = NextByte(line, i, '\'');
        break;
    }
    if (i == line.size()) break;
    const char c = line[i];
    if (conversion.quoteState != kInCode) {
      // The quote that opened the text closes it.
      AppendEscaped(out, line.substr(pendingStart, i - pendingStart));
      out += c;
      out.append(kClose);
      conversion.quoteState = kInCode;
      pendingStart = ++i;
      continue;
    }
    flushUpTo(i);
    switch (c) {
      case '#':
        i = AppendDirective(out, line, i);
        break;
      case '"':
      case '\'':
        out.append(kTextOpen);
        out += c;
        conversion.quoteState = c == '"' ? kInDoubleQuotes : kInSingleQuotes;
        ++i;
        break;
      default:  // '%': a comment to the end of the line
        out.append("<font class='comment'>");
        AppendEscaped(out, line.substr(i));
        out.append(kClose);
        i = line.size();
        break;
    }
    pendingStart = i;
  }
  flushUpTo(line.size());
  return out;
}

}  // namespace pl2html
