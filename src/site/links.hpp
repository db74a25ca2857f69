// Links across the pages of a site: where a call to a predicate that its
// own file does not define leads. The module system decides first: the
// files a source loads (use_module, ensure_loaded, reexport... of
// library(x) or of a path, found inside the tree) offer what they export,
// or, for a file that is not a module, all it defines. When they offer
// nothing, the one definition visible to the whole tree (exported by a
// module or defined outside any module) is taken. A call with two or more
// candidates at either step stays unlinked, and so does one answered by a
// module that exports the predicate without defining it in its source
// (foreign code).
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "site/facts.hpp"
#include "site/walk.hpp"

namespace pl2html::site {

// Per file, the outside calls that have a link: (key, href) in key order.
using LinkMap = std::vector<std::pair<std::string, std::string>>;

// `files` and `facts` run in parallel.
std::vector<LinkMap> ResolveLinks(const std::vector<SourceFile>& files,
                                  const std::vector<FileFacts>& facts);

// The URL of the page of `to` as seen from the page of `from` (relative
// paths of sources), its bytes percent-encoded where a URL needs it.
std::string PageHref(std::string_view from, std::string_view to);

// The URL of a path relative to the site's root, as seen from the page of `from`.
std::string SiteHref(std::string_view from, std::string_view target);

// Percent-encodes the bytes of a path that a URL cannot hold as they are.
std::string UrlPath(std::string_view path);

}  // namespace pl2html::site
