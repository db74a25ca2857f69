// The file a page is written to, opened so that the page takes the place of
// an earlier one only once complete, and so that a failure or an
// interruption leaves nothing behind but the earlier page:
//   - where the platform can, a file without a name in the page's folder,
//     named and moved into place when complete;
//   - otherwise a scratch file beside the page, marked to be deleted if the
//     program ends first, and moved into place when complete;
//   - standard output, a device or a named pipe is written into directly:
//     a file put in its place would replace the device.
// While open, the file is `number` of the file table, for the page writer.
// Every kind of page goes out through one of these.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "runtime/files.hpp"
#include "runtime/outcome.hpp"
#include "runtime/stream.hpp"

namespace pl2html {

// The number a page's file has in the file table of its writer.
inline constexpr std::int32_t kPageFile = 2;

class PageOutput {
 public:
  PageOutput(FileTable& files, std::int32_t number) : files_(files), number_(number) {}
  ~PageOutput() { Abandon(); }
  PageOutput(const PageOutput&) = delete;
  PageOutput& operator=(const PageOutput&) = delete;

  Outcome Open(const PageTarget& target);
  // Everything is written: the page takes its place.
  Outcome Commit();
  // The page is given up: whatever was written goes.
  void Abandon();

 private:
  enum class Kind { kClosed, kDirect, kUnnamed, kScratch };
  void Install(Kind kind, FileHandle file);
  // Abandons the page and returns `outcome`, a failure.
  Outcome Finish(Outcome outcome);
  bool NameUnnamed(std::string& error);

  FileTable& files_;
  std::int32_t number_;
  Kind kind_ = Kind::kClosed;
  FileHandle file_ = 0;
  std::string target_;
  std::string scratch_;  // the page's name until it is moved into place
};

// The Prolog page's text, handed to the page file as it gathers.
class PageFileSink final : public Sink {
 public:
  PageFileSink(FileTable& files, std::int32_t number) : files_(files), number_(number) {}
  void Drain() override {
    files_.SelectFile(number_);
    files_.WritePart(text);
    text.clear();
  }
  void Write(std::string_view bytes) override {
    Drain();
    files_.WritePart(bytes);
  }

 private:
  FileTable& files_;
  std::int32_t number_;
};

// Creates a fresh file named `base` + "." + the process id + "-N" +
// `extension`, N the first number no file has yet; marks it to be deleted
// if the program is interrupted. Returns its path and handle, or the empty
// text with the platform's reason in `error`.
std::string CreateScratch(FileSystem& fs, const std::string& base, std::string_view extension,
                          FileHandle& file, std::string& error);

}  // namespace pl2html
