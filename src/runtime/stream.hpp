// The bytes a page is made from and the place a page goes, as interfaces:
// a page writer reads a Source and writes to a Sink, and knows no files.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>

namespace pl2html {

// The bytes of a source, from its start again after each Rewind.
class Source {
 public:
  virtual ~Source() = default;
  // Up to `size` bytes into `to`; 0 only at the end (or on an error, which
  // the source remembers for its owner).
  virtual std::size_t Read(char* to, std::size_t size) = 0;
  virtual void Rewind() = 0;
  // All its bytes, when it holds them in memory, so that a reader may take
  // them where they are instead of copying them; else a null view.
  virtual std::string_view InMemory() const { return {}; }
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
  std::string_view InMemory() const override { return bytes_; }

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

}  // namespace pl2html
