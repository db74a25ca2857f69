#include "site/walk.hpp"

#include <algorithm>
#include <set>

namespace pl2html::site {

namespace {

// Iterative glob match: "*" remembers where it stood and takes one byte
// more each time the rest fails, which keeps the work to length × length.
bool Glob(std::string_view pattern, std::string_view text) {
  std::size_t p = 0, t = 0, star = std::string_view::npos, resume = 0;
  while (t < text.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      resume = t;
    } else if (p < pattern.size() && text[t] != '/' &&
               (pattern[p] == '?' || pattern[p] == text[t])) {
      ++p;
      ++t;
    } else if (p < pattern.size() && pattern[p] == '/' && text[t] == '/') {
      ++p;
      ++t;
    } else if (star != std::string_view::npos && text[resume] != '/') {
      p = star + 1;
      t = ++resume;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*')
    ++p;
  return p == pattern.size();
}

class Walker {
 public:
  Walker(FileSystem& fs, const std::string& root, const std::string& skip,
         const std::vector<std::string>& patterns)
      : fs_(fs), root_(root), patterns_(patterns) {
    rootReal_ = fs.RealPath(root);
    haveSkip_ = fs.Identify(skip, skip_);
    FileIdentity rootIdentity;
    if (fs.Identify(root, rootIdentity)) entered_.insert(rootIdentity);
  }

  Tree Walk() {
    Folder(root_, "");
    return std::move(tree_);
  }

 private:
  void Folder(const std::string& path, const std::string& relative) {
    std::vector<FolderEntry> entries;
    if (!fs_.ListFolder(path, entries)) {
      tree_.problems.push_back({path, "cannot be listed (" + fs_.LastError() + ")"});
      return;
    }
    std::sort(entries.begin(), entries.end(),
              [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
    for (const FolderEntry& entry : entries) {
      std::string entryPath = path + fs_.PathSeparator() + entry.name;
      std::string entryRelative = relative.empty() ? entry.name : relative + '/' + entry.name;
      if (entry.link && !LeadsInside(entryPath)) continue;
      if (entry.kind == PathKind::Directory) {
        FileIdentity identity;
        if (!fs_.Identify(entryPath, identity)) continue;
        if ((haveSkip_ && identity == skip_) || !entered_.insert(identity).second) continue;
        Folder(entryPath, entryRelative);
      } else if (entry.kind == PathKind::File && Wanted(entryRelative)) {
        tree_.files.push_back({entryRelative, fs_.Stat(entryPath).size});
      }
    }
  }

  bool Wanted(std::string_view relative) const {
    return std::any_of(patterns_.begin(), patterns_.end(), [&](const std::string& pattern) {
      return MatchesPattern(pattern, relative);
    });
  }

  // A link is followed only to a place inside the root.
  bool LeadsInside(const std::string& path) const {
    if (rootReal_.empty()) return false;
    std::string real = fs_.RealPath(path);
    if (real.size() < rootReal_.size() || real.compare(0, rootReal_.size(), rootReal_) != 0) {
      return false;
    }
    return real.size() == rootReal_.size() || real[rootReal_.size()] == fs_.PathSeparator() ||
           rootReal_.back() == fs_.PathSeparator();
  }

  FileSystem& fs_;
  const std::string& root_;
  const std::vector<std::string>& patterns_;
  std::string rootReal_;
  FileIdentity skip_;
  bool haveSkip_ = false;
  std::set<FileIdentity> entered_;
  Tree tree_;
};

}  // namespace

bool MatchesPattern(std::string_view pattern, std::string_view relative) {
  if (pattern.find('/') != std::string_view::npos) return Glob(pattern, relative);
  std::size_t slash = relative.rfind('/');
  return Glob(pattern, slash == std::string_view::npos ? relative : relative.substr(slash + 1));
}

Tree WalkTree(FileSystem& fs, const std::string& root, const std::string& skip,
              const std::vector<std::string>& patterns) {
  return Walker(fs, root, skip, patterns).Walk();
}

std::string JoinPath(const FileSystem& fs, const std::string& root, std::string_view relative) {
  std::string path = root;
  if (!path.empty() && path.back() != fs.PathSeparator()) path += fs.PathSeparator();
  for (char c : relative)
    path += c == '/' ? fs.PathSeparator() : c;
  return path;
}

}  // namespace pl2html::site
