// The build has no desktop backend: the terminal serves as the desktop.
#include "runtime/platform.hpp"

namespace pl2html {

Desktop& SystemDesktop(FileSystem& fs) {
  static std::unique_ptr<Desktop> desktop = MakeTerminalDesktop(fs);
  return *desktop;
}

}  // namespace pl2html
