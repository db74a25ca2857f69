// The desktop of a GTK build. GTK itself lives in a module (gtk/desktop.cpp,
// built as pl2html-gtk.so) that is loaded here the first time the desktop
// flow asks for the desktop: linked into the program, GTK and its seventy-odd
// libraries would be mapped at every start, some 20 ms that a conversion on
// the command line would pay for nothing.
//
// The module is looked for beside the program (the build folder) and then
// where the installation puts it, relative to the program's folder. When it
// is missing or cannot be loaded (GTK itself may be missing from the
// machine), the terminal serves, as it does without a display, and one line
// on standard error says why: a desktop program that silently does nothing
// would leave its user guessing.
#include <dlfcn.h>
#include <unistd.h>

#include <cstring>
#include <memory>
#include <string>

#include "runtime/platform.hpp"

namespace pl2html {

namespace {

using Factory = decltype(&pl2html_gtk_desktop);

// The folder of the running program, ending with '/'; empty when the system
// does not say.
std::string ProgramFolder() {
  std::string path(256, '\0');
  for (;;) {
    ssize_t length = readlink("/proc/self/exe", path.data(), path.size());
    if (length < 0) return {};
    if (static_cast<std::size_t>(length) < path.size()) {
      path.resize(static_cast<std::size_t>(length));
      break;
    }
    path.resize(path.size() * 2);  // cut short: try again with more room
  }
  std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

struct Loaded {
  Factory factory = nullptr;
  std::string why;  // when there is no factory: what went wrong
};

Loaded LoadModule() {
  std::string folder = ProgramFolder();
  if (folder.empty()) return {nullptr, "the program's own path is unknown (/proc/self/exe)"};
  const std::string candidates[] = {
      folder + PL2HTML_GTK_MODULE,
      folder + PL2HTML_GTK_MODULE_DIR + "/" + PL2HTML_GTK_MODULE,
  };
  for (const std::string& path : candidates) {
    if (access(path.c_str(), F_OK) != 0) continue;
    // Every symbol resolved now: a module that does not fit fails here, with
    // words to show, rather than in the middle of a dialog.
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) return {nullptr, dlerror()};
    auto version = reinterpret_cast<decltype(&pl2html_gtk_module_version)>(
        dlsym(module, "pl2html_gtk_module_version"));
    if (version == nullptr) return {nullptr, path + " is not a module of pl2html " PL2HTML_VERSION};
    if (std::strcmp(version(), PL2HTML_VERSION) != 0) {
      return {nullptr, path + " is from pl2html " + version() + ", not " PL2HTML_VERSION};
    }
    void* entry = dlsym(module, "pl2html_gtk_desktop");
    if (entry == nullptr) return {nullptr, dlerror()};
    return {reinterpret_cast<Factory>(entry), {}};
  }
  return {nullptr, "no " + candidates[0] + " nor " + candidates[1]};
}

std::unique_ptr<Desktop> MakeDesktop(FileSystem& fs) {
  Loaded loaded = LoadModule();
  if (loaded.factory == nullptr) {
    std::string line = "pl2html: the GTK desktop could not be loaded (" + loaded.why +
                       "); the terminal serves instead\n";
    fs.Write(fs.StandardError(), line.data(), line.size());
    return MakeTerminalDesktop(fs);
  }
  // Null when no display can be reached: the terminal serves, unannounced,
  // as it is meant to there.
  std::unique_ptr<Desktop> desktop(loaded.factory(fs));
  if (!desktop) return MakeTerminalDesktop(fs);
  return desktop;
}

}  // namespace

Desktop& SystemDesktop(FileSystem& fs) {
  static std::unique_ptr<Desktop> desktop = MakeDesktop(fs);
  return *desktop;
}

}  // namespace pl2html
