// The file system of a Windows machine, through the ANSI entry points: paths
// are bytes of the ANSI code page, passed through unchanged.
#include <windows.h>

#include <algorithm>
#include <mutex>
#include <set>
#include <string>

#include "runtime/platform.hpp"

namespace pl2html {

namespace {

HANDLE ToHandle(FileHandle file) {
  return reinterpret_cast<HANDLE>(file);
}

// A failed CreateFileA gives INVALID_HANDLE_VALUE; the file table wants 0.
FileHandle FromHandle(HANDLE handle) {
  if (handle == INVALID_HANDLE_VALUE || handle == nullptr) return 0;
  return reinterpret_cast<FileHandle>(handle);
}

bool IsDriveRoot(const std::string& path) {
  return (path.size() == 2 || (path.size() == 3 && path[2] == '\\')) && path[1] == ':';
}

// The scratch files that Ctrl+C, Ctrl+Break or a closed console removes.
// The system calls the handler on a thread of its own.
std::mutex scratchLock;
std::set<std::string> scratchFiles;

BOOL WINAPI RemoveScratchFiles(DWORD /*event*/) {
  std::lock_guard<std::mutex> lock(scratchLock);
  for (const std::string& path : scratchFiles)
    ::DeleteFileA(path.c_str());
  return FALSE;  // the system's handler goes on to end the program
}

class Win32FileSystem final : public FileSystem {
 public:
  char PathSeparator() const override { return '\\'; }

  PathStatus Stat(const std::string& path) override {
    if (IsDriveRoot(path)) {
      // The directory lookup finds no entry for a root: ask about the drive.
      UINT type = ::GetDriveTypeA((path.substr(0, 2) + "\\").c_str());
      if (type == DRIVE_UNKNOWN || type == DRIVE_NO_ROOT_DIR) return Missing(ERROR_PATH_NOT_FOUND);
      return {PathKind::Directory, 0};
    }
    // The lookup takes wildcards, and no file name can hold one: a path with
    // "*" or "?" would otherwise report whatever file matches it first.
    if (path.empty() || path.find_first_of("*?") != std::string::npos) {
      return Missing(ERROR_INVALID_NAME);
    }
    WIN32_FIND_DATAA entry{};
    HANDLE search = ::FindFirstFileA(path.c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) return Missing(::GetLastError());
    ::FindClose(search);
    if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return {PathKind::Directory, 0};
    std::int64_t size = (static_cast<std::int64_t>(entry.nFileSizeHigh) << 32) |
                        static_cast<std::int64_t>(entry.nFileSizeLow);
    return {PathKind::File, size};
  }

