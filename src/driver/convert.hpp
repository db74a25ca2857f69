// One source file through both passes: the declaration scan, then the page.
// The page is written to a temporary file beside its destination and moved
// into place only when complete, so a failure never leaves a truncated page
// and keeps any earlier one.
#pragma once

#include <string>
#include <string_view>

#include "runtime/files.hpp"
#include "scan/conversion.hpp"

namespace pl2html {

enum class Failure {
  kNone,
  kNoSuchFile,
  kIsDirectory,
  kIsEmpty,
  kCannotRead,
  kCannotWrite,
  kOutOfMemory,
};

struct Outcome {
  Failure failure = Failure::kNone;
  std::string detail;  // the platform's words, when it gave some
  bool Ok() const { return failure == Failure::kNone; }
};

// "no such file", "page cannot be written (No space left on device)"...
std::string Describe(const Outcome& outcome);

// Where a page goes: a file, or standard output.
struct PageTarget {
  std::string path;
  bool toStandardOutput = false;
};

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
