#include "runtime/outcome.hpp"

namespace pl2html {

std::string Describe(const Outcome& outcome) {
  std::string text;
  switch (outcome.failure) {
    case Failure::kNone:
      return "converted";
    case Failure::kNoSuchFile:
      return "no such file";
    case Failure::kIsDirectory:
      return "is a directory";
    case Failure::kIsEmpty:
      return "is empty";
    case Failure::kCannotRead:
      text = "cannot be read";
      break;
    case Failure::kCannotWrite:
      text = "page cannot be written";
      break;
    case Failure::kOutOfMemory:
      return "is too large to convert (out of memory)";
  }
  if (!outcome.detail.empty()) text += " (" + outcome.detail + ")";
  return text;
}

}  // namespace pl2html
