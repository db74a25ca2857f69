// What one file defines, imports, exports and calls, learnt from its
// clauses as SWI-Prolog's cross-referencer learns it (xref_source/2): the
// facts the source view classes every goal and head by. The file is read
// whole first, then asked.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "meaning/loads.hpp"
#include "prolog/operators.hpp"
#include "prolog/terms.hpp"

namespace pl2html::meaning {

class DocReader;

// A predicate as the cross-referencer keys it: name/arity, qualified by a
// module when the file names one ("lists:append/3"), unqualified otherwise.
struct PredicateKey {
  std::string module;  // empty: unqualified
  std::string name;
  int arity = 0;
  bool operator==(const PredicateKey&) const = default;
};

struct PredicateKeyHash {
  std::size_t operator()(const PredicateKey& k) const;
};

// A caller of a predicate: a clause of another predicate, a directive, or
// one of the cross-referencer's own origins ('<public>', '<test_unit>').
struct Caller {
  enum class Kind : std::uint8_t { kClause, kDirective, kPublic, kTestUnit, kUnknown };
  Kind kind = Kind::kClause;
  PredicateKey predicate;  // kClause: the calling predicate
  std::uint64_t line = 0;  // of the call's clause or directive
  // The line of its first call of the predicate there, where the call is
  // in the file's own text; 0: not known (a call made by an expansion, or
  // in an included file).
  std::uint64_t callLine = 0;
  std::uint64_t CallLine() const { return callLine != 0 ? callLine : line; }
  // The file its clause or directive is in, when this one includes it: an
  // index into Xref::Loaded(); -1: this file. Its lines are that file's.
  int includedFrom = -1;
};
bool SameCaller(const Caller& a, const Caller& b);

// What xref_defined/3 and friends answer for one predicate. A line is
// that of the clause or declaration, from 1; 0: not so.
struct PredicateFacts {
  std::uint64_t dynamicLine = 0;
  std::uint64_t threadLocalLine = 0;
  std::uint64_t multifileLine = 0;
  std::uint64_t publicLine = 0;
  std::uint64_t localLine = 0;  // its first clause
  std::uint64_t ownLine = 0;    // its first clause in this file's own text (not an included one's)
  std::string head;             // that clause's head, as written back (cut short when long)
  std::uint64_t foreignLine = 0;
  std::uint64_t constraintLine = 0;
  int importedFrom = -1;     // the first file it is imported from: an index into Xref::Loaded()
  std::vector<int> imports;  // every file it is imported from, in order
  bool exported = false;
  bool called = false;          // some caller other than the predicate itself
  bool calledBySelf = false;    // only its own clauses call it
  std::vector<Caller> callers;  // every distinct caller, in the order first seen
};

// How a meta-predicate's arguments are read: one character an argument,
// as KnownPredicate::meta.
using MetaSpec = std::string;

class Xref {
 public:
  explicit Xref(Loader* loader);
  ~Xref();

  // Reads a whole source; `text` is its bytes as the page reads them.
  void ReadSource(std::string_view text, prolog::Encoding encoding);
  // The same, fed the source's tokens in order (every token, each with
  // its offset from the source's start), between Begin and Finish.
  void Begin(prolog::Encoding encoding);
  void Push(prolog::TokenClass cls, std::string_view text, std::uint64_t offset);
  void Finish();

  bool IsModule() const { return !module_.empty(); }
  const std::string& Module() const { return module_; }
  // The facts of a predicate, or nullptr when the file says nothing of it.
  const PredicateFacts* Find(const PredicateKey& key) const;
  const PredicateFacts* Find(std::string_view name, int arity) const;
  // A meta-predicate's arguments: the file's declarations and those of
  // the files it imports, then SWI-Prolog's own knowledge. Empty: none.
  std::string_view MetaOf(std::string_view name, int arity) const;
  const std::vector<LoadedFile>& Loaded() const { return loaded_; }
  // The library files SWI-Prolog had loaded when it was done reading the
  // file: those a fresh process has, and those reading the file made it
  // load (by autoloading a predicate to ask for its meta-arguments, for a
  // quasi-quotation syntax, or as the cross-referencer loads a few).
  // Their hooks take part in the cross-referencing and the colouring.
  bool LibraryLoaded(std::string_view libraryPath) const;
  bool HtmlWriteLoaded() const { return LibraryLoaded("http/html_write"); }
  // A goal's html_meta/1 declaration in a loaded file ("h" an HTML
  // argument), once html_write reads them. Empty: none.
  std::string_view HtmlMetaOf(std::string_view name, int arity) const;
  // The meta-arguments a loaded library's prolog:meta_goal/2 gives a goal.
  std::string_view HookMetaOf(std::string_view name, int arity) const;
  // The file a load directive's request names ("library(lists)"), if loaded.
  const LoadedFile* LoadedBySpec(std::string_view request) const;
  int LoadedIndex(std::string_view request) const;
  const std::unordered_map<PredicateKey, PredicateFacts, PredicateKeyHash>& Predicates() const {
    return facts_;
  }
  // The documentation of the file's predicates, from its structured
  // comments: read by Begin, Push and Finish (null after ReadSource).
  const DocReader* Docs() const { return docs_.get(); }

 private:
  class Reading;
  friend class Reading;
  struct Stream;
  std::unique_ptr<Stream> stream_;
  std::unique_ptr<DocReader> docs_;
  PredicateFacts& Facts(const PredicateKey& key) { return facts_[key]; }
  int Load(const LoadedFile& file, bool mentionedOnly = false);
  // A file a load directive names that brings nothing (not a module, or
  // consulted): known only for the link to it.
  void Mention(const LoadedFile& file);

  Loader* loader_;
  std::string module_;
  std::unordered_map<PredicateKey, PredicateFacts, PredicateKeyHash> facts_;
  // Every (callee, caller) recorded, to keep each predicate's callers distinct.
  struct CallerEdge {
    const PredicateFacts* callee;
    Caller caller;
    bool operator==(const CallerEdge& o) const {
      return callee == o.callee && SameCaller(caller, o.caller);
    }
  };
  struct CallerEdgeHash {
    std::size_t operator()(const CallerEdge& e) const;
  };
  std::unordered_set<CallerEdge, CallerEdgeHash> callerEdges_;
  std::unordered_map<PredicateKey, MetaSpec, PredicateKeyHash> metas_;
  std::vector<LoadedFile> loaded_;
  std::unordered_map<std::string, int> requests_;  // a load directive's request: its file
  void LoadLibrary(int index);
  void LoadLibrary(std::string_view libraryPath);
  std::vector<char> libraries_;  // by index into swi::Library(): loaded
  // The loaded libraries that declare html_meta/1, in index order: the
  // only ones HtmlMetaOf asks.
  std::vector<std::size_t> htmlMetaLibraries_;
};

}  // namespace pl2html::meaning
