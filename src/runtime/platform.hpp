// Everything pl2html asks of the operating system goes through this header.
// The build picks one backend folder (runtime/posix/ or runtime/win32/) and
// one desktop backend (win32/desktop.cpp; gtk/loader.cpp, which loads
// gtk/desktop.cpp built as a module; or desktop/no_backend.cpp, where the
// terminal desktop serves). The scanner, the page writer and the driver see
// only these interfaces, so tests can hand them a fake platform
// (tests/support: a file system in memory, a scripted desktop) that fails on
// demand.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace pl2html {

// An open platform file. 0 means "no file", as on Windows where a valid
// handle is never 0.
using FileHandle = std::intptr_t;

// Device: a device, a named pipe or a socket (/dev/null, a FIFO): a page for
// one is written into it, never put in its place.
enum class PathKind { Missing, Directory, File, Device };

struct PathStatus {
  PathKind kind = PathKind::Missing;
  std::int64_t size = 0;  // bytes, only meaningful for a file
};

// One entry of a folder as the folder lists it.
struct FolderEntry {
  std::string name;
  // What the entry names, a symbolic link followed; Missing for a link that
  // leads nowhere.
  PathKind kind = PathKind::Missing;
  bool link = false;  // a symbolic link (on Windows, any reparse point)
};

// Which file or folder a path names, links followed: equal identities, one
// file. A walk over a tree remembers the folders it entered by them, so that
// links making a loop are not followed round it.
struct FileIdentity {
  std::uint64_t device = 0;
  std::uint64_t node = 0;
  auto operator<=>(const FileIdentity&) const = default;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // '/' on POSIX, '\\' on Windows: where path names are cut.
  virtual char PathSeparator() const = 0;

  // What a path names; a drive root such as "C:" counts as a directory.
  virtual PathStatus Stat(const std::string& path) = 0;

  // Opens an existing file for reading only; 0 on failure.
  virtual FileHandle OpenForReading(const std::string& path) = 0;

  // Creates a new file for writing; fails (0) when the path already exists,
  // so a temporary name never clobbers anything.
  virtual FileHandle CreateExclusive(const std::string& path) = 0;

  // Creates a file without a name in `folder` ("" for the current folder),
  // for writing: if the program ends before NameUnnamed, nothing is left.
  // 0 where the platform or the file system has no such files.
  virtual FileHandle CreateUnnamed(const std::string& /*folder*/) { return 0; }

  // Gives the unnamed `file` the name `path`, which must not exist yet.
  virtual bool NameUnnamed(FileHandle /*file*/, const std::string& /*path*/) { return false; }

  // While marked, `file` (made by CreateExclusive) is deleted by the system
  // when it is closed or the program ends, however it ends; false where the
  // platform cannot mark files so.
  virtual bool MarkDeleteOnClose(FileHandle /*file*/, bool /*marked*/) { return false; }

  // Scratch files that an interrupted program (SIGINT, SIGTERM or SIGHUP;
  // Ctrl+C or a closed console on Windows) removes before it ends, until
  // they are let go.
  virtual void DeleteIfInterrupted(const std::string& /*path*/) {}
  virtual void LetGoIfInterrupted(const std::string& /*path*/) {}

  // Opens an existing device or pipe for writing, neither creating nor
  // truncating anything; 0 on failure.
  virtual FileHandle OpenForWriting(const std::string& path) = 0;

  // Reads up to `size` bytes: the count read, 0 at the end, -1 on an error.
  virtual std::int64_t Read(FileHandle file, char* buffer, std::size_t size) = 0;

  // Writes every byte or reports false.
  virtual bool Write(FileHandle file, const char* data, std::size_t size) = 0;

  // Releases the file; false when the platform reports a failure (a late
  // write error surfaces here on some file systems). Closing a standard
  // stream handle only flushes it.
  virtual bool Close(FileHandle file) = 0;

  virtual bool Delete(const std::string& path) = 0;

  // Moves `from` to `to`, replacing whatever file `to` names.
  virtual bool Replace(const std::string& from, const std::string& to) = 0;

  virtual FileHandle StandardInput() = 0;
  virtual FileHandle StandardOutput() = 0;
  virtual FileHandle StandardError() = 0;

  // The platform's words for the last failure, for error messages.
  virtual std::string LastError() = 0;

  // A folder for scratch files, ending without a separator.
  virtual std::string TemporaryFolder() = 0;

  virtual std::uint32_t ProcessId() = 0;

  // Whether two paths name one existing file, so that a page is never
  // written over its own source. Backends that can tell links and aliases
  // apart override this; equal paths always name the same file.
  virtual bool SameFile(const std::string& a, const std::string& b) { return a == b; }

  // What walking a tree of sources needs. A backend that cannot walk answers
  // as for a path that does not exist.

  // The entries of a folder, "." and ".." left out, in no particular order;
  // false when the folder cannot be listed.
  virtual bool ListFolder(const std::string& /*path*/, std::vector<FolderEntry>& /*entries*/) {
    return false;
  }
  virtual bool Identify(const std::string& /*path*/, FileIdentity& /*identity*/) { return false; }
  // The absolute path with every link resolved; empty on failure.
  virtual std::string RealPath(const std::string& /*path*/) { return {}; }
  // Creates a folder; true also when a folder is there already.
  virtual bool CreateFolder(const std::string& /*path*/) { return false; }

  // Whether the stream is a terminal a person watches, where a progress line
  // may be drawn and erased.
  virtual bool IsTerminal(FileHandle /*stream*/) { return false; }
};

// The three contacts with a user of the desktop program.
class Desktop {
 public:
  virtual ~Desktop() = default;

  // A modal open-file dialog. `pattern` alternates descriptions and patterns
  // separated by "|"; `patternIndex` (0-based) is preselected. Returns the
  // chosen path as raw bytes, or the empty text when the user cancels.
  virtual std::string ChooseFileToOpen(const std::string& title, const std::string& defaultName,
                                       const std::string& pattern, int patternIndex) = 0;

  // A modal message box; returns the id of the button that closed it.
  // Texts are Windows-1252 bytes.
  virtual int ShowMessage(const std::string& title, const std::string& text, int flags) = 0;

  // Opens a document with the program the desktop associates with it and
  // returns at once: nonzero on success, 0 on failure.
  virtual std::intptr_t OpenWithShell(const std::string& path) = 0;
};

// The real file system of the machine.
FileSystem& SystemFileSystem();

// The desktop backend chosen by the build. When it cannot reach a display, or
// cannot be loaded, it hands over to the terminal desktop.
Desktop& SystemDesktop(FileSystem& files);

// The one entry point of the GTK desktop module, which a GTK build loads at
// run time rather than linking: a desktop over `files`, or null when no
// display can be reached. The program never unloads the module, so the
// desktop lives as long as the process.
extern "C" Desktop* pl2html_gtk_desktop(FileSystem& files);

// The version of pl2html the GTK module was built with. The module and the
// program share these interfaces, so a module left from another version is
// refused before its entry point is called.
extern "C" const char* pl2html_gtk_module_version();

// A desktop in a terminal, over the standard streams of `files`: the dialog
// prompts on standard error and reads a path from standard input, the message
// box is a line on standard error, the launch prints the page's path.
std::unique_ptr<Desktop> MakeTerminalDesktop(FileSystem& files);

}  // namespace pl2html
