// What the first pass learns of each source for the links between pages:
// the predicates it defines, whether it is a module and what it exports,
// what it loads, and which predicates it calls without defining them.
// Predicates are keys "name/arity", as the page's survey names them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pl2html::site {

struct Definition {
  std::string key;     // name/arity
  std::string anchor;  // its element id in the page
  std::uint64_t line = 0;
};

// A file a directive loads: use_module/1,2, ensure_loaded/1, reexport/1,2,
// autoload/1,2, consult/1, include/1, or a list of files as a directive.
struct Load {
  std::string path;      // the words of library(a/b) or of a/b, joined by "/"
  bool library = false;  // library(...): found by its path from any folder
  bool reexport = false;
  bool restricted = false;         // an import list names what is taken
  std::vector<std::string> names;  // that list's keys
};

struct FileFacts {
  bool isModule = false;  // starts with :- module(Name, Exports)
  std::string module;
  std::vector<std::string> exports;  // keys, sorted
  std::vector<Load> loads;           // in source order
  std::vector<Definition> definitions;
  std::vector<std::string> outsideCalls;  // keys called but not defined here, sorted
};

FileFacts ReadFacts(std::string_view bytes);

// The key of a predicate: "name/arity".
std::string KeyOf(std::string_view name, int arity);

}  // namespace pl2html::site
