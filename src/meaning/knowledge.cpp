#include "meaning/knowledge.hpp"

#include <algorithm>
#include <string>
#include <tuple>
#include <unordered_map>

namespace pl2html::meaning {

namespace {

// FNV-1a of the name, then the arity: the table answers for every goal
// of every clause, twice, so a lookup costs one short hash.
struct NameArityHash {
  std::size_t operator()(const std::pair<std::string_view, int>& key) const {
    std::uint64_t h = 1469598103934665603ull;
    for (unsigned char c : key.first)
      h = (h ^ c) * 1099511628211ull;
    return static_cast<std::size_t>((h ^ static_cast<std::uint64_t>(key.second)) *
                                    1099511628211ull);
  }
};

}  // namespace

const KnownPredicate* FindKnown(std::string_view name, int arity) {
  static const auto byKey = [] {
    std::unordered_map<std::pair<std::string_view, int>, const KnownPredicate*, NameArityHash> map;
    for (const KnownPredicate& p : swi::Predicates())
      map.emplace(std::pair{p.name, p.arity}, &p);
    return map;
  }();
  auto found = byKey.find({name, arity});
  return found == byKey.end() ? nullptr : found->second;
}

// By path, in a hash table made at first use: the hooks ask for a few
// files by name for every goal.
const KnownFile* FindLibraryFile(std::string_view path) {
  static const std::unordered_map<std::string_view, const KnownFile*> byPath = [] {
    std::unordered_map<std::string_view, const KnownFile*> map;
    for (const KnownFile& file : swi::Library())
      map.emplace(file.path, &file);
    return map;
  }();
  auto found = byPath.find(path);
  return found == byPath.end() ? nullptr : found->second;
}

std::string_view SwiHomeLibraryPath(std::string_view alias, std::string_view path) {
  constexpr std::string_view kLibrary = "library/";
  if (alias != "swi" || !path.starts_with(kLibrary)) return {};
  return path.substr(kLibrary.size());
}

const KnownFile* ResolveAlias(std::string_view alias, std::string_view path) {
  if (std::string_view inLibrary = SwiHomeLibraryPath(alias, path); !inLibrary.empty())
    return FindLibraryFile(inLibrary);
  for (const KnownAlias& entry : swi::Aliases()) {
    if (entry.alias != alias) continue;
    std::string full(entry.folder);
    if (!full.empty()) full += '/';
    full += path;
    if (const KnownFile* file = FindLibraryFile(full)) return file;
  }
  return nullptr;
}

bool IsKnownHook(std::string_view module, std::string_view name, int arity) {
  for (const KnownHook& hook : swi::Hooks()) {
    if (hook.module == module && hook.name == name && hook.arity == arity) return true;
  }
  return false;
}

bool IsSystemModulePredicate(std::string_view module, std::string_view name, int arity) {
  std::span<const KnownHook> all = swi::SystemModulePredicates();
  if (module.empty()) {
    return std::any_of(all.begin(), all.end(),
                       [&](const KnownHook& h) { return h.name == name && h.arity == arity; });
  }
  auto key = std::tuple{module, name, arity};
  auto found = std::lower_bound(all.begin(), all.end(), key, [](const KnownHook& h, auto k) {
    return std::tuple{h.module, h.name, h.arity} < k;
  });
  return found != all.end() && found->module == module && found->name == name &&
         found->arity == arity;
}

}  // namespace pl2html::meaning
