// A whole tree of Prolog sources to a static site: a page for every source
// (OUT/<relative path>.html), an index of folders, files and predicates
// (OUT/index.html), links from calls to their definitions on other pages,
// and a search box on each page (its data OUT/search.js, its script
// OUT/search-ui.js). Two passes, each over the files on every core asked for: the first
// learns each file's facts (definitions, module, loads), the second writes
// the pages. Whatever the number of threads, the same bytes come out.
//
// A manifest in OUT keeps a hash of each page's inputs (the source's bytes
// and the links the page holds), so a run over an unchanged tree rewrites
// nothing and a changed file rewrites its page and the pages whose links
// it moved. OUT/xref.json holds the cross-reference for other programs
// (site/xref_json.hpp).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "runtime/platform.hpp"
#include "site/walk.hpp"

namespace pl2html::site {

struct SiteOptions {
  std::string source;                 // SRC
  std::string output;                 // OUT, made when missing
  std::vector<std::string> patterns;  // which files are sources; empty: kDefaultPatterns
  unsigned jobs = 1;                  // threads for each pass
  bool lineNumbers = true;
  std::string manualUrl;  // the base of links to SWI-Prolog's manual; empty: none
  std::string tags;       // a tags file of every predicate to write (site/tags.hpp); empty: none
};

enum class Pass { kReading, kWriting };

// Told how far each pass is (files done of all, and their bytes); called
// from the threads of the pass, one call at a time.
class Progress {
 public:
  virtual ~Progress() = default;
  virtual void Update(Pass pass, std::size_t done, std::size_t total, std::uint64_t bytes) = 0;
};

struct SiteResult {
  std::vector<Problem> problems;  // each a failure: the rest is still made
  bool unusable = false;          // SRC or OUT could not be used at all: nothing was made
  std::size_t sources = 0;
  std::size_t written = 0;    // pages written, the index included
  std::size_t unchanged = 0;  // pages whose inputs had not changed
};

// The manifest's name in OUT. It names no page: pages end in ".html".
inline constexpr char kManifestName[] = ".pl2html-site";

SiteResult BuildSite(FileSystem& fs, const SiteOptions& options, Progress* progress = nullptr);

}  // namespace pl2html::site
