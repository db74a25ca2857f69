// Helpers shared by the lexer's tests and the reference comparison: lexing a
// whole text, and a letter per byte for the class of its token.
#pragma once

#include <algorithm>
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

inline std::vector<Token> LexWhole(std::string_view text, Encoding encoding = Encoding::kUtf8,
                                   std::size_t partSize = Lexer::kPartSize) {
  std::vector<Token> tokens;
  Lexer(encoding, partSize).Lex(text, true, tokens);
  return tokens;
}

// Lexes the text in pieces that end at the cuts (sorted), as the page writer
// does: what a call leaves is handed again with the next piece.
inline std::vector<Token> LexInPieces(std::string_view text, const std::vector<std::size_t>& cuts,
                                      Encoding encoding = Encoding::kUtf8,
                                      std::size_t partSize = Lexer::kPartSize) {
  Lexer lexer(encoding, partSize);
  std::vector<Token> tokens;  // each call appends to the tokens before
  std::size_t start = 0;
  for (std::size_t k = 0; start < text.size(); ++k) {
    const std::size_t end = k < cuts.size() ? std::max(cuts[k], start) : text.size();
    const std::size_t before = tokens.size();
    const std::size_t taken =
        lexer.Lex(text.substr(start, end - start), end == text.size(), tokens);
    for (std::size_t i = before; i < tokens.size(); ++i) {
      tokens[i].begin += start;
      tokens[i].end += start;
    }
    start += taken;
  }
  return tokens;
}

inline bool SameTokens(const std::vector<Token>& a, const std::vector<Token>& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const Token& x, const Token& y) {
    return x.begin == y.begin && x.end == y.end && x.cls == y.cls;
  });
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
