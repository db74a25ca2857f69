// The site's search box: every predicate of the tree as a script of data
// (OUT/search.js), the script that runs the box (OUT/search-ui.js), and
// the box's markup and style for the header of each page.
//
// The data is a script, not JSON, because a browser fetches nothing from a
// file:// URL but scripts. Pages name both scripts by a fixed path relative
// to OUT, so a change in the tree rewrites search.js and not every page;
// and the box loads the data only when it is first used.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "site/facts.hpp"
#include "site/walk.hpp"

namespace pl2html::site {

// Their names in OUT, and the first bytes of each: a file of that name in
// OUT which starts otherwise is not ours and is left alone.
inline constexpr char kSearchDataName[] = "search.js";
inline constexpr char kSearchScriptName[] = "search-ui.js";
inline constexpr std::string_view kSearchDataStart = "// The predicates of a site by pl2html";
inline constexpr std::string_view kSearchScriptStart = "// The search box of a site by pl2html";

// The data: one line a predicate, [name, arity, page, anchor, summary],
// sorted by name, arity and page. The page is the URL of the
// predicate's page relative to OUT, the anchor its element id there. The
// file is ASCII (every other character a \u escape), so that it reads the
// same whatever charset the page that loads it has, and holds no "<".
// `files` and `facts` run in parallel.
std::string SearchData(const std::vector<SourceFile>& files, const std::vector<FileFacts>& facts);

// The box's script, the same for every site.
std::string_view SearchScript();

// The box for the header's navigation of the page of `relative` (a source's
// path under SRC; "index" for the index): a field hidden until the script,
// which it loads, shows it. Without scripts the page reads as before.
std::string SearchBox(std::string_view relative);

// The box's style rules, a <style> element for the head of a page.
std::string_view SearchRules();

// Appends `text` to `out` as the body of a JavaScript (and JSON) string in
// ASCII: valid UTF-8 characters as \u escapes, each other byte (or a
// control) as the text \xNN, as the index shows it.
void AppendScriptString(std::string& out, std::string_view text);

}  // namespace pl2html::site
