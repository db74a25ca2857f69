// The program's two ways of running: the desktop flow (no arguments: a dialog
// asks for the source, the page is shown, any failure gives one message box)
// and the command line for scripts.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "runtime/outcome.hpp"
#include "runtime/platform.hpp"

namespace pl2html {

// The desktop is asked for only when needed, so that a command-line run never
// starts a desktop toolkit it does not use.
using DesktopProvider = std::function<Desktop&()>;

int RunDesktopFlow(FileSystem& fs, Desktop& desktop);

// `args` excludes the program name.
int Main(const std::vector<std::string>& args, FileSystem& fs, const DesktopProvider& desktop);

}  // namespace pl2html
