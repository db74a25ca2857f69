// A whole tree to a site, on the machine's file system: the example tree in
// tests/site/tree, with what cannot be kept in a repository (a loop of
// links, a link out of the tree, a name that is not UTF-8, the output
// folder inside the sources) made at test time. Pages are checked by the
// links they hold, not compared whole.
#include "site/build.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "support/memory_file_system.hpp"

namespace pl2html::site {
namespace {

namespace stdfs = std::filesystem;

using Files = std::map<std::string, std::string>;  // relative path -> bytes

std::string Contents(const stdfs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Every file under `root`, by its path relative to it; folders named in
// `skip` left out.
Files Read(const stdfs::path& root, const std::string& skip = {}) {
  Files files;
  for (auto at = stdfs::recursive_directory_iterator(root);
       at != stdfs::recursive_directory_iterator(); ++at) {
    std::string relative = stdfs::relative(at->path(), root).generic_string();
    if (at->is_symlink() || relative == skip) {
      at.disable_recursion_pending();
    } else if (at->is_regular_file()) {
      files[relative] = Contents(at->path());
    }
  }
  return files;
}

std::string Decode(const std::string& url) {
  std::string bytes;
  for (std::size_t i = 0; i < url.size(); ++i) {
    if (url[i] == '%' && i + 2 < url.size()) {
      bytes += static_cast<char>(std::stoi(url.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      bytes += url[i];
    }
  }
  return bytes;
}

// The page and element an href of the page `from` leads to.
std::pair<std::string, std::string> Follow(const std::string& from, const std::string& href) {
  std::size_t hash = href.find('#');
  std::string path = hash == std::string::npos ? href : href.substr(0, hash);
  std::string fragment = hash == std::string::npos ? "" : href.substr(hash + 1);
  stdfs::path target = (stdfs::path(from).parent_path() / Decode(path)).lexically_normal();
  return {target.generic_string(), fragment};
}

// (text, href) of each link in a page: <a href="HREF">TEXT</a>, the text
// holding no element.
std::vector<std::pair<std::string, std::string>> Links(const std::string& page) {
  static constexpr std::string_view kOpen = "<a href=\"";
  std::vector<std::pair<std::string, std::string>> links;
  for (std::size_t at = page.find(kOpen); at != std::string::npos; at = page.find(kOpen, at)) {
    at += kOpen.size();
    std::size_t hrefEnd = page.find('"', at);
    if (hrefEnd == std::string::npos || page.compare(hrefEnd, 2, "\">") != 0) continue;
    std::size_t textEnd = page.find('<', hrefEnd + 2);
    if (textEnd == std::string::npos || page.compare(textEnd, 4, "</a>") != 0) continue;
    links.emplace_back(page.substr(hrefEnd + 2, textEnd - hrefEnd - 2),
                       page.substr(at, hrefEnd - at));
  }
  return links;
}

// Where each call of `name` in a page links; "" where a goal of that name
// is not linked.
std::set<std::string> LinksOf(const std::string& page, const std::string& name) {
  std::set<std::string> hrefs;
  for (const auto& [text, href] : Links(page)) {
    if (text == name) hrefs.insert(href);
  }
  // An unlinked name: its span closes right after it.
  for (std::size_t at = page.find("\">" + name + "</span>"); at != std::string::npos;
       at = page.find("\">" + name + "</span>", at + 1)) {
    std::size_t open = page.rfind("<span class=\"atom goal-", at);
    if (open != std::string::npos && page.find('<', open + 1) > at) hrefs.insert("");
  }
  return hrefs;
}

class SiteTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = stdfs::temp_directory_path() /
              ("pl2html-site-" + std::to_string(fs_.ProcessId()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    stdfs::remove_all(folder_);
    source_ = folder_ / "src";
    stdfs::create_directories(folder_ / "elsewhere");
    stdfs::copy(stdfs::path(PL2HTML_TEST_DATA) / "site" / "tree", source_,
                stdfs::copy_options::recursive);
    // What a repository cannot hold.
    std::ofstream(folder_ / "elsewhere" / "outside.pl") << "outside.\n";
    stdfs::create_directory_symlink(folder_ / "elsewhere", source_ / "out_of_tree");
    stdfs::create_directory_symlink("..", source_ / "app" / "loop");
    stdfs::create_symlink("../plain.pl", source_ / "a" / "plain_again.pl");
    stdfs::copy_file(source_ / "plain.pl", source_ / "shared" / "caf\xE9.pl");
  }

  void TearDown() override { stdfs::remove_all(folder_); }

  SiteResult Build(const stdfs::path& output, unsigned jobs) {
    SiteOptions options;
    options.source = source_.string();
    options.output = output.string();
    options.jobs = jobs;
    return BuildSite(fs_, options);
  }

  FileSystem& fs_ = SystemFileSystem();
  stdfs::path folder_, source_;
};

TEST_F(SiteTest, CallsLinkToTheirDefinitionsAndEveryLinkLands) {
  Files before = Read(source_);
  stdfs::path output = source_ / "site";  // inside the sources: never walked
  SiteResult result = Build(output, 2);
  EXPECT_TRUE(result.problems.empty())
      << result.problems[0].path << ": " << result.problems[0].reason;
  EXPECT_EQ(before, Read(source_, "site"));

  Files site = Read(output);
  std::set<std::string> pages;
  for (const auto& [path, bytes] : site)
    pages.insert(path);
  EXPECT_EQ(pages,
            (std::set<std::string>{
                ".pl2html-site", "index.html", "search.js", "search-ui.js", "a/dup.pl.html",
                "a/plain_again.pl.html", "app/main.pl.html", "b/dup.pl.html", "lists_util.pl.html",
                "plain.pl.html", "shared/caf\xE9.pl.html", "shared/common.pl.html", "xref.json"}));
  // Every predicate, its callers from every file: twice/2 from main's run/0.
  EXPECT_NE(
      site["xref.json"].find(
          "{\"file\": \"lists_util.pl\", \"module\": \"lists_util\", \"name\": \"twice\", "
          "\"arity\": 2, \"line\": 8, \"exported\": true, \"summary\": \"Y is twice X, once X "
          "is known to be a number.\", \"modes\": [\"twice(+X:number, -Y:number) is det\"], "
          "\"callers\": [{\"file\": \"app/main.pl\", \"name\": \"run\", \"arity\": 0, "
          "\"line\": 9}]},\n"),
      std::string::npos);

  const std::string& main = site["app/main.pl.html"];
  EXPECT_EQ(LinksOf(main, "twice"), std::set<std::string>{"../lists_util.pl.html#twice/2"});
  // Once: twice(1, _) in data/1 is a term, no goal.
  const auto mainLinks = Links(main);
  EXPECT_EQ(std::count_if(mainLinks.begin(), mainLinks.end(),
                          [](const auto& link) { return link.first == "twice"; }),
            1);
  EXPECT_EQ(LinksOf(main, "greet"), std::set<std::string>{"../shared/common.pl.html#greet/1"});
  // Called by again/0: its head links to its "Called by" card.
  EXPECT_EQ(LinksOf(main, "run"), (std::set<std::string>{"#run/0", "#callers-run/0"}));
  // The files it loads lead to their pages.
  EXPECT_EQ(LinksOf(main, "lists_util"), std::set<std::string>{"../lists_util.pl.html"});
  EXPECT_EQ(LinksOf(main, "'../shared/common'"), std::set<std::string>{"../shared/common.pl.html"});
  // Defined twice; private to its module; defined in three files (one of
  // them reached by a link inside the tree).
  EXPECT_EQ(LinksOf(main, "dup"), std::set<std::string>{""});
  EXPECT_EQ(LinksOf(main, "helper"), std::set<std::string>{""});
  EXPECT_EQ(LinksOf(main, "solo"), std::set<std::string>{""});
  EXPECT_NE(main.find("<a href=\"../index.html#dir-app\">app/</a>"), std::string::npos);

  // Every link of every page, the index's included, lands on a page and an
  // element that exist.
  for (const auto& [path, bytes] : site) {
    for (const auto& [text, href] : Links(bytes)) {
      if (href.starts_with("https://")) continue;  // SWI-Prolog's manual
      auto [page, id] = Follow(path, href);
      if (href[0] == '#') page = path;  // within the page itself
      ASSERT_EQ(site.count(page), 1u) << path << ": " << href;
      if (!id.empty()) {
        EXPECT_NE(site[page].find("id=\"" + id + "\""), std::string::npos) << path << ": " << href;
      }
    }
  }
}

TEST_F(SiteTest, SameBytesOnAnyNumberOfThreads) {
  Build(folder_ / "one", 1);
  Build(folder_ / "four", 4);
  EXPECT_EQ(Read(folder_ / "one"), Read(folder_ / "four"));
}

TEST_F(SiteTest, ASecondRunRewritesOnlyWhatChanged) {
  stdfs::path output = folder_ / "out";
  SiteResult first = Build(output, 2);
  EXPECT_EQ(first.written, first.sources + 1);  // and the index

  auto xrefTime = stdfs::last_write_time(output / "xref.json");
  SiteResult again = Build(output, 2);
  EXPECT_EQ(again.written, 0u);
  EXPECT_EQ(again.unchanged, first.written);
  EXPECT_EQ(stdfs::last_write_time(output / "xref.json"), xrefTime);

  // A new predicate: its page and the index; main's links stay as they were.
  std::ofstream(source_ / "shared" / "common.pl", std::ios::app) << "extra.\n";
  EXPECT_EQ(Build(output, 2).written, 2u);

  // greet/1 leaves: main's link to it goes too.
  std::ofstream(source_ / "shared" / "common.pl") << ":- module(common, []).\n";
  EXPECT_EQ(Build(output, 2).written, 3u);
  EXPECT_EQ(LinksOf(Contents(output / "app" / "main.pl.html"), "greet"), std::set<std::string>{""});

  // A source that left the tree takes its page along.
  stdfs::remove(source_ / "b" / "dup.pl");
  Build(output, 2);
  EXPECT_FALSE(stdfs::exists(output / "b" / "dup.pl.html"));
}

// The search box's data: a line a predicate, in ASCII with no "<" whatever
// the summaries hold, rewritten when a predicate comes, and then only it:
// the pages name it by a path that does not change.
TEST_F(SiteTest, TheSearchDataFollowsThePredicatesAndNoPageFollowsIt) {
  stdfs::path output = folder_ / "out";
  Build(output, 2);
  std::string data = Contents(output / "search.js");
  EXPECT_NE(data.find("\n[\"twice\",2,\"lists_util.pl.html\",\"twice/2\",\"Y is twice X, once X is "
                      "known to be a number.\"],\n"),
            std::string::npos);
  EXPECT_NE(data.find("\n[\"solo\",0,\"shared/caf%E9.pl.html\",\"solo/0\",\"\"],\n"),
            std::string::npos);
  EXPECT_NE(
      Contents(output / "app" / "main.pl.html").find("<script src=\"../search-ui.js\" defer>"),
      std::string::npos);

  // Unchanged: not written again (a mark in it stays).
  std::ofstream(output / "search.js", std::ios::app) << "// kept\n";
  EXPECT_EQ(Build(output, 2).written, 0u);
  EXPECT_EQ(Contents(output / "search.js"), data + "// kept\n");

  // A summary of markup, escapes and characters past ASCII; a name in a
  // source that is not UTF-8.
  std::ofstream(source_ / "shared" / "common.pl", std::ios::app)
      << "%! odd is det.\n%  Says \"</script>\" \\ & caf\u00e9 \U0001F642.\nodd.\n";
  std::ofstream(source_ / "latin.pl") << "caf\xE9.\n";
  EXPECT_EQ(Build(output, 2).written, 3u);  // their pages and the index
  data = Contents(output / "search.js");
  EXPECT_NE(data.find("[\"odd\",0,\"shared/common.pl.html\",\"odd/0\",\"Says "
                      "\\\"\\u003C/script\\u003E\\\" \\\\ "
                      "\\u0026 caf\\u00E9 \\uD83D\\uDE42.\"],\n"),
            std::string::npos)
      << data;
  EXPECT_NE(data.find("\n[\"caf\\\\xE9\",0,\"latin.pl.html\",\"caf%E9/0\",\"\"],\n"),
            std::string::npos);
  EXPECT_EQ(data.find('<'), std::string::npos);
  EXPECT_TRUE(std::all_of(data.begin(), data.end(),
                          [](char c) { return static_cast<unsigned char>(c) < 0x80; }));
}

// A page links each load to the page of the file its request names. Faults
// found by incremental_test.cpp: with library(main) one of SWI-Prolog's,
// the tree's main.pl it named was not among the page's inputs; and with
// two requests naming one file, the set of files used stayed the same when a
// second main.pl made library(main) name none. Either way the page kept a
// link that a fresh build no longer makes.
TEST(SiteIncremental, ALoadWhoseFileChangesRewritesItsPage) {
  for (std::string loads : {":- use_module(library(main)).\n",
                            ":- use_module(library(main)).\n:- use_module(library(app/main)).\n"}) {
    MemoryFileSystem fs;
    fs.folders = {"src", "src/app", "src/lib"};
    fs.files = {{"src/gamma.pl", loads}, {"src/app/main.pl", ":- module(main, []).\n"}};
    BuildSite(fs, {"src", "out", {}, 1, true, {}, {}});
    fs.files["src/lib/main.pl"] = ":- module(main, []).\n";
    BuildSite(fs, {"src", "out", {}, 1, true, {}, {}});
    BuildSite(fs, {"src", "fresh", {}, 1, true, {}, {}});
    EXPECT_TRUE(fs.files["out/gamma.pl.html"] == fs.files["fresh/gamma.pl.html"]) << loads;
  }
}

TEST(SiteFailures, AFileThatCannotBeReadIsReportedAndTheRestMade) {
  MemoryFileSystem fs;
  fs.folders = {"src", "src/x"};
  fs.files = {{"src/a.pl", "a :- b.\n"}, {"src/x/b.pl", "b.\n"}, {"src/x/c.pl", "c.\n"}};
  fs.unreadable = {"src/x/b.pl"};
  SiteResult result = BuildSite(fs, {"src", "out", {}, 1, true, {}, {}});
  ASSERT_EQ(result.problems.size(), 1u);
  EXPECT_EQ(result.problems[0].path, "src/x/b.pl");
  EXPECT_EQ(result.problems[0].reason, "cannot be read (Permission denied)");
  EXPECT_EQ(fs.files.count("out/a.pl.html") + fs.files.count("out/x/c.pl.html"), 2u);
  EXPECT_EQ(fs.files.count("out/x/b.pl.html"), 0u);

  // The manifest is a file anyone may edit: a name in it that leads out of
  // OUT, or is no name at all, removes nothing.
  fs.files["escape.html"] = "keep";
  fs.files["out/.pl2html-site"] += "0123456789abcdef ..%2Fescape\n0123456789abcdef %zz\n";
  BuildSite(fs, {"src", "out", {}, 1, true, {}, {}});
  EXPECT_EQ(fs.files["escape.html"], "keep");

  // An index.html of the user's own in OUT stays.
  fs.files["mine/index.html"] = "my own index";
  result = BuildSite(fs, {"src", "mine", {}, 1, true, {}, {}});
  EXPECT_EQ(fs.files["mine/index.html"], "my own index");
  EXPECT_EQ(result.problems.front().path, "mine/index.html");  // problems come in path order
  // And a search.js of the user's own.
  fs.files["mine/search.js"] = "my own script";
  BuildSite(fs, {"src", "mine", {}, 1, true, {}, {}});
  EXPECT_EQ(fs.files["mine/search.js"], "my own script");

  // A folder that cannot be listed this time has not lost its sources:
  // their pages stay.
  fs.unlistable = {"src/x"};
  result = BuildSite(fs, {"src", "out", {}, 1, true, {}, {}});
  ASSERT_EQ(result.problems.size(), 1u);
  EXPECT_EQ(result.problems[0].reason, "cannot be listed (Permission denied)");
  EXPECT_EQ(fs.files.count("out/x/c.pl.html"), 1u);

  // With every file a source, "index" would have the index's page.
  fs.unlistable.clear();
  fs.files["src/index"] = "p.\n";
  result = BuildSite(fs, {"src", "out", {"*"}, 1, true, {}, {}});
  ASSERT_EQ(result.problems.size(), 2u);  // and b.pl, still unreadable
  EXPECT_EQ(result.problems[0].path, "src/index");
  EXPECT_EQ(result.problems[0].reason, "its page would replace the site's index");
  EXPECT_EQ(fs.files["out/index.html"].find("<!DOCTYPE html>"), 0u);

  fs.uncreatableFolders = {"elsewhere"};
  result = BuildSite(fs, {"src", "elsewhere", {}, 1, true, {}, {}});
  EXPECT_TRUE(result.unusable);
  EXPECT_EQ(result.problems.at(0).reason, "cannot be made (Permission denied)");
}

}  // namespace
}  // namespace pl2html::site
