// Links across the pages of a site: where a call to a predicate that its
// own file does not define leads, as the meaning layer resolved it. A
// predicate imported from a file of the tree leads to that file's
// definition; a qualified call m:p(...) to the one file of module m that
// defines p; one imported from SWI-Prolog's library, not held by the tree,
// nowhere in the tree (the page links it to the manual). Any other call
// (undefined, autoloaded, of module user, or imported from a file that
// only reexports it) leads to the one definition visible to the whole
// tree: exported by a module or defined outside any module. A call with
// two or more candidates stays unlinked, and so does one answered by a
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

// An outside call's link, and what its card says of the predicate.
struct Link {
  std::string key;  // CallKey
  std::string href;
  std::string doc;  // the definition's documentation, Documentation::Text()
};
// Per file, the outside calls that have a link, in key order.
using LinkMap = std::vector<Link>;

// What a page asks its LinkMap by: the call's module, key and file.
std::string CallKey(const OutsideCall& call);

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
