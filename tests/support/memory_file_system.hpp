// A file system held in memory. Tests use it as the fake platform, with
// switches that make each operation fail; the fuzz target and the benchmarks
// use it to run the whole conversion without a disk.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>

#include "runtime/platform.hpp"

namespace pl2html {

class MemoryFileSystem : public FileSystem {
 public:
  explicit MemoryFileSystem(char separator = '/') : separator_(separator) {}

  std::map<std::string, std::string> files;
  std::map<std::string, std::string> devices;  // what was written to each
  std::set<std::string> folders;
  std::string standardInput;
  std::string standardOutput;
  std::string standardError;

  // Failure switches.
  std::set<std::string> unreadable;   // OpenForReading fails
  std::set<std::string> uncreatable;  // CreateExclusive fails
  bool failAllCreates = false;
  std::int64_t readFailsAfter = -1;   // a Read fails once this many bytes were read
  std::int64_t writeFailsAfter = -1;  // a Write fails once this many bytes were written
  bool failReplace = false;
  std::size_t readChunk = 0;                 // when set, Read hands out at most this many bytes
  std::set<std::string> unlistable;          // ListFolder fails
  std::set<std::string> uncreatableFolders;  // CreateFolder fails
  bool terminal = false;                     // IsTerminal's answer for every stream

  // The scratch files an interruption would remove now.
  std::set<std::string> deletedIfInterrupted;

  // Counters for checks.
  int opens = 0;
  int closes = 0;

  std::size_t OpenHandles() const { return handles_.size(); }

  char PathSeparator() const override { return separator_; }
  PathStatus Stat(const std::string& path) override;
  FileHandle OpenForReading(const std::string& path) override;
  FileHandle CreateExclusive(const std::string& path) override;
  FileHandle OpenForWriting(const std::string& path) override;
  std::int64_t Read(FileHandle file, char* buffer, std::size_t size) override;
  bool Write(FileHandle file, const char* data, std::size_t size) override;
  bool Close(FileHandle file) override;
  bool Delete(const std::string& path) override;
  bool Replace(const std::string& from, const std::string& to) override;
  FileHandle StandardInput() override { return kStdin; }
  FileHandle StandardOutput() override { return kStdout; }
  FileHandle StandardError() override { return kStderr; }
  std::string LastError() override { return lastError_; }
  std::string TemporaryFolder() override { return "tmp"; }
  std::uint32_t ProcessId() override { return 4242; }
  void DeleteIfInterrupted(const std::string& path) override { deletedIfInterrupted.insert(path); }
  void LetGoIfInterrupted(const std::string& path) override { deletedIfInterrupted.erase(path); }
  bool ListFolder(const std::string& path, std::vector<FolderEntry>& entries) override;
  bool Identify(const std::string& path, FileIdentity& identity) override;
  std::string RealPath(const std::string& path) override { return path; }
  bool CreateFolder(const std::string& path) override;
  bool IsTerminal(FileHandle /*stream*/) override { return terminal; }

 private:
  static constexpr FileHandle kStdin = 1, kStdout = 2, kStderr = 3;
  struct Handle {
    std::string path;
    std::size_t position = 0;
    bool device = false;
  };
  std::string* Target(FileHandle file);

  char separator_;
  std::map<FileHandle, Handle> handles_;
  FileHandle nextHandle_ = 100;
  std::size_t stdinPosition_ = 0;
  std::int64_t bytesRead_ = 0;
  std::int64_t bytesWritten_ = 0;
  std::string lastError_;
};

}  // namespace pl2html
