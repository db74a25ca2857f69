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

// The byte-order mark that may start a UTF-8 source.
inline constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// How bytes of 0x80 and above are read: as UTF-8 code points, or each byte
// as a Latin-1 character (a file that is not valid UTF-8).
enum class Encoding : std::uint8_t { kUtf8, kLatin1 };

// A streaming lexer. The source comes in pieces of any size; the tokens are
// the same wherever the pieces are cut.
//
// What the reader makes of some tokens depends on what came before them, and
// that state lives here between calls: whether an operand is expected (so
// that "-1" is one number after "(" or "is" but "-" and "1" after "a"), the
// open brackets and dicts (the ":" of "_{a:1}" is punctuation). The full
// stop of a clause resets it.
//
// What a page writer may want to know:
// - A line comment runs to the line feed, as the reader's does: a carriage
//   return before it, or a lone one (old Mac line ends), is in the comment.
//   Quoted text, strings and block comments hold line ends of every kind.
// - "[ ]" and "{ }" with layout or comments inside are an atom: "[" and "]"
//   are kAtom tokens and what lies between is layout and comments.
// - A byte-order mark at the start of a UTF-8 source is a layout token.
// - A first line starting with "#!" (a script's, which SWI-Prolog's loader
//   skips) is a line comment.
// - A quasi-quotation is "{|" (kQq), its syntax as ordinary tokens, then one
//   kQq token from "||" to "|}". As for the reader, any "||" starts that
//   last part, which runs to the end of the source if no "|}" closes it.
// - Bytes that are no Prolog still land in tokens: control characters in
//   layout, a byte that is not UTF-8 in an atom of its own, a quote or a
//   comment left open runs to the end of the source (in parts, see
//   kPartSize).
// - Lex may grow `out` a batch of tokens ahead while it works; it leaves the
//   tokens already there as they were (the vector may move them).
class Lexer {
 public:
  // Quoted text, comments, layout, names and symbol-char atoms longer than
  // this are handed out in parts, each a token of the same class, so that a
  // quote or a comment never closed, or a binary file, is never held whole. A part ends where a
  // character starts, at the first such place from this many bytes on: the same places however the
  // source is cut into pieces.
  static constexpr std::size_t kPartSize = std::size_t{1} << 18;

  explicit Lexer(Encoding encoding = Encoding::kUtf8, std::size_t partSize = kPartSize);

  // Appends to `out` the tokens of the longest prefix of `text` that more text
  // could not change, and returns that prefix's length. The caller hands
  // text[returned..] again, with more appended, in the next call. With atEnd
  // the text is the rest of the source and all of it is taken. Token offsets
  // are relative to `text`.
  std::size_t Lex(std::string_view text, bool atEnd, std::vector<Token>& out);

  // What a token does to the state above; the lexer's own business, public
  // only so that the reading code in lexer.cpp can name it.
  enum class Effect : std::uint8_t;
  // The token whose parts are being handed out, if any: what the next part
  // goes on reading.
  struct OpenToken {
    enum class Kind : std::uint8_t {
      kNone,
      kQuoted,
      kBlockComment,
      kLineComment,
      kQqText,
      kName,
      kSymbols
    };
    Kind kind = Kind::kNone;
    unsigned char quote = 0;             // of quoted text
    std::uint64_t depth = 0;             // of nested block comments
    TokenClass cls = TokenClass::kAtom;  // of a name: an atom or a variable
    bool beyondAscii = false;            // of symbol chars: one of them came before
  };

 private:
  struct DictFrame {
    std::int64_t depth;     // bracket depth of the dict's own "{"
    std::uint8_t keyState;  // key expected, ":" expected, or in a value
  };

  void Apply(Effect effect);
  void ApplyInFull(Effect effect);
  bool InDict() const;  // the innermost open bracket is a dict's
  bool DictColonExpected() const;

  Encoding encoding_;
  std::size_t partSize_;
  OpenToken open_;
  bool atStart_ = true;        // nothing taken yet: a byte-order mark may come
  bool scriptLine_ = false;    // the source starts with "#!": its first line is a comment
  bool expectOperand_ = true;  // the next token starts a term
  bool afterTag_ = false;      // the last token can tag a dict: "_" in "_{"
  bool closeIsAtom_ = false;   // in "[ ]": only layout and comments before "]"
  std::int64_t depth_ = 0;     // open brackets in this clause (less closed ones)
  bool rare_ = false;          // in a dict or in "[ ]"
  std::vector<DictFrame> dicts_;

  friend class TokenReader;
};

}  // namespace pl2html::prolog
