// The Prolog page: a modern HTML5 page of one Prolog source, its tokens
// coloured as the Prolog reader reads them. The source is read in blocks,
// twice: once to learn its charset and the predicates it defines, once to
// write. The page is handed out in pieces too, so neither is ever held whole.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace pl2html::html5 {

struct PageOptions {
  std::string_view title;  // the source's file name
  bool fragment = false;   // only the code element and its style sheet
  bool lineNumbers = true;
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

// Where the page goes: the writer appends to `text` and calls Drain, which
// takes the text away, whenever some has gathered.
class Sink {
 public:
  virtual ~Sink() = default;
  virtual void Drain() = 0;
  std::string text;
};

void WritePrologPage(Source& source, Sink& sink, const PageOptions& options);

// The page of a source held in memory, for tests and fuzzing.
std::string PrologPage(std::string_view source, const PageOptions& options);

}  // namespace pl2html::html5
