// The file system of a POSIX machine.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "runtime/platform.hpp"

namespace pl2html {

namespace {

// POSIX descriptors start at 0, but handle 0 means "no file": store fd + 1.
FileHandle FromDescriptor(int fd) {
  return fd < 0 ? 0 : static_cast<FileHandle>(fd) + 1;
}
int ToDescriptor(FileHandle handle) {
  return static_cast<int>(handle - 1);
}

class PosixFileSystem final : public FileSystem {
 public:
  char PathSeparator() const override { return '/'; }

  PathStatus Stat(const std::string& path) override {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return {PathKind::Missing, 0};
    if (S_ISDIR(info.st_mode)) return {PathKind::Directory, 0};
    if (!S_ISREG(info.st_mode)) return {PathKind::Device, 0};
    return {PathKind::File, static_cast<std::int64_t>(info.st_size)};
  }

  FileHandle OpenForReading(const std::string& path) override {
    return FromDescriptor(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  }

  FileHandle CreateExclusive(const std::string& path) override {
    return FromDescriptor(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
  }

  FileHandle OpenForWriting(const std::string& path) override {
    return FromDescriptor(::open(path.c_str(), O_WRONLY | O_CLOEXEC));
  }

  std::int64_t Read(FileHandle file, char* buffer, std::size_t size) override {
    for (;;) {
      ssize_t got = ::read(ToDescriptor(file), buffer, size);
      if (got >= 0 || errno != EINTR) return got;
    }
  }

  bool Write(FileHandle file, const char* data, std::size_t size) override {
    while (size > 0) {
      ssize_t put = ::write(ToDescriptor(file), data, size);
      if (put < 0) {
        if (errno == EINTR) continue;
        return false;
      }
      data += put;
      size -= static_cast<std::size_t>(put);
    }
    return true;
  }

  bool Close(FileHandle file) override {
    int fd = ToDescriptor(file);
    if (fd <= STDERR_FILENO) return true;
    return ::close(fd) == 0;
  }

  bool Delete(const std::string& path) override { return ::unlink(path.c_str()) == 0; }

  bool Replace(const std::string& from, const std::string& to) override {
    return ::rename(from.c_str(), to.c_str()) == 0;
  }

  FileHandle StandardInput() override { return FromDescriptor(STDIN_FILENO); }
  FileHandle StandardOutput() override { return FromDescriptor(STDOUT_FILENO); }
  FileHandle StandardError() override { return FromDescriptor(STDERR_FILENO); }

  std::string LastError() override { return std::strerror(errno); }

  std::string TemporaryFolder() override {
    const char* folder = std::getenv("TMPDIR");
    std::string result = folder != nullptr && *folder != '\0' ? folder : "/tmp";
    while (result.size() > 1 && result.back() == '/')
      result.pop_back();
    return result;
  }

  std::uint32_t ProcessId() override { return static_cast<std::uint32_t>(::getpid()); }

  bool SameFile(const std::string& a, const std::string& b) override {
    struct stat first {
    }, second{};
    if (::stat(a.c_str(), &first) != 0 || ::stat(b.c_str(), &second) != 0) return false;
    return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
  }
};

}  // namespace

FileSystem& SystemFileSystem() {
  static PosixFileSystem system;
  return system;
}

}  // namespace pl2html
