// The HTML page: a fixed head with the title and the style sheet, one page
// line per source line inside <pre>, a fixed tail. The source is file 1 and
// the page file 2 of the file table.
#pragma once

#include <string_view>

#include "runtime/files.hpp"
#include "scan/conversion.hpp"

namespace pl2html {

inline constexpr std::int32_t kSourceFile = 1;
inline constexpr std::int32_t kPageFile = 2;

// Writes the head; `title` is written with "<" escaped.
void WritePageHead(FileTable& files, std::string_view title);

// Colours every line of the source into the page.
void WritePageBody(FileTable& files, Conversion& conversion);

void WritePageTail(FileTable& files);

}  // namespace pl2html
