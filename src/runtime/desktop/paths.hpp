// The path cutting behind the desktop's dialog and shell launch, kept apart
// from the platform calls so that it is tested everywhere.
#pragma once

#include <string>
#include <string_view>

namespace pl2html {

// Where the open-file dialog starts.
struct DialogStart {
  std::string folder;  // empty: the platform chooses
  std::string name;    // the initial file name
};

// Cuts `defaultName` at its last separator after its first byte into the
// initial folder and file name; without one, the whole is the name. A bare
// drive ("C:") keeps its separator, since "C:" alone names the current
// folder of that drive rather than its root.
DialogStart SplitDefaultName(std::string_view defaultName, char separator);

// The folder a launched document's program starts in: `path` up to and
// including its last separator ("C:\docs\a.pl.html" gives "C:\docs\"). The
// empty text when there is no separator after the first byte: no folder.
std::string WorkingFolderOf(std::string_view path, char separator);

}  // namespace pl2html
