// Turns one source line into its coloured HTML: comments, quoted text,
// "#" directive spans, type words, keywords, routine names and numbers are
// wrapped in font elements, and every "<" is written as "&lt;".
#pragma once

#include <string>
#include <string_view>

#include "scan/conversion.hpp"

namespace pl2html {

// Colours `line` (without its line end), carrying quoted text left open over
// to the next line through conversion.quoteState. The result is
// conversion.lineOut, valid until the next call.
const std::string& ColourLine(Conversion& conversion, std::string_view line);

// ColourLine, with the coloured line added to what conversion.lineOut
// already holds: a writer can gather many lines there and send them on
// together (see lineOutSink).
void AppendColouredLine(Conversion& conversion, std::string_view line);

// Writes conversion.pendingCode to lineOut, escaped, and coloured word by
// word when outside quoted text; leaves pendingCode empty.
void FlushCode(Conversion& conversion);

}  // namespace pl2html
