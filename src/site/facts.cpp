#include "site/facts.hpp"

#include <algorithm>
#include <tuple>

#include "meaning/knowledge.hpp"
#include "meaning/xref.hpp"
#include "prolog_page/marks.hpp"
#include "prolog_page/page.hpp"

namespace pl2html::site {

namespace {

// A call SWI-Prolog answers with a built-in: no file of the tree defines it.
bool BuiltIn(const meaning::PredicateKey& key) {
  const meaning::KnownPredicate* known = meaning::FindKnown(key.name, key.arity);
  return key.module.empty() && known != nullptr &&
         (known->flags & meaning::KnownPredicate::kBuiltIn) != 0;
}

// The calls of a predicate defined here or imported from the tree, by
// clauses and directives.
template <class Bytes>
void AddEdges(const meaning::Xref& xref, const meaning::PredicateKey& key,
              const meaning::PredicateFacts& predicate, bool local, const Bytes& bytes,
              std::vector<CallEdge>& edges) {
  if (predicate.callers.empty()) return;
  std::string calleeFile;
  if (!local) {
    // Qualified or not: a qualified call b:q of a module the file loads
    // whole is of b's q, which the cross-referencer counts as imported.
    if (predicate.importedFrom < 0) return;
    calleeFile = xref.Loaded()[static_cast<std::size_t>(predicate.importedFrom)].path;
    if (calleeFile.empty()) return;  // SWI-Prolog's library, not in the tree
  }
  std::string callee = KeyOf(bytes(key.name), key.arity);
  if (local && !key.module.empty()) callee = bytes(key.module) + ":" + callee;
  for (const meaning::Caller& caller : predicate.callers) {
    CallEdge edge{callee, calleeFile, false, {}, caller.CallLine(), {}, {}};
    if (caller.kind == meaning::Caller::Kind::kDirective) {
      edge.directive = true;
    } else if (caller.kind == meaning::Caller::Kind::kClause) {
      // A clause for another module, as a hook's: its module goes along.
      edge.caller = KeyOf(bytes(caller.predicate.name), caller.predicate.arity);
      edge.callerModule = bytes(caller.predicate.module);
    } else {
      continue;  // the cross-referencer's own origins
    }
    if (caller.includedFrom >= 0) {
      // Its line is on the page of the file included.
      edge.callerFile = xref.Loaded()[static_cast<std::size_t>(caller.includedFrom)].path;
      if (edge.callerFile.empty()) continue;  // not in the tree
    }
    edges.push_back(std::move(edge));
  }
}

}  // namespace

std::string CalleeKey(const Definition& definition) {
  return definition.module.empty() ? definition.key : definition.module + ":" + definition.key;
}

std::string KeyOf(std::string_view name, int arity) {
  std::string key(name);
  key += '/';
  key += std::to_string(arity);
  return key;
}

FileFacts ReadFacts(Source& source, meaning::Loader* loader) {
  return FactsOf(prolog_page::CrossReference(source, loader));
}

FileFacts FactsOf(const prolog_page::SourceXref& read) {
  const meaning::Xref& xref = *read.xref;
  auto bytes = [&](std::string_view name) { return prolog_page::PageBytes(name, read.charset); };
  FileFacts facts;
  facts.utf8 = read.charset == prolog_page::Charset::kUtf8;
  facts.isModule = xref.IsModule();
  facts.module = bytes(xref.Module());
  for (const auto& [key, predicate] : xref.Predicates()) {
    const std::string name = bytes(key.name);
    if (key.module.empty() && predicate.localLine != 0) {
      Definition definition{KeyOf(name, key.arity),
                            {},
                            predicate.localLine,
                            predicate.exported,
                            meaning::DocumentationOf(xref, key.name, key.arity),
                            {}};
      prolog_page::AppendAnchor(definition.anchor, name, key.arity);
      // The clauses of an included file are on that file's page, not on
      // this one, and a directive's made predicates (record/1's) have no
      // head on it: no link or index entry may lead here for them.
      if (predicate.ownLine == 0 || predicate.head.empty()) {
        facts.bare.push_back(std::move(definition));
      } else {
        definition.line = predicate.ownLine;
        facts.definitions.push_back(std::move(definition));
      }
    }
    if (key.module.empty() && predicate.exported) {
      facts.exports.push_back(KeyOf(name, key.arity));
      if (predicate.localLine == 0) {
        facts.bare.push_back({KeyOf(name, key.arity),
                              {},
                              0,
                              true,
                              meaning::DocumentationOf(xref, key.name, key.arity),
                              {}});
      }
    }
    if (!key.module.empty() && predicate.localLine != 0) {
      // Clauses for another module (a hook's): their callers are edges of
      // the file, as the cross-referencer's local definition.
      facts.otherModules.push_back({KeyOf(name, key.arity),
                                    {},
                                    predicate.localLine,
                                    false,
                                    meaning::DocumentationOf(xref, key),
                                    bytes(key.module)});
    }
    AddEdges(xref, key, predicate, predicate.localLine != 0, bytes, facts.edges);
    const bool local = key.module.empty() && predicate.localLine != 0;
    if (!predicate.called || local || BuiltIn(key)) continue;
    OutsideCall call{bytes(key.module), KeyOf(name, key.arity), {}, false};
    if (predicate.importedFrom >= 0) {
      const meaning::LoadedFile& from =
          xref.Loaded()[static_cast<std::size_t>(predicate.importedFrom)];
      call.from = from.path;
      call.importedElsewhere = from.path.empty();
    }
    facts.outsideCalls.push_back(std::move(call));
  }
  std::sort(facts.definitions.begin(), facts.definitions.end(),
            [](const Definition& a, const Definition& b) {
              return a.line != b.line ? a.line < b.line : a.key < b.key;
            });
  std::sort(facts.otherModules.begin(), facts.otherModules.end(),
            [](const Definition& a, const Definition& b) {
              return std::tie(a.line, a.module, a.key) < std::tie(b.line, b.module, b.key);
            });
  std::sort(facts.exports.begin(), facts.exports.end());
  std::sort(facts.bare.begin(), facts.bare.end(),
            [](const Definition& a, const Definition& b) { return a.key < b.key; });
  std::sort(facts.outsideCalls.begin(), facts.outsideCalls.end());
  std::sort(facts.edges.begin(), facts.edges.end());
  return facts;
}

FileFacts ReadFacts(std::string_view bytes, meaning::Loader* loader) {
  StringSource source(bytes);
  return ReadFacts(source, loader);
}

}  // namespace pl2html::site
