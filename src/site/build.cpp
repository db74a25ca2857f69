#include "site/build.hpp"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <exception>
#include <map>
#include <mutex>
#include <new>
#include <optional>
#include <set>
#include <thread>

#include "prolog_page/charset.hpp"
#include "prolog_page/page.hpp"
#include "runtime/files.hpp"
#include "runtime/outcome.hpp"
#include "runtime/page_output.hpp"
#include "runtime/text.hpp"
#include "site/callers.hpp"
#include "site/facts.hpp"
#include "site/index_page.hpp"
#include "site/links.hpp"
#include "site/manifest.hpp"
#include "site/search.hpp"
#include "site/tags.hpp"
#include "site/tree_loader.hpp"
#include "site/xref_json.hpp"

namespace pl2html::site {

namespace {

// The cross-references the first pass keeps for the second, in bytes of
// their sources: about 2.5 times that in memory.
constexpr std::uint64_t kKeptXrefSources = std::uint64_t{64} << 20;

// Runs work(i) for every i below count on `jobs` threads, this one included.
template <class Work>
void ParallelFor(unsigned jobs, std::size_t count, Work&& work) {
  std::atomic<std::size_t> next{0};
  auto worker = [&] {
    for (std::size_t i; (i = next.fetch_add(1)) < count;)
      work(i);
  };
  std::vector<std::thread> threads;
  for (unsigned t = 1; t < std::min<std::size_t>(jobs, count); ++t)
    threads.emplace_back(worker);
  worker();
  for (std::thread& thread : threads)
    thread.join();
}

// Writes a file through the page output, so that it takes the place of an
// earlier one only once complete. `write` fills the sink. Empty on
// success, else what went wrong.
template <class Write>
std::string WriteSiteFile(FileSystem& fs, const std::string& path, Write&& write) {
  FileTable files(fs);
  PageOutput page(files, kPageFile);
  Outcome ready = page.Open({path, false});
  if (!ready.Ok()) return Describe(ready);
  PageFileSink sink(files, kPageFile);
  write(sink);
  sink.Drain();
  Outcome done = page.Commit();
  return done.Ok() ? std::string() : Describe(done);
}

std::string WriteBytes(FileSystem& fs, const std::string& path, std::string_view bytes) {
  return WriteSiteFile(fs, path, [&](Sink& sink) { sink.text.assign(bytes); });
}

// A file name as a page's title: bytes that are not UTF-8 shown as \xNN.
std::string TitleOf(std::string_view relative) {
  std::size_t slash = relative.rfind('/');
  std::string_view name = slash == std::string_view::npos ? relative : relative.substr(slash + 1);
  if (prolog_page::IsValidUtf8(name)) return std::string(name);
  std::string title;
  for (char c : name) {
    if (static_cast<unsigned char>(c) < 0x80) {
      title += c;
    } else {
      AppendHexByte(title, static_cast<unsigned char>(c));
    }
  }
  return title;
}

bool Inside(const std::string& path, const std::string& folder, char separator) {
  return !folder.empty() && path.size() > folder.size() &&
         path.compare(0, folder.size(), folder) == 0 &&
         (path[folder.size()] == separator || folder.back() == separator);
}

// The link of a page's goal whose definition is on another page, if any.
const Link* LinkOf(const LinkMap& links, const prolog_page::GoalTarget& target) {
  OutsideCall outside{std::string(target.module), KeyOf(target.name, target.arity), {}, false};
  if (target.file != nullptr) {
    outside.from = target.file->path;
    outside.importedElsewhere = target.file->path.empty();
  }
  const std::string call = CallKey(outside);
  auto found = std::lower_bound(links.begin(), links.end(), call,
                                [](const Link& link, std::string_view k) { return link.key < k; });
  return found != links.end() && found->key == call ? &*found : nullptr;
}

class SiteBuilder {
 public:
  SiteBuilder(FileSystem& fs, const SiteOptions& options, Progress* progress)
      : fs_(fs), options_(options), progress_(progress) {}

