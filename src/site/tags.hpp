// A tags file of the site (--tags FILE), as editors read ctags' extended
// format: one line for each predicate's first clause,
//
//   name<TAB>path<TAB>line;"<TAB>kind:predicate<TAB>arity:N[<TAB>file:]
//
// "file:" marks a predicate its module does not export. The lines are
// sorted in byte order, after the "!_TAG_" header lines. The path leads
// from the tags file's folder to the source. A name that a tags line cannot
// hold is left out: an empty one, one with a control character (a tab or
// a line end would break the line), and one starting with a space or "!"
// (it would sort among or before the header lines).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "site/facts.hpp"
#include "site/walk.hpp"

namespace pl2html::site {

// `prefix` leads from the tags file's folder to SRC (empty, or ending in
// `separator`); the sources' paths under SRC are joined with `separator`.
std::string TagsText(const std::vector<SourceFile>& files, const std::vector<FileFacts>& facts,
                     std::string_view prefix, char separator);

// The path from the folder `from` to `to`, both absolute and without "."
// or ".." parts, cut at `separator`: "" for `to` itself, else ending in a
// separator when `to` is a folder given with one. `to` as it is when the
// two share no root (two drives).
std::string RelativePath(std::string_view from, std::string_view to, char separator);

}  // namespace pl2html::site
