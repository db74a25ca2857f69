#include "page/page.hpp"

#include <gtest/gtest.h>

#include <algorithm>

#include "scan/colour.hpp"
#include "support/memory_file_system.hpp"

namespace pl2html {
namespace {

// The page's fixed head, byte for byte, with "TITLE" for the title.
const char kHead[] =
    "<html>\r\n"
    "<title>TITLE</title>\r\n"
    "<body>\r\n"
    "<style>\r\n"
    "body {\r\n"
    "  \r\n"
    "  color: #000000;}\r\n"
    ".keyWord {\r\n"
    "  font-weight: bold;\r\n"
    "  color: #0000FF;}\r\n"
    ".diese {\r\n"
    "  font-weight: none;\r\n"
    "  color: #A06000;}\r\n"
    ".type {\r\n"
    "  font-weigt: normal;\r\n"
    "  color: #A000FF;}\r\n"
    ".texte {\r\n"
    "  font-weigth: normal;\r\n"
    "  color: #808080;}\r\n"
    ".comment  {\r\n"
    "  font-weigth: normal;\r\n"
    "  color: #00A080;}\r\n"
    ".fonction  {\r\n"
    "  font-weigth: normal;\r\n"
    "  color: #A06060;}\r\n"
    ".nombre  {\r\n"
    "  font-weigth: normal;\r\n"
    "  color: #FF8000;}\r\n"
    "</style>\r\n"
    "\r\n"
    "<pre>\r\n";

const char kTail[] = "</pre>\r\n</body>\r\n</html>\r\n";

std::string Head(const std::string& title) {
  std::string head = kHead;
  head.replace(head.find("TITLE"), 5, title);
  return head;
}

// Writes the page of `source` as the driver does, through `system` when
// given, and returns its bytes.
std::string PageOf(const std::string& source, std::string_view title = "prog.pl",
                   MemoryFileSystem* system = nullptr) {
  MemoryFileSystem ownSystem;
  MemoryFileSystem& fs = system != nullptr ? *system : ownSystem;
  fs.files["prog.pl"] = source;
  Conversion conversion;
  {
    FileTable files(fs);
    files.OpenNumbered(kSourceFile, "prog.pl");
    files.AttachNumbered(kPageFile, fs.CreateExclusive("prog.pl.html"), true);
    WritePage(files, conversion, title);
  }
  return fs.files["prog.pl.html"];
}

TEST(Page, FramesOnePageLinePerSourceLine) {
  EXPECT_EQ(PageOf("a\r\nb\r\n"), Head("prog.pl") + "a\r\nb\r\n" + kTail);
  EXPECT_EQ(PageOf("a\n\nb"), Head("prog.pl") + "a\r\n\r\nb\r\n" + kTail);
  EXPECT_EQ(PageOf(std::string("a\0b\rc", 5)), Head("prog.pl") + "a\r\nb\r\nc\r\n" + kTail);
  EXPECT_EQ(PageOf(""), Head("prog.pl") + kTail);
  EXPECT_EQ(PageOf("\n"), Head("prog.pl") + "\r\n" + kTail);
}

TEST(Page, HasThirtySixLinesForTwoSourceLines) {
  std::string page = PageOf("a\r\nb\r\n");
  std::size_t lines = 0;
  for (std::size_t at = page.find("\r\n"); at != std::string::npos;
       at = page.find("\r\n", at + 2)) {
    ++lines;
  }
  EXPECT_EQ(lines, 36u);
  EXPECT_EQ(page.find('\n'), page.find("\r\n") + 1);  // no bare LF anywhere
}

TEST(Page, EscapesTheTitleAndKeepsItsBytes) {
  EXPECT_EQ(PageOf("x", "a<b>\xE9.pl").substr(0, 40).find("<title>a&lt;b>\xE9.pl</title>"), 8u);
}

TEST(Page, IsWrittenInFullWhenQuotedTextStaysOpen) {
  EXPECT_EQ(PageOf("x = 'open\nstill\n"),
            Head("prog.pl") + "x = <font class='texte'>'open\r\nstill\r\n" + kTail);
}

// Remembers the largest piece handed to the platform at once.
class PieceSizeFileSystem : public MemoryFileSystem {
 public:
  bool Write(FileHandle handle, const char* bytes, std::size_t size) override {
    largestPiece = std::max(largestPiece, size);
    return MemoryFileSystem::Write(handle, bytes, size);
  }
  std::size_t largestPiece = 0;
};

// The coloured lines are gathered and written in pieces: every line reaches
// the page, in order, and what waits in memory stays small however many
// lines there are, empty ones included.
TEST(Page, GathersLinesIntoPiecesOfBoundedSize) {
  const std::string lines[] = {"foo(X) :- bar('<', X). % c", "", "  \"open", "still\" 12 x"};
  std::string source;
  std::string body;
  Conversion expected;
  for (int i = 0; i < 40000; ++i) {
    const std::string& line = lines[i % 4];
    source += line + "\n";
    ColourLine(expected, line, body);
    body += "\r\n";
  }
  source += std::string(300000, '\n');
  body += [] {
    std::string crlf;
    for (int i = 0; i < 300000; ++i)
      crlf += "\r\n";
    return crlf;
  }();

  PieceSizeFileSystem fs;
  EXPECT_EQ(PageOf(source, "prog.pl", &fs), Head("prog.pl") + body + kTail);
  EXPECT_LE(fs.largestPiece, std::size_t{70000});
}

TEST(Page, KeepsLatin1BytesUnchanged) {
  EXPECT_EQ(PageOf("\xE9t\xE9(\xA0).\n"),
            Head("prog.pl") + "<font class='fonction'>\xE9t\xE9</font>(\xA0).\r\n" + kTail);
}

}  // namespace
}  // namespace pl2html