  SiteResult Build() {
    if (!Prepare()) return std::move(result_);
    std::vector<std::string> patterns = options_.patterns;
    if (patterns.empty()) patterns.assign(std::begin(kDefaultPatterns), std::end(kDefaultPatterns));
    Tree tree = WalkTree(fs_, options_.source, options_.output, patterns);
    files_ = std::move(tree.files);
    walkedWhole_ = tree.problems.empty();
    for (Problem& problem : tree.problems)
      result_.problems.push_back(std::move(problem));
    result_.sources = files_.size();
    tree_ = std::make_unique<TreeFiles>(fs_, options_.source, files_);
    GatherFacts();
    links_ = ResolveLinks(files_, facts_);
    callers_ = std::make_unique<Callers>(files_, facts_);
    std::string oldBytes, error;
    if (fs_.Stat(ManifestPath()).kind != PathKind::File ||
        !ReadWholeFile(fs_, ManifestPath(), oldBytes, error))
      oldBytes.clear();
    old_ = ParseManifest(oldBytes);
    MakeFolders();
    Pages();
    Finish(oldBytes);
    if (!options_.tags.empty()) Tags();
    std::sort(result_.problems.begin(), result_.problems.end(),
              [](const Problem& a, const Problem& b) { return a.path < b.path; });
    return std::move(result_);
  }

 private:
  bool Unusable(const std::string& path, std::string reason) {
    result_.problems.push_back({path, std::move(reason)});
    result_.unusable = true;
    return false;
  }

  // SRC must be a folder, OUT a folder that is not SRC itself.
  bool Prepare() {
    if (fs_.Stat(options_.source).kind != PathKind::Directory) {
      return Unusable(options_.source, "is not a folder");
    }
    if (!MakeFolderAndParents(options_.output)) {
      return Unusable(options_.output, "cannot be made (" + fs_.LastError() + ")");
    }
    FileIdentity source, output;
    if (fs_.Identify(options_.source, source) && fs_.Identify(options_.output, output) &&
        source == output) {
      return Unusable(options_.output,
                      "is the source folder: the pages would go among the sources");
    }
    sourceReal_ = fs_.RealPath(options_.source);
    outputReal_ = fs_.RealPath(options_.output);
    return true;
  }

  bool MakeFolderAndParents(const std::string& path) {
    if (fs_.Stat(path).kind == PathKind::Directory) return true;
    for (std::size_t at = 1; at < path.size(); ++at) {
      if (path[at] == fs_.PathSeparator() && path[at - 1] != fs_.PathSeparator() &&
          path[at - 1] != ':') {
        fs_.CreateFolder(path.substr(0, at));
      }
    }
    return fs_.CreateFolder(path);
  }

  // The index's title: the source folder's own name, by the platform's
  // separator (a Windows path has "\\", a relative one may have "/").
  std::string FolderTitle(std::string path) const {
    auto separator = [&](char c) { return c == fs_.PathSeparator() || c == '/'; };
    while (path.size() > 1 && separator(path.back()))
      path.pop_back();
    auto last = std::find_if(path.rbegin(), path.rend(), separator);
    return TitleOf(last == path.rend() || path.size() == 1 ? path
                                                           : std::string(last.base(), path.end()));
  }

  std::string SourcePath(std::size_t i) const {
    return JoinPath(fs_, options_.source, files_[i].relative);
  }
  std::string PagePath(std::size_t i) const {
    return JoinPath(fs_, options_.output, files_[i].relative + ".html");
  }
  std::string ManifestPath() const { return JoinPath(fs_, options_.output, kManifestName); }

  void Fail(std::size_t i, std::string reason) {
    std::lock_guard lock(mutex_);
    result_.problems.push_back({SourcePath(i), std::move(reason)});
  }

  // The first pass: every file's facts, and a hash of its bytes.
  void GatherFacts() {
    facts_.assign(files_.size(), {});
    xrefs_.resize(files_.size());
    uses_.assign(files_.size(), {});
    sourceHash_.assign(files_.size(), 0);
    made_.assign(files_.size(), 0);
    Counter counter(*this, Pass::kReading);
    ParallelFor(options_.jobs, files_.size(), [&](std::size_t i) {
      Read(i);
      counter.Done(i);
    });
  }

  // One file's part of the first pass.
  void Read(std::size_t i) {
    try {
      if (PageInsideSource(i)) return Fail(i, "its page would be written among the sources");
      if (files_[i].relative == "index") return Fail(i, "its page would replace the site's index");
      std::string bytes, error;
      if (!ReadWholeFile(fs_, SourcePath(i), bytes, error)) return Fail(i, error);
      sourceHash_[i] = Hash().Add(bytes).Value();
      TreeLoader loader(*tree_, i);
      StringSource source(bytes);
      prolog_page::SourceXref xref = prolog_page::CrossReference(source, &loader);
      facts_[i] = FactsOf(xref);
      // Kept for the page, which would otherwise make it again, while the
      // sources kept stay under a bound: a larger tree's memory stays
      // that of its facts.
      if ((keptBytes_ += bytes.size()) <= kKeptXrefSources) xrefs_[i] = std::move(xref);
      uses_[i] = {loader.Headers(), loader.Texts(), loader.Answers()};
      made_[i] = 1;
    } catch (const std::bad_alloc&) {
      Fail(i, "is too large for the memory available");
    }
  }

