#include "site/tree_loader.hpp"

#include <algorithm>

#include "meaning/knowledge.hpp"
#include "prolog_page/charset.hpp"
#include "runtime/files.hpp"
#include "site/manifest.hpp"

namespace pl2html::site {

namespace {

std::string_view WithoutExtension(std::string_view relative) {
  std::size_t dot = relative.rfind('.');
  std::size_t slash = relative.rfind('/');
  if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash))
    return relative;
  return relative.substr(0, dot);
}

std::string_view StemOf(std::string_view relative) {
  std::string_view stem = WithoutExtension(relative);
  std::size_t slash = stem.rfind('/');
  return slash == std::string_view::npos ? stem : stem.substr(slash + 1);
}

std::uint64_t HashOf(const meaning::ModuleHeader& header) {
  Hash hash;
  hash.Add(header.module).Add(header.loadsHtmlWrite ? 1 : 0);
  for (const auto* list : {&header.exports, &header.publics}) {
    hash.Add(list->size());
    for (const meaning::ExportEntry& e : *list)
      hash.Add(e.name).Add(static_cast<std::uint64_t>(e.arity)).Add(e.op);
  }
  for (const meaning::ModuleHeader::Meta& m : header.metas)
    hash.Add(m.name).Add(static_cast<std::uint64_t>(m.arity)).Add(m.request);
  return hash.Value();
}

}  // namespace

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

TreeFiles::TreeFiles(FileSystem& fs, std::string root, const std::vector<SourceFile>& files)
    : fs_(fs), root_(std::move(root)), files_(files), entries_(files.size()) {
  for (std::size_t i = 0; i < files.size(); ++i) {
    std::string_view relative = files[i].relative;
    byPath_.try_emplace(relative, i);
    byStem_[StemOf(relative)].push_back(i);
  }
}

std::ptrdiff_t TreeFiles::Index(std::string_view relative) const {
  auto found = byPath_.find(relative);
  return found == byPath_.end() ? -1 : static_cast<std::ptrdiff_t>(found->second);
}

// absolute_file_name/3 with file_type(prolog): ".pl" or ".prolog" added,
// or the name as it is when it has one of them.
std::ptrdiff_t TreeFiles::FindRelative(std::string_view from, std::string_view path) const {
  if (path.empty() || path.front() == '/') return -1;
  std::string base = Normalise(from, path);
  if (base.empty()) return -1;
  for (std::string_view extension : {".pl", ".prolog"}) {
    std::ptrdiff_t found = Index(base + std::string(extension));
    if (found >= 0) return found;
  }
  return base.ends_with(".pl") || base.ends_with(".prolog") ? Index(base) : -1;
}

std::ptrdiff_t TreeFiles::FindLibrary(std::string_view path) const {
  std::string base = Normalise({}, path);
  if (base.empty()) return -1;
  if (std::ptrdiff_t exact = Index(base + ".pl"); exact >= 0) return exact;
  auto sameName = byStem_.find(StemOf(base));
  if (sameName == byStem_.end()) return -1;
  std::ptrdiff_t match = -1;
  for (std::size_t candidate : sameName->second) {
    std::string_view relative = files_[candidate].relative;
    if (!relative.ends_with(".pl")) continue;
    std::string_view stem = WithoutExtension(relative);
    if (stem.size() > base.size() && stem.ends_with(base) &&
        stem[stem.size() - base.size() - 1] == '/') {
      if (match >= 0) return -1;  // two of them: neither is the one
      match = static_cast<std::ptrdiff_t>(candidate);
    }
  }
  return match;
}

bool TreeFiles::Text(std::size_t i, std::string& text) {
  std::string error;
  return ReadWholeFile(fs_, JoinPath(fs_, root_, files_[i].relative), text, error);
}

std::shared_ptr<const meaning::ModuleHeader> TreeFiles::MakeHeader(std::size_t i) {
  std::string text;
  if (!Text(i, text)) return nullptr;
  TreeLoader nested(*this, i, false);
  return meaning::ReadHeader(
      text, prolog_page::IsValidUtf8(text) ? prolog::Encoding::kUtf8 : prolog::Encoding::kLatin1,
      &nested);
}

