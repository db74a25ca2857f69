// The files a source loads, as the cross-referencer sees them: only the
// module header of each (its name, exports, public and meta_predicate
// declarations), read from the file itself or, for SWI-Prolog's library,
// taken from the generated tables. Finding and reading files is the
// caller's business (a single page looks beside its source, a site in its
// tree), behind Loader.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "prolog/lexer.hpp"

namespace pl2html::meaning {

struct ExportEntry {
  std::string name;
  int arity = 0;   // a grammar rule's name//N counts N + 2; an operator: its priority
  std::string op;  // an operator's type; empty for a predicate
};

struct ModuleHeader {
  std::string module;                // empty: the file is no module
  std::vector<ExportEntry> exports;  // reexported ones included
  std::vector<ExportEntry> publics;
  struct Meta {
    std::string name;
    int arity = 0;
    std::string request;  // as KnownPredicate::meta
  };
  std::vector<Meta> metas;
  // Reading this header makes SWI-Prolog load library(http/html_write)
  // (a use_module/1,2 of it imports its html/4 quasi-quotation syntax).
  bool loadsHtmlWrite = false;
};

// A file some directive names.
struct LoadedFile {
  std::string request;  // as the directive names it: "library(lists)", "util"
  std::string title;    // how a tooltip names it: "lists", "http/json", "util.pl"
  std::string path;     // where a site finds its page: relative to the tree; empty if not in it
  std::string library;  // a file of SWI-Prolog's library: its path there ("lists"); else empty
  std::shared_ptr<const ModuleHeader> header;  // null: could not be read
  bool mentionedOnly = false;                  // named by a directive, nothing taken from it
};

class Loader {
 public:
  virtual ~Loader() = default;
  // The file that Alias(Path) (library(lists), swi(library/x)) or, with an
  // empty alias, the plain path names, seen from the source being read.
  // False when there is none.
  virtual bool Find(std::string_view alias, std::string_view path, LoadedFile& file) = 0;
  // The bytes of a file found by Find, for include/1. False if unreadable.
  virtual bool Text(const LoadedFile& file, std::string& text) = 0;
};

// The files of SWI-Prolog's library that the generated tables describe,
// and nothing else: what a source loads from elsewhere stays unknown.
class LibraryLoader : public Loader {
 public:
  bool Find(std::string_view alias, std::string_view path, LoadedFile& file) override;
  bool Text(const LoadedFile&, std::string&) override { return false; }
};

// The module header of a source, as the cross-referencer reads one: the
// directives at its start, the first a module/2. Reexported files are
// found through `loader` (may be null).
std::shared_ptr<const ModuleHeader> ReadHeader(std::string_view text, prolog::Encoding encoding,
                                               Loader* loader);

// The header the tables give a library file.
std::shared_ptr<const ModuleHeader> LibraryHeader(std::string_view libraryPath);

}  // namespace pl2html::meaning