  // With SRC inside OUT, the page of a file in a folder named like SRC's
  // own path under OUT would land among the sources. (OUT inside SRC is
  // fine: the walk leaves OUT out.)
  bool PageInsideSource(std::size_t i) const {
    if (sourceReal_.empty() || !Inside(sourceReal_, outputReal_, fs_.PathSeparator())) return false;
    std::string page = JoinPath(fs_, outputReal_, files_[i].relative + ".html");
    return Inside(page, sourceReal_, fs_.PathSeparator());
  }

  void MakeFolders() {
    std::set<std::string> folders;
    for (std::size_t i = 0; i < files_.size(); ++i) {
      if (!made_[i]) continue;
      for (std::string_view folder = FolderOf(files_[i].relative, '/'); !folder.empty();
           folder = FolderOf(folder, '/'))
        folders.insert(std::string(folder));
    }
    // Parents sort before their children.
    for (const std::string& folder : folders)
      fs_.CreateFolder(JoinPath(fs_, options_.output, folder));
  }

  std::string InputHash(std::size_t i) const {
    Hash hash;
    hash.Add(std::string_view("pl2html " PL2HTML_VERSION)).Add(options_.lineNumbers ? 1 : 0);
    hash.Add(options_.manualUrl);
    hash.Add(files_[i].relative).Add(sourceHash_[i]);
    // Its header: the navigation and the search box's markup and style
    // (the box's script and data are files of their own).
    hash.Add(PageNavigation(files_[i].relative)).Add(SearchRules());
    // The meaning of its goals: the headers of the files it loads, the
    // text of those it includes; then where its calls lead.
    for (std::size_t j : uses_[i].headers)
      hash.Add(files_[j].relative).Add(tree_->HeaderHash(j));
    for (std::size_t j : uses_[i].texts)
      hash.Add(files_[j].relative).Add(sourceHash_[j]);
    hash.Add(uses_[i].answers);
    for (const Link& link : links_[i])
      hash.Add(link.key).Add(link.href).Add(link.doc);
    // Its "Called by" cards.
    for (const Definition& definition : facts_[i].definitions) {
      for (const TreeCaller& c : callers_->Of(i, definition.key)) {
        hash.Add(definition.key).Add(files_[c.file].relative).Add(c.edge->callerModule);
        hash.Add(c.edge->caller);
        hash.Add(c.edge->line).Add(c.edge->directive ? 1 : 0);
      }
    }
    return hash.Text();
  }

  // The second pass: the pages whose inputs changed, then the index, which
  // shows what each page says needs a look, and the search box's files.
  void Pages() {
    hashes_.assign(files_.size(), {});
    look_.assign(files_.size(), {});
    Counter counter(*this, Pass::kWriting);
    ParallelFor(options_.jobs, files_.size(), [&](std::size_t i) {
      if (made_[i]) {
        hashes_[i] = InputHash(i);
        Page(i);
        xrefs_[i] = {};
      }
      counter.Done(i);
    });
    Index();
    Search();
    XrefFile();
  }

  // Counts the files a pass has done, for the progress line.
  class Counter {
   public:
    Counter(SiteBuilder& builder, Pass pass) : builder_(builder), pass_(pass) {}
    void Done(std::size_t i) {
      std::size_t done = ++done_;
      std::uint64_t bytes = bytes_ += static_cast<std::uint64_t>(builder_.files_[i].size);
      if (builder_.progress_ == nullptr) return;
      std::lock_guard lock(builder_.mutex_);
      builder_.progress_->Update(pass_, done, builder_.files_.size(), bytes);
    }

   private:
    SiteBuilder& builder_;
    Pass pass_;
    std::atomic<std::size_t> done_{0};
    std::atomic<std::uint64_t> bytes_{0};
  };

