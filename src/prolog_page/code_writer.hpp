// The second pass: the code element, token by token. Each token is one
// span whose first class is its lexical class; layout is written bare. A
// token that runs over line ends is closed before each and opened again
// after, so that every line is an element of its own: <span id="L12">,
// whose number the style sheet draws.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "prolog/lexer.hpp"
#include "prolog_page/charset.hpp"
#include "prolog_page/marks.hpp"
#include "prolog_page/page.hpp"

namespace pl2html::prolog_page {

class CodeWriter {
 public:
  CodeWriter(Sink& sink, Charset charset, const Marks& marks, bool lineNumbers);

  void Begin();
  // The tokens of the next piece of the source; `text` is that piece.
  void Write(std::string_view text, std::span<const prolog::Token> tokens);
  void End();

 private:
  bool Span(prolog::TokenClass cls, std::string_view rest, std::size_t size);
  // `clean`: the text holds no byte that needs more than copying; `marked`:
  // the token is the next mark's.
  void Token(prolog::TokenClass cls, std::string_view text, bool clean, bool marked);
  std::size_t NextSpecial(std::string_view text, std::size_t from) const;
  void Decorate(prolog::TokenClass cls);
  void Plain(std::string_view bytes);
  void Text(std::string_view bytes);
  void Special(std::string_view bytes, std::size_t& i);
  void EnsureLine() {
    if (lineNumbers_ && !lineOpen_) OpenLine();
  }
  void OpenLine();
  void LineEnd();

  // The page is written through a pointer into a buffer of the writer's
  // own, which goes to the sink whole when full and at the end: cheaper
  // than a string append for each tag and each run of text, and a page
  // sink writes it to its file without copying it again. The page of a
  // token of many megabytes (a comment never closed) leaves as it is
  // written instead of gathering whole.
  void Flush() {
    sink_.Write(std::string_view(buffer_.get(), static_cast<std::size_t>(at_ - buffer_.get())));
    at_ = buffer_.get();
  }
  void Put(std::string_view bytes) {
    if (static_cast<std::size_t>(limit_ - at_) < bytes.size()) return PutLong(bytes);
    std::memcpy(at_, bytes.data(), bytes.size());
    at_ += bytes.size();
  }
  void PutLong(std::string_view bytes);

  Sink& sink_;
  static constexpr std::size_t kBuffer = 1 << 17;  // more than a file's write buffer
  std::unique_ptr<char[]> buffer_;
  char* at_;
  char* limit_;
  Marks::Cursor marks_;
  Charset charset_;
  bool lineNumbers_;
  std::uint64_t base_ = 0;  // the source's offset of the text being written
  // "<span id=\"L" and the current line's number, then "\">"
  static constexpr std::size_t kLineDigitsAt = 11;
  char lineTag_[48] = "<span id=\"L0";
  std::size_t lineDigits_ = 1;
  bool lineOpen_ = false;
  bool afterCr_ = false;  // the previous byte was a CR, written as a line end
  // The token being written, and whether its span is open in the page.
  bool inToken_ = false;
  bool spanOpen_ = false;
  std::string_view reopen_;  // opens its span again after a line end
  std::string_view close_;
  std::string tag_;  // the opening tag of a marked token
  std::string reopenTag_;
  std::string standIn_;
};

}  // namespace pl2html::prolog_page
