#include "driver/convert.hpp"

#include <new>
#include <stdexcept>
#include <vector>

#include "page/page.hpp"
#include "scan/declarations.hpp"

namespace pl2html {

namespace {

Outcome Fail(Failure failure, std::string detail = {}) {
  return {failure, std::move(detail)};
}

// A source must be a file with at least one byte.
Outcome CheckSource(FileSystem& fs, const std::string& inputPath) {
  std::int64_t size = FileSizeOf(fs, inputPath);
  if (size == kDirectoryPath) return Fail(Failure::kIsDirectory);
  if (size == 0) return Fail(Failure::kIsEmpty);
  if (size < 0) return Fail(Failure::kNoSuchFile);
  return {};
}

Outcome OpenSource(FileSystem& fs, FileTable& files, const std::string& inputPath) {
  Outcome checked = CheckSource(fs, inputPath);
  if (!checked.Ok()) return checked;
  if (files.OpenNumbered(kSourceFile, inputPath) == 0) {
    return Fail(Failure::kCannotRead, fs.LastError());
  }
  return {};
}

// Creates a fresh file named `base` + a suffix that no file has yet.
// Returns its path, or the empty text with the platform's reason in `error`.
std::string CreateScratch(FileSystem& fs, FileTable& files, std::int32_t number,
                          const std::string& base, std::string_view extension, std::string& error) {
  std::string stem = base + "." + std::to_string(fs.ProcessId());
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string path = stem + "-" + std::to_string(attempt) + std::string(extension);
    if (files.CreateNumbered(number, path) != 0) return path;
    error = fs.LastError();                              // before Stat, which may change it
    if (fs.Stat(path).kind == PathKind::Missing) break;  // not a name clash: give up
  }
  return {};
}

}  // namespace

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

Outcome ScanDeclarations(Conversion& conversion, FileTable& files, const std::string& inputPath) {
  FileSystem& fs = files.System();
  Outcome opened = OpenSource(fs, files, inputPath);
  if (!opened.Ok()) return opened;
  DeclarationScan scan(conversion);
  while (files.AtEnd(kSourceFile) == 0)
    scan.ScanLine(files.ReadLine(kSourceFile));
  scan.EndScan();
  bool failed = files.Failed(kSourceFile);
  files.CloseNumbered(kSourceFile);
  if (failed) return Fail(Failure::kCannotRead, fs.LastError());
  return {};
}

Outcome ConvertFile(Conversion& conversion, FileTable& files, const std::string& inputPath,
                    const PageTarget& target, std::string_view title) {
  FileSystem& fs = files.System();
  Outcome opened = OpenSource(fs, files, inputPath);
  if (!opened.Ok()) return opened;

  std::string scratch;
  if (!target.toStandardOutput && fs.SameFile(inputPath, target.path)) {
    files.CloseNumbered(kSourceFile);
    return Fail(Failure::kCannotWrite, "it is the source itself");
  }
  if (target.toStandardOutput) {
    // A program started without a console or a redirection has no standard
    // output: the page would go nowhere.
    if (files.AttachNumbered(kPageFile, fs.StandardOutput(), true) == 0) {
      return Fail(Failure::kCannotWrite, "no standard output");
    }
  } else if (fs.Stat(target.path).kind == PathKind::Device) {
    // /dev/null or a named pipe: the page goes into it. A scratch page
    // renamed over it would put a plain file in the device's place.
    if (files.AttachNumbered(kPageFile, fs.OpenForWriting(target.path), true) == 0) {
      std::string error = fs.LastError();
      files.CloseNumbered(kSourceFile);
      return Fail(Failure::kCannotWrite, error);
    }
  } else {
    std::string error;
    scratch = CreateScratch(fs, files, kPageFile, target.path, ".tmp", error);
    if (scratch.empty()) return Fail(Failure::kCannotWrite, error);
  }

  try {
    WritePage(files, conversion, title);
  } catch (...) {
    // Out of memory for a line or a table: no half page is left behind.
    files.CloseAllFiles();
    if (!scratch.empty()) DeletePath(fs, scratch);
    throw;
  }

  bool readFailed = files.Failed(kSourceFile);
  std::string readError = readFailed ? fs.LastError() : std::string();
  files.CloseNumbered(kSourceFile);
  bool written = files.CloseNumbered(kPageFile);
  std::string writeError = written ? std::string() : fs.LastError();

  Outcome outcome;
  if (readFailed) {
    outcome = Fail(Failure::kCannotRead, readError);
  } else if (!written) {
    outcome = Fail(Failure::kCannotWrite, writeError);
  } else if (!scratch.empty() && !fs.Replace(scratch, target.path)) {
    outcome = Fail(Failure::kCannotWrite, fs.LastError());
  }
  if (!outcome.Ok() && !scratch.empty()) DeletePath(fs, scratch);
  return outcome;
}

Outcome ConvertSource(FileSystem& fs, const std::string& inputPath, const PageTarget& target,
                      std::string_view title) {
  // A line or a set of declarations too large for the memory fails this
  // file only: the next files of a batch still convert.
  try {
    Conversion conversion;
    FileTable files(fs);
    Outcome scanned = ScanDeclarations(conversion, files, inputPath);
    if (!scanned.Ok()) return scanned;
    return ConvertFile(conversion, files, inputPath, target, title);
  } catch (const std::bad_alloc&) {
    return Fail(Failure::kOutOfMemory);
  } catch (const std::length_error&) {
    return Fail(Failure::kOutOfMemory);
  }
}

Outcome ConvertStandardInput(FileSystem& fs, const PageTarget& target, std::string_view title) {
  FileTable files(fs);
  std::string error;
  std::string spool = CreateScratch(
      fs, files, kSourceFile, fs.TemporaryFolder() + fs.PathSeparator() + "pl2html", ".pl", error);
  if (spool.empty()) return Fail(Failure::kCannotRead, "no scratch file: " + error);

  std::vector<char> buffer(1 << 16);
  bool readFailed = false;
  bool copied = true;
  for (;;) {
    std::int64_t got = fs.Read(fs.StandardInput(), buffer.data(), buffer.size());
    if (got < 0) readFailed = true;
    if (got <= 0) break;
    // Raw bytes, not lines: the copy must be exact.
    if (!fs.Write(files.HandleOf(kSourceFile), buffer.data(), static_cast<std::size_t>(got))) {
      copied = false;
      break;
    }
  }
  if (readFailed || !copied) error = fs.LastError();
  if (!files.CloseNumbered(kSourceFile)) copied = false;

  Outcome outcome;
  if (readFailed) {
    outcome = Fail(Failure::kCannotRead, error);
  } else if (!copied) {
    outcome = Fail(Failure::kCannotRead, "scratch file: " + error);
  } else {
    outcome = ConvertSource(fs, spool, target, title);
  }
  DeletePath(fs, spool);
  return outcome;
}

}  // namespace pl2html