  void Page(std::size_t i) {
    std::string key = KeyOfSource(files_[i].relative);
    auto old = old_.find(key);
    if (old != old_.end() && old->second.hash == hashes_[i] &&
        fs_.Stat(PagePath(i)).kind == PathKind::File) {
      look_[i] = old->second.look;
      ++unchanged_;
      return;
    }
    try {
      std::string bytes, error;
      if (!ReadWholeFile(fs_, SourcePath(i), bytes, error)) {
        hashes_[i].clear();
        return Fail(i, error);
      }
      std::string title = TitleOf(files_[i].relative);
      std::string navigation = PageNavigation(files_[i].relative);
      const LinkMap& links = links_[i];
      prolog_page::PageOptions page;
      page.title = title;
      page.lineNumbers = options_.lineNumbers;
      page.manualUrl = options_.manualUrl;
      page.navigation = navigation;
      page.xref = xrefs_[i].xref.get();
      page.rules = SearchRules();
      TreeLoader loader(*tree_, i);
      page.loader = &loader;
      page.callers = [this, i](const prolog_page::IndexEntry& entry) {
        return CallerLinks(i, KeyOf(entry.name, entry.arity));
      };
      page.outsideLinks = [&links, this, i](const prolog_page::GoalTarget& target) {
        if (target.meaning == meaning::Meaning::kFile) {
          return target.file == nullptr || target.file->path.empty()
                     ? std::string()
                     : PageHref(files_[i].relative, target.file->path);
        }
        const Link* link = LinkOf(links, target);
        return link == nullptr ? std::string() : link->href;
      };
      page.outsideDoc = [&links](const prolog_page::GoalTarget& target) {
        const Link* link = LinkOf(links, target);
        return link == nullptr ? std::string() : link->doc;
      };
      StringSource source(bytes);
      error = WriteSiteFile(fs_, PagePath(i), [&](Sink& sink) {
        look_[i] = prolog_page::WritePrologPage(source, sink, page);
      });
      if (!error.empty()) {
        hashes_[i].clear();
        return Fail(i, error);
      }
      ++written_;
    } catch (const std::bad_alloc&) {
      hashes_[i].clear();
      Fail(i, "is too large for the memory available");
    }
  }

  // The callers of a predicate of file i, as its page lists them.
  std::vector<prolog_page::CallerLink> CallerLinks(std::size_t i, const std::string& key) const {
    std::vector<prolog_page::CallerLink> links;
    for (const TreeCaller& c : callers_->Of(i, key)) {
      prolog_page::CallerLink link;
      AppendName(link.file, files_[c.file].relative);
      if (c.edge->directive) {
        link.caller = "directive";
      } else {
        AppendName(link.caller, c.edge->callerModule.empty()
                                    ? c.edge->caller
                                    : c.edge->callerModule + ":" + c.edge->caller);
      }
      link.line = c.edge->line;
      if (c.file != i) link.href = PageHref(files_[i].relative, files_[c.file].relative);
      link.href += "#L" + std::to_string(c.edge->line);
      links.push_back(std::move(link));
    }
    return links;
  }

  void Index() {
    std::string title = FolderTitle(sourceReal_.empty() ? options_.source : sourceReal_);
    std::string page = IndexPage(title, files_, facts_, look_, *callers_,
                                 std::vector<bool>(made_.begin(), made_.end()));
    Written written =
        WriteOwn(kIndexKey, "index.html", page, "<meta name=\"generator\" content=\"pl2html ",
                 "is not a page of pl2html's: left as it is, and the site has no index");
    if (written == Written::kYes) ++written_;
    if (written == Written::kUnchanged) ++unchanged_;
  }

  // The search box's data and script. Not pages: the counts leave them out.
  void Search() {
    WriteOwn(kSearchDataKey, kSearchDataName, SearchData(files_, facts_), kSearchDataStart,
             "is not pl2html's: left as it is, and the search box finds nothing");
    WriteOwn(kSearchScriptKey, kSearchScriptName, SearchScript(), kSearchScriptStart,
             "is not pl2html's: left as it is, and the pages have no search box");
  }

  enum class Written { kYes, kUnchanged, kNo };

  // Writes a file of the site's own, `name` in OUT, unless the manifest
  // says it holds these bytes already; its hash goes to the new manifest
  // under `key`. OUT may be a folder of the user's own: a file there that no
  // run made (no manifest names it, and it holds no `mark` of ours) is
  // never replaced.
  Written WriteOwn(std::string_view key, std::string_view name, std::string_view bytes,
                   std::string_view mark, std::string_view notOurs) {
    std::string hash = Hash().Add(bytes).Text();
    std::string path = JoinPath(fs_, options_.output, std::string(name));
    auto old = old_.find(std::string(key));
    if (old != old_.end() && old->second.hash == hash && fs_.Stat(path).kind == PathKind::File) {
      own_[std::string(key)] = hash;
      return Written::kUnchanged;
    }
    std::string error = NotOurs(path, old == old_.end(), mark) ? std::string(notOurs)
                                                               : WriteBytes(fs_, path, bytes);
    if (!error.empty()) {
      std::lock_guard lock(mutex_);
      result_.problems.push_back({path, error});
      return Written::kNo;
    }
    own_[std::string(key)] = hash;
    return Written::kYes;
  }