void TreeFiles::Read(std::size_t i) {
  {
    std::lock_guard lock(mutex_);
    if (entries_[i].read) return;
  }
  // Made outside the lock: a header that reexports a file reads that one's.
  Entry entry;
  entry.read = true;
  entry.header = MakeHeader(i);
  if (entry.header) entry.hash = HashOf(*entry.header);
  std::lock_guard lock(mutex_);
  if (!entries_[i].read) entries_[i] = std::move(entry);
}

std::shared_ptr<const meaning::ModuleHeader> TreeFiles::Header(std::size_t i) {
  Read(i);
  std::lock_guard lock(mutex_);
  return entries_[i].header;
}

std::uint64_t TreeFiles::HeaderHash(std::size_t i) {
  Read(i);
  std::lock_guard lock(mutex_);
  return entries_[i].hash;
}

TreeLoader::TreeLoader(TreeFiles& tree, std::size_t self, bool cached)
    : tree_(tree), folder_(FolderOf(tree.Relative(self), '/')), cached_(cached) {}

std::shared_ptr<const meaning::ModuleHeader> TreeLoader::HeaderOf(std::size_t i) {
  return cached_ ? tree_.Header(i) : tree_.MakeHeader(i);
}

void TreeLoader::Use(std::vector<std::size_t>& list, std::size_t i) {
  if (std::find(list.begin(), list.end(), i) == list.end()) list.push_back(i);
}

bool TreeLoader::Find(std::string_view alias, std::string_view path, meaning::LoadedFile& file) {
  const bool found = Look(alias, path, file);
  answers_.Add(alias).Add(path).Add(found ? 1 : 0).Add(found ? file.path : std::string());
  return found;
}

bool TreeLoader::Look(std::string_view alias, std::string_view path, meaning::LoadedFile& file) {
  if (alias.empty()) {
    std::ptrdiff_t found = tree_.FindRelative(folder_, path);
    if (found < 0) return false;
    auto i = static_cast<std::size_t>(found);
    Use(headers_, i);
    file.path = tree_.Relative(i);
    std::string_view name = FilePartOf(file.path, '/');
    file.title = std::string(name.substr(0, name.rfind('.')));
    file.library.clear();
    file.header = HeaderOf(i);
    return true;
  }
  const bool known = library_.Find(alias, path, file);
  // Another alias SWI-Prolog's library defines, as pldoc(doc_html) for
  // library(pldoc/doc_html): the file of the tree under that folder.
  std::string libraryPath(path);
  if (std::string_view inLibrary = meaning::SwiHomeLibraryPath(alias, path); !inLibrary.empty()) {
    libraryPath = inLibrary;  // swi(library/lists)
  } else if (alias != "library") {
    auto aliases = meaning::swi::Aliases();
    auto named = std::find_if(aliases.begin(), aliases.end(), [&](const meaning::KnownAlias& a) {
      return a.alias == alias && !a.folder.empty();
    });
    if (named == aliases.end()) return known;
    libraryPath = std::string(named->folder) + "/" + libraryPath;
  }
  std::ptrdiff_t found = tree_.FindLibrary(libraryPath);
  if (found < 0) return known;
  auto i = static_cast<std::size_t>(found);
  file.path = tree_.Relative(i);
  if (!known) {
    // A library of the tree's own: its header is the file's.
    Use(headers_, i);
    file.title = std::string(WithoutExtension(file.path));
    file.library.clear();
    file.header = HeaderOf(i);
  }
  return true;
}

bool TreeLoader::Text(const meaning::LoadedFile& file, std::string& text) {
  std::ptrdiff_t found = tree_.Index(file.path);
  if (found < 0) return false;
  Use(texts_, static_cast<std::size_t>(found));
  return tree_.Text(static_cast<std::size_t>(found), text);
}

}  // namespace pl2html::site
