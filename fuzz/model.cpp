#include "model.hpp"

#include <algorithm>

#include "model_text.hpp"

namespace pl2html::model {

namespace {

std::string Str(std::string_view text) {
  return std::string(text);
}

bool Contains(const std::vector<std::string>& list, std::string_view word) {
  return std::find(list.begin(), list.end(), word) != list.end();
}

void AddTypeWord(Scanner& scanner, std::string_view word) {
  if (!Contains(scanner.typeWords, word)) scanner.typeWords.push_back(Str(word));
}

std::string ColourWord(const Scanner& scanner, std::string_view word) {
  if (Contains(scanner.typeWords, word)) return "<font class='type'>" + Str(word) + "</font>";
  if (Contains(scanner.keywords, word)) return "<font class='keyWord'>" + Str(word) + "</font>";
  return Str(word);
}

int CharKind(std::string_view ch) {
  if (ch.empty()) return 0;
  if (std::string_view("(){}[],;!").find(ch.front()) != std::string_view::npos) return 1;
  if (std::string_view("=*/-+<>%&").find(ch.front()) != std::string_view::npos) return 2;
  if (ch.front() == ' ' || ch.front() == '\t') return -1;
  return 0;
}

bool IsWord(std::string_view text) {
  if (TrimText(text) == "is") return false;
  for (char c : text) {
    unsigned char b = static_cast<unsigned char>(c);
    bool wordByte = (b >= '0' && b <= '9') || (b >= 'A' && b <= 'Z') || b == '_' ||
                    (b >= 'a' && b <= 'z') || b >= 192;
    if (!wordByte) return false;
  }
  return true;
}

bool IsNumber(std::string_view text) {
  for (char c : text) {
    if (c != '.' && (c < '0' || c > '9')) return false;
  }
  return true;
}

std::string Escaped(std::string_view text) {
  return ReplaceText(text, "<", "&lt;");
}

void FlushCode(Scanner& s) {
  s.pendingCode = Escaped(s.pendingCode);
  const std::string& code = s.pendingCode;
  if (!code.empty() && s.quoteState == 0) {
    std::string result;
    std::int32_t start = 1;
    for (std::int32_t i = 1; i <= TextLength(code); ++i) {
      std::string ch = Str(MidOf(code, i, 1));
      if (CharKind(ch) == 0) continue;
      if (i > start) {
        std::string word = Str(MidOf(code, start, i - start));
        std::string coloured = ColourWord(s, word);
        if (coloured == word) {
          std::string next = ch;
          std::int32_t j = i;
          while (CharKind(next) == -1) {
            ++j;
            next = Str(MidOf(code, j, 1));
          }
          if (next == "(" && IsWord(word)) {
            coloured = "<font class='fonction'>" + word + "</font>";
          } else if (IsNumber(word)) {
            coloured = "<font class='nombre'>" + word + "</font>";
          }
        }
        result += coloured + ch;
      } else {
        result += ch;
      }
      start = i + 1;
    }
    s.lineOut += result;
    s.lineOut += ColourWord(s, MidOf(code, start, TextLength(code) - start + 1));
  } else {
    s.lineOut += code;
  }
  s.pendingCode.clear();
}

}  // namespace

Scanner::Scanner()
    : typeWords{"int", "char", "double", "void", "FILE", "struct", "time_t"},
      keywords{"if",  "else",  "elseif", "switch", "case",  "default", "const",
               "for", "while", "do",     "return", "break", "sizeof",  "typedef"} {}

void ScanDeclarations(Scanner& scanner, const std::vector<std::string_view>& lines) {
  for (std::size_t n = 0; n < lines.size(); ++n) {
    std::string_view line = lines[n];
    if (CountText(line, " ") == 0) continue;
    std::string_view w1 = FieldOf(line, 1, " ");
    std::string_view w2 = FieldOf(line, 2, " ");
    std::string_view w3 = LeftOf(FieldOf(line, 3, " "), 1);
    std::int32_t p = FindText(w2, "(", 1);
    if (p != 0) {
      w2 = LeftOf(w2, p - 1);
      w3 = "(";
    }
    if (!IsWord(w1) || !IsWord(w2) || w3 != "(") continue;
    AddTypeWord(scanner, w1);
    std::string rest = Str(RightOf(line, TextLength(line) - FindText(line, "(", 1)));
    while (FindText(rest, ")", 1) == 0 && n + 1 < lines.size())
      rest += lines[++n];
    rest = Str(LeftOf(rest, FindText(rest, ")", 1) - 1));
    for (std::int32_t k = 1; k <= CountText(rest, ",") + 1; ++k) {
      std::string t = Str(FieldOf(TrimText(FieldOf(rest, k, ",")), 1, " "));
      if (RightOf(t, 1) == "*") t = Str(TrimText(LeftOf(t, TextLength(t) - 1)));
      AddTypeWord(scanner, t);
    }
  }
}

std::string ColourLine(Scanner& s, std::string_view line) {
  s.lineOut.clear();
  s.pendingCode.clear();
  for (std::int32_t i = 1; i <= TextLength(line); ++i) {
    char c = line[static_cast<std::size_t>(i - 1)];
    if (c == '#' && s.quoteState == 0) {
      FlushCode(s);
      std::int32_t q = FindText(line, "/", i + 1);
      if (q == i + 1) {
        // "#/": the rule would give an empty span and stay on the "#"; the
        // "#" is written alone and the "/" read as code.
        s.lineOut += "<font class='diese'>#</font>";
        continue;
      }
      std::int32_t end = q == 0 ? TextLength(line) + 1 : q - 1;
      s.lineOut += "<font class='diese'>" + Escaped(MidOf(line, i, end - i)) + "</font>";
      i = end - 1;
    } else if (c == '"' && s.quoteState != 3) {
      if (s.quoteState == 2) {
        s.lineOut += Escaped(s.pendingCode) + "\"</font>";
        s.pendingCode.clear();
        s.quoteState = 0;
      } else {
        FlushCode(s);
        s.lineOut += "<font class='texte'>\"";
        s.quoteState = 2;
      }
    } else if (c == '\'' && s.quoteState != 2) {
      if (s.quoteState == 3) {
        s.lineOut += Escaped(s.pendingCode) + "'</font>";
        s.pendingCode.clear();
        s.quoteState = 0;
      } else {
        FlushCode(s);
        s.lineOut += "<font class='texte'>'";
        s.quoteState = 3;
      }
    } else if (c == '%' && s.quoteState == 0) {
      FlushCode(s);
      s.lineOut +=
          "<font class='comment'>" + Escaped(RightOf(line, TextLength(line) - i + 1)) + "</font>";
      i = TextLength(line);
    } else {
      s.pendingCode += c;
    }
  }
  FlushCode(s);
  return s.lineOut;
}

}  // namespace pl2html::model
