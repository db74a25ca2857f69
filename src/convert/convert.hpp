// One source file through both passes: the declaration scan, then the page.
// The page goes out through a PageOutput, so a failure or an interruption
// never leaves a truncated page and keeps any earlier one.
#pragma once

#include <string>
#include <string_view>

#include "prolog_page/page.hpp"
#include "runtime/files.hpp"
#include "runtime/outcome.hpp"
#include "scan/conversion.hpp"

namespace pl2html {

// Reads the whole source once and teaches `conversion` its type words.
Outcome ScanDeclarations(Conversion& conversion, FileTable& files, const std::string& inputPath);

// Reads the source again and writes its page.
Outcome ConvertFile(Conversion& conversion, FileTable& files, const std::string& inputPath,
                    const PageTarget& target, std::string_view title);

// Which page a conversion makes: the classic page, or the Prolog page and
// its options.
struct PageKind {
  bool prolog = false;      // --prolog
  bool fragment = false;    // --fragment: the code element and its style sheet only
  bool lineNumbers = true;  // not --no-line-numbers
  // --manual-url: the base of links to the manual; empty: none.
  std::string_view manualUrl = prolog_page::kManualUrl;
  // Where the files the source loads are looked for, by a relative path:
  // the source's folder when empty (standard input: the current folder).
  std::string loadsFrom;
};

// What converting one file means: both passes with a fresh conversion (the
// classic page), or the passes of the Prolog page. Either way
// the page goes out through a PageOutput.
Outcome ConvertSource(FileSystem& fs, const std::string& inputPath, const PageTarget& target,
                      std::string_view title, const PageKind& kind = {});

// Converts standard input, which can be read only once: it is first copied
// to a scratch file, which is removed afterwards.
Outcome ConvertStandardInput(FileSystem& fs, const PageTarget& target, std::string_view title,
                             const PageKind& kind = {});

}  // namespace pl2html
