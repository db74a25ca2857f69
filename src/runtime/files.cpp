#include "runtime/files.hpp"

#include <algorithm>
#include <cstring>

namespace pl2html {

namespace {
constexpr std::int32_t kInitialNumbers = 10;
constexpr std::size_t kWriteBuffer = 1 << 16;
}  // namespace

FileTable::FileTable(FileSystem& fs) : fs_(fs), table_(kInitialNumbers) {}

FileTable::~FileTable() {
  CloseAllFiles();
}

FileHandle FileTable::Install(std::int32_t number, FileHandle handle, bool forWriting) {
  if (handle == 0 || number < 0) {
    if (handle != 0) fs_.Close(handle);
    current_ = nullptr;
    return 0;
  }
  if (static_cast<std::size_t>(number) >= table_.size()) {
    table_.resize(static_cast<std::size_t>(number) + 1);
  }
  // The new file is open before the old one under this number is closed.
  CloseNumbered(number);
  auto file = std::make_unique<OpenFile>();
  file->handle = handle;
  file->forWriting = forWriting;
  if (forWriting) {
    file->buffer = std::make_unique_for_overwrite<char[]>(kWriteBuffer);
  } else {
    OpenFile* raw = file.get();
    file->reader = std::make_unique<LineReader>([this, raw](char* buffer, std::size_t size) {
      return fs_.Read(raw->handle, buffer, size);
    });
    file->reader->GiveSpill(std::move(spareSpill_));
  }
  current_ = file.get();
  table_[static_cast<std::size_t>(number)] = std::move(file);
  return handle;
}

FileHandle FileTable::OpenNumbered(std::int32_t number, const std::string& path) {
  return Install(number, fs_.OpenForReading(path), false);
}

FileHandle FileTable::AttachNumbered(std::int32_t number, FileHandle handle, bool forWriting) {
  return Install(number, handle, forWriting);
}

bool FileTable::Flush(OpenFile& file) {
  if (file.used != 0) {
    if (!file.failed && !fs_.Write(file.handle, file.buffer.get(), file.used)) file.failed = true;
    file.used = 0;
  }
  return !file.failed;
}

// Copies `s` into the buffer, handing the buffer to the platform whenever it
// fills; a text longer than the buffer goes to the platform as it is, after
// what is waiting, rather than being copied first.
void FileTable::Append(OpenFile& file, std::string_view s) {
  if (s.size() > kWriteBuffer - file.used) {
    Flush(file);
    if (s.size() >= kWriteBuffer) {
      if (!file.failed && !fs_.Write(file.handle, s.data(), s.size())) file.failed = true;
      return;
    }
  }
  if (!s.empty()) std::memcpy(file.buffer.get() + file.used, s.data(), s.size());
  file.used += s.size();
}

std::int64_t FileTable::WritePart(std::string_view s) {
  if (current_ == nullptr || !current_->forWriting) return 0;
  Append(*current_, s);
  return static_cast<std::int64_t>(s.size());
}

bool FileTable::CloseNumbered(std::int32_t number) {
  FileHandle handle = HandleOf(number);
  bool ok = DetachNumbered(number);
  if (handle != 0 && !fs_.Close(handle)) ok = false;
  return ok;
}

bool FileTable::DetachNumbered(std::int32_t number) {
  OpenFile* file = Entry(number);
  if (file == nullptr) return true;
  bool ok = file->forWriting ? Flush(*file) : !file->Failed();
  if (file->reader) KeepLargerSpill(spareSpill_, file->reader->TakeSpill());
  if (current_ == file) current_ = nullptr;
  table_[static_cast<std::size_t>(number)].reset();
  return ok;
}

void FileTable::CloseAllFiles() {
  for (std::size_t number = 0; number < table_.size(); ++number) {
    CloseNumbered(static_cast<std::int32_t>(number));
  }
}

bool FileTable::Failed(std::int32_t number) const {
  OpenFile* file = Entry(number);
  return file != nullptr && file->Failed();
}

FileHandle FileTable::HandleOf(std::int32_t number) const {
  OpenFile* file = Entry(number);
  return file == nullptr ? 0 : file->handle;
}

std::int64_t FileSizeOf(FileSystem& fs, const std::string& path) {
  if (path.empty()) return kNoSuchPath;
  std::string looked = path;
  // "dir/" and "dir" name the same folder; a lone separator is the root.
  if (looked.size() > 1 && looked.back() == fs.PathSeparator()) looked.pop_back();
  PathStatus status = fs.Stat(looked);
  switch (status.kind) {
    case PathKind::Missing:
      return kNoSuchPath;
    case PathKind::Directory:
      return kDirectoryPath;
    case PathKind::File:
    case PathKind::Device:  // its size says nothing of what it would give
      break;
  }
  return status.size;
}

bool DeletePath(FileSystem& fs, const std::string& path) {
  return fs.Delete(path);
}

bool ReadWholeFile(FileSystem& fs, const std::string& path, std::string& bytes,
                   std::string& error) {
  FileHandle file = fs.OpenForReading(path);
  if (file == 0) {
    error = "cannot be read (" + fs.LastError() + ")";
    return false;
  }
  PathStatus status = fs.Stat(path);
  bytes.clear();
  bytes.reserve(static_cast<std::size_t>(std::max<std::int64_t>(status.size, 0)) + 1);
  char block[1 << 16];
  for (;;) {
    std::int64_t got = fs.Read(file, block, sizeof block);
    if (got == 0) break;
    if (got < 0) {
      error = "cannot be read (" + fs.LastError() + ")";
      fs.Close(file);
      return false;
    }
    bytes.append(block, static_cast<std::size_t>(got));
  }
  fs.Close(file);
  return true;
}

std::string_view FolderOf(std::string_view path, char separator) {
  std::size_t cut = path.rfind(separator);
  if (cut == std::string_view::npos) return {};
  return path.substr(0, cut == 0 ? 1 : cut);
}

std::string_view FilePartOf(std::string_view path, char separator) {
  if (!path.empty() && path.front() == '"') path.remove_prefix(1);
  std::size_t cut = path.rfind(separator);
  if (cut != std::string_view::npos) path.remove_prefix(cut + 1);
  return path.substr(0, path.find('"'));
}

}  // namespace pl2html
