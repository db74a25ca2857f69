// What became of one conversion, where its page goes, and what the program
// tells its caller when it ends.
#pragma once

#include <string>

namespace pl2html {

// Exit statuses.
inline constexpr int kSuccess = 0;
inline constexpr int kFailure = 1;
inline constexpr int kUsageError = 2;

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
