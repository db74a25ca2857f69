#include "page/page.hpp"

#include <string>

#include "runtime/text.hpp"
#include "scan/colour.hpp"
#include "scan/markup.hpp"

namespace pl2html {

namespace {

constexpr std::string_view kLineEnd = "\r\n";

// How much of the page gathers in memory before it is written.
constexpr std::size_t kGatheredPage = 1 << 16;

// Gathers the page's lines and hands them to the page file in pieces of
// about kGatheredPage bytes, not line by line. It is also the sink that
// takes the start of a long coloured line, so no page line is ever held
// whole in memory.
class PageWriter final : public LongLineSink {
 public:
  explicit PageWriter(FileTable& files) : files_(files) {
    files_.SelectFile(kPageFile);
    // Room for a full piece and the line that completes it, asked for once:
    // growing by doubling would pass the piece size and copy it on the way.
    out_.reserve(kGatheredPage + kGatheredPage / 8);
  }

  void WriteHead(std::string_view title) {
    WriteLine("<html>");
    out_ += "<title>";
    AppendEscapingLessThan(out_, title);
    WriteLine("</title>");
    for (std::string_view line : {"<body>", "<style>", "body {", "  ", "  color: #000000;}"})
      WriteLine(line);
    for (const MarkupClass& markup : kMarkupClasses) {
      out_ += '.';
      out_.append(ClassNameOf(markup));
      out_.append(markup.gap);
      WriteLine("{");
      out_ += "  ";
      WriteLine(markup.weight);
      out_ += "  color: ";
      out_.append(markup.colour);
      WriteLine(";}");
    }
    for (std::string_view line : {"</style>", "", "<pre>"})
      WriteLine(line);
  }

  // The end test comes before each read, so a line end at the very end of
  // the source gives no extra empty page line.
  void WriteBody(Conversion& conversion) {
    while (files_.AtEnd(kSourceFile) == 0) {
      ColourLine(conversion, files_.ReadLine(kSourceFile), out_, this);
      EndLine();
    }
  }

  void WriteTail() {
    for (std::string_view line : {"</pre>", "</body>", "</html>"})
      WriteLine(line);
    TakeStart(out_);
  }

  void TakeStart(std::string& text) override {
    files_.WritePart(text);
    text.clear();
  }

 private:
  void WriteLine(std::string_view text) {
    out_.append(text);
    EndLine();
  }
  void EndLine() {
    out_.append(kLineEnd);
    if (out_.size() >= kGatheredPage) TakeStart(out_);
  }

  FileTable& files_;
  std::string out_;
};

}  // namespace

void WritePage(FileTable& files, Conversion& conversion, std::string_view title) {
  PageWriter writer(files);
  writer.WriteHead(title);
  writer.WriteBody(conversion);
  writer.WriteTail();
}

}  // namespace pl2html
