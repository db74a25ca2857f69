#include "convert/convert.hpp"

#include <new>
#include <stdexcept>
#include <vector>

#include "convert/source_loader.hpp"
#include "page/page.hpp"
#include "prolog_page/page.hpp"
#include "runtime/page_output.hpp"
#include "scan/declarations.hpp"

namespace pl2html {

namespace {

// A source must be a file, of at least one byte for the classic page. An
// empty file is a valid Prolog file, and has its Prolog page.
Outcome CheckSource(FileSystem& fs, const std::string& inputPath, bool emptyIsFine = false) {
  std::int64_t size = FileSizeOf(fs, inputPath);
  if (size == kDirectoryPath) return Fail(Failure::kIsDirectory);
  if (size == 0 && !emptyIsFine) return Fail(Failure::kIsEmpty);
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

// The source of a Prolog page, read in blocks straight from the platform;
// rewinding opens it again.
class SourceFile final : public Source {
 public:
  SourceFile(FileSystem& fs, const std::string& path) : fs_(fs), path_(path) {}
  ~SourceFile() override { Close(); }
  SourceFile(const SourceFile&) = delete;
  SourceFile& operator=(const SourceFile&) = delete;

  bool Open() {
    Close();
    file_ = fs_.OpenForReading(path_);
    if (file_ == 0) Fail();
    return file_ != 0;
  }
  std::size_t Read(char* to, std::size_t size) override {
    if (file_ == 0) return 0;
    std::int64_t got = fs_.Read(file_, to, size);
    if (got >= 0) return static_cast<std::size_t>(got);
    Fail();
    Close();
    return 0;
  }
  void Rewind() override { Open(); }
  bool Failed() const { return failed_; }
  const std::string& Error() const { return error_; }

 private:
  void Fail() {
    if (!failed_) error_ = fs_.LastError();
    failed_ = true;
  }
  void Close() {
    if (file_ != 0) fs_.Close(file_);
    file_ = 0;
  }

  FileSystem& fs_;
  const std::string& path_;
  FileHandle file_ = 0;
  bool failed_ = false;
  std::string error_;
};

Outcome ConvertPrologSource(FileSystem& fs, const std::string& inputPath, const PageTarget& target,
                            std::string_view title, const PageKind& kind) {
  Outcome checked = CheckSource(fs, inputPath, true);
  if (!checked.Ok()) return checked;
  if (!target.toStandardOutput && fs.SameFile(inputPath, target.path)) {
    return Fail(Failure::kCannotWrite, "it is the source itself");
  }
  SourceFile source(fs, inputPath);
  if (!source.Open()) return Fail(Failure::kCannotRead, source.Error());
  FileTable files(fs);
  PageOutput page(files, kPageFile);
  Outcome ready = page.Open(target);
  if (!ready.Ok()) return ready;
  PageFileSink sink(files, kPageFile);
  SourceLoader loader(fs, kind.loadsFrom.empty()
                              ? std::string(FolderOf(inputPath, fs.PathSeparator()))
                              : kind.loadsFrom);
  prolog_page::PageOptions options;
  options.title = title;
  options.fragment = kind.fragment;
  options.lineNumbers = kind.lineNumbers;
  options.manualUrl = kind.manualUrl;
  options.loader = &loader;
  prolog_page::WritePrologPage(source, sink, options);
  if (source.Failed()) return Fail(Failure::kCannotRead, source.Error());
  return page.Commit();
}

}  // namespace

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
  if (!target.toStandardOutput && fs.SameFile(inputPath, target.path)) {
    files.CloseNumbered(kSourceFile);
    return Fail(Failure::kCannotWrite, "it is the source itself");
  }
  // Should the page writer throw (out of memory for a line or a table), the
  // page is abandoned on the way out: no half page is left behind.
  PageOutput page(files, kPageFile);
  Outcome ready = page.Open(target);
  if (!ready.Ok()) {
    files.CloseNumbered(kSourceFile);
    return ready;
  }
  WritePage(files, conversion, title);
  bool readFailed = files.Failed(kSourceFile);
  std::string readError = readFailed ? fs.LastError() : std::string();
  files.CloseNumbered(kSourceFile);
  if (readFailed) return Fail(Failure::kCannotRead, readError);
  return page.Commit();
}

Outcome ConvertSource(FileSystem& fs, const std::string& inputPath, const PageTarget& target,
                      std::string_view title, const PageKind& kind) {
  // A line or a set of declarations too large for the memory fails this
  // file only: the next files of a batch still convert.
  try {
    if (kind.prolog) return ConvertPrologSource(fs, inputPath, target, title, kind);
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

Outcome ConvertStandardInput(FileSystem& fs, const PageTarget& target, std::string_view title,
                             const PageKind& kind) {
  std::string error;
  FileHandle spoolFile = 0;
  std::string spool = CreateScratch(fs, fs.TemporaryFolder() + fs.PathSeparator() + "pl2html",
                                    ".pl", spoolFile, error);
  if (spool.empty()) return Fail(Failure::kCannotRead, "no scratch file: " + error);

  std::vector<char> buffer(1 << 16);
  bool readFailed = false;
  bool copied = true;
  for (;;) {
    std::int64_t got = fs.Read(fs.StandardInput(), buffer.data(), buffer.size());
    if (got < 0) readFailed = true;
    if (got <= 0) break;
    // Raw bytes, not lines: the copy must be exact.
    if (!fs.Write(spoolFile, buffer.data(), static_cast<std::size_t>(got))) {
      copied = false;
      break;
    }
  }
  if (readFailed || !copied) error = fs.LastError();
  if (!fs.Close(spoolFile)) copied = false;

  Outcome outcome;
  if (readFailed) {
    outcome = Fail(Failure::kCannotRead, error);
  } else if (!copied) {
    outcome = Fail(Failure::kCannotRead, "scratch file: " + error);
  } else {
    outcome = ConvertSource(fs, spool, target, title, kind);
  }
  DeletePath(fs, spool);
  fs.LetGoIfInterrupted(spool);
  return outcome;
}

}  // namespace pl2html
