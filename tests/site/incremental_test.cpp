// Incremental builds are exact: random small trees of modules that load and
// call each other, edited step by step, each step built into the same OUT.
// After every run OUT must hold the very bytes of a fresh build into an
// empty folder (the manifest included), and every link of every page must
// land on a file and an element that exist.
//
// Each tree comes from a seed. The default run tries a fixed set of seeds;
// PL2HTML_INCREMENTAL_SECONDS=N tries new seeds for N seconds (from
// PL2HTML_INCREMENTAL_SEED, else from the clock), and
// PL2HTML_INCREMENTAL_SEED=S alone replays seed S. A failure prints the seed,
// the first tree and the edits, and keeps the folder of the failing step.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "runtime/platform.hpp"
#include "site/build.hpp"

namespace pl2html::site {
namespace {

namespace stdfs = std::filesystem;

using Files = std::map<std::string, std::string>;  // relative path -> bytes

// The tree as the generator sees it; its text is made from this.
struct Call {
  std::string file;  // the defining file meant; "" this one
  std::string name;
  int arity = 0;
  std::string module;  // module:name(...) when set
};

struct Predicate {
  std::string name;
  int arity = 0;
  bool exported = false;
  std::string summary;  // empty: no structured comment
  int style = 0;        // of the comment: "%!", "%%" or "/**"
  std::vector<Call> body;
};

enum class NameForm { kRelative, kLibraryStem, kLibraryPath };

enum class LoadKind { kUseModule, kEnsureLoaded, kReexport, kInclude };
constexpr const char* kDirectives[] = {"use_module", "ensure_loaded", "reexport", "include"};

struct Load {
  std::string target;  // a path in the tree, perhaps one that left it
  NameForm form = NameForm::kRelative;
  LoadKind kind = LoadKind::kUseModule;
  std::optional<std::vector<std::string>> imports;  // use_module/2's list
};

struct SourceModel {
  bool isModule = true;
  std::string module;
  int padding = 0;  // comment lines at the top: moves every line below
  std::vector<Load> loads;
  std::vector<Predicate> predicates;
  std::vector<Call> directives;
};

using Tree = std::map<std::string, SourceModel>;  // relative path -> source

constexpr const char* kFolders[] = {"", "lib/", "app/", "app/sub/"};
// "lists" is also a library of SWI-Prolog's.
constexpr const char* kStems[] = {"alpha", "beta", "gamma", "util", "lists", "main"};
constexpr const char* kNames[] = {"p", "q", "r", "walk", "emit", "size"};
constexpr const char* kSummaries[] = {"Walks the tree.", "Counts the items.",
                                      "True when all is well.", "Emits a line."};

class Random {
 public:
  explicit Random(std::uint64_t seed) : engine_(seed) {}
  std::size_t Below(std::size_t n) { return static_cast<std::size_t>(engine_() % n); }
  bool Chance(int percent) { return Below(100) < static_cast<std::size_t>(percent); }
  template <class T, std::size_t N>
  const T& Pick(const T (&items)[N]) {
    return items[Below(N)];
  }
  template <class C>
  auto& Pick(C& items) {
    auto at = items.begin();
    std::advance(at, Below(items.size()));
    return *at;
  }

