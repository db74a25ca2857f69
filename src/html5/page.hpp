// The Prolog page: a modern HTML5 page of one Prolog source, its tokens
// coloured as the Prolog reader reads them. The source is read in blocks,
// twice: once to learn its charset and the predicates it defines, once to
// write. The page is handed out in pieces too, so neither is ever held whole.
#pragma once

#include <algorithm>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace pl2html::html5 {

struct PageOptions {
  std::string_view title;  // the source's file name
  bool fragment = false;   // only the code element and its style sheet
  bool lineNumbers = true;
  // Markup put in the page's header under its title: a site's links to its
  // index and the page's folder. Trusted as it is.
  std::string_view navigation = {};
  // Where a call to a predicate that the source does not define leads: the
  // URL of its definition on another page, or nothing.
  std::function<std::string(std::string_view key)> outsideLinks = {};
  // The memory that keeps the first pass's tokens for the second, about a
  // byte a token, a fifth of the source's size for the SWI-Prolog library:
  // sources up to some 30 MB. A larger source is lexed again, so that its
  // memory stays the same however large it is. The page is the same either
  // way.
  std::size_t tokenLogLimit = std::size_t{6} << 20;
};

// The bytes of a source, from its start again after each Rewind.
class Source {
 public:
  virtual ~Source() = default;
  // Up to `size` bytes into `to`; 0 only at the end (or on an error, which
  // the source remembers for its owner).
  virtual std::size_t Read(char* to, std::size_t size) = 0;
  virtual void Rewind() = 0;
};

// A source held in memory.
class StringSource final : public Source {
 public:
  explicit StringSource(std::string_view bytes) : bytes_(bytes) {}
  std::size_t Read(char* to, std::size_t size) override {
    std::size_t n = std::min(size, bytes_.size() - at_);
    std::copy_n(bytes_.data() + at_, n, to);
    at_ += n;
    return n;
  }
  void Rewind() override { at_ = 0; }

 private:
  std::string_view bytes_;
  std::size_t at_ = 0;
};

// Where the page goes: the writer appends to `text` and calls Drain, which
// takes the text away, whenever some has gathered. Large pieces it hands
// to Write, which a sink may take away at once without copying them.
class Sink {
 public:
  virtual ~Sink() = default;
  virtual void Drain() = 0;
  // `bytes` after the text gathered so far.
  virtual void Write(std::string_view bytes) { text.append(bytes); }
  std::string text;
};

// A page gathered whole in memory.
class StringSink final : public Sink {
 public:
  void Drain() override {
    page += text;
    text.clear();
  }
  std::string page;
};

void WritePrologPage(Source& source, Sink& sink, const PageOptions& options);

// The page of a source held in memory, for tests and fuzzing.
std::string PrologPage(std::string_view source, const PageOptions& options);

}  // namespace pl2html::html5
