// The Windows program: a GUI-subsystem program, so that the desktop flow
// opens no console window. Run with arguments from a console, its messages
// go to that console (see the standard streams of the file system).
#include <windows.h>
// After windows.h, which it builds on.
#include <commctrl.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "driver/run.hpp"
#include "runtime/platform.hpp"

int WINAPI WinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/, LPSTR /*commandLine*/,
                   int /*show*/) {
  // The dialog and the message box draw with the common controls.
  ::InitCommonControls();
  // The C runtime has split the command line by the usual rules, without
  // expanding wildcards, in the ANSI code page.
  std::vector<std::string> args;
  for (int i = 1; i < __argc; ++i)
    args.emplace_back(__argv[i]);
  pl2html::FileSystem& fs = pl2html::SystemFileSystem();
  return pl2html::Main(args, fs,
                       [&fs]() -> pl2html::Desktop& { return pl2html::SystemDesktop(fs); });
}
