// What the first pass learns of each source, for the links between pages
// and the index: its module and exports, the predicates it defines, and
// the predicates it calls that other files may define, as the meaning
// layer's cross-reference finds them. Predicates are keys "name/arity".
#pragma once

#include <compare>
#include <cstdint>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "meaning/docs.hpp"
#include "meaning/loads.hpp"
#include "prolog_page/page.hpp"
#include "runtime/stream.hpp"

namespace pl2html::site {

struct Definition {
  std::string key;     // name/arity
  std::string anchor;  // its element id in the page
  std::uint64_t line = 0;
  bool exported = false;
  // From its structured comment (UTF-8): the mode lines and the summary;
  // and the head of its first clause.
  meaning::Documentation doc;
  // The module of clauses for another module ("prolog:message/3", a
  // hook's); empty: the file's own predicate.
  std::string module;
};

// A predicate the file calls without defining it: unqualified or
// qualified by a module, perhaps imported from a file of the tree.
struct OutsideCall {
  std::string module;  // a qualified call's module; empty: none
  std::string key;
  std::string from;                // imported from this file of the tree; empty: none
  bool importedElsewhere = false;  // from a file the tree does not hold
  bool operator<(const OutsideCall& o) const {
    return std::tie(module, key, from, importedElsewhere) <
           std::tie(o.module, o.key, o.from, o.importedElsewhere);
  }
  bool operator==(const OutsideCall&) const = default;
};

// A call the cross-referencer records (xref_called/3) of a predicate this
// file defines or imports from a file of the tree (xref_defined/3's local
// and imported): what the callee's "Called by" list shows.
struct CallEdge {
  std::string callee;        // key; "module:name/arity" for clauses for another module
  std::string calleeFile;    // the tree's file it is imported from; empty: this file
  bool directive = false;    // called by a directive, not by a clause
  std::string caller;        // the calling predicate's key; empty for a directive
  std::uint64_t line = 0;    // of the call (of the first, when a clause calls it again)
  std::string callerModule;  // the module of a clause for another module ("prolog:message/3")
  std::string callerFile;    // the tree's file the call is in, when this file includes it
  auto operator<=>(const CallEdge&) const = default;
};

struct FileFacts {
  // Names are in the source's own bytes: UTF-8, or Latin-1 when the source
  // is not valid UTF-8.
  bool utf8 = true;
  bool isModule = false;
  std::string module;
  std::vector<std::string> exports;     // keys, sorted
  std::vector<Definition> definitions;  // in order of their first clause
  // Listed in xref.json only: exported with no clause here (foreign, line
  // 0), or defined only by the clauses of a file this one includes.
  std::vector<Definition> bare;
  // Predicates of other modules the file has clauses for (hooks, as
  // "prolog:message/3"): in order of their first clause. The page gives
  // them no anchor, so they are in xref.json only.
  std::vector<Definition> otherModules;
  std::vector<OutsideCall> outsideCalls;  // sorted
  std::vector<CallEdge> edges;            // sorted
};

// `loader` finds the files the source loads (null: only SWI-Prolog's library).
FileFacts ReadFacts(Source& source, meaning::Loader* loader);
// The facts of a cross-reference made already.
FileFacts FactsOf(const prolog_page::SourceXref& read);
FileFacts ReadFacts(std::string_view bytes, meaning::Loader* loader = nullptr);

// The key of a predicate: "name/arity".
std::string KeyOf(std::string_view name, int arity);
// The key its callers are found by: "module:name/arity" for a predicate
// of another module, else its key.
std::string CalleeKey(const Definition& definition);

}  // namespace pl2html::site
