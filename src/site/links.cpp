#include "site/links.hpp"

#include <algorithm>
#include <set>
#include <unordered_map>
#include <unordered_set>

#include "runtime/files.hpp"
#include "runtime/text.hpp"

namespace pl2html::site {

namespace {

// Re-exports are followed this deep, which ends any loop among them.
constexpr int kReexportDepth = 8;

std::string_view WithoutExtension(std::string_view relative) {
  std::size_t dot = relative.rfind('.');
  std::size_t slash = relative.rfind('/');
  if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash))
    return relative;
  return relative.substr(0, dot);
}

// `folder`/`path` with "." and ".." taken out; empty when ".." climbs out of the tree.
std::string Normalise(std::string_view folder, std::string_view path) {
  std::vector<std::string_view> parts;
  std::string joined =
      folder.empty() ? std::string(path) : std::string(folder) + '/' + std::string(path);
  std::string_view rest = joined;
  while (!rest.empty()) {
    std::size_t slash = rest.find('/');
    std::string_view part = rest.substr(0, slash);
    rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (parts.empty()) return {};
      parts.pop_back();
    } else {
      parts.push_back(part);
    }
  }
  std::string result;
  for (std::string_view part : parts) {
    if (!result.empty()) result += '/';
    result += part;
  }
  return result;
}

class Resolver {
 public:
  Resolver(const std::vector<SourceFile>& files, const std::vector<FileFacts>& facts)
      : files_(files), facts_(facts) {
    for (std::size_t i = 0; i < files.size(); ++i) {
      std::string_view relative = files[i].relative;
      byPath_.try_emplace(std::string(relative), i);
      byPath_.try_emplace(std::string(WithoutExtension(relative)), i);
      std::string_view stem = WithoutExtension(relative);
      std::size_t slash = stem.rfind('/');
      byStem_[std::string(slash == std::string_view::npos ? stem : stem.substr(slash + 1))]
          .push_back(i);
      for (const Definition& definition : facts[i].definitions) {
        definers_[definition.key].push_back(i);
        if (!facts[i].isModule) visible_[definition.key].push_back(i);
      }
      // A module's exports are seen by all, defined in its source or not
      // (foreign code): one the tree cannot show still makes a call ambiguous.
      for (const std::string& key : facts[i].exports)
        visible_[key].push_back(i);
    }
    // Each load is found once, not once for every call it may answer.
    loaded_.resize(files.size());
    for (std::size_t i = 0; i < files.size(); ++i) {
      for (const Load& load : facts[i].loads)
        loaded_[i].push_back(Find(i, load));
    }
  }

  LinkMap LinksOf(std::size_t file) {
    LinkMap links;
    for (const std::string& key : facts_[file].outsideCalls) {
      std::set<std::size_t> found;
      for (std::size_t k = 0; k < facts_[file].loads.size(); ++k)
        Offered(loaded_[file][k], facts_[file].loads[k], key, 0, found);
      if (found.empty()) {
        auto visible = visible_.find(key);
        if (visible != visible_.end() && visible->second.size() == 1)
          found.insert(visible->second[0]);
      }
      if (found.size() != 1 || !Defines(*found.begin(), key)) continue;
      std::size_t target = *found.begin();
      links.emplace_back(key, PageHref(files_[file].relative, files_[target].relative) + '#' +
                                  AnchorIn(target, key));
    }
    return links;
  }

 private:
  bool Defines(std::size_t file, const std::string& key) const {
    const std::vector<std::size_t>* definers = Find(definers_, key);
    return definers != nullptr &&
           std::find(definers->begin(), definers->end(), file) != definers->end();
  }

  // The file a load names, or -1 when it is not in the tree.
  std::ptrdiff_t Find(std::size_t from, const Load& load) const {
    if (!load.library) {
      auto found = byPath_.find(Normalise(FolderOf(files_[from].relative, '/'), load.path));
      return found == byPath_.end() ? -1 : static_cast<std::ptrdiff_t>(found->second);
    }
    // library(a/b): the file a/b.pl, else the one file whose path ends in /a/b.
    auto exact = byPath_.find(load.path);
    if (exact != byPath_.end()) return static_cast<std::ptrdiff_t>(exact->second);
    std::string_view stem = load.path;
    std::size_t slash = stem.rfind('/');
    const std::vector<std::size_t>* sameName =
        Find(byStem_, std::string(slash == std::string_view::npos ? stem : stem.substr(slash + 1)));
    if (sameName == nullptr) return -1;
    std::ptrdiff_t match = -1;
    for (std::size_t candidate : *sameName) {
      std::string_view path = WithoutExtension(files_[candidate].relative);
      if (path.size() > load.path.size() && path.ends_with(load.path) &&
          path[path.size() - load.path.size() - 1] == '/') {
        if (match >= 0 &&
            files_[static_cast<std::size_t>(match)].relative != files_[candidate].relative)
          return -1;
        match = static_cast<std::ptrdiff_t>(candidate);
      }
    }
    return match;
  }

