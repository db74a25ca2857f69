// One source file through both passes: the declaration scan, then the page.
// The page goes out through a PageOutput, so a failure or an interruption
// never leaves a truncated page and keeps any earlier one.
#pragma once

#include <string>
#include <string_view>

#include "driver/outcome.hpp"
#include "runtime/files.hpp"
#include "scan/conversion.hpp"

namespace pl2html {

// Reads the whole source once and teaches `conversion` its type words.
Outcome ScanDeclarations(Conversion& conversion, FileTable& files, const std::string& inputPath);

// Reads the source again and writes its page.
Outcome ConvertFile(Conversion& conversion, FileTable& files, const std::string& inputPath,
                    const PageTarget& target, std::string_view title);

// Both passes with a fresh conversion: what converting one file means.
Outcome ConvertSource(FileSystem& fs, const std::string& inputPath, const PageTarget& target,
                      std::string_view title);

// Converts standard input, which can be read only once: it is first copied
// to a scratch file, which is removed afterwards.
Outcome ConvertStandardInput(FileSystem& fs, const PageTarget& target, std::string_view title);

}  // namespace pl2html
