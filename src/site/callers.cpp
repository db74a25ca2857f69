#include "site/callers.hpp"

#include <algorithm>
#include <tuple>

namespace pl2html::site {

std::string Callers::KeyIn(std::size_t file, std::string_view key) {
  std::string k = std::to_string(file);
  k += '\0';
  k += key;
  return k;
}

Callers::Callers(const std::vector<SourceFile>& files, const std::vector<FileFacts>& facts) {
  std::unordered_map<std::string_view, std::size_t> byPath;
  for (std::size_t i = 0; i < files.size(); ++i)
    byPath.emplace(files[i].relative, i);
  for (std::size_t i = 0; i < facts.size(); ++i) {
    for (const CallEdge& edge : facts[i].edges) {
      std::size_t callee = i;
      if (!edge.calleeFile.empty()) {
        auto found = byPath.find(edge.calleeFile);
        if (found == byPath.end()) continue;
        callee = found->second;
      }
      std::size_t caller = i;
      if (!edge.callerFile.empty()) {
        auto found = byPath.find(edge.callerFile);
        if (found == byPath.end()) continue;
        caller = found->second;
      }
      byCallee_[KeyIn(callee, edge.callee)].push_back({caller, &edge});
    }
  }
  auto place = [](const TreeCaller& c) {
    return std::tie(c.edge->line, c.edge->directive, c.edge->callerModule, c.edge->caller);
  };
  for (auto& [key, callers] : byCallee_) {
    std::sort(callers.begin(), callers.end(), [&](const TreeCaller& a, const TreeCaller& b) {
      if (a.file != b.file) return files[a.file].relative < files[b.file].relative;
      return place(a) < place(b);
    });
    // A clause of an included file is read with it and with each file
    // that includes it: one call, once.
    callers.erase(std::unique(callers.begin(), callers.end(),
                              [&](const TreeCaller& a, const TreeCaller& b) {
                                return a.file == b.file && place(a) == place(b);
                              }),
                  callers.end());
  }
}

const std::vector<TreeCaller>& Callers::Of(std::size_t file, std::string_view key) const {
  static const std::vector<TreeCaller> kNone;
  auto found = byCallee_.find(KeyIn(file, key));
  return found == byCallee_.end() ? kNone : found->second;
}

}  // namespace pl2html::site
