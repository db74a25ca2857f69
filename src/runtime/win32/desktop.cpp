// The Windows desktop: the common open-file dialog, the message box and the
// shell's file associations, through the ANSI entry points.
#include <windows.h>
// The dialog, the shell and COM after windows.h, which they build on.
#include <commdlg.h>
#include <objbase.h>
#include <shellapi.h>

#include <algorithm>
#include <vector>

#include "runtime/desktop/open_dialog.hpp"
#include "runtime/desktop/paths.hpp"
#include "runtime/platform.hpp"

namespace pl2html {

namespace {

// The dialog hands back the chosen path in a buffer of this many bytes.
constexpr std::size_t kChosenPathBytes = 10000;

// Explorer style; a typed name's folder must exist, the file need not (so a
// typed missing file comes back and the run reports it); no read-only check
// box; the current directory stays as it was.
constexpr DWORD kDialogFlags =
    OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
static_assert(kDialogFlags == 0x8080C);

// A window that DisableThreadWindows disabled, with the thread that did it.
struct DisabledWindow {
  DWORD thread;
  HWND window;
};

std::vector<DisabledWindow> disabledWindows;

// The foreground window when it belongs to this process; otherwise no owner.
HWND DialogOwner() {
  HWND foreground = ::GetForegroundWindow();
  if (foreground == nullptr) return nullptr;
  DWORD process = 0;
  ::GetWindowThreadProcessId(foreground, &process);
  return process == ::GetCurrentProcessId() ? foreground : nullptr;
}

BOOL CALLBACK DisableIfOurs(HWND window, LPARAM foreground) {
  DWORD thread = ::GetCurrentThreadId();
  if (::GetWindowThreadProcessId(window, nullptr) == thread && ::IsWindowVisible(window) &&
      ::IsWindowEnabled(window) && window != reinterpret_cast<HWND>(foreground)) {
    ::EnableWindow(window, FALSE);
    disabledWindows.push_back({thread, window});
  }
  return TRUE;
}

// A modal box disables the other visible windows of its thread, so that none
// of them takes input while it is up. The foreground window is left alone:
// when it is ours it becomes the box's owner, which the box disables itself.
void DisableThreadWindows() {
  ::EnumWindows(DisableIfOurs, reinterpret_cast<LPARAM>(::GetForegroundWindow()));
}

// Enables again what this thread disabled; the records of other threads stay.
void ReenableThreadWindows() {
  DWORD thread = ::GetCurrentThreadId();
  auto ours = [thread](const DisabledWindow& record) { return record.thread == thread; };
  for (const DisabledWindow& record : disabledWindows) {
    if (ours(record)) ::EnableWindow(record.window, TRUE);
  }
  std::erase_if(disabledWindows, ours);
}

class Win32Desktop final : public Desktop {
 public:
  std::string ChooseFileToOpen(const std::string& title, const std::string& defaultName,
                               const std::string& pattern, int patternIndex) override {
    std::string filters = FilterList(pattern);
    DialogStart start = SplitDefaultName(defaultName, '\\');
    std::vector<char> chosen(kChosenPathBytes, '\0');
    std::copy_n(start.name.begin(), std::min(start.name.size(), chosen.size() - 1), chosen.begin());

    OPENFILENAMEA dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = DialogOwner();
    dialog.lpstrFilter = filters.empty() ? nullptr : filters.c_str();
    dialog.nFilterIndex = static_cast<DWORD>(patternIndex) + 1;
    dialog.lpstrFile = chosen.data();
    dialog.nMaxFile = static_cast<DWORD>(chosen.size());
    dialog.lpstrInitialDir = start.folder.empty() ? nullptr : start.folder.c_str();
    dialog.lpstrTitle = title.c_str();
    dialog.Flags = kDialogFlags;

    DisableThreadWindows();
    BOOL accepted = ::GetOpenFileNameA(&dialog);
    ReenableThreadWindows();
    // Cancelled, or the dialog failed (a chosen path too long for the buffer
    // among others): no file.
    if (!accepted) return {};
    return std::string(chosen.data());
  }

  int ShowMessage(const std::string& title, const std::string& text, int flags) override {
    DisableThreadWindows();
    int button =
        ::MessageBoxA(DialogOwner(), text.c_str(), title.c_str(), static_cast<UINT>(flags));
    ReenableThreadWindows();
    return button;
  }

  std::intptr_t OpenWithShell(const std::string& path) override {
    // Verbs may be carried out by shell extensions, which need COM.
    HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    std::string folder = WorkingFolderOf(path, '\\');

    SHELLEXECUTEINFOA launch{};
    launch.cbSize = sizeof launch;
    // The handle of a started program is wanted. The program exits right
    // after this call, so the launch must be complete when it returns (some
    // associations hand it to another thread); the launched program itself
    // is not waited for.
    launch.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC;
    launch.hwnd = nullptr;
    launch.lpVerb = "Open";
    launch.lpFile = path.c_str();
    launch.lpParameters = "";
    launch.lpDirectory = folder.empty() ? nullptr : folder.c_str();
    launch.nShow = SW_SHOWNORMAL;
    BOOL launched = ::ShellExecuteExA(&launch);
    if (SUCCEEDED(com)) ::CoUninitialize();

    if (!launched) return 0;
    // Some launches reuse a running program and start no process.
    if (launch.hProcess == nullptr) return 1;
    return reinterpret_cast<std::intptr_t>(launch.hProcess);
  }
};

}  // namespace

Desktop& SystemDesktop(FileSystem& /*files*/) {
  static Win32Desktop desktop;
  return desktop;
}

}  // namespace pl2html
