// What only the Windows file system backend has to get right: drive roots,
// wildcards, sharing, the names of one file and the system's words for a
// failure. Built for Windows only.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "runtime/files.hpp"
#include "runtime/platform.hpp"

namespace pl2html {
namespace {

namespace stdfs = std::filesystem;

class Win32Files : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs.TemporaryFolder() + "\\pl2html-win32-" + std::to_string(fs.ProcessId()) + "-" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name();
    stdfs::remove_all(folder_);
    stdfs::create_directories(folder_);
  }

  void TearDown() override {
    std::error_code ignored;
    stdfs::remove_all(folder_, ignored);
  }

  std::string MakeFile(const std::string& name, const std::string& bytes) const {
    std::string path = folder_ + "\\" + name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }

  FileSystem& fs = SystemFileSystem();
  std::string folder_;
};

TEST_F(Win32Files, DriveRootsAreFoldersWhenTheDriveExists) {
  ASSERT_EQ(folder_[1], ':');
  std::string drive = folder_.substr(0, 2);
  EXPECT_EQ(FileSizeOf(fs, drive), kDirectoryPath);
  EXPECT_EQ(FileSizeOf(fs, drive + "\\"), kDirectoryPath);

  DWORD drives = ::GetLogicalDrives();
  char missing = 0;
  for (char letter = 'B'; letter <= 'Y' && missing == 0; ++letter) {
    if ((drives & (1u << (letter - 'A'))) == 0) missing = letter;
  }
  ASSERT_NE(missing, 0);
  EXPECT_EQ(FileSizeOf(fs, std::string(1, missing) + ":"), kNoSuchPath);
  EXPECT_EQ(FileSizeOf(fs, std::string(1, missing) + ":\\"), kNoSuchPath);
}

TEST_F(Win32Files, SizesAreTheFilesOwnAndWildcardsMatchNothing) {
  MakeFile("a.pl", "12345");
  EXPECT_EQ(FileSizeOf(fs, folder_ + "\\a.pl"), 5);
  EXPECT_EQ(FileSizeOf(fs, folder_ + "\\*.pl"), kNoSuchPath);
  EXPECT_EQ(FileSizeOf(fs, folder_ + "\\a.p?"), kNoSuchPath);
  // The forward slash works with the platform's calls even though the
  // program never cuts paths at it.
  EXPECT_EQ(FileSizeOf(fs, folder_ + "/a.pl"), 5);
}

TEST_F(Win32Files, ASourceOthersAreWritingCannotBeOpened) {
  std::string source = MakeFile("busy.pl", "a.\r\n");
  HANDLE writer = ::CreateFileA(source.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  EXPECT_EQ(fs.OpenForReading(source), 0);
  ::CloseHandle(writer);

  // While the source is open, others may still read it.
  FileHandle ours = fs.OpenForReading(source);
  ASSERT_NE(ours, 0);
  HANDLE reader = ::CreateFileA(source.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  EXPECT_NE(reader, INVALID_HANDLE_VALUE);
  if (reader != INVALID_HANDLE_VALUE) ::CloseHandle(reader);
  EXPECT_TRUE(fs.Close(ours));
}

TEST_F(Win32Files, OneFileIsTheSameUnderEveryNameItHas) {
  std::string source = MakeFile("prog.pl", "a.\r\n");
  MakeFile("other.pl", "a.\r\n");
  EXPECT_TRUE(fs.SameFile(source, folder_ + "\\PROG.PL"));
  EXPECT_TRUE(fs.SameFile(source, folder_ + "/prog.pl"));
  EXPECT_TRUE(fs.SameFile(source, folder_ + "\\.\\prog.pl"));
  EXPECT_FALSE(fs.SameFile(source, folder_ + "\\other.pl"));
  EXPECT_FALSE(fs.SameFile(source, folder_ + "\\missing.pl"));

  // Open as a source, the file can still be told apart.
  FileHandle open = fs.OpenForReading(source);
  ASSERT_NE(open, 0);
  EXPECT_TRUE(fs.SameFile(source, folder_ + "\\PROG.PL"));
  EXPECT_TRUE(fs.Close(open));
}

TEST_F(Win32Files, TheSystemsWordsForAFailureComeWithoutTheirLineEnd) {
  EXPECT_EQ(fs.OpenForReading(folder_ + "\\missing.pl"), 0);
  std::string words = fs.LastError();
  EXPECT_FALSE(words.empty());
  EXPECT_EQ(words.find_first_of("\r\n"), std::string::npos) << words;
  EXPECT_NE(words.back(), '.') << words;
}

}  // namespace
}  // namespace pl2html
