// The files a site's sources load, found in the tree as SWI-Prolog would
// find them there: a plain path relative to the loading file, with or
// without ".pl" or ".prolog"; library(a/b) as the tree's a/b.pl, or else
// its one file whose path ends in /a/b.pl. What the tree does not hold
// comes from the tables of SWI-Prolog's library, or stays unknown. A
// library SWI-Prolog has keeps the module header the tables give it (that
// is what SWI-Prolog's cross-referencer reads), and links to the tree's
// page of it.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "meaning/loads.hpp"
#include "runtime/platform.hpp"
#include "site/manifest.hpp"
#include "site/walk.hpp"

namespace pl2html::site {

// The tree's files, for every reader of the site at once: each file's
// module header is read once, whichever thread asks first.
class TreeFiles {
 public:
  TreeFiles(FileSystem& fs, std::string root, const std::vector<SourceFile>& files);

  // The file at a relative path, or -1.
  std::ptrdiff_t Index(std::string_view relative) const;
  // The file a plain path names from the folder `from` ("" the root), or -1.
  std::ptrdiff_t FindRelative(std::string_view from, std::string_view path) const;
  // The file library(path) names in the tree, or -1.
  std::ptrdiff_t FindLibrary(std::string_view path) const;

  const std::string& Relative(std::size_t i) const { return files_[i].relative; }
  // The module header of a file, and a hash of it; null if unreadable.
  // Made once, the first time asked for.
  std::shared_ptr<const meaning::ModuleHeader> Header(std::size_t i);
  // The same, made anew: what a header's own reexports see, so that a
  // loop of them ends the same way whichever file a thread asks first.
  std::shared_ptr<const meaning::ModuleHeader> MakeHeader(std::size_t i);
  std::uint64_t HeaderHash(std::size_t i);
  bool Text(std::size_t i, std::string& text);

 private:
  struct Entry {
    bool read = false;
    std::shared_ptr<const meaning::ModuleHeader> header;
    std::uint64_t hash = 0;
  };
  void Read(std::size_t i);

  FileSystem& fs_;
  std::string root_;
  const std::vector<SourceFile>& files_;
  std::unordered_map<std::string_view, std::size_t> byPath_;  // with and without extension
  std::unordered_map<std::string_view, std::vector<std::size_t>> byStem_;
  std::mutex mutex_;
  std::vector<Entry> entries_;
};

// The loader of one source of the tree. It notes every file of the tree
// whose header or text it gave, and the file each request it was asked for
// named: the source's page depends on them.
class TreeLoader final : public meaning::Loader {
 public:
  // `cached`: headers as TreeFiles keeps them (else made anew).
  TreeLoader(TreeFiles& tree, std::size_t self, bool cached = true);

  bool Find(std::string_view alias, std::string_view path, meaning::LoadedFile& file) override;
  bool Text(const meaning::LoadedFile& file, std::string& text) override;

  // The files whose header, and those whose text, was used: in the order
  // first used, once each.
  const std::vector<std::size_t>& Headers() const { return headers_; }
  const std::vector<std::size_t>& Texts() const { return texts_; }
  // A hash of every request asked for and the tree's file it named, if any:
  // a page links each load to its file's page, and two requests may name the
  // same file until another file takes one of them.
  std::uint64_t Answers() const { return answers_.Value(); }

 private:
  static void Use(std::vector<std::size_t>& list, std::size_t i);

  bool Look(std::string_view alias, std::string_view path, meaning::LoadedFile& file);
  std::shared_ptr<const meaning::ModuleHeader> HeaderOf(std::size_t i);

  TreeFiles& tree_;
  std::string folder_;
  bool cached_;
  meaning::LibraryLoader library_;
  std::vector<std::size_t> headers_, texts_;
  Hash answers_;
};

// `folder`/`path` with "." and ".." taken out; empty when ".." climbs out
// of the tree.
std::string Normalise(std::string_view folder, std::string_view path);

}  // namespace pl2html::site
