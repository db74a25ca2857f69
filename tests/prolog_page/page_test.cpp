#include "prolog_page/page.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "support/text_content.hpp"

namespace pl2html::prolog_page {
namespace {

std::string Page(std::string_view source, PageOptions options = {}) {
  if (options.title.empty()) options.title = "test.pl";
  std::string page = PrologPage(source, options);
  EXPECT_EQ(CheckCodeText(source, page), "");
  options.tokenLogLimit = 0;  // the second pass lexes again
  EXPECT_EQ(PrologPage(source, options), page);
  return page;
}

bool Has(const std::string& page, std::string_view text) {
  return page.find(text) != std::string::npos;
}

TEST(PrologPage, ExamplesKeepTheirText) {
  std::filesystem::path examples = std::filesystem::path(PL2HTML_TEST_DATA) / "../examples";
  int pages = 0;
  for (const auto& entry : std::filesystem::directory_iterator(examples)) {
    if (entry.path().extension() != ".pl") continue;
    std::ifstream in(entry.path(), std::ios::binary);
    std::stringstream source;
    source << in.rdbuf();
    std::string page = Page(source.str());
    EXPECT_TRUE(Has(page, "<meta charset=\"utf-8\">")) << entry.path();
    ++pages;
  }
  EXPECT_GE(pages, 2);
}

// Sources that are not (only) Prolog, and sources that cross the reader's
// blocks in awkward places: every byte still comes through.
TEST(PrologPage, HostileSourcesKeepTheirText) {
  std::string longAtom = "a('" + std::string(300000, 'x') + "').\n";
  std::string crlfAtBlock = std::string(65535, ' ') + "\r\nb.\r";
  // Short lines of short tokens: each line's opening tag once came after the
  // writer had made room for a token, so near the end of its buffer the
  // token's fixed copies ran past it (AddressSanitizer saw the overflow).
  std::string shortLines;
  for (int i = 0; i < 20000; ++i)
    shortLines += "% a comment of thirty-one bytes\n";
  std::string random(100000, ' ');
  std::mt19937 rng(14);
  for (char& c : random)
    c = static_cast<char>(rng() & 0xFF);
  for (std::string_view source :
       {std::string_view(""), std::string_view("\r\n\r\n\ra.\n\r", 10),
        std::string_view("\0\x01\x7F", 3), std::string_view("x :- \"open string\n\n"),
        std::string_view("/* open /* nested */\n"), std::string_view("f(0'a, 0' , 0''', 0'\\n, 0'"),
        std::string_view("\xEF\xBB\xBFp(\xC2\x85).\n"), std::string_view(longAtom),
        std::string_view(crlfAtBlock), std::string_view(shortLines), std::string_view(random)}) {
    Page(source);
  }
}

// A file that grows between the two passes (another program writing it):
// the second pass's tokens came from the first, and the bytes they do not
// cover still reach the page.
TEST(PrologPage, SourceChangedBetweenPassesKeepsItsText) {
  class Growing final : public Source {
   public:
    std::size_t Read(char* to, std::size_t size) override { return text_.Read(to, size); }
    void Rewind() override { text_ = StringSource("a.\nb('x').\n"); }

   private:
    StringSource text_{"a.\n"};
  } source;
  StringSink sink;
  WritePrologPage(source, sink, {.title = "t.pl"});
  EXPECT_EQ(CheckCodeText("a.\nb('x').\n", sink.page), "");
}

// A clause of thousands of calls is surveyed as it goes, not kept whole:
// every call still links.
TEST(PrologPage, LongClauseLinksEveryCall) {
  std::string source = "p :- ";
  for (int k = 0; k < 3000; ++k)
    source += "a(1), b(c(" + std::to_string(k) + ")), ";
  source += "q.\na(_). b(_). q.\n";
  std::string page = Page(source);
  for (std::string_view link : {"<a href=\"#a/1\">a</a>", "<a href=\"#b/1\">b</a>"}) {
    std::size_t links = 0;
    for (std::size_t at = 0; (at = page.find(link, at)) != std::string::npos; ++at)
      ++links;
    EXPECT_EQ(links, 3000u) << link;
  }
}

TEST(PrologPage, CharsetHeadIndexAndOptions) {
  std::string latin1 = Page("caf\xE9(X) :- caf\xE9(X). % \x81\n");
  EXPECT_TRUE(Has(latin1, "<meta charset=\"windows-1252\">"));
  EXPECT_TRUE(Has(latin1, "<span class=\"ctl\">\\x81</span>"));
  EXPECT_TRUE(Has(latin1, "<a href=\"#caf%E9/1\">caf\xE9/1</a> <span class=\"line\">1</span>"));

  // A name over several lines links and anchors from its first line only.
  std::string lines = Page("p :- 'a\nb'(1).\n'a\nb'(1).\n");
  EXPECT_TRUE(Has(lines,
                  "<a href=\"#a%0Ab/1\">'a</a></span></span>\n<span id=\"L2\"><span "
                  "class=\"quoted goal-local\" title=\"defined at line 3&#10;'a\\nb'(1)\">b'"));
  // Its first head links to its "Called by" card.
  EXPECT_TRUE(Has(lines,
                  "id=\"a%0Ab/1\"><a href=\"#callers-a%0Ab/1\">'a</a></span></span>\n<span "
                  "id=\"L4\"><span class=\"quoted head head-local\" title=\"called by 1\">b'"));
  EXPECT_TRUE(Has(lines, "<div class=\"card\" id=\"callers-a%0Ab/1\">"));
  EXPECT_TRUE(Has(lines, "<li><a href=\"#L1\">p/0</a> <span class=\"line\">1</span></li>"));
  // The byte-order mark is no part of the page, nor of the first name.
  EXPECT_TRUE(Has(Page("\xEF\xBB\xBFp(1).\n"), "title=\"not called\" id=\"p/1\">p</span>"));

  std::string page = Page("a<b.\n", {.title = "x&y.pl"});
  EXPECT_TRUE(
      page.starts_with("<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">"));
  EXPECT_TRUE(Has(page, "<title>x&amp;y.pl</title>"));
  EXPECT_TRUE(Has(page, "<meta name=\"generator\" content=\"pl2html "));

  std::string fragment = Page("a.\n", {.title = "", .fragment = true});
  EXPECT_TRUE(fragment.starts_with("<style>"));
  EXPECT_FALSE(Has(fragment, "<html") || Has(fragment, "<nav") || Has(fragment, "<body"));

  std::string plain = Page("a.\nb.\n", {.title = "", .fragment = false, .lineNumbers = false});
  EXPECT_FALSE(Has(plain, "id=\"L"));
}

}  // namespace
}  // namespace pl2html::prolog_page
