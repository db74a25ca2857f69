// The HTML page: a fixed head with the title and the style sheet, one page
// line per source line inside <pre>, a fixed tail. The page writer reads the
// source as file 1 of the file table and writes the page as file 2.
#pragma once

#include <string_view>

#include "runtime/files.hpp"
#include "runtime/page_output.hpp"
#include "scan/conversion.hpp"

namespace pl2html {

inline constexpr std::int32_t kSourceFile = 1;

// Writes the page of the source open under kSourceFile, its lines coloured
// with what `conversion` knows, to the file open under kPageFile. `title`
// is written with "<" escaped.
void WritePage(FileTable& files, Conversion& conversion, std::string_view title);

}  // namespace pl2html
