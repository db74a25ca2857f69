// Helpers shared by the lexer's tests and the reference comparison: lexing a
// whole text, and a letter per byte for the class of its token.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "prolog/lexer.hpp"

namespace pl2html::prolog::testing {

// The letter a byte of each class is shown as: layout is a blank.
inline char ClassLetter(TokenClass cls) {
  switch (cls) {
    case TokenClass::kLayout:
      return ' ';
    case TokenClass::kComment:
      return 'c';
    case TokenClass::kVar:
      return 'v';
    case TokenClass::kAtom:
      return 'a';
    case TokenClass::kQuoted:
      return 'q';
    case TokenClass::kString:
      return 's';
    case TokenClass::kCodes:
      return 'b';
    case TokenClass::kNumber:
      return 'n';
    case TokenClass::kPunct:
      return 'p';
    case TokenClass::kEnd:
      return 'e';
    case TokenClass::kQq:
      return 'Q';
  }
  return '?';
}

inline std::vector<Token> LexWhole(std::string_view text, Encoding encoding = Encoding::kUtf8) {
  std::vector<Token> tokens;
  Lexer(encoding).Lex(text, true, tokens);
  return tokens;
}

// A class letter per byte of the text the tokens tile.
inline std::string ClassLetters(const std::vector<Token>& tokens, std::size_t size) {
  std::string letters(size, '?');
  for (const Token& t : tokens)
    for (std::size_t i = t.begin; i < t.end && i < size; ++i)
      letters[i] = ClassLetter(t.cls);
  return letters;
}

// Whether the bytes are valid UTF-8: else a file is read as Latin-1.
inline bool IsUtf8(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size()) {
    const unsigned char b = static_cast<unsigned char>(s[i]);
    std::size_t need = b < 0x80                 ? 0
                       : b >= 0xC2 && b <= 0xDF ? 1
                       : b >= 0xE0 && b <= 0xEF ? 2
                       : b >= 0xF0 && b <= 0xF4 ? 3
                                                : 4;
    if (need == 4 || i + need >= s.size()) return false;
    for (std::size_t k = 1; k <= need; ++k) {
      const unsigned char c = static_cast<unsigned char>(s[i + k]);
      unsigned lo = 0x80, hi = 0xBF;
      if (k == 1 && b == 0xE0) lo = 0xA0;
      if (k == 1 && b == 0xED) hi = 0x9F;
      if (k == 1 && b == 0xF0) lo = 0x90;
      if (k == 1 && b == 0xF4) hi = 0x8F;
      if (c < lo || c > hi) return false;
    }
    i += need + 1;
  }
  return true;
}

}  // namespace pl2html::prolog::testing
