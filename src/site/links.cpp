#include "site/links.hpp"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

#include "runtime/files.hpp"
#include "runtime/text.hpp"

namespace pl2html::site {

namespace {

class Resolver {
 public:
  Resolver(const std::vector<SourceFile>& files, const std::vector<FileFacts>& facts)
      : files_(files), facts_(facts) {
    for (std::size_t i = 0; i < files.size(); ++i) {
      byPath_.try_emplace(files[i].relative, i);
      if (facts[i].isModule) byModule_[facts[i].module].push_back(i);
      for (const Definition& definition : facts[i].definitions) {
        definers_[definition.key].push_back(i);
        if (!facts[i].isModule) visible_[definition.key].push_back(i);
      }
      // A module's exports are seen by all, defined in its source or not
      // (foreign code): one the tree cannot show still makes a call ambiguous.
      for (const std::string& key : facts[i].exports)
        visible_[key].push_back(i);
    }
  }

  LinkMap LinksOf(std::size_t file) const {
    LinkMap links;
    for (const OutsideCall& call : facts_[file].outsideCalls) {
      std::ptrdiff_t target = Target(call);
      if (target < 0) continue;
      auto t = static_cast<std::size_t>(target);
      const Definition* definition = DefinitionIn(t, call.key);
      links.push_back(
          {CallKey(call),
           PageHref(files_[file].relative, files_[t].relative) + '#' + definition->anchor,
           definition->doc.Text()});
    }
    std::sort(links.begin(), links.end(),
              [](const Link& a, const Link& b) { return a.key < b.key; });
    return links;
  }

 private:
  // The one file that defines what the call reaches, or -1.
  std::ptrdiff_t Target(const OutsideCall& call) const {
    if (call.importedElsewhere) return -1;  // SWI-Prolog's library answers it
    if (!call.from.empty()) {
      auto from = byPath_.find(call.from);
      if (from != byPath_.end() && Defines(from->second, call.key))
        return static_cast<std::ptrdiff_t>(from->second);
      // Reexported: the one file of the tree that offers it.
    } else if (!call.module.empty()) {
      std::ptrdiff_t found = -1;
      for (std::size_t i : Of(byModule_, call.module)) {
        if (!Defines(i, call.key)) continue;
        if (found >= 0) return -1;
        found = static_cast<std::ptrdiff_t>(i);
      }
      return found;
    }
    const std::vector<std::size_t>& visible = Of(visible_, call.key);
    if (visible.size() != 1 || !Defines(visible[0], call.key)) return -1;
    return static_cast<std::ptrdiff_t>(visible[0]);
  }

  bool Defines(std::size_t file, const std::string& key) const {
    const std::vector<std::size_t>& definers = Of(definers_, key);
    return std::find(definers.begin(), definers.end(), file) != definers.end();
  }

  // Target() found it defined there.
  const Definition* DefinitionIn(std::size_t file, const std::string& key) const {
    for (const Definition& definition : facts_[file].definitions) {
      if (definition.key == key) return &definition;
    }
    return nullptr;
  }

  template <class Map>
  static const std::vector<std::size_t>& Of(const Map& map, const std::string& key) {
    static const std::vector<std::size_t> kNone;
    auto found = map.find(key);
    return found == map.end() ? kNone : found->second;
  }

  const std::vector<SourceFile>& files_;
  const std::vector<FileFacts>& facts_;
  std::unordered_map<std::string, std::size_t> byPath_;
  std::unordered_map<std::string, std::vector<std::size_t>> byModule_;
  std::unordered_map<std::string, std::vector<std::size_t>> definers_;
  std::unordered_map<std::string, std::vector<std::size_t>> visible_;
};

}  // namespace

std::string CallKey(const OutsideCall& call) {
  std::string key = call.module;
  key += '\0';
  key += call.key;
  key += '\0';
  key += call.importedElsewhere ? std::string_view("\1") : std::string_view(call.from);
  return key;
}

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
