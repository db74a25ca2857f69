// The command line's options, read once into one struct. A new option is a
// field here and a case in ParseOptions.
#pragma once

#include <string>
#include <vector>

#include "prolog_page/page.hpp"

namespace pl2html {

struct Options {
  enum class Request { kConvert, kHelp, kVersion };
  // --help and --version answer at once, whatever else the line holds; the
  // first of them given wins.
  Request request = Request::kConvert;
  bool open = false;        // --open: show each page with the desktop's program
  bool prolog = false;      // --prolog: the Prolog page instead of the classic one
  bool fragment = false;    // --fragment: of the Prolog page, the code element only
  bool lineNumbers = true;  // --no-line-numbers turns them off on the Prolog page
  // --manual-url URL|none: where the Prolog page links built-in and library
  // predicates (NAME/ARITY is added); empty: no such links.
  std::string manualUrl{prolog_page::kManualUrl};
  bool haveManualUrl = false;
  bool haveOutput = false;  // -o OUT
  std::string output;
  std::vector<std::string> files;  // "-" is standard input
  // A whole tree as a site: -r SRC -d OUT [-j N] [--include GLOB]... [--tags FILE]
  bool site = false;
  std::string siteSource;
  std::string siteOutput;
  unsigned jobs = 0;                 // -j N; 0: one per core
  std::vector<std::string> include;  // --include GLOB, which files are sources
  std::string tags;                  // --tags FILE: a tags file of the site's predicates
  std::string problem;               // what is wrong with the line; empty when nothing
};

// `args` excludes the program name. Everything after "--", "-" itself and
// anything not starting with "-" is a file; the name after -o is taken as it
// is, whatever it looks like.
Options ParseOptions(const std::vector<std::string>& args);

}  // namespace pl2html
