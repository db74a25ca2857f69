// Turns one source line into its coloured HTML: comments, quoted text,
// "#" directive spans, type words, keywords, routine names and numbers are
// wrapped in the page's markup (page/markup.hpp), and every "<" is written
// as "&lt;".
#pragma once

#include <string>
#include <string_view>

#include "scan/conversion.hpp"

namespace pl2html {

// Takes the start of a coloured line that grows long, so that no line is
// ever held whole: the page writer hands one to ColourLine.
class LongLineSink {
 public:
  // Takes the bytes of `coloured` and leaves it empty.
  virtual void TakeStart(std::string& coloured) = 0;

 protected:
  ~LongLineSink() = default;
};

// Appends the coloured form of `line` (without its line end) to `out`,
// carrying quoted text left open over to the next line through
// conversion.quoteState. With a `sink`, `out` is handed to it whenever it
// grows long, and only the rest of the line is left in `out`.
void ColourLine(Conversion& conversion, std::string_view line, std::string& out,
                LongLineSink* sink = nullptr);

}  // namespace pl2html