  // xref.json, the cross-reference for other programs.
  void XrefFile() {
    WriteOwn(kXrefKey, kXrefJsonName, XrefJson(files_, facts_, *callers_),
             "{\"generator\": \"pl2html ", "is not pl2html's: left as it is");
  }

  // The tags file, its paths from its own folder; left as it is when its
  // bytes would not change.
  void Tags() {
    const std::string& path = options_.tags;
    std::string folder(FolderOf(path, fs_.PathSeparator()));
    std::string folderReal = fs_.RealPath(folder.empty() ? "." : folder);
    if (folderReal.empty() || sourceReal_.empty()) {
      result_.problems.push_back({path, "cannot be written (its folder cannot be found)"});
      return;
    }
    std::string prefix = RelativePath(folderReal, sourceReal_, fs_.PathSeparator());
    if (!prefix.empty() && prefix.back() != fs_.PathSeparator()) prefix += fs_.PathSeparator();
    std::string text = TagsText(files_, facts_, prefix, fs_.PathSeparator());
    std::string old, error;
    if (fs_.Stat(path).kind == PathKind::File && ReadWholeFile(fs_, path, old, error) &&
        old == text)
      return;
    error = WriteBytes(fs_, path, text);
    if (!error.empty()) result_.problems.push_back({path, error});
  }

  bool NotOurs(const std::string& path, bool unlisted, std::string_view mark) {
    if (!unlisted || fs_.Stat(path).kind == PathKind::Missing) return false;
    std::string bytes, error;
    if (!ReadWholeFile(fs_, path, bytes, error)) return true;
    return bytes.find(mark) == std::string::npos;
  }

  // The new manifest; pages of sources that left the tree are removed.
  void Finish(const std::string& oldBytes) {
    Manifest manifest;
    std::set<std::string> present;
    for (std::size_t i = 0; i < files_.size(); ++i) {
      std::string key = KeyOfSource(files_[i].relative);
      present.insert(key);
      if (!hashes_[i].empty()) {
        manifest[key] = {hashes_[i], look_[i]};
      } else if (auto old = old_.find(key); old != old_.end()) {
        manifest[key] = old->second;  // its page stays as it was, and is tried again next time
      }
    }
    for (const auto& [key, hash] : own_)
      manifest[key] = {hash, {}};
    // Only after a walk that saw every folder: a folder that could not be
    // listed this time has not lost its sources.
    for (const auto& [key, hash] : old_) {
      if (!walkedWhole_ || own_.count(key) != 0 || present.count(key) != 0) continue;
      if (std::optional<std::string> relative = SourceOfKey(key)) {
        fs_.Delete(JoinPath(fs_, options_.output, *relative + ".html"));
      } else {
        manifest[key] = hash;  // not a name this program made: left alone
      }
    }
    std::string text = ManifestText(manifest);
    if (text != oldBytes) {
      std::string error = WriteBytes(fs_, ManifestPath(), text);
      if (!error.empty()) result_.problems.push_back({ManifestPath(), error});
    }
    result_.written = written_;
    result_.unchanged = unchanged_;
  }

  FileSystem& fs_;
  const SiteOptions& options_;
  Progress* progress_;
  SiteResult result_;
  std::mutex mutex_;
  std::string sourceReal_, outputReal_;
  std::vector<SourceFile> files_;
  bool walkedWhole_ = false;  // every folder of the tree could be listed
  std::vector<FileFacts> facts_;
  std::vector<prolog_page::SourceXref> xrefs_;  // each file's, until its page is done
  std::atomic<std::uint64_t> keptBytes_{0};
  std::unique_ptr<TreeFiles> tree_;
  std::unique_ptr<Callers> callers_;
  // Per file, the files of the tree its meaning was read from.
  struct Uses {
    std::vector<std::size_t> headers, texts;
    std::uint64_t answers = 0;  // which file each request named
  };
  std::vector<Uses> uses_;
  std::vector<prolog_page::LookCounts> look_;  // per page, what it says needs a look
  std::vector<std::uint64_t> sourceHash_;
  std::vector<char> made_;  // the source was read: its page exists (bytes, so threads may set them)
  std::vector<LinkMap> links_;
  Manifest old_;
  std::vector<std::string> hashes_;  // per file, the inputs of the page it has now; empty: none
  std::map<std::string, std::string> own_;  // the site's own files: key -> hash of their bytes
  std::atomic<std::size_t> written_{0}, unchanged_{0};
};

}  // namespace

SiteResult BuildSite(FileSystem& fs, const SiteOptions& options, Progress* progress) {
  return SiteBuilder(fs, options, progress).Build();
}

}  // namespace pl2html::site