  FileHandle OpenForReading(const std::string& path) override {
    // Reading only: a read-only source converts, and others may still read
    // it, but not write it while the page is made from it.
    return Opened(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  }

  FileHandle CreateExclusive(const std::string& path) override {
    // DELETE lets MarkDeleteOnClose mark the file through this handle.
    return Opened(::CreateFileA(path.c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_READ, nullptr,
                                CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
  }

  bool MarkDeleteOnClose(FileHandle file, bool marked) override {
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = marked ? TRUE : FALSE;
    if (::SetFileInformationByHandle(ToHandle(file), FileDispositionInfo, &disposition,
                                     sizeof disposition)) {
      return true;
    }
    return Failed();
  }

  void DeleteIfInterrupted(const std::string& path) override {
    std::lock_guard<std::mutex> lock(scratchLock);
    static const bool handled = ::SetConsoleCtrlHandler(RemoveScratchFiles, TRUE) != 0;
    (void)handled;
    scratchFiles.insert(path);
  }

  void LetGoIfInterrupted(const std::string& path) override {
    std::lock_guard<std::mutex> lock(scratchLock);
    scratchFiles.erase(path);
  }

  FileHandle OpenForWriting(const std::string& path) override {
    return Opened(::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  }

  std::int64_t Read(FileHandle file, char* buffer, std::size_t size) override {
    DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
    DWORD got = 0;
    if (::ReadFile(ToHandle(file), buffer, wanted, &got, nullptr)) return got;
    DWORD error = ::GetLastError();
    // The writer of a pipe has closed its end: that is the end of the input.
    if (error == ERROR_BROKEN_PIPE || error == ERROR_HANDLE_EOF) return 0;
    lastError_ = error;
    return -1;
  }

  bool Write(FileHandle file, const char* data, std::size_t size) override {
    while (size > 0) {
      DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
      DWORD put = 0;
      if (!::WriteFile(ToHandle(file), data, chunk, &put, nullptr)) return Failed();
      if (put == 0) {
        lastError_ = ERROR_WRITE_FAULT;
        return false;
      }
      data += put;
      size -= put;
    }
    return true;
  }

  bool Close(FileHandle file) override {
    // WriteFile hands every byte to the system at once, so a standard stream
    // has nothing left to flush; it stays open for later messages.
    if (IsStandardStream(file)) return true;
    return ::CloseHandle(ToHandle(file)) ? true : Failed();
  }

  bool Delete(const std::string& path) override {
    return ::DeleteFileA(path.c_str()) ? true : Failed();
  }

  bool Replace(const std::string& from, const std::string& to) override {
    return ::MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) ? true : Failed();
  }

  FileHandle StandardInput() override { return Standard(STD_INPUT_HANDLE, "CONIN$"); }
  FileHandle StandardOutput() override { return Standard(STD_OUTPUT_HANDLE, "CONOUT$"); }
  FileHandle StandardError() override { return Standard(STD_ERROR_HANDLE, "CONOUT$"); }

  std::string LastError() override {
    char* text = nullptr;
    DWORD length = ::FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, lastError_, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string result;
    if (length != 0 && text != nullptr) result.assign(text, length);
    if (text != nullptr) ::LocalFree(text);
    // The system's texts end with a full stop and CR LF; ours follow in ().
    while (!result.empty() && (result.back() == '\n' || result.back() == '\r' ||
                               result.back() == ' ' || result.back() == '.')) {
      result.pop_back();
    }
    if (result.empty()) result = "error " + std::to_string(lastError_);
    return result;
  }

  std::string TemporaryFolder() override {
    char folder[MAX_PATH + 1] = {};
    DWORD length = ::GetTempPathA(sizeof folder, folder);
    std::string result = length == 0 || length > MAX_PATH ? "." : std::string(folder, length);
    while (result.size() > 1 && result.back() == '\\')
      result.pop_back();
    return result;
  }

  std::uint32_t ProcessId() override { return ::GetCurrentProcessId(); }

  // Names are compared by the file they open: case, "/" for "\\", short
  // names, relative paths and links all name one file in many ways.
  bool SameFile(const std::string& a, const std::string& b) override {
    BY_HANDLE_FILE_INFORMATION first{}, second{};
    if (!Identify(a, first) || !Identify(b, second)) return false;
    return first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
           first.nFileIndexHigh == second.nFileIndexHigh &&
           first.nFileIndexLow == second.nFileIndexLow;
  }

  bool ListFolder(const std::string& path, std::vector<FolderEntry>& entries) override {
    std::string pattern = path;
    if (pattern.empty() || (pattern.back() != '\\' && pattern.back() != '/')) pattern += '\\';
    const std::size_t prefix = pattern.size();
    pattern += '*';
    WIN32_FIND_DATAA entry{};
    HANDLE search = ::FindFirstFileA(pattern.c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) return Failed();
    do {
      std::string name = entry.cFileName;
      if (name == "." || name == "..") continue;
      FolderEntry listed{name, KindOf(entry.dwFileAttributes), false};
      if ((entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        // A link or a junction: what it leads to, as opening it finds.
        listed.link = true;
        BY_HANDLE_FILE_INFORMATION target{};
        listed.kind = Identify(pattern.substr(0, prefix) + name, target)
                          ? KindOf(target.dwFileAttributes)
                          : PathKind::Missing;
      }
      entries.push_back(std::move(listed));
    } while (::FindNextFileA(search, &entry));
    DWORD error = ::GetLastError();
    ::FindClose(search);
    if (error == ERROR_NO_MORE_FILES) return true;
    lastError_ = error;
    return false;
  }

  bool Identify(const std::string& path, FileIdentity& identity) override {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!Identify(path, info)) return Failed();
    identity = {info.dwVolumeSerialNumber,
                (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow};
    return true;
  }

  std::string RealPath(const std::string& path) override {
    HANDLE file =
        ::CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
      Failed();
      return {};
    }
    char buffer[MAX_PATH * 4] = {};
    DWORD length = ::GetFinalPathNameByHandleA(file, buffer, sizeof buffer, FILE_NAME_NORMALIZED);
    ::CloseHandle(file);
    if (length == 0 || length >= sizeof buffer) return {};
    std::string real(buffer, length);
    // The answer carries the "\\?\" prefix of long paths.
    if (real.rfind("\\\\?\\", 0) == 0) real.erase(0, 4);
    return real;
  }

  bool CreateFolder(const std::string& path) override {
    if (::CreateDirectoryA(path.c_str(), nullptr)) return true;
    DWORD error = ::GetLastError();
    DWORD attributes = ::GetFileAttributesA(path.c_str());
    if (error == ERROR_ALREADY_EXISTS && attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      return true;
    }
    lastError_ = error;
    return false;
  }

  bool IsTerminal(FileHandle stream) override {
    DWORD mode = 0;
    return stream != 0 && ::GetFileType(ToHandle(stream)) == FILE_TYPE_CHAR &&
           ::GetConsoleMode(ToHandle(stream), &mode) != 0;
  }

 private:
  static PathKind KindOf(DWORD attributes) {
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? PathKind::Directory : PathKind::File;
  }

  PathStatus Missing(DWORD error) {
    lastError_ = error;
    return {PathKind::Missing, 0};
  }

  bool Failed() {
    lastError_ = ::GetLastError();
    return false;
  }

  // The volume and index of the file `path` names. Asking no access lets
  // this open a file that is open elsewhere, the source included.
  static bool Identify(const std::string& path, BY_HANDLE_FILE_INFORMATION& info) {
    HANDLE file =
        ::CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    bool known = ::GetFileInformationByHandle(file, &info) != 0;
    ::CloseHandle(file);
    return known;
  }

  FileHandle Opened(HANDLE handle) {
    FileHandle file = FromHandle(handle);
    if (file == 0) lastError_ = ::GetLastError();
    return file;
  }

  // The standard stream `which`. A program of the GUI subsystem has one only
  // when its parent handed it over (a redirection); otherwise the stream is
  // the console of the parent, when it was started from one.
  FileHandle Standard(DWORD which, const char* consoleName) {
    FileHandle stream = FromHandle(::GetStdHandle(which));
    if (stream != 0) return stream;
    if (!triedConsole_) {
      triedConsole_ = true;
      attached_ = ::AttachConsole(ATTACH_PARENT_PROCESS) != 0;
    }
    if (!attached_) return 0;
    // Attaching sets the streams on some systems and not on others.
    stream = FromHandle(::GetStdHandle(which));
    if (stream != 0) return stream;
    HANDLE console =
        ::CreateFileA(consoleName, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    stream = FromHandle(console);
    if (stream != 0) ::SetStdHandle(which, console);
    return stream;
  }

  static bool IsStandardStream(FileHandle file) {
    for (DWORD which : {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE}) {
      if (FromHandle(::GetStdHandle(which)) == file) return true;
    }
    return false;
  }

  DWORD lastError_ = ERROR_SUCCESS;
  bool triedConsole_ = false;
  bool attached_ = false;
};

}  // namespace

FileSystem& SystemFileSystem() {
  static Win32FileSystem system;
  return system;
}

}  // namespace pl2html
