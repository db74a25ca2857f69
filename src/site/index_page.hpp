// The site's front page, OUT/index.html: its folders and files with their
// sizes, predicate counts and what needs a look (undefined calls and
// singleton variables), then every predicate of the tree by name,
// each linked to its first clause, with its number of callers. Names are written as UTF-8 text
// whatever bytes they are made of, so the index is valid whatever the tree holds.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "prolog_page/page.hpp"
#include "site/callers.hpp"
#include "site/facts.hpp"
#include "site/walk.hpp"

namespace pl2html::site {

// The element id of a folder's section in the index ("" is the root).
std::string FolderAnchor(std::string_view folder);

// `made[i]`: the page of files[i] exists (its source could be read);
// `look[i]`: what that page says needs a look.
std::string IndexPage(std::string_view title, const std::vector<SourceFile>& files,
                      const std::vector<FileFacts>& facts,
                      const std::vector<prolog_page::LookCounts>& look, const Callers& callers,
                      const std::vector<bool>& made);

// Appends `bytes` as HTML text in ASCII, so that it reads the same in a page
// of any charset: markup escaped, characters of valid UTF-8 as character
// references, and each byte that is not (or is a control) shown as \xNN.
void AppendName(std::string& out, std::string_view bytes);

// The navigation a page of the site carries: the index, its folder and the
// search box.
std::string PageNavigation(std::string_view relative);

}  // namespace pl2html::site
