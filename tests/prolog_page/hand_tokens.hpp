// Token streams written by hand for tests that must not depend on the
// lexer: "foo ( X ) ~ :- ~ bar ." is foo, (, X, ), a blank, :-, a blank,
// bar and the full stop. Tokens written with one space between them touch
// in the source; "~" is a blank of layout and "/" a line end.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "prolog/lexer.hpp"

namespace pl2html::test {

struct HandTokens {
  std::string text;
  std::vector<prolog::Token> tokens;
};

inline prolog::TokenClass ClassOfWord(std::string_view w) {
  using prolog::TokenClass;
  char c = w[0];
  if (w == "~" || w == "/") return TokenClass::kLayout;
  if (w == ".") return TokenClass::kEnd;
  if (w.size() == 1 && std::string_view("()[]{},|").find(c) != std::string_view::npos) {
    return TokenClass::kPunct;
  }
  if (c == '%' || w.starts_with("/*")) return TokenClass::kComment;
  if (c == '\'') return TokenClass::kQuoted;
  if (c == '"') return TokenClass::kString;
  if (c >= '0' && c <= '9') return TokenClass::kNumber;
  if (c == '_' || (c >= 'A' && c <= 'Z')) return TokenClass::kVar;
  return TokenClass::kAtom;
}

inline HandTokens Tokens(std::string_view spelled) {
  HandTokens out;
  while (!spelled.empty()) {
    std::size_t space = spelled.find(' ');
    std::string_view word = spelled.substr(0, space);
    spelled.remove_prefix(space == std::string_view::npos ? spelled.size() : space + 1);
    std::size_t begin = out.text.size();
    out.text += word == "~" ? std::string_view(" ") : word == "/" ? std::string_view("\n") : word;
    out.tokens.push_back({begin, out.text.size(), ClassOfWord(word)});
  }
  return out;
}

}  // namespace pl2html::test
