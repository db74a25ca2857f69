// The file system of a POSIX machine.
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>

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

// The scratch files an interrupting signal removes. The handler may only
// read what is complete, so a slot is filled or emptied with the signals
// blocked.
constexpr int kInterruptSignals[] = {SIGINT, SIGTERM, SIGHUP};
struct ScratchSlot {
  volatile std::sig_atomic_t used = 0;
  char path[4096] = {};
};
ScratchSlot scratchSlots[4];

extern "C" void RemoveScratchAndEnd(int signal) {
  for (const ScratchSlot& slot : scratchSlots) {
    if (slot.used != 0) ::unlink(slot.path);
  }
  // The signal's own ending, so that the parent sees how the program ended.
  ::signal(signal, SIG_DFL);
  ::raise(signal);
}

// Blocks the interrupting signals while alive.
class SignalsHeld {
 public:
  SignalsHeld() {
    sigset_t held;
    sigemptyset(&held);
    for (int signal : kInterruptSignals)
      sigaddset(&held, signal);
    sigprocmask(SIG_BLOCK, &held, &before_);
  }
  ~SignalsHeld() { sigprocmask(SIG_SETMASK, &before_, nullptr); }

 private:
  sigset_t before_;
};

// Takes over the interrupting signals, once; a signal the program was told
// to ignore (a background job's SIGINT, nohup's SIGHUP) stays ignored.
void CatchInterrupts() {
  static bool caught = false;
  if (caught) return;
  caught = true;
  for (int signal : kInterruptSignals) {
    struct sigaction action {};
    if (::sigaction(signal, nullptr, &action) != 0 || action.sa_handler == SIG_IGN) continue;
    action.sa_handler = RemoveScratchAndEnd;
    sigemptyset(&action.sa_mask);
    for (int other : kInterruptSignals)
      sigaddset(&action.sa_mask, other);
    action.sa_flags = 0;
    ::sigaction(signal, &action, nullptr);
  }
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

  FileHandle CreateUnnamed(const std::string& folder) override {
#ifdef O_TMPFILE
    // The file is named later through /proc; without /proc it could never
    // be named, so the caller's scratch file serves instead.
    if (::access("/proc/self/fd", X_OK) != 0) return 0;
    return FromDescriptor(
        ::open(folder.empty() ? "." : folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666));
#else
    (void)folder;
    return 0;
#endif
  }

  bool NameUnnamed(FileHandle file, const std::string& path) override {
    std::string self = "/proc/self/fd/" + std::to_string(ToDescriptor(file));
    return ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0;
  }

  // A site writes pages on many threads: they take turns at the slots.
  void DeleteIfInterrupted(const std::string& path) override {
    SignalsHeld held;
    std::lock_guard turn(scratchTurn_);
    CatchInterrupts();
    for (ScratchSlot& slot : scratchSlots) {
      if (slot.used != 0 || path.size() >= sizeof slot.path) continue;
      std::memcpy(slot.path, path.c_str(), path.size() + 1);
      slot.used = 1;
      return;
    }
  }

  void LetGoIfInterrupted(const std::string& path) override {
    SignalsHeld held;
    std::lock_guard turn(scratchTurn_);
    for (ScratchSlot& slot : scratchSlots) {
      if (slot.used != 0 && path == slot.path) {
        slot.used = 0;
        return;
      }
    }
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

  bool Delete(const std::string& path) override {
    return ::unlink(path.c_str()) == 0;
  }

  bool Replace(const std::string& from, const std::string& to) override {
    return ::rename(from.c_str(), to.c_str()) == 0;
  }

  FileHandle StandardInput() override {
    return FromDescriptor(STDIN_FILENO);
  }
  FileHandle StandardOutput() override {
    return FromDescriptor(STDOUT_FILENO);
  }
  FileHandle StandardError() override {
    return FromDescriptor(STDERR_FILENO);
  }

  std::string LastError() override {
    return std::strerror(errno);
  }

  std::string TemporaryFolder() override {
    const char* folder = std::getenv("TMPDIR");
    std::string result = folder != nullptr && *folder != '\0' ? folder : "/tmp";
    while (result.size() > 1 && result.back() == '/')
      result.pop_back();
    return result;
  }

  std::uint32_t ProcessId() override {
    return static_cast<std::uint32_t>(::getpid());
  }

  bool SameFile(const std::string& a, const std::string& b) override {
    struct stat first {
    }, second{};
    if (::stat(a.c_str(), &first) != 0 || ::stat(b.c_str(), &second) != 0) return false;
    return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
  }

  bool ListFolder(const std::string& path, std::vector<FolderEntry>& entries) override {
    std::unique_ptr<DIR, int (*)(DIR*)> folder(::opendir(path.c_str()), ::closedir);
    if (!folder) return false;
    std::string entryPath = path;
    if (entryPath.empty() || entryPath.back() != '/') entryPath += '/';
    const std::size_t prefix = entryPath.size();
    errno = 0;
    while (const dirent* entry = ::readdir(folder.get())) {
      std::string_view name = entry->d_name;
      if (name == "." || name == "..") continue;
      entryPath.resize(prefix);
      entryPath += name;
      struct stat info {};
      FolderEntry listed{std::string(name), PathKind::Missing, false};
      if (::lstat(entryPath.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
        listed.link = true;
        if (::stat(entryPath.c_str(), &info) != 0) info.st_mode = 0;
      }
      listed.kind = KindOf(info.st_mode);
      entries.push_back(std::move(listed));
      errno = 0;
    }
    return errno == 0;
  }

  bool Identify(const std::string& path, FileIdentity& identity) override {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return false;
    identity = {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)};
    return true;
  }

  std::string RealPath(const std::string& path) override {
    std::unique_ptr<char, void (*)(void*)> real(::realpath(path.c_str(), nullptr), std::free);
    return real ? std::string(real.get()) : std::string();
  }

  bool CreateFolder(const std::string& path) override {
    if (::mkdir(path.c_str(), 0777) == 0) return true;
    struct stat info {};
    return errno == EEXIST && ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
  }

  bool IsTerminal(FileHandle stream) override {
    return ::isatty(ToDescriptor(stream)) == 1;
  }

 private:
  std::mutex scratchTurn_;

  static PathKind KindOf(mode_t mode) {
    if (mode == 0) return PathKind::Missing;
    if (S_ISDIR(mode)) return PathKind::Directory;
    if (S_ISREG(mode)) return PathKind::File;
    return PathKind::Device;
  }
};

}  // namespace

FileSystem& SystemFileSystem() {
  static PosixFileSystem system;
  return system;
}

}  // namespace pl2html
