// The file system backend of the machine the tests run on (POSIX, or Windows
// under Wine), against what the file table and the driver rely on.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "convert/convert.hpp"
#include "runtime/files.hpp"
#include "runtime/platform.hpp"

namespace pl2html {
namespace {

namespace stdfs = std::filesystem;
using namespace std::string_literals;

class SystemFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = stdfs::temp_directory_path() /
              ("pl2html-test-" + std::to_string(fs.ProcessId()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    stdfs::remove_all(folder_);
    stdfs::create_directories(folder_);
  }

  void TearDown() override {
    std::error_code ignored;
    for (const auto& entry : stdfs::recursive_directory_iterator(folder_, ignored)) {
      stdfs::permissions(entry.path(), stdfs::perms::owner_all, stdfs::perm_options::add, ignored);
    }
    stdfs::remove_all(folder_, ignored);
  }

  std::string PathOf(const std::string& name) const { return (folder_ / name).string(); }

  std::string MakeFile(const std::string& name, const std::string& bytes) const {
    std::ofstream(folder_ / name, std::ios::binary) << bytes;
    return PathOf(name);
  }

  static std::string Contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

  FileSystem& fs = SystemFileSystem();
  stdfs::path folder_;
};

TEST_F(SystemFiles, SizesOfFilesFoldersAndMissingPaths) {
  EXPECT_EQ(FileSizeOf(fs, ""), kNoSuchPath);
  EXPECT_EQ(FileSizeOf(fs, PathOf("missing.pl")), kNoSuchPath);
  EXPECT_EQ(FileSizeOf(fs, MakeFile("empty.pl", "")), 0);
  EXPECT_EQ(FileSizeOf(fs, MakeFile("five.pl", "a\0b\r\n"s)), 5);
  stdfs::create_directory(folder_ / "sub");
  EXPECT_EQ(FileSizeOf(fs, PathOf("sub")), kDirectoryPath);
  EXPECT_EQ(FileSizeOf(fs, PathOf("sub") + fs.PathSeparator()), kDirectoryPath);
  EXPECT_EQ(FileSizeOf(fs, fs.TemporaryFolder()), kDirectoryPath);
  EXPECT_NE(fs.TemporaryFolder().back(), fs.PathSeparator());
}

TEST_F(SystemFiles, EveryByteValueSurvivesAWriteAndARead) {
  std::string bytes;
  for (int value = 0; value < 256; ++value)
    bytes += static_cast<char>(value);
  std::string path = PathOf("bytes.bin");

  FileHandle out = fs.CreateExclusive(path);
  ASSERT_NE(out, 0);
  EXPECT_TRUE(fs.Write(out, bytes.data(), bytes.size()));
  EXPECT_TRUE(fs.Close(out));
  EXPECT_EQ(Contents(path), bytes);

  FileHandle in = fs.OpenForReading(path);
  ASSERT_NE(in, 0);
  char buffer[300];
  EXPECT_EQ(fs.Read(in, buffer, sizeof buffer), 256);
  EXPECT_EQ(std::string(buffer, 256), bytes);
  EXPECT_EQ(fs.Read(in, buffer, sizeof buffer), 0);  // the end, not an error
  EXPECT_TRUE(fs.Close(in));
}

TEST_F(SystemFiles, CreatingNeverClobbersAndOpeningNeverCreates) {
  std::string existing = MakeFile("page.html", "old page");
  EXPECT_EQ(fs.CreateExclusive(existing), 0);
  EXPECT_FALSE(fs.LastError().empty());
  EXPECT_EQ(Contents(existing), "old page");

  std::string missing = PathOf("missing.pl");
  EXPECT_EQ(fs.OpenForReading(missing), 0);
  EXPECT_FALSE(fs.LastError().empty());
  EXPECT_FALSE(stdfs::exists(missing));

  EXPECT_EQ(fs.CreateExclusive(PathOf("no-folder") + fs.PathSeparator() + "x.html"), 0);
}

TEST_F(SystemFiles, ReplaceMovesOverAnEarlierFileAndDeleteRemoves) {
  std::string page = MakeFile("a.pl.html", "an earlier, longer page");
  std::string scratch = MakeFile("a.pl.html.tmp", "new");
  EXPECT_TRUE(fs.Replace(scratch, page));
  EXPECT_EQ(Contents(page), "new");
  EXPECT_FALSE(stdfs::exists(scratch));

  EXPECT_TRUE(fs.Delete(page));
  EXPECT_FALSE(stdfs::exists(page));
  EXPECT_FALSE(fs.Delete(page));
  EXPECT_FALSE(fs.Replace(scratch, page));
}

TEST_F(SystemFiles, ClosingAStandardStreamLeavesItOpen) {
  EXPECT_TRUE(fs.Close(fs.StandardError()));
  EXPECT_TRUE(fs.Write(fs.StandardError(), "\n", 1));
}

TEST_F(SystemFiles, AReadOnlySourceConvertsAndAnEarlierPageIsReplaced) {
  std::string source = MakeFile("ro.pl", "a :- b.\r\nc\rd\ne\0f\xE9g"s);
  stdfs::permissions(source, stdfs::perms::owner_read | stdfs::perms::group_read);
  std::string page = MakeFile("ro.pl.html", std::string(5000, '#') + "EARLIER");

  Outcome outcome = ConvertSource(fs, source, {page, false}, "ro.pl");
  ASSERT_TRUE(outcome.Ok()) << Describe(outcome);
  std::string written = Contents(page);
  EXPECT_NE(written.find("c\r\nd\r\ne\r\nf\xE9g\r\n"), std::string::npos);
  EXPECT_EQ(written.find("EARLIER"), std::string::npos) << "the earlier page was not replaced";
  EXPECT_EQ(Contents(source), "a :- b.\r\nc\rd\ne\0f\xE9g"s);
  EXPECT_EQ(std::distance(stdfs::directory_iterator(folder_), stdfs::directory_iterator()), 2)
      << "a scratch file was left behind";
}

TEST_F(SystemFiles, APageInAMissingFolderFailsAndSaysWhy) {
  std::string source = MakeFile("a.pl", "a.\n");
  Outcome outcome =
      ConvertSource(fs, source, {PathOf("none") + fs.PathSeparator() + "a.pl.html", false}, "a");
  EXPECT_EQ(outcome.failure, Failure::kCannotWrite);
  EXPECT_FALSE(outcome.detail.empty());
}

TEST_F(SystemFiles, APageNameTakenByAFolderFailsAndLeavesNoScratch) {
  std::string source = MakeFile("a.pl", "a.\n");
  stdfs::create_directory(folder_ / "a.pl.html");
  Outcome outcome = ConvertSource(fs, source, {PathOf("a.pl.html"), false}, "a.pl");
  EXPECT_EQ(outcome.failure, Failure::kCannotWrite);
  EXPECT_FALSE(outcome.detail.empty());
  EXPECT_TRUE(stdfs::is_directory(folder_ / "a.pl.html"));
  EXPECT_EQ(std::distance(stdfs::directory_iterator(folder_), stdfs::directory_iterator()), 2)
      << "the scratch page was left behind";
}

}  // namespace
}  // namespace pl2html
