#include "prolog_page/code_writer.hpp"

#include <gtest/gtest.h>

#include <algorithm>

#include "hand_tokens.hpp"
#include "meaning/colour.hpp"
#include "meaning/xref.hpp"
#include "prolog_page/classes.hpp"
#include "prolog_page/marks.hpp"
#include "prolog_page/style.hpp"
#include "support/contrast.hpp"
#include "support/text_content.hpp"

namespace pl2html::prolog_page {
namespace {

using prolog::Token;
using prolog::TokenClass;

// The code element of a source cut into tokens by hand, in pieces of
// `piece` tokens, marked with their meaning or not; its text content is
// checked on the way.
std::string Code(const test::HandTokens& hand, bool lineNumbers = true, std::size_t piece = 1000,
                 bool meaning = false) {
  auto pieces = [&](auto&& visit) {
    for (std::size_t at = 0; at < hand.tokens.size(); at += piece) {
      std::size_t last = std::min(at + piece, hand.tokens.size());
      std::size_t begin = hand.tokens[at].begin;
      std::vector<Token> tokens(hand.tokens.begin() + at, hand.tokens.begin() + last);
      for (Token& t : tokens)
        t.begin -= begin, t.end -= begin;
      visit(std::string_view(hand.text).substr(begin, hand.tokens[last - 1].end - begin), tokens);
    }
  };
  meaning::LibraryLoader loader;
  meaning::Xref xref(&loader);
  xref.Begin(prolog::Encoding::kUtf8);
  for (const Token& t : hand.tokens)
    xref.Push(t.cls, std::string_view(hand.text).substr(t.begin, t.end - t.begin), t.begin);
  xref.Finish();
  Marks marks(xref, {}, Charset::kUtf8);
  for (const Token& t : hand.tokens) {
    if (meaning)
      marks.Push(t.cls, std::string_view(hand.text).substr(t.begin, t.end - t.begin), t.begin);
  }
  marks.Finish();
  StringSink sink;
  CodeWriter writer(sink, Charset::kUtf8, marks, lineNumbers);
  writer.Begin();
  pieces([&](std::string_view text, std::span<const Token> tokens) { writer.Write(text, tokens); });
  writer.End();
  sink.Drain();
  const std::string& out = sink.page;
  EXPECT_EQ(CheckCodeText(hand.text, out), "") << out;
  return out;
}

test::HandTokens Raw(std::string text, TokenClass cls) {
  std::size_t n = text.size();
  return {std::move(text), {{0, n, cls}}};
}

TEST(CodeWriter, TokensLinesAndEscapes) {
  EXPECT_EQ(Code(test::Tokens("a ~ < ~ 'x&y' .")),
            "<pre class=\"pl2html\"><code><span id=\"L1\"><span class=\"atom\">a</span> "
            "<span class=\"atom\">&lt;</span> <span class=\"quoted\">'x&amp;y'</span>"
            "<span class=\"end\">.</span></span></code></pre>\n");
  // A token over a line end is closed and opened again; an empty line is
  // still a line; the last line end opens no line of its own.
  EXPECT_EQ(
      Code(Raw("/* a\r\n\rb */\n", TokenClass::kComment)),
      "<pre class=\"pl2html\"><code><span id=\"L1\"><span class=\"comment\">/* a</span></span>\n"
      "<span id=\"L2\"><span class=\"comment\"></span></span>\n"
      "<span id=\"L3\"><span class=\"comment\">b */</span></span>\n</code></pre>\n");
  EXPECT_EQ(Code(Raw("/** a\nb */", TokenClass::kComment), false),
            "<pre class=\"pl2html\"><code><span class=\"comment doc\">/** a\nb */</span>"
            "</code></pre>\n");
}

TEST(CodeWriter, ControlsAndLineEndsSplitBetweenTokens) {
  // CR in one token and LF in the next are one line end; controls are shown.
  test::HandTokens hand{std::string("%\r\n\x01\x7F\xC2\x85x", 8),
                        {{0, 2, TokenClass::kComment}, {2, 8, TokenClass::kLayout}}};
  EXPECT_EQ(Code(hand, false),
            "<pre class=\"pl2html\"><code><span class=\"comment\">%\n</span>"
            "<span class=\"ctl\">&#x2401;</span><span class=\"ctl\">&#x2421;</span>"
            "<span class=\"ctl\">\\x85</span>x</code></pre>\n");
}

TEST(CodeWriter, MarksClassTitleAnchorAndLink) {
  // In pieces of three tokens: the marks find their tokens across pieces.
  std::string code =
      Code(test::Tokens("p ( X ) ~ :- ~ 'q<r' ( X ) , ~ p ( 1 ) . / 'q<r' ( 1 ) . / 'q<r' ( 2 ) ."),
           true, 3, true);
  EXPECT_NE(code.find("<span class=\"atom head head-unreferenced\" title=\"not called\" "
                      "id=\"p/1\">p</span>"),
            std::string::npos)
      << code;
  // A call's title ends with what the predicate's first head says of it.
  EXPECT_NE(
      code.find("<span class=\"quoted goal-local\" title=\"defined at line 2&#10;'q&lt;r'(1)\">"
                "<a href=\"#q%3Cr/1\">'q&lt;r'</a></span>"),
      std::string::npos)
      << code;
  EXPECT_NE(code.find("<span class=\"atom goal-recursion\" title=\"recursive call&#10;p(X)\">"
                      "<a href=\"#p/1\">p</a></span>"),
            std::string::npos);
  EXPECT_NE(code.find("<span class=\"quoted head head-local\" id=\"q%3Cr/1\">'q&lt;r'</span>"),
            std::string::npos);
  EXPECT_NE(code.find("<span class=\"quoted head head-local\">'q&lt;r'</span>"), std::string::npos);
}

TEST(Style, EveryClassReadableInBothSchemes) {
  const PageClass& target = kPageClasses[IndexOfClass("target")];
  for (const PageClass& c : kPageClasses) {
    if (c.light.empty()) continue;
    std::string_view light = c.lightBackground.empty() ? kLightBackground : c.lightBackground;
    std::string_view dark = c.darkBackground.empty() ? kDarkBackground : c.darkBackground;
    EXPECT_GE(ContrastRatio(c.light, light), 4.5) << c.name << " light";
    EXPECT_GE(ContrastRatio(c.dark, dark), 4.5) << c.name << " dark";
    // A span of the code without a background of its own is also on the
    // highlight of a line that a link points to.
    if ((c.role == ClassRole::kToken || c.role == ClassRole::kAlso) && c.lightBackground.empty()) {
      EXPECT_GE(ContrastRatio(c.light, target.lightBackground), 4.5) << c.name << " light target";
      EXPECT_GE(ContrastRatio(c.dark, target.darkBackground), 4.5) << c.name << " dark target";
    }
  }
  EXPECT_NE(ClassOf(prolog::TokenClass::kVar).light, ClassOf(prolog::TokenClass::kAtom).light);
  // Every class of meaning that a span can take has its row, so its look
  // is chosen, even when that is to look as the token does.
  for (int m = 0; m < meaning::kMeanings; ++m) {
    std::string_view name = meaning::MeaningName(static_cast<meaning::Meaning>(m));
    EXPECT_TRUE(std::ranges::any_of(kPageClasses, [&](const PageClass& c) {
      return c.name == name && c.role == ClassRole::kAlso;
    })) << name;
  }
}

TEST(Charset, Utf8ValidityInPieces) {
  for (std::string_view valid : {"", "a\xC3\xA9", "\xE2\x90\x80", "\xF0\x9F\x98\x80"}) {
    EXPECT_TRUE(IsValidUtf8(valid)) << valid;
  }
  for (std::string_view invalid :
       {"\xC3", "\xC0\x80", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xE9t\xE9", "\x80"}) {
    EXPECT_FALSE(IsValidUtf8(invalid)) << invalid;
  }
  Utf8Validator split;
  split.Feed("\xF0\x9F");
  split.Feed("\x98\x80");
  EXPECT_TRUE(split.Finish());
}

}  // namespace
}  // namespace pl2html::prolog_page
