#include "runtime/desktop/paths.hpp"

#include <gtest/gtest.h>

#include <string>

namespace pl2html {
namespace {

TEST(SplitDefaultName, CutsAtTheLastSeparatorAfterTheFirstByte) {
  DialogStart start = SplitDefaultName("C:\\dir\\sub\\x.pl", '\\');
  EXPECT_EQ(start.folder, "C:\\dir\\sub");
  EXPECT_EQ(start.name, "x.pl");

  start = SplitDefaultName("C:\\dir\\", '\\');
  EXPECT_EQ(start.folder, "C:\\dir");
  EXPECT_EQ(start.name, "");

  // No separator, or one only at the first byte: all of it is the name and
  // the platform picks the folder.
  for (const char* name : {"", "x.pl", "\\x.pl"}) {
    start = SplitDefaultName(name, '\\');
    EXPECT_EQ(start.folder, "") << name;
    EXPECT_EQ(start.name, name) << name;
  }

  // A forward slash is no separator here.
  start = SplitDefaultName("C:/dir/x.pl", '\\');
  EXPECT_EQ(start.folder, "");
  EXPECT_EQ(start.name, "C:/dir/x.pl");
}

TEST(SplitDefaultName, ABareDriveKeepsItsSeparatorToNameTheRoot) {
  DialogStart start = SplitDefaultName("C:\\x.pl", '\\');
  EXPECT_EQ(start.folder, "C:\\");
  EXPECT_EQ(start.name, "x.pl");
}

TEST(WorkingFolderOf, IsThePathUpToAndWithItsLastSeparator) {
  EXPECT_EQ(WorkingFolderOf("C:\\docs\\a.pl.html", '\\'), "C:\\docs\\");
  EXPECT_EQ(WorkingFolderOf("C:\\a.pl.html", '\\'), "C:\\");
  EXPECT_EQ(WorkingFolderOf("\\\\server\\share\\a.html", '\\'), "\\\\server\\share\\");
  EXPECT_EQ(WorkingFolderOf("/home/me/a.pl.html", '/'), "/home/me/");
  // None: no separator, or only at the first byte.
  EXPECT_EQ(WorkingFolderOf("x.html", '\\'), "");
  EXPECT_EQ(WorkingFolderOf("\\x.html", '\\'), "");
  EXPECT_EQ(WorkingFolderOf("", '\\'), "");
  EXPECT_EQ(WorkingFolderOf("C:/docs/a.html", '\\'), "");
}

}  // namespace
}  // namespace pl2html
