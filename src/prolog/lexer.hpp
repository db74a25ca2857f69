// Prolog source as the Prolog reader cuts it into tokens. The lexer sees
// bytes, not lines: a comment, a quoted atom or a string may run over many
// lines, and the page writer cuts tokens at line ends itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace pl2html::prolog {

// What a token is to the reader. Every byte of the source belongs to exactly
// one token, layout included, so the tokens of a source tile it end to end.
enum class TokenClass : std::uint8_t {
  kLayout,   // blanks and line ends between tokens
  kComment,  // "%" to the line end, or "/* */", which nests
  kVar,      // X, _, _Foo, Élan
  kAtom,     // letter atoms, symbol-char atoms, solo atoms, [] and {}
  kQuoted,   // 'quoted atom'
  kString,   // "string"
  kCodes,    // `back-quoted`
  kNumber,   // 12, 0'c, 0x1F, 1.5e10, 1r3, 1 000 000, -1 where "-" is a sign
  kPunct,    // ( ) [ ] { } , | and the ":" of a dict
  kEnd,      // the full stop that ends a clause
  kQq,       // the parts of a quasi-quotation {|Syntax||Text|}
};

struct Token {
  std::size_t begin = 0;  // byte offsets into the text handed to Lex
  std::size_t end = 0;
  TokenClass cls = TokenClass::kLayout;
};

// How bytes of 0x80 and above are read: as UTF-8 code points, or each byte
// as a Latin-1 character (a file that is not valid UTF-8).
enum class Encoding : std::uint8_t { kUtf8, kLatin1 };

}  // namespace pl2html::prolog
