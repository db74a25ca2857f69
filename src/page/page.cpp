#include "page/page.hpp"

#include <string>

#include "runtime/text.hpp"
#include "scan/colour.hpp"

namespace pl2html {

namespace {

// The style sheet as browsers have always received it from this program,
// spellings of the weight property included: browsers ignore the ones they
// do not know, and the colours are what matters.
constexpr std::string_view kStyleLines[] = {
    "<body>",
    "<style>",
    "body {",
    "  ",
    "  color: #000000;}",
    ".keyWord {",
    "  font-weight: bold;",
    "  color: #0000FF;}",
    ".diese {",
    "  font-weight: none;",
    "  color: #A06000;}",
    ".type {",
    "  font-weigt: normal;",
    "  color: #A000FF;}",
    ".texte {",
    "  font-weigth: normal;",
    "  color: #808080;}",
    ".comment  {",
    "  font-weigth: normal;",
    "  color: #00A080;}",
    ".fonction  {",
    "  font-weigth: normal;",
    "  color: #A06060;}",
    ".nombre  {",
    "  font-weigth: normal;",
    "  color: #FF8000;}",
    "</style>",
    "",
    "<pre>",
};

constexpr std::string_view kTailLines[] = {"</pre>", "</body>", "</html>"};

// How much of the page gathers in memory before it is written.
constexpr std::size_t kGatheredPage = 1 << 16;

}  // namespace

void WritePageHead(FileTable& files, std::string_view title) {
  files.SelectFile(kPageFile);
  files.WriteText("<html>");
  std::string titleLine = "<title>";
  AppendEscaped(titleLine, title);
  titleLine += "</title>";
  files.WriteText(titleLine);
  for (std::string_view line : kStyleLines)
    files.WriteText(line);
}

void WritePageBody(FileTable& files, Conversion& conversion) {
  // The coloured lines gather in lineOut, each with its line end, and reach
  // the page whenever that grows long: ColourLine hands it to lineOutSink
  // (the page is the current file while it runs), and so does the loop after
  // each line. So no page line is ever held whole in memory, and the lines
  // are copied to the page in large pieces, not one by one.
  conversion.lineOutSink = [&files](std::string_view part) { files.WritePart(part); };
  std::string& out = conversion.lineOut;
  out.clear();
  // Room for a full piece and the line that completes it, asked for once:
  // growing by doubling would pass the piece size and copy it on the way.
  out.reserve(kGatheredPage + kGatheredPage / 8);
  // The end test comes before each read, so a line end at the very end of
  // the source gives no extra empty page line.
  while (files.AtEnd(kSourceFile) == 0) {
    files.SelectFile(kSourceFile);
    std::string_view line = files.ReadLine();
    files.SelectFile(kPageFile);
    AppendColouredLine(conversion, line);
    out += "\r\n";
    if (out.size() >= kGatheredPage) {
      files.WritePart(out);
      out.clear();
    }
  }
  files.WritePart(out);
  out.clear();
  conversion.lineOutSink = nullptr;
}

void WritePageTail(FileTable& files) {
  files.SelectFile(kPageFile);
  for (std::string_view line : kTailLines)
    files.WriteText(line);
}

}  // namespace pl2html
