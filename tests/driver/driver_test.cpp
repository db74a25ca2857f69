#include <gtest/gtest.h>

#include <new>
#include <set>

#include "convert/convert.hpp"
#include "driver/run.hpp"
#include "support/memory_file_system.hpp"
#include "support/scripted_desktop.hpp"

namespace pl2html {
namespace {

const std::string kErrorMessage = "Erreur: An error as occured 0";

class DesktopFlowTest : public ::testing::Test {
 protected:
  MemoryFileSystem fs;
  ScriptedDesktop desktop;

  int Run() {
    return Main({}, fs, [this]() -> Desktop& { return desktop; });
  }

  void ExpectOneErrorAndNothingElse() {
    EXPECT_EQ(desktop.messages, std::vector<std::string>{kErrorMessage});
    EXPECT_TRUE(desktop.launched.empty());
    EXPECT_EQ(fs.OpenHandles(), 0u);
    EXPECT_TRUE(fs.deletedIfInterrupted.empty());
  }
};

TEST_F(DesktopFlowTest, ConvertsTheChosenFileAndShowsItsPage) {
  fs.folders.insert("/work");
  fs.files["/work/prog.pl"] = "int f(node n)\nnode(X).\n";
  desktop.answer = "/work/prog.pl";
  EXPECT_EQ(Run(), kSuccess);
  EXPECT_EQ(desktop.dialogs,
            std::vector<std::string>{"Fichier Prolog \xE0 ouvrir||Fichiers Prolog (*.pl)|*.pl|0"});
  EXPECT_TRUE(desktop.messages.empty());
  EXPECT_EQ(desktop.launched, std::vector<std::string>{"/work/prog.pl.html"});
  const std::string& page = fs.files["/work/prog.pl.html"];
  EXPECT_NE(page.find("<title>prog.pl</title>\r\n"), std::string::npos);
  // The type word learned by the first pass colours the whole page.
  EXPECT_NE(page.find("\r\n<font class='type'>node</font>(X).\r\n</pre>"), std::string::npos);
  EXPECT_EQ(fs.files.size(), 2u);  // no scratch file left behind
}

TEST_F(DesktopFlowTest, ReplacesAnEarlierPage) {
  fs.files["prog.pl"] = "a.\n";
  fs.files["prog.pl.html"] = std::string(100000, '~');
  desktop.answer = "prog.pl";
  EXPECT_EQ(Run(), kSuccess);
  EXPECT_EQ(fs.files["prog.pl.html"].find("<html>\r\n"), 0u);
  EXPECT_EQ(fs.files["prog.pl.html"].find('~'), std::string::npos);
}

TEST_F(DesktopFlowTest, AppendsHtmlToAnyExtension) {
  fs.files["notes.txt"] = "a.\n";
  desktop.answer = "notes.txt";
  EXPECT_EQ(Run(), kSuccess);
  EXPECT_EQ(desktop.launched, std::vector<std::string>{"notes.txt.html"});
}

TEST_F(DesktopFlowTest, ACancelledDialogShowsOneErrorAndWritesNothing) {
  desktop.answer = "";
  EXPECT_EQ(Run(), kFailure);
  ExpectOneErrorAndNothingElse();
  EXPECT_TRUE(fs.files.empty());
}

TEST_F(DesktopFlowTest, AMissingFileShowsOneErrorAndCreatesNothing) {
  desktop.answer = "/work/typed.pl";
  EXPECT_EQ(Run(), kFailure);
  ExpectOneErrorAndNothingElse();
  EXPECT_TRUE(fs.files.empty());
}

TEST_F(DesktopFlowTest, AnEmptyFileOrAFolderShowsOneError) {
  fs.files["empty.pl"] = "";
  fs.folders.insert("folder.pl");
  for (const char* answer : {"empty.pl", "folder.pl", "folder.pl/"}) {
    ScriptedDesktop fresh;
    fresh.answer = answer;
    EXPECT_EQ(Main({}, fs, [&]() -> Desktop& { return fresh; }), kFailure) << answer;
    EXPECT_EQ(fresh.messages, std::vector<std::string>{kErrorMessage}) << answer;
    EXPECT_TRUE(fresh.launched.empty());
  }
  EXPECT_EQ(fs.files.size(), 1u);
}

TEST_F(DesktopFlowTest, AnUnreadableSourceShowsOneError) {
  fs.files["locked.pl"] = "a.\n";
  fs.unreadable.insert("locked.pl");
  desktop.answer = "locked.pl";
  EXPECT_EQ(Run(), kFailure);
  ExpectOneErrorAndNothingElse();
}

TEST_F(DesktopFlowTest, APageThatCannotBeCreatedShowsOneErrorAndKeepsTheOldPage) {
  fs.files["prog.pl"] = "a.\n";
  fs.files["prog.pl.html"] = "earlier";
  fs.failAllCreates = true;
  desktop.answer = "prog.pl";
  EXPECT_EQ(Run(), kFailure);
  ExpectOneErrorAndNothingElse();
  EXPECT_EQ(fs.files["prog.pl.html"], "earlier");
}

TEST_F(DesktopFlowTest, AFullDiskIsAFailureAndLeavesNoPartOfThePage) {
  fs.files["prog.pl"] = std::string(300000, 'a') + "\n";
  fs.files["prog.pl.html"] = "earlier";
  fs.writeFailsAfter = 1000;
  desktop.answer = "prog.pl";
  EXPECT_EQ(Run(), kFailure);
  ExpectOneErrorAndNothingElse();
  EXPECT_EQ(fs.files.size(), 2u);
  EXPECT_EQ(fs.files["prog.pl.html"], "earlier");
}

TEST_F(DesktopFlowTest, AReadErrorIsAFailure) {
  fs.files["prog.pl"] = std::string(200000, 'a');
  fs.readFailsAfter = 250000;  // the first pass reads it all, the second fails
  desktop.answer = "prog.pl";
  EXPECT_EQ(Run(), kFailure);
  ExpectOneErrorAndNothingElse();
  EXPECT_EQ(fs.files.count("prog.pl.html"), 0u);
  EXPECT_EQ(fs.files.size(), 1u);
}

TEST_F(DesktopFlowTest, AFailedMoveIntoPlaceIsAFailure) {
  fs.files["prog.pl"] = "a.\n";
  fs.failReplace = true;
  desktop.answer = "prog.pl";
  EXPECT_EQ(Run(), kFailure);
  ExpectOneErrorAndNothingElse();
  EXPECT_EQ(fs.files.size(), 1u);
}

// While the page is written, an interruption would remove its scratch file;
// once it is in place, nothing is left to remove.
TEST(ScratchPage, IsRemovedIfTheConversionIsInterrupted) {
  struct WatchedFileSystem : MemoryFileSystem {
    std::set<std::string> whileWriting;
    bool Write(FileHandle file, const char* data, std::size_t size) override {
      if (whileWriting.empty()) whileWriting = deletedIfInterrupted;
      return MemoryFileSystem::Write(file, data, size);
    }
  } fs;
  ScriptedDesktop desktop;
  fs.files["a.pl"] = "a.\n";
  EXPECT_EQ(Main({"a.pl"}, fs, [&]() -> Desktop& { return desktop; }), kSuccess);
  EXPECT_EQ(fs.whileWriting, std::set<std::string>{"a.pl.html.4242-0.tmp"});
  EXPECT_TRUE(fs.deletedIfInterrupted.empty());
  EXPECT_EQ(fs.files.size(), 2u);
}

TEST_F(DesktopFlowTest, AScratchNameInUseIsSkipped) {
  fs.files["prog.pl"] = "a.\n";
  fs.files["prog.pl.html.4242-0.tmp"] = "someone else's";
  desktop.answer = "prog.pl";
  EXPECT_EQ(Run(), kSuccess);
  EXPECT_EQ(fs.files["prog.pl.html.4242-0.tmp"], "someone else's");
  EXPECT_EQ(fs.files.size(), 3u);
}

class CommandLineTest : public ::testing::Test {
 protected:
  MemoryFileSystem fs;
  ScriptedDesktop desktop;

