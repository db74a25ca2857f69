// What became of one conversion, and where its page goes.
#pragma once

#include <string>

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

inline Outcome Fail(Failure failure, std::string detail = {}) {
  return {failure, std::move(detail)};
}

// "no such file", "page cannot be written (No space left on device)"...
std::string Describe(const Outcome& outcome);

// Where a page goes: a file, or standard output.
struct PageTarget {
  std::string path;
  bool toStandardOutput = false;
};

}  // namespace pl2html
