// What an open-file dialog is asked for, worked out without any toolkit: the
// filter list cut from a pattern such as "Fichiers Prolog (*.pl)|*.pl" into
// entries, in the form a toolkit takes (ParseFilterList) and in the form the
// Windows dialog takes (FilterList), and the case-insensitive glob a toolkit
// needs to list what Windows lists. The rules live here so that they are
// tested without a display.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace pl2html {

// One entry of the dialog's filter list. Texts are Windows-1252 bytes.
struct FileFilter {
  std::string description;            // "Fichiers Prolog (*.pl)"
  std::string pattern;                // "*.pl;*.pro", as given
  std::vector<std::string> patterns;  // {"*.pl", "*.pro"}: names matching any of them are listed
};

// Cuts `pattern` at every "|" into alternating descriptions and patterns; a
// pattern field may hold several patterns separated by ";". A pair with an
// empty piece and a description without a pattern (an odd number of fields,
// a trailing "|") are left out, and the empty text gives no entries.
// Entries without any pattern once trimmed are left out too.
std::vector<FileFilter> ParseFilterList(std::string_view pattern);

// The same entries as the Windows dialog takes them: each description and
// pattern field (as given) ended by a 0 byte, and the list by one more.
// "Fichiers Prolog (*.pl)|*.pl" gives "Fichiers Prolog (*.pl)\0*.pl\0\0". An
// entry whose pattern field holds only spaces and ";" stays, as Windows would
// list it; no entry at all gives the empty text (no filter).
std::string FilterList(std::string_view pattern);

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

}  // namespace pl2html
