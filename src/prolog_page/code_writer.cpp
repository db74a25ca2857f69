#include "prolog_page/code_writer.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <initializer_list>

#include "prolog_page/classes.hpp"
#include "runtime/byte_masks.hpp"

namespace pl2html::prolog_page {

namespace {

using prolog::TokenClass;

constexpr std::string_view kCloseSpan = "</span>";

// A tag in a fixed stretch of bytes, so that a token's span is written with
// moves of constant size rather than a call to copy each piece.
constexpr std::size_t kFixed = 32;
struct FixedTag {
  char bytes[kFixed];
  std::size_t size;
  constexpr std::string_view Text() const { return {bytes, size}; }
};
constexpr FixedTag Fixed(std::initializer_list<std::string_view> pieces) {
  FixedTag fixed{};
  for (std::string_view piece : pieces) {
    for (char c : piece)
      fixed.bytes[fixed.size++] = c;
  }
  return fixed;
}

// The opening tag of each token class's span, from the table of classes:
// none for layout, which is written bare.
constexpr auto kFixedOpen = [] {
  std::array<FixedTag, kTokenClasses> tags{};
  for (std::size_t i = 0; i < tags.size(); ++i) {
    if (kPageClasses[i].role == ClassRole::kToken)
      tags[i] = Fixed({"<span class=\"", kPageClasses[i].name, "\">"});
  }
  return tags;
}();
// The same as views, for the spans written piece by piece.
constexpr auto kOpenTags = [] {
  std::array<std::string_view, kTokenClasses> tags{};
  for (std::size_t i = 0; i < tags.size(); ++i)
    tags[i] = kFixedOpen[i].Text();
  return tags;
}();
constexpr FixedTag kFixedDoc = Fixed({"<span class=\"", ClassOf(TokenClass::kComment).name, " ",
                                      kPageClasses[IndexOfClass("doc")].name, "\">"});
constexpr FixedTag kFixedClose = Fixed({kCloseSpan});
constexpr FixedTag kFixedControl =
    Fixed({"<span class=\"", kPageClasses[IndexOfClass("ctl")].name, "\">"});
// Room for a span's two tags and the short text moved whole between them.
constexpr std::size_t kSpanRoom = 3 * kFixed;
constexpr std::string_view kCloseLink = "</a></span>";

std::string_view ClassName(TokenClass cls) {
  return ClassOf(cls).name;
}

// A structured comment, which documentation tools read: "%!" or "/**".
bool IsDoc(std::string_view text) {
  return text.starts_with("%!") || (text.starts_with("/**") && !text.starts_with("/**/"));
}

// Bytes that need more than copying: markup characters, line ends and
// every byte that may be (the start of) a forbidden control.
enum : std::uint8_t { kPlain, kSpecial };
using ByteTable = std::array<std::uint8_t, 256>;

constexpr ByteTable MakeTable(Charset charset) {
  ByteTable table{};
  for (int c = 0; c < 0x20; ++c)
    table[c] = kSpecial;
  table['\t'] = kPlain;
  for (unsigned char c : {'&', '<', '>', '\x7F'})
    table[c] = kSpecial;
  if (charset == Charset::kUtf8) {
    table[0xC2] = kSpecial;
  } else {
    for (int c : {0x81, 0x8D, 0x8F, 0x90, 0x9D})
      table[c] = kSpecial;
  }
  return table;
}

constexpr ByteTable kUtf8Table = MakeTable(Charset::kUtf8);
constexpr ByteTable kWindows1252Table = MakeTable(Charset::kWindows1252);

}  // namespace

CodeWriter::CodeWriter(Sink& sink, Charset charset, const Marks& marks, bool lineNumbers)
    : sink_(sink),
      buffer_(std::make_unique_for_overwrite<char[]>(kBuffer)),
      at_(buffer_.get()),
      limit_(at_ + kBuffer),
      marks_(marks),
      charset_(charset),
      lineNumbers_(lineNumbers) {}

void CodeWriter::Begin() {
  Put("<pre class=\"pl2html\"><code>");
}

void CodeWriter::End() {
  if (spanOpen_) Put(close_);
  spanOpen_ = inToken_ = false;
  if (lineOpen_) Put(kCloseSpan);
  lineOpen_ = false;
  Put("</code></pre>\n");
  Flush();
}

// The commonest tokens: no byte of them to escape, not marked with a
// meaning, and short. `rest` is the text from the token on, at least 32 bytes
// of which may be read. False when the token needs Token(). Inlined into
// Write's loop: a call per token costs as much as the token.
[[gnu::always_inline]] inline bool CodeWriter::Span(TokenClass cls, std::string_view rest,
                                                    std::size_t size) {
  if (size == 0 || size > kFixed || rest.size() < kFixed) return false;
  // A line's opening tag goes first: the room asked for below is the
  // span's own, three fixed copies that may each write past their bytes.
  EnsureLine();
  afterCr_ = false;
  if (static_cast<std::size_t>(limit_ - at_) < kSpanRoom) Flush();
  if (cls == TokenClass::kLayout) {  // written bare
    std::memcpy(at_, rest.data(), kFixed);
    at_ += size;
    return true;
  }
  const FixedTag& open = cls == TokenClass::kComment && IsDoc(rest.substr(0, size))
                             ? kFixedDoc
                             : kFixedOpen[static_cast<std::size_t>(cls)];
  std::memcpy(at_, open.bytes, kFixed);
  at_ += open.size;
  std::memcpy(at_, rest.data(), kFixed);
  at_ += size;
  std::memcpy(at_, kFixedClose.bytes, kFixed);
  at_ += kFixedClose.size;
  return true;
}

void CodeWriter::Write(std::string_view text, std::span<const prolog::Token> tokens) {
  // The next byte that needs more than copying is looked for once, ahead
  // of the tokens: the tokens before it are written whole.
  std::size_t special = 0;
  for (const prolog::Token& token : tokens) {
    if (special < token.begin) special = NextSpecial(text, token.begin);
    const std::uint64_t at = base_ + token.begin;
    // A mark that no token starts at (none should) is passed over.
    while (marks_.Offset() < at)
      marks_.Next();
    const bool marked = marks_.Offset() == at;
    if (!marked && special >= token.end &&
        Span(token.cls, text.substr(token.begin), token.end - token.begin))
      continue;
    Token(token.cls, text.substr(token.begin, token.end - token.begin), special >= token.end,
          marked);
  }
  base_ += text.size();
}

// The offset of the first byte at or after `from` that needs more than
// copying, or the text's size.
std::size_t CodeWriter::NextSpecial(std::string_view text, std::size_t from) const {
  const ByteTable& table = charset_ == Charset::kUtf8 ? kUtf8Table : kWindows1252Table;
  for (std::size_t at = from; at < text.size(); at += kMaskBlock) {
    const std::size_t count = std::min(kMaskBlock, text.size() - at);
    for (std::uint64_t mask = MarkupMask(text.data() + at, count); mask != 0; mask &= mask - 1) {
      const std::size_t i = at + static_cast<std::size_t>(std::countr_zero(mask));
      if (table[static_cast<unsigned char>(text[i])] != kPlain) return i;
    }
  }
  return text.size();
}

void CodeWriter::PutLong(std::string_view bytes) {
  Flush();
  if (bytes.size() > kBuffer) {
    sink_.Write(bytes);
  } else {
    std::memcpy(at_, bytes.data(), bytes.size());
    at_ += bytes.size();
  }
}

void CodeWriter::Token(TokenClass cls, std::string_view text, bool clean, bool marked) {
  reopen_ = kOpenTags[static_cast<std::size_t>(cls)];
  close_ = kCloseSpan;
  if (marked) Decorate(cls);
  if (text.empty()) {
    tag_.clear();
    return;
  }
  if (cls == TokenClass::kLayout) {
    tag_.clear();
    if (clean) {
      Plain(text);
    } else {
      Text(text);
    }
    return;
  }
  if (cls == TokenClass::kComment && IsDoc(text)) reopen_ = kFixedDoc.Text();
  EnsureLine();
  Put(tag_.empty() ? reopen_ : std::string_view(tag_));
  tag_.clear();
  if (clean) {
    Plain(text);
    Put(close_);
    return;
  }
  inToken_ = spanOpen_ = true;
  Text(text);
  if (spanOpen_) Put(close_);
  inToken_ = spanOpen_ = false;
}

// A marked token takes the classes of its meaning and their title on
// every line it runs over; the first clause of a predicate its anchor and a
// goal its link on the first line only, so that an anchor is written once
// however many lines the name has.
void CodeWriter::Decorate(TokenClass cls) {
  const MarkTag& tag = marks_.Tag();
  marks_.Next();
  if (cls == TokenClass::kLayout) return;
  tag_.assign("<span class=\"").append(ClassName(cls)).append(tag.classes).append("\"");
  if (!tag.title.empty()) tag_.append(" title=\"").append(tag.title).append("\"");
  reopenTag_.assign(tag_).append(">");
  reopen_ = reopenTag_;
  if (!tag.id.empty()) tag_.append(" id=\"").append(tag.id).append("\"");
  tag_.append(">");
  if (!tag.href.empty()) {
    tag_.append("<a href=\"").append(tag.href).append("\">");
    close_ = kCloseLink;
  }
}

// Bytes, none of them special, that follow a token's tag or the layout.
void CodeWriter::Plain(std::string_view bytes) {
  afterCr_ = false;
  EnsureLine();
  Put(bytes);
}

void CodeWriter::Text(std::string_view bytes) {
  const ByteTable& table = charset_ == Charset::kUtf8 ? kUtf8Table : kWindows1252Table;
  std::size_t i = 0;
  if (afterCr_ && !bytes.empty()) {
    afterCr_ = false;
    if (bytes[0] == '\n') i = 1;  // the second byte of a CR LF split between tokens
  }
  std::size_t run = i;
  while (i < bytes.size()) {
    if (table[static_cast<unsigned char>(bytes[i])] == kPlain) {
      ++i;
      continue;
    }
    if (i > run) {
      EnsureLine();
      Put(bytes.substr(run, i - run));
    }
    Special(bytes, i);
    run = i;
  }
  if (i > run) {
    EnsureLine();
    Put(bytes.substr(run, i - run));
  }
}

// Writes the special byte at `i` and moves `i` past what it wrote.
void CodeWriter::Special(std::string_view bytes, std::size_t& i) {
  char c = bytes[i];
  if (c == '\n' || c == '\r') {
    LineEnd();
    ++i;
    if (c == '\r') {
      if (i == bytes.size()) {
        afterCr_ = true;
      } else if (bytes[i] == '\n') {
        ++i;
      }
    }
    return;
  }
  EnsureLine();
  if (c == '&') {
    Put("&amp;");
  } else if (c == '<') {
    Put("&lt;");
  } else if (c == '>') {
    Put("&gt;");
  } else if (std::size_t length = ForbiddenControl(charset_, bytes.substr(i))) {
    Put(kFixedControl.Text());
    standIn_.clear();
    AppendStandIn(standIn_, charset_, bytes.substr(i));
    Put(standIn_);
    Put(kCloseSpan);
    i += length;
    return;
  } else {
    Put(bytes.substr(i, 1));  // a lead byte of UTF-8 that starts no control
  }
  ++i;
}

// The line's number is counted up in its decimal digits, and its element
// written from the fixed stretch that holds them.
void CodeWriter::OpenLine() {
  std::size_t i = lineDigits_;
  while (i > 0 && lineTag_[kLineDigitsAt + i - 1] == '9')
    lineTag_[kLineDigitsAt + --i] = '0';
  if (i == 0) {  // 9 to 10, 99 to 100: one digit more
    lineTag_[kLineDigitsAt] = '1';
    lineTag_[kLineDigitsAt + lineDigits_++] = '0';
  } else {
    ++lineTag_[kLineDigitsAt + i - 1];
  }
  lineTag_[kLineDigitsAt + lineDigits_] = '"';
  lineTag_[kLineDigitsAt + lineDigits_ + 1] = '>';
  if (static_cast<std::size_t>(limit_ - at_) < sizeof lineTag_) Flush();
  std::memcpy(at_, lineTag_, sizeof lineTag_);
  at_ += kLineDigitsAt + lineDigits_ + 2;
  lineOpen_ = true;
  if (inToken_) {
    Put(reopen_);
    spanOpen_ = true;
  }
}

void CodeWriter::LineEnd() {
  if (!lineNumbers_) {
    Put("\n");
    return;
  }
  if (!lineOpen_) OpenLine();
  if (spanOpen_) Put(close_);
  spanOpen_ = false;
  close_ = kCloseSpan;  // what opens again is a plain span
  Put("</span>\n");
  lineOpen_ = false;
}

}  // namespace pl2html::prolog_page
