// Who calls each predicate of a site: every file's call edges gathered at
// the file that defines the callee, for its page's "Called by" cards, the
// index's counts and xref.json.
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "site/facts.hpp"
#include "site/walk.hpp"

namespace pl2html::site {

struct TreeCaller {
  std::size_t file;  // the calling file
  const CallEdge* edge;
};

class Callers {
 public:
  // `files` and `facts` run in parallel, and outlive this.
  Callers(const std::vector<SourceFile>& files, const std::vector<FileFacts>& facts);

  // The callers of the predicate `key` that file `file` defines: by the
  // calling file's path, then line; each edge once.
  const std::vector<TreeCaller>& Of(std::size_t file, std::string_view key) const;

 private:
  static std::string KeyIn(std::size_t file, std::string_view key);
  std::unordered_map<std::string, std::vector<TreeCaller>> byCallee_;
};

}  // namespace pl2html::site
