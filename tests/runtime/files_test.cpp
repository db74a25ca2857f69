#include "runtime/files.hpp"

#include <gtest/gtest.h>

#include "support/memory_file_system.hpp"

namespace pl2html {
namespace {

class FileTableTest : public ::testing::Test {
 protected:
  MemoryFileSystem fs;
  FileTable files{fs};
  FileHandle CreatePage() { return files.AttachNumbered(2, fs.CreateExclusive("page"), true); }
};

TEST_F(FileTableTest, ReadsTheNumberedFileAndTestsTheEndOfAnyFile) {
  fs.files["src"] = "ab\r\ncd\r\n";
  ASSERT_NE(files.OpenNumbered(1, "src"), 0);
  ASSERT_NE(CreatePage(), 0);  // now the current file

  EXPECT_EQ(files.AtEnd(1), 0);
  EXPECT_EQ(files.ReadLine(2), "");  // file 2 is written, not read
  EXPECT_EQ(files.ReadLine(1), "ab");
  EXPECT_EQ(files.ReadLine(1), "cd");
  EXPECT_EQ(files.AtEnd(1), kTrue);
  EXPECT_EQ(~files.AtEnd(1), 0);  // callers negate it bitwise
}

TEST_F(FileTableTest, SelectingAClosedNumberKeepsTheCurrentFile) {
  ASSERT_NE(CreatePage(), 0);
  files.SelectFile(7);
  files.SelectFile(-1);
  files.SelectFile(1000);
  EXPECT_EQ(files.WritePart("still page"), 10);
  files.CloseAllFiles();
  EXPECT_EQ(fs.files["page"], "still page");
}

TEST_F(FileTableTest, AFailedOpenLeavesNoCurrentFileAndTheOldEntry) {
  fs.files["a"] = "first\n";
  ASSERT_NE(files.OpenNumbered(1, "a"), 0);
  EXPECT_EQ(files.OpenNumbered(1, "missing"), 0);
  EXPECT_EQ(files.WritePart("x"), 0);  // nothing current
  EXPECT_EQ(files.ReadLine(1), "first");
  EXPECT_EQ(fs.files.count("missing"), 0u);  // reading never creates a file
}

TEST_F(FileTableTest, ReopeningANumberClosesItsOldFile) {
  fs.files["a"] = "a\n";
  fs.files["b"] = "b\n";
  files.OpenNumbered(1, "a");
  files.OpenNumbered(1, "b");
  EXPECT_EQ(fs.OpenHandles(), 1u);
  EXPECT_EQ(files.ReadLine(1), "b");
  files.OpenNumbered(12, "a");  // the table grows past its first ten numbers
  EXPECT_EQ(files.ReadLine(12), "a");
  files.CloseAllFiles();
  EXPECT_EQ(fs.OpenHandles(), 0u);
}

TEST_F(FileTableTest, LongLinesSurviveReopeningAndSecondReaders) {
  // The memory of a long line passes from a closed reader to the next one;
  // two readers open at once must still keep their own lines.
  const std::string longA(300000, 'a');
  const std::string longB(200000, 'b');
  fs.files["a"] = longA + "\nshort\n" + longA + "x";
  fs.files["b"] = longB + "\r\n";
  for (int pass = 0; pass < 2; ++pass) {
    ASSERT_NE(files.OpenNumbered(1, "a"), 0);
    EXPECT_EQ(files.ReadLine(1), longA);
    ASSERT_NE(files.OpenNumbered(3, "b"), 0);
    std::string_view lineOfB = files.ReadLine(3);
    EXPECT_EQ(files.ReadLine(1), "short");
    EXPECT_EQ(files.ReadLine(1), longA + "x");
    EXPECT_EQ(lineOfB, longB);  // untouched by reading file 1
    EXPECT_EQ(files.AtEnd(1), kTrue);
    files.CloseAllFiles();
  }
}

TEST_F(FileTableTest, ADetachedFileStaysOpenWithItsBytesWritten) {
  FileHandle page = CreatePage();
  files.WritePart("all of it");
  EXPECT_TRUE(files.DetachNumbered(2));
  EXPECT_EQ(fs.files["page"], "all of it");
  EXPECT_EQ(fs.OpenHandles(), 1u);
  EXPECT_EQ(files.WritePart("more"), 0);  // no longer in the table
  EXPECT_TRUE(fs.Close(page));
}

TEST_F(FileTableTest, AWriteErrorIsReportedWhenTheFileCloses) {
  fs.writeFailsAfter = 10;
  ASSERT_NE(CreatePage(), 0);
  files.WritePart("more than ten bytes");
  EXPECT_FALSE(files.CloseNumbered(2));
}

TEST_F(FileTableTest, AWriteErrorInALargePageIsRemembered) {
  fs.writeFailsAfter = 100000;
  ASSERT_NE(CreatePage(), 0);
  std::string line(1000, 'x');
  for (int i = 0; i < 200; ++i)
    files.WritePart(line);
  EXPECT_TRUE(files.Failed(2));
  EXPECT_FALSE(files.CloseNumbered(2));
}

TEST_F(FileTableTest, AReadErrorIsRememberedAsAFailure) {
  fs.files["src"] = "line one\nline two\n";
  fs.readFailsAfter = 5;
  ASSERT_NE(files.OpenNumbered(1, "src"), 0);
  while (files.AtEnd(1) == 0)
    files.ReadLine(1);
  EXPECT_TRUE(files.Failed(1));
  EXPECT_FALSE(files.CloseNumbered(1));
}

TEST(FileSizeOf, TellsFilesFoldersAndNothingApart) {
  MemoryFileSystem fs;
  fs.files["dir/empty.pl"] = "";
  fs.files["dir/ten.pl"] = "0123456789";
  fs.folders.insert("dir");
  fs.folders.insert("/");
  EXPECT_EQ(FileSizeOf(fs, ""), kNoSuchPath);
  EXPECT_EQ(FileSizeOf(fs, "nothing"), kNoSuchPath);
  EXPECT_EQ(FileSizeOf(fs, "dir"), kDirectoryPath);
  EXPECT_EQ(FileSizeOf(fs, "dir/"), kDirectoryPath);
  EXPECT_EQ(FileSizeOf(fs, "/"), kDirectoryPath);
  EXPECT_EQ(FileSizeOf(fs, "dir/empty.pl"), 0);
  EXPECT_EQ(FileSizeOf(fs, "dir/ten.pl"), 10);
}

TEST(FileSizeOf, UsesTheWindowsSeparatorOnWindows) {
  MemoryFileSystem fs('\\');
  fs.folders.insert("C:\\dir");
  EXPECT_EQ(FileSizeOf(fs, "C:\\dir\\"), kDirectoryPath);
}

TEST(FilePartOf, TakesTheLastComponent) {
  EXPECT_EQ(FilePartOf("C:\\dir\\x.pl", '\\'), "x.pl");
  EXPECT_EQ(FilePartOf("\"C:\\dir\\x.pl\"", '\\'), "x.pl");
  EXPECT_EQ(FilePartOf("x.pl", '\\'), "x.pl");
  EXPECT_EQ(FilePartOf("C:/dir/x.pl", '\\'), "C:/dir/x.pl");
  EXPECT_EQ(FilePartOf("/home/me/x.pl", '/'), "x.pl");
  EXPECT_EQ(FilePartOf("", '/'), "");
  EXPECT_EQ(FilePartOf("dir/", '/'), "");
}

}  // namespace
}  // namespace pl2html
