#include "runtime/page_output.hpp"

#include <utility>

namespace pl2html {

namespace {

// Tries `base`.PID-0`extension`, then -1, -2... until `make` makes one,
// marked to be deleted if the program is interrupted. A failure
// that is not a name in use ends the search: then the empty text, with the
// platform's reason in `error`.
template <typename Make>
std::string FirstFreeName(FileSystem& fs, const std::string& base, std::string_view extension,
                          Make make, std::string& error) {
  std::string stem = base + "." + std::to_string(fs.ProcessId());
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string path = stem + "-" + std::to_string(attempt) + std::string(extension);
    // Marked before it is made, so that no moment is left unguarded. A file
    // of that name that is not ours can only be the scratch file of an
    // earlier process with this id.
    fs.DeleteIfInterrupted(path);
    if (make(path)) return path;
    error = fs.LastError();  // before anything else may change it
    fs.LetGoIfInterrupted(path);
    if (fs.Stat(path).kind == PathKind::Missing) break;  // not a name clash: give up
  }
  return {};
}

}  // namespace

std::string CreateScratch(FileSystem& fs, const std::string& base, std::string_view extension,
                          FileHandle& file, std::string& error) {
  return FirstFreeName(
      fs, base, extension,
      [&](const std::string& path) { return (file = fs.CreateExclusive(path)) != 0; }, error);
}

Outcome PageOutput::Open(const PageTarget& target) {
  Abandon();
  FileSystem& fs = files_.System();
  if (target.toStandardOutput) {
    // A program started without a console or a redirection has no standard
    // output: the page would go nowhere.
    FileHandle output = fs.StandardOutput();
    if (output == 0) return Fail(Failure::kCannotWrite, "no standard output");
    Install(Kind::kDirect, output);
    return {};
  }
  target_ = target.path;
  if (fs.Stat(target.path).kind == PathKind::Device) {
    FileHandle device = fs.OpenForWriting(target.path);
    if (device == 0) return Fail(Failure::kCannotWrite, fs.LastError());
    Install(Kind::kDirect, device);
    return {};
  }
  if (FileHandle unnamed = fs.CreateUnnamed(std::string(FolderOf(target.path, fs.PathSeparator())));
      unnamed != 0) {
    Install(Kind::kUnnamed, unnamed);
    return {};
  }
  std::string error;
  FileHandle file = 0;
  scratch_ = CreateScratch(fs, target.path, ".tmp", file, error);
  if (scratch_.empty()) return Fail(Failure::kCannotWrite, error);
  // Where it can, the system itself deletes the scratch file should the
  // program end first, however it ends.
  fs.MarkDeleteOnClose(file, true);
  Install(Kind::kScratch, file);
  return {};
}

void PageOutput::Install(Kind kind, FileHandle file) {
  kind_ = kind;
  file_ = file;
  files_.AttachNumbered(number_, file, true);
}

Outcome PageOutput::Commit() {
  FileSystem& fs = files_.System();
  if (kind_ == Kind::kClosed) return Fail(Failure::kCannotWrite);
  if (!files_.DetachNumbered(number_)) return Finish(Fail(Failure::kCannotWrite, fs.LastError()));
  if (kind_ == Kind::kDirect) {
    kind_ = Kind::kClosed;
    if (!fs.Close(std::exchange(file_, 0))) return Fail(Failure::kCannotWrite, fs.LastError());
    return {};
  }
  std::string error;
  if (kind_ == Kind::kUnnamed && !NameUnnamed(error)) {
    return Finish(Fail(Failure::kCannotWrite, error));
  }
  fs.MarkDeleteOnClose(file_, false);
  // A late write error may surface only when the file is closed.
  if (!fs.Close(std::exchange(file_, 0)))
    return Finish(Fail(Failure::kCannotWrite, fs.LastError()));
  if (!fs.Replace(scratch_, target_)) return Finish(Fail(Failure::kCannotWrite, fs.LastError()));
  fs.LetGoIfInterrupted(scratch_);
  scratch_.clear();
  kind_ = Kind::kClosed;
  return {};
}

// An unnamed file cannot take the place of another file at once: it is
// given a scratch name beside the page, then moved like a scratch file.
bool PageOutput::NameUnnamed(std::string& error) {
  FileSystem& fs = files_.System();
  scratch_ = FirstFreeName(
      fs, target_, ".tmp", [&](const std::string& path) { return fs.NameUnnamed(file_, path); },
      error);
  return !scratch_.empty();
}

Outcome PageOutput::Finish(Outcome outcome) {
  Abandon();
  return outcome;
}

void PageOutput::Abandon() {
  if (kind_ == Kind::kClosed) return;
  FileSystem& fs = files_.System();
  files_.DetachNumbered(number_);
  if (file_ != 0) fs.Close(std::exchange(file_, 0));
  if (!scratch_.empty()) {
    fs.Delete(scratch_);
    fs.LetGoIfInterrupted(scratch_);
    scratch_.clear();
  }
  kind_ = Kind::kClosed;
}

}  // namespace pl2html