  // The files that `loaded` offers for `key` through `load`.
  void Offered(std::ptrdiff_t loaded, const Load& load, const std::string& key, int depth,
               std::set<std::size_t>& found) const {
    if (loaded < 0 || depth > kReexportDepth) return;
    if (load.restricted && std::find(load.names.begin(), load.names.end(), key) == load.names.end())
      return;
    auto file = static_cast<std::size_t>(loaded);
    const FileFacts& facts = facts_[file];
    if (!facts.isModule) {
      if (Defines(file, key)) found.insert(file);
      return;
    }
    if (!std::binary_search(facts.exports.begin(), facts.exports.end(), key)) {
      // reexport/1 passes on all that the other file exports.
      for (std::size_t k = 0; k < facts.loads.size(); ++k) {
        if (facts.loads[k].reexport && !facts.loads[k].restricted)
          Offered(loaded_[file][k], facts.loads[k], key, depth + 1, found);
      }
      return;
    }
    if (Defines(file, key)) {
      found.insert(file);
      return;
    }
    std::size_t before = found.size();
    for (std::size_t k = 0; k < facts.loads.size(); ++k) {
      if (facts.loads[k].reexport) Offered(loaded_[file][k], facts.loads[k], key, depth + 1, found);
    }
    // Exported but defined where the tree cannot see it (foreign code, term
    // expansion): the call is answered all the same, and stays unlinked.
    if (found.size() == before) found.insert(file);
  }

  std::string AnchorIn(std::size_t file, const std::string& key) const {
    for (const Definition& definition : facts_[file].definitions) {
      if (definition.key == key) return definition.anchor;
    }
    return {};
  }

  template <class Map>
  static const std::vector<std::size_t>* Find(const Map& map, const std::string& key) {
    auto found = map.find(key);
    return found == map.end() ? nullptr : &found->second;
  }

  const std::vector<SourceFile>& files_;
  const std::vector<FileFacts>& facts_;
  std::unordered_map<std::string, std::size_t> byPath_;  // with and without extension
  std::unordered_map<std::string, std::vector<std::size_t>> byStem_;
  std::unordered_map<std::string, std::vector<std::size_t>> definers_;
  std::unordered_map<std::string, std::vector<std::size_t>> visible_;
  std::vector<std::vector<std::ptrdiff_t>> loaded_;  // per file, the file of each load
};

}  // namespace

std::vector<LinkMap> ResolveLinks(const std::vector<SourceFile>& files,
                                  const std::vector<FileFacts>& facts) {
  Resolver resolver(files, facts);
  std::vector<LinkMap> links(files.size());
  for (std::size_t i = 0; i < files.size(); ++i)
    links[i] = resolver.LinksOf(i);
  return links;
}

std::string UrlPath(std::string_view path) {
  std::string url;
  for (char ch : path) {
    auto c = static_cast<unsigned char>(ch);
    bool plain = (c >= '0' && c <= '9') || ((c | 0x20) >= 'a' && (c | 0x20) <= 'z') ||
                 std::string_view("-._~/!$()*+,;=:@").find(ch) != std::string_view::npos;
    if (plain) {
      url += ch;
    } else {
      url += '%';
      url += kHexDigits[c >> 4];
      url += kHexDigits[c & 0xF];
    }
  }
  return url;
}

std::string SiteHref(std::string_view from, std::string_view target) {
  std::string href;
  for (char c : FolderOf(from, '/')) {
    if (c == '/') href += "../";
  }
  if (!FolderOf(from, '/').empty()) href += "../";
  // A first segment with ":" would read as a scheme: "./" keeps it a path.
  std::string url = UrlPath(target);
  if (href.empty() && url.find(':') < url.find('/')) href = "./";
  return href + url;
}

std::string PageHref(std::string_view from, std::string_view to) {
  return SiteHref(from, std::string(to) + ".html");
}

}  // namespace pl2html::site