 private:
  std::mt19937_64 engine_;  // the same numbers on every platform
};

std::string StemOf(const std::string& path) {
  std::size_t slash = path.rfind('/');
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  return name.substr(0, name.rfind('.'));
}

std::string FolderOf(const std::string& path) {
  std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

// `to` without ".pl" as seen from the folder of `from`.
std::string RelativeSpec(const std::string& from, const std::string& to) {
  std::string folder = FolderOf(from), target = to.substr(0, to.size() - 3);
  std::size_t common = 0;
  for (std::size_t i = 0; i < folder.size() && i < target.size() && folder[i] == target[i]; ++i)
    if (folder[i] == '/') common = i + 1;
  std::string request;
  for (std::size_t i = common; i < folder.size(); ++i)
    if (folder[i] == '/') request += "../";
  return "'" + request + target.substr(common) + "'";
}

std::string Arguments(int arity, const char* each) {
  std::string text;
  for (int i = 0; i < arity; ++i)
    text += (i == 0 ? "(" : ", ") + std::string(each);
  return arity == 0 ? text : text + ")";
}

std::string GoalText(const Call& call) {
  return (call.module.empty() ? "" : call.module + ":") + call.name + Arguments(call.arity, "_");
}

std::string Key(const Predicate& p) {
  return p.name + "/" + std::to_string(p.arity);
}

std::string SourceText(const std::string& path, const SourceModel& source) {
  std::string text;
  for (int i = 0; i < source.padding; ++i)
    text += "% padding\n";
  if (source.isModule) {
    text += ":- module(" + source.module + ", [";
    bool first = true;
    for (const Predicate& p : source.predicates) {
      if (!p.exported) continue;
      text += (first ? "" : ", ") + Key(p);
      first = false;
    }
    text += "]).\n";
  }
  for (const Load& load : source.loads) {
    std::string request = load.form == NameForm::kRelative ? RelativeSpec(path, load.target)
                          : load.form == NameForm::kLibraryStem
                              ? "library(" + StemOf(load.target) + ")"
                              : "library(" + load.target.substr(0, load.target.size() - 3) + ")";
    text += std::string(":- ") + kDirectives[static_cast<int>(load.kind)] + "(" + request;
    if (load.imports) {
      text += ", [";
      for (const std::string& key : *load.imports)
        text += (key == load.imports->front() ? "" : ", ") + key;
      text += "]";
    }
    text += ").\n";
  }
  for (const Predicate& p : source.predicates) {
    text += "\n";
    const std::string mode = p.name + Arguments(p.arity, "+X") + " is det.\n";
    if (p.summary.empty()) {
    } else if (p.style == 2) {
      text += "/** " + mode + "\n    " + p.summary + "\n*/\n";
    } else {
      text += (p.style == 0 ? "%! " : "%% ") + mode + "%\n%  " + p.summary + "\n";
    }
    text += p.name + Arguments(p.arity, "_");
    for (std::size_t g = 0; g < p.body.size(); ++g)
      text += (g == 0 ? " :-\n    " : ",\n    ") + GoalText(p.body[g]);
    text += ".\n";
  }
  for (const Call& d : source.directives)
    text += "\n:- " + GoalText(d) + ".\n";
  return text;
}

// Builds the trees and their edits from one seed.
class Generator {
 public:
  explicit Generator(std::uint64_t seed) : random_(seed) {}

  Tree FirstTree() {
    Tree tree;
    std::vector<std::string> folders;
    for (std::size_t n = 1 + random_.Below(3); folders.size() < n;) {
      std::string folder = random_.Pick(kFolders);
      if (std::find(folders.begin(), folders.end(), folder) == folders.end())
        folders.push_back(folder);
    }
    for (std::size_t n = 2 + random_.Below(7), tries = 0; tree.size() < n && tries < 100; ++tries)
      tree.emplace(random_.Pick(folders) + random_.Pick(kStems) + ".pl", SourceModel{});
    for (auto& [path, source] : tree) {
      source.isModule = random_.Chance(85);
      source.module = StemOf(path);
      for (std::size_t n = 1 + random_.Below(4); n > 0; --n)
        AddPredicate(source);
    }
    for (auto& [path, source] : tree) {
      for (const auto& [other, unused] : tree)
        if (other != path && random_.Chance(40)) source.loads.push_back(NewLoad(tree, other));
      for (Predicate& p : source.predicates)
        for (std::size_t n = random_.Below(4); n > 0; --n)
          p.body.push_back(NewCall(tree, path));
      if (random_.Chance(30)) source.directives.push_back(NewCall(tree, path));
    }
    return tree;
  }

  // One random edit of the tree; its description, or "" when none applied.
  std::string Edit(Tree& tree) {
    switch (random_.Below(11)) {
      case 0:
        return RenamePredicate(tree);
      case 1:
        return AddCall(tree);
      case 2:
        return RemoveCall(tree);
      case 3:
        return ChangeSummary(tree);
      case 4:
        return ToggleExport(tree);
      case 5:
        return DeleteFile(tree);
      case 6:
        return AddFile(tree);
      case 7:
        return ChangeLoad(tree);
      case 8:
        return ToggleModule(tree);
      case 9:
        return RenameModule(tree);
      default:
        return MoveLines(tree);
    }
  }

  unsigned Jobs() { return 1 + static_cast<unsigned>(random_.Below(2)); }

 private:
  void AddPredicate(SourceModel& source) {
    Predicate p{random_.Pick(kNames), static_cast<int>(random_.Below(3)), false, {}, 0, {}};
    for (const Predicate& q : source.predicates)
      if (Key(q) == Key(p)) return;
    p.exported = source.isModule && random_.Chance(60);
    if (random_.Chance(60)) p.summary = random_.Pick(kSummaries);
    p.style = static_cast<int>(random_.Below(3));
    source.predicates.push_back(std::move(p));
  }

  Load NewLoad(const Tree& tree, const std::string& target) {
    const SourceModel& source = tree.at(target);
    Load load{target, static_cast<NameForm>(random_.Below(3)), LoadKind::kUseModule, {}};
    if (!source.isModule) {
      load.kind = random_.Chance(30) ? LoadKind::kInclude : LoadKind::kEnsureLoaded;
    } else if (random_.Chance(30)) {
      load.kind = random_.Chance(50) ? LoadKind::kReexport : LoadKind::kEnsureLoaded;
    } else if (random_.Chance(30)) {
      load.imports.emplace();
      for (const Predicate& p : source.predicates)
        if (p.exported && random_.Chance(70)) load.imports->push_back(Key(p));
    }
    return load;
  }

  // A call of a predicate some file defines (or of an undefined one), from `from`.
  Call NewCall(const Tree& tree, const std::string& from) {
    std::string path = random_.Pick(tree).first;
    const std::vector<Load>& loads = tree.at(from).loads;
    if (!loads.empty() && random_.Chance(50)) {
      const std::string& loaded = random_.Pick(loads).target;
      if (tree.count(loaded) != 0) path = loaded;
    }
    const SourceModel& source = tree.at(path);
    if (source.predicates.empty() || random_.Chance(5)) return {"", "undefined", 0, {}};
    const Predicate& p = random_.Pick(source.predicates);
    bool other = path != from;
    bool qualified = other && source.isModule && random_.Chance(30);
    return {other ? path : "", p.name, p.arity, qualified ? source.module : std::string()};
  }

  // A file with at least one predicate, if any.
  std::optional<std::string> FileWithPredicates(const Tree& tree) {
    std::vector<std::string> paths;
    for (const auto& [path, source] : tree)
      if (!source.predicates.empty()) paths.push_back(path);
    if (paths.empty()) return std::nullopt;
    return random_.Pick(paths);
  }

  std::string RenamePredicate(Tree& tree) {
    auto path = FileWithPredicates(tree);
    if (!path) return "";
    Predicate& p = random_.Pick(tree[*path].predicates);
    std::string old = Key(p);
    p.name = random_.Pick(kNames);
    for (const Predicate& q : tree[*path].predicates)
      if (&q != &p && Key(q) == Key(p)) p.name += "x";
    return "rename " + old + " of " + *path + " to " + Key(p);
  }

  std::string AddCall(Tree& tree) {
    auto path = FileWithPredicates(tree);
    if (!path) return "";
    Predicate& p = random_.Pick(tree[*path].predicates);
    Call call = NewCall(tree, *path);
    p.body.insert(p.body.begin() + static_cast<std::ptrdiff_t>(random_.Below(p.body.size() + 1)),
                  call);
    return "in " + *path + ", " + Key(p) + " calls " + GoalText(call) +
           (call.file.empty() ? "" : " of " + call.file);
  }

  std::string RemoveCall(Tree& tree) {
    auto path = FileWithPredicates(tree);
    if (!path) return "";
    Predicate& p = random_.Pick(tree[*path].predicates);
    if (p.body.empty()) return "";
    auto at = p.body.begin() + static_cast<std::ptrdiff_t>(random_.Below(p.body.size()));
    std::string goal = GoalText(*at);
    p.body.erase(at);
    return "in " + *path + ", " + Key(p) + " no longer calls " + goal;
  }

  std::string ChangeSummary(Tree& tree) {
    auto path = FileWithPredicates(tree);
    if (!path) return "";
    Predicate& p = random_.Pick(tree[*path].predicates);
    p.summary = random_.Chance(25) ? "" : random_.Pick(kSummaries);
    p.style = static_cast<int>(random_.Below(3));
    return "in " + *path + ", the comment of " + Key(p) + " says '" + p.summary + "'";
  }

  std::string ToggleExport(Tree& tree) {
    auto path = FileWithPredicates(tree);
    if (!path || !tree[*path].isModule) return "";
    Predicate& p = random_.Pick(tree[*path].predicates);
    p.exported = !p.exported;
    return *path + (p.exported ? " exports " : " no longer exports ") + Key(p);
  }

  std::string DeleteFile(Tree& tree) {
    if (tree.size() <= 1) return "";
    auto at = tree.begin();
    std::advance(at, random_.Below(tree.size()));
    std::string path = at->first;
    tree.erase(at);
    return "delete " + path;
  }

  std::string AddFile(Tree& tree) {
    std::string path = std::string(random_.Pick(kFolders)) + random_.Pick(kStems) + ".pl";
    if (tree.count(path) != 0) return "";
    SourceModel& source = tree[path];
    source.isModule = random_.Chance(85);
    source.module = StemOf(path);
    for (std::size_t n = 1 + random_.Below(3); n > 0; --n)
      AddPredicate(source);
    for (Predicate& p : source.predicates)
      if (random_.Chance(60)) p.body.push_back(NewCall(tree, path));
    const std::string& other = random_.Pick(tree).first;
    if (other != path) source.loads.push_back(NewLoad(tree, other));
    return "add " + path + ":\n" + SourceText(path, source);
  }

  std::string ChangeLoad(Tree& tree) {
    auto& [path, source] = random_.Pick(tree);
    if (!source.loads.empty() && random_.Chance(50)) {
      auto at =
          source.loads.begin() + static_cast<std::ptrdiff_t>(random_.Below(source.loads.size()));
      if (random_.Chance(50)) {
        std::string target = at->target;
        source.loads.erase(at);
        return path + " no longer loads " + target;
      }
      at->form = static_cast<NameForm>((static_cast<int>(at->form) + 1) % 3);
      return path + " names " + at->target + " another way";
    }
    const std::string& target = random_.Pick(tree).first;
    if (target == path) return "";
    source.loads.push_back(NewLoad(tree, target));
    return path + " loads " + target;
  }

  std::string ToggleModule(Tree& tree) {
    auto& [path, source] = random_.Pick(tree);
    source.isModule = !source.isModule;
    return path + (source.isModule ? " is a module" : " is no module");
  }

  std::string RenameModule(Tree& tree) {
    auto& [path, source] = random_.Pick(tree);
    source.module = source.module == StemOf(path) ? StemOf(path) + "2" : StemOf(path);
    return path + " is module " + source.module;
  }

  std::string MoveLines(Tree& tree) {
    auto& [path, source] = random_.Pick(tree);
    source.padding = source.padding == 0 ? 1 + static_cast<int>(random_.Below(3)) : 0;
    return path + " starts with " + std::to_string(source.padding) + " comment lines";
  }

  Random random_;
};

std::string Contents(const stdfs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

Files Read(const stdfs::path& root) {
  Files files;
  for (const auto& entry : stdfs::recursive_directory_iterator(root))
    if (entry.is_regular_file())
      files[stdfs::relative(entry.path(), root).generic_string()] = Contents(entry.path());
  return files;
}

// Makes the sources of `tree` under `root`, writing only what changed.
void WriteTree(const stdfs::path& root, const Tree& tree) {
  Files now = Read(root);
  for (const auto& [path, bytes] : now)
    if (tree.count(path) == 0) stdfs::remove(root / path);
  for (const auto& [path, source] : tree) {
    std::string text = SourceText(path, source);
    if (now.count(path) != 0 && now[path] == text) continue;
    stdfs::create_directories((root / path).parent_path());
    std::ofstream(root / path, std::ios::binary) << text;
  }
}

std::string Decode(std::string_view url) {
  std::string bytes;
  for (std::size_t i = 0; i < url.size(); ++i) {
    if (url[i] == '%' && i + 2 < url.size()) {
      bytes += static_cast<char>(std::stoi(std::string(url.substr(i + 1, 2)), nullptr, 16));
      i += 2;
    } else {
      bytes += url[i];
    }
  }
  return bytes;
}

// The values of every attribute `name` ("href", "id") in a page.
std::vector<std::string> Attributes(const std::string& page, const std::string& name) {
  std::vector<std::string> values;
  const std::string open = " " + name + "=\"";
  for (std::size_t at = page.find(open); at != std::string::npos; at = page.find(open, at)) {
    at += open.size();
    std::size_t end = page.find('"', at);
    if (end == std::string::npos) break;
    values.push_back(page.substr(at, end - at));
  }
  return values;
}

// What is wrong with the links of a site: each href that leads to no file or no element.
std::string BrokenLinks(const Files& site) {
  std::map<std::string, std::set<std::string>> ids;
  for (const auto& [path, bytes] : site) {
    std::vector<std::string> found = Attributes(bytes, "id");
    ids[path].insert(found.begin(), found.end());
  }
  std::string broken;
  for (const auto& [path, bytes] : site) {
    for (const std::string& href : Attributes(bytes, "href")) {
      if (href.starts_with("https://") || href.starts_with("http://")) continue;
      std::size_t hash = href.find('#');
      std::string target = path;
      if (hash != 0) {
        std::string page = Decode(href.substr(0, hash));
        target = (stdfs::path(path).parent_path() / page).lexically_normal().generic_string();
      }
      std::string fragment = hash == std::string::npos ? "" : Decode(href.substr(hash + 1));
      if (site.count(target) == 0) {
        broken += path + ": " + href + " leads to no file\n";
      } else if (!fragment.empty() && ids[target].count(fragment) == 0) {
        broken += path + ": " + href + " leads to no element\n";
      }
    }
  }
  return broken;
}

// How two sites differ: the files only one holds, and the first line that
// differs in each file both hold.
std::string Differences(const Files& incremental, const Files& fresh) {
  std::string text;
  for (const auto& [path, bytes] : incremental)
    if (fresh.count(path) == 0) text += path + " should not be there\n";
  for (const auto& [path, bytes] : fresh) {
    auto other = incremental.find(path);
    if (other == incremental.end()) {
      text += path + " is missing\n";
      continue;
    }
    if (other->second == bytes) continue;
    std::istringstream want(bytes), got(other->second);
    std::string a, b;
    for (int line = 1;; ++line) {
      bool more = static_cast<bool>(std::getline(want, a));
      more = static_cast<bool>(std::getline(got, b)) || more;
      if (!more) break;
      if (a != b) {
        text += path + " line " + std::to_string(line) + ":\n  fresh:       " + a +
                "\n  incremental: " + b + "\n";
        break;
      }
      a.clear();
      b.clear();
    }
  }
  return text;
}

SiteResult Build(const stdfs::path& source, const stdfs::path& output, unsigned jobs) {
  SiteOptions options;
  options.source = source.string();
  options.output = output.string();
  options.jobs = jobs;
  return BuildSite(SystemFileSystem(), options);
}

// One seed's tree and edits; the description of the first fault, or "".
std::string Try(std::uint64_t seed, int edits) {
  const stdfs::path folder =
      stdfs::temp_directory_path() /
      ("pl2html-incremental-" + std::to_string(SystemFileSystem().ProcessId()) + "-" +
       std::to_string(seed));
  stdfs::remove_all(folder);
  const stdfs::path source = folder / "src", output = folder / "out", fresh = folder / "fresh";
  stdfs::create_directories(source);
  Generator generator(seed);
  Tree tree = generator.FirstTree();
  std::string story = "seed " + std::to_string(seed) + ", the first tree:\n";
  for (const auto& [path, model] : tree)
    story += "--- " + path + "\n" + SourceText(path, model);
  for (int step = 0; step <= edits; ++step) {
    if (step > 0) {
      std::string edit;
      for (int tries = 0; edit.empty() && tries < 20; ++tries)
        edit = generator.Edit(tree);
      story += "edit " + std::to_string(step) + ": " + edit + "\n";
    }
    WriteTree(source, tree);
    Build(source, output, generator.Jobs());
    stdfs::remove_all(fresh);
    Build(source, fresh, 1);
    Files site = Read(output);
    std::string fault = Differences(site, Read(fresh)) + BrokenLinks(site);
    if (!fault.empty())
      return story + "after edit " + std::to_string(step) + ", in " + folder.string() + ":\n" +
             fault;
  }
  stdfs::remove_all(folder);
  return "";
}

std::optional<std::uint64_t> Number(const char* variable) {
  const char* value = std::getenv(variable);
  if (value == nullptr || *value == '\0') return std::nullopt;
  return std::strtoull(value, nullptr, 10);
}

constexpr int kEdits = 8;

TEST(IncrementalSite, EveryRunEqualsAFreshBuildAndEveryLinkLands) {
  const std::optional<std::uint64_t> seconds = Number("PL2HTML_INCREMENTAL_SECONDS");
  const std::optional<std::uint64_t> first = Number("PL2HTML_INCREMENTAL_SEED");
  if (seconds) {
    std::uint64_t seed = first ? *first
                               : static_cast<std::uint64_t>(
                                     std::chrono::system_clock::now().time_since_epoch().count());
    std::cout << "trying seeds from " << seed << " for " << *seconds << " s\n";
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(*seconds);
    std::uint64_t tried = 0;
    for (; std::chrono::steady_clock::now() < end; ++seed, ++tried) {
      std::string fault = Try(seed, kEdits);
      ASSERT_TRUE(fault.empty()) << fault;
    }
    std::cout << tried << " seeds tried\n";
    return;
  }
  if (first) {
    std::string fault = Try(*first, kEdits);
    ASSERT_TRUE(fault.empty()) << fault;
    return;
  }
  for (std::uint64_t seed = 1; seed <= 40; ++seed) {
    std::string fault = Try(seed, kEdits);
    ASSERT_TRUE(fault.empty()) << fault;
  }
}

}  // namespace
}  // namespace pl2html::site
