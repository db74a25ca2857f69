// Numbered files: the source is read line by line as file 1 and the page is
// written as file 2. ReadLine reads the file it is given; WritePart writes
// the current file, which opening a file or SelectFile sets. Reads and
// writes go through buffers; a read or write error is remembered per file
// (Failed) so that the caller can refuse to present a truncated page.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/lines.hpp"
#include "runtime/platform.hpp"

namespace pl2html {

// AtEnd's "true": all bits set, so that callers can negate it bitwise.
inline constexpr std::int32_t kTrue = -1;

// FileSizeOf's answers for paths that are not files.
inline constexpr std::int64_t kNoSuchPath = -1;
inline constexpr std::int64_t kDirectoryPath = -2;

class FileTable {
 public:
  explicit FileTable(FileSystem& fs);
  ~FileTable();
  FileTable(const FileTable&) = delete;
  FileTable& operator=(const FileTable&) = delete;

  // Opens `path` for reading under `number`. On success any file already
  // under that number is closed, the new one becomes current and the
  // platform handle is returned; on failure 0 and no file is current.
  FileHandle OpenNumbered(std::int32_t number, const std::string& path);

  // Puts an already open handle under `number`, same rules; closing the
  // number closes the handle.
  FileHandle AttachNumbered(std::int32_t number, FileHandle handle, bool forWriting);

  // Takes the file under `number` out of the table without closing its
  // handle, its bytes written; false when a write or the flush failed.
  bool DetachNumbered(std::int32_t number);

  void SelectFile(std::int32_t number) {
    if (OpenFile* file = Entry(number)) current_ = file;
  }

  // The next line of the file under `number`; the view lasts until that
  // file is read again. The current file does not change.
  std::string_view ReadLine(std::int32_t number) {
    OpenFile* file = Entry(number);
    if (file == nullptr || !file->reader) return {};
    return file->reader->ReadLine();
  }

  // kTrue when the file under `number` has no byte left, else 0. The
  // current file does not change.
  std::int32_t AtEnd(std::int32_t number) {
    OpenFile* file = Entry(number);
    if (file == nullptr || !file->reader) return kTrue;
    return file->reader->AtEnd() ? kTrue : 0;
  }

  // Writes `s` to the current file as it is; the number of bytes taken.
  std::int64_t WritePart(std::string_view s);

  // Closes the file under `number`; false when a write, a flush or the close
  // itself failed.
  bool CloseNumbered(std::int32_t number);
  void CloseAllFiles();

  // A read or write on the file under `number` has failed.
  bool Failed(std::int32_t number) const;

  FileSystem& System() const { return fs_; }

 private:
  // Reading and the end test run once per line of a source, so the table
  // and its entries are visible here and those calls are inline.
  struct OpenFile {
    FileHandle handle = 0;
    bool forWriting = false;
    bool failed = false;  // a write failed; a reader remembers its own failure
    bool Failed() const { return failed || (reader && reader->Failed()); }
    std::unique_ptr<LineReader> reader;
    // Bytes written but not yet handed to the platform: buffer[0, used).
    std::unique_ptr<char[]> buffer;
    std::size_t used = 0;
  };

  OpenFile* Entry(std::int32_t number) const {
    if (number < 0 || static_cast<std::size_t>(number) >= table_.size()) return nullptr;
    return table_[static_cast<std::size_t>(number)].get();
  }
  FileHandle HandleOf(std::int32_t number) const;
  void Append(OpenFile& file, std::string_view s);
  FileHandle Install(std::int32_t number, FileHandle handle, bool forWriting);
  bool Flush(OpenFile& file);

  FileSystem& fs_;
  std::vector<std::unique_ptr<OpenFile>> table_;
  // A closed reader's memory for long lines, for the next reader: the
  // source is read twice.
  SpillBuffer spareSpill_;
  OpenFile* current_ = nullptr;
};

// Size of the file `path` names; kNoSuchPath for an empty or missing path,
// kDirectoryPath for a folder or a drive root. One trailing separator is
// ignored.
std::int64_t FileSizeOf(FileSystem& fs, const std::string& path);

bool DeletePath(FileSystem& fs, const std::string& path);

// The whole file `path` into `bytes`; false, with what went wrong in
// `error` ("cannot be read (...)"), when it cannot be read.
bool ReadWholeFile(FileSystem& fs, const std::string& path, std::string& bytes, std::string& error);

// The folder `path` lies in, up to its last separator: "" when it names
// none, the separator itself for a name in the root ("/a" gives "/").
std::string_view FolderOf(std::string_view path, char separator);

// The last component of `path`: after its last separator, without a leading
// double quote and ending before the next double quote.
std::string_view FilePartOf(std::string_view path, char separator);

}  // namespace pl2html
