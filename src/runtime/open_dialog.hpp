// What an open-file dialog is asked for, worked out without any toolkit: the
// filter list cut from a pattern such as "Fichiers Prolog (*.pl)|*.pl", the
// case-insensitive glob a toolkit needs to list what Windows lists, and the
// initial folder and name taken from a default name. Desktop backends turn
// these into toolkit calls; the cutting rules live here so they are tested
// without a display.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace pl2html {

// One entry of the dialog's filter list. Texts are Windows-1252 bytes.
struct FileFilter {
  std::string description;            // "Fichiers Prolog (*.pl)"
  std::vector<std::string> patterns;  // {"*.pl"}: the entry lists names matching any of them
};

// Cuts `pattern` at every "|" into alternating descriptions and patterns; a
// pattern field may hold several patterns separated by ";". A description
// left without a pattern field (an odd number of fields, a trailing "|") adds
// no entry, and the empty text gives no entries.
std::vector<FileFilter> ParseFilterList(std::string_view pattern);

// The entry a 0-based `patternIndex` preselects among `count` entries; an
// index out of range selects the first entry.
std::size_t PreselectedFilter(int patternIndex, std::size_t count);

// A Windows file pattern as a glob that matches the same names on a
// case-sensitive system: every letter becomes a bracket of both its cases
// ("*.pl" gives "*.[pP][lL]"), the glob's own special characters "[", "]" and
// "\" are escaped because they are plain characters in a Windows pattern, and
// "*.*", which Windows reads as "every file", becomes "*". Windows-1252 in,
// Windows-1252 out: accented letters pair with their other case too.
std::string CaseInsensitiveGlob(std::string_view windowsPattern);

// Where the dialog starts: when `defaultName` holds `separator` after its
// first byte, the part before the last separator is the folder and the part
// after it the file name; otherwise the folder is empty (the dialog's own
// choice) and the whole of `defaultName` is the name.
struct InitialChoice {
  std::string folder;
  std::string name;
};
InitialChoice SplitDefaultName(std::string_view defaultName, char separator);

}  // namespace pl2html