  int Run(const std::vector<std::string>& args) {
    return Main(args, fs, [this]() -> Desktop& { return desktop; });
  }
};

TEST_F(CommandLineTest, ConvertsEachFileOnItsOwn) {
  fs.files["a.pl"] = "int f(mine m)\nmine x.\n";
  fs.files["b.pl"] = "'open\n";
  fs.files["c.pl"] = "mine x.\n";
  EXPECT_EQ(Run({"a.pl", "b.pl", "c.pl"}), kSuccess);
  EXPECT_NE(fs.files["a.pl.html"].find("<font class='type'>mine</font> x."), std::string::npos);
  // Neither the learned type word nor the open quote reaches the next file.
  EXPECT_NE(fs.files["c.pl.html"].find("\r\nmine x.\r\n"), std::string::npos);
  EXPECT_TRUE(desktop.dialogs.empty());
  EXPECT_TRUE(desktop.launched.empty());
  EXPECT_TRUE(fs.standardError.empty());
}

TEST_F(CommandLineTest, GivesTheSamePageAsTheDesktopFlow) {
  fs.files["p.pl"] = "foo(X) :- bar(X, 12). % done\r\n";
  EXPECT_EQ(Run({"p.pl"}), kSuccess);
  std::string fromCommandLine = fs.files["p.pl.html"];
  fs.files.erase("p.pl.html");
  desktop.answer = "p.pl";
  EXPECT_EQ(Run({}), kSuccess);
  EXPECT_EQ(fs.files["p.pl.html"], fromCommandLine);
}

TEST_F(CommandLineTest, ReportsEachFailedFileAndGoesOn) {
  fs.files["good.pl"] = "a.\n";
  fs.files["empty.pl"] = "";
  fs.folders.insert("dir");
  EXPECT_EQ(Run({"missing.pl", "empty.pl", "dir", "good.pl"}), kFailure);
  EXPECT_EQ(fs.standardError,
            "pl2html: missing.pl: no such file\n"
            "pl2html: empty.pl: is empty\n"
            "pl2html: dir: is a directory\n");
  EXPECT_EQ(fs.files.count("good.pl.html"), 1u);
  EXPECT_TRUE(desktop.messages.empty());
}

// Memory running out while the page of one file is made: as for a line or a
// table of type words too large for the machine.
class MemoryRunsOut : public MemoryFileSystem {
 public:
  FileHandle OpenForReading(const std::string& path) override {
    ++sourcesOpened;
    return MemoryFileSystem::OpenForReading(path);
  }
  std::int64_t Read(FileHandle file, char* buffer, std::size_t size) override {
    if (sourcesOpened == 2) throw std::bad_alloc();  // the page pass over the first file
    return MemoryFileSystem::Read(file, buffer, size);
  }
  int sourcesOpened = 0;
};

TEST(OutOfMemory, FailsThatFileOnlyAndLeavesNoPartOfItsPage) {
  MemoryRunsOut fs;
  ScriptedDesktop desktop;
  fs.files["big.pl"] = "a.\n";
  fs.files["big.pl.html"] = "earlier page";
  fs.files["good.pl"] = "b.\n";
  EXPECT_EQ(Main({"big.pl", "good.pl"}, fs, [&]() -> Desktop& { return desktop; }), kFailure);
  EXPECT_EQ(fs.standardError, "pl2html: big.pl: is too large to convert (out of memory)\n");
  EXPECT_EQ(fs.files["big.pl.html"], "earlier page");
  EXPECT_EQ(fs.files.count("good.pl.html"), 1u);
  EXPECT_EQ(fs.files.size(), 4u);  // no scratch file left
  EXPECT_EQ(fs.OpenHandles(), 0u);
}

TEST_F(CommandLineTest, WritesIntoADeviceWithoutPuttingAFileInItsPlace) {
  fs.files["a.pl"] = "a.\n";
  fs.devices["/dev/null"];
  EXPECT_EQ(Run({"-o", "/dev/null", "a.pl"}), kSuccess);
  EXPECT_NE(fs.devices["/dev/null"].find("<pre>\r\na.\r\n</pre>"), std::string::npos);
  EXPECT_EQ(fs.files.size(), 1u);  // neither a scratch page nor a file named /dev/null
  EXPECT_EQ(fs.OpenHandles(), 0u);
}

TEST_F(CommandLineTest, NamesThePlatformsReasonForAPageThatCannotBeWritten) {
  fs.files["a.pl"] = "a.\n";
  fs.failAllCreates = true;
  EXPECT_EQ(Run({"a.pl"}), kFailure);
  EXPECT_EQ(fs.standardError, "pl2html: a.pl.html: page cannot be written (Permission denied)\n");
}

TEST_F(CommandLineTest, KeepsThePlatformsReasonWhenAScratchNameIsFree) {
  fs.files["a.pl"] = "a.\n";
  fs.uncreatable.insert("a.pl.html.4242-0.tmp");
  EXPECT_EQ(Run({"a.pl"}), kFailure);
  EXPECT_EQ(fs.standardError, "pl2html: a.pl.html: page cannot be written (Permission denied)\n");
}

TEST_F(CommandLineTest, WritesToAChosenFileOrToStandardOutput) {
  fs.files["a.pl"] = "a.\n";
  EXPECT_EQ(Run({"-o", "out.html", "a.pl"}), kSuccess);
  EXPECT_EQ(fs.files.count("a.pl.html"), 0u);
  EXPECT_EQ(Run({"-o", "-", "a.pl"}), kSuccess);
  EXPECT_EQ(fs.standardOutput, fs.files["out.html"]);
  EXPECT_NE(fs.standardOutput.find("<title>a.pl</title>"), std::string::npos);
}

TEST_F(CommandLineTest, ReadsStandardInputWhenTheFileIsADash) {
  fs.folders.insert("tmp");
  fs.standardInput = "int f(t x)\nt x.\n";
  EXPECT_EQ(Run({"-"}), kSuccess);
  EXPECT_NE(fs.standardOutput.find("<title>stdin</title>"), std::string::npos);
  EXPECT_NE(fs.standardOutput.find("<font class='type'>t</font> x."), std::string::npos);
  EXPECT_EQ(fs.files.size(), 0u);  // the scratch copy is gone

  fs.standardOutput.clear();
  EXPECT_EQ(Run({"-"}), kFailure);  // standard input is used up now
  EXPECT_EQ(fs.standardError, "pl2html: -: is empty\n");
}

TEST_F(CommandLineTest, OpensThePagesWhenAsked) {
  fs.files["a.pl"] = "a.\n";
  fs.files["b.pl"] = "b.\n";
  EXPECT_EQ(Run({"--open", "a.pl", "missing.pl", "b.pl"}), kFailure);
  EXPECT_EQ(desktop.launched, (std::vector<std::string>{"a.pl.html", "b.pl.html"}));
}

// "pl2html --open %F" from a desktop entry started from a menu: no file.
TEST_F(CommandLineTest, OpenWithoutAFileAsksForOne) {
  fs.files["prog.pl"] = "a.\n";
  desktop.answer = "prog.pl";
  EXPECT_EQ(Run({"--open"}), kSuccess);
  EXPECT_EQ(desktop.dialogs.size(), 1u);
  EXPECT_EQ(desktop.launched, std::vector<std::string>{"prog.pl.html"});

  desktop.answer = "";
  EXPECT_EQ(Run({"--open"}), kFailure);
  EXPECT_EQ(desktop.messages, std::vector<std::string>{kErrorMessage});
}

TEST_F(CommandLineTest, RejectsBadUsageWithStatusTwo) {
  for (const auto& args : std::vector<std::vector<std::string>>{{"--bogus", "a.pl"},
                                                                {"-o"},
                                                                {"-o", "x", "a.pl", "b.pl"},
                                                                {"-o", "x"},
                                                                {"-o", "x", "-o", "y", "a.pl"}}) {
    fs.standardError.clear();
    EXPECT_EQ(Run(args), kUsageError) << args[0];
    EXPECT_EQ(fs.standardError.rfind("pl2html: ", 0), 0u);
  }
  EXPECT_TRUE(fs.files.empty());
}

TEST_F(CommandLineTest, AnswersHelpAndVersion) {
  EXPECT_EQ(Run({"--help"}), kSuccess);
  EXPECT_EQ(fs.standardOutput.rfind("usage: pl2html", 0), 0u);
  fs.standardOutput.clear();
  EXPECT_EQ(Run({"--version"}), kSuccess);
  EXPECT_EQ(fs.standardOutput.rfind("pl2html ", 0), 0u);
}

TEST_F(CommandLineTest, NeverWritesAPageOverItsSource) {
  fs.files["a.pl"] = "a.\n";
  EXPECT_EQ(Run({"-o", "a.pl", "a.pl"}), kFailure);
  EXPECT_EQ(fs.files["a.pl"], "a.\n");
  EXPECT_EQ(fs.files.size(), 1u);
  EXPECT_EQ(fs.standardError, "pl2html: a.pl: page cannot be written (it is the source itself)\n");
}

TEST_F(CommandLineTest, TakesTheNameAfterDashOAsItIs) {
  fs.files["a.pl"] = "a.\n";
  EXPECT_EQ(Run({"-o", "--help", "a.pl"}), kSuccess);
  EXPECT_EQ(fs.files.count("--help"), 1u);
}

TEST_F(CommandLineTest, TakesNamesAfterADoubleDashAsFiles) {
  fs.files["--open"] = "a.\n";
  EXPECT_EQ(Run({"--", "--open"}), kSuccess);
  EXPECT_EQ(fs.files.count("--open.html"), 1u);
}

}  // namespace
}  // namespace pl2html
