// The text of xref.json and of the tags file: JSON strings from any bytes,
// the tags' lines and the paths they hold from the tags file's folder.
#include "site/xref_json.hpp"

#include <gtest/gtest.h>

#include <string>

#include "site/tags.hpp"

namespace pl2html::site {
namespace {

std::string Json(std::string_view bytes, bool latin1 = false) {
  std::string out;
  AppendJsonString(out, bytes, latin1);
  return out;
}

TEST(XrefJson, StringsAreEscapedAndAlwaysUtf8) {
  EXPECT_EQ(Json("a\"b\\c\nd\te\x01\x7F"), "\"a\\\"b\\\\c\\nd\\te\\u0001\\u007f\"");
  EXPECT_EQ(Json("caf\xC3\xA9 \xF0\x9F\x98\x80"), "\"caf\xC3\xA9 \xF0\x9F\x98\x80\"");
  // A stray byte, a cut character, an overlong form, a surrogate: one
  // U+FFFD for each byte.
  EXPECT_EQ(Json("caf\xE9"), "\"caf\xEF\xBF\xBD\"");
  EXPECT_EQ(Json("\xE2\x82"), "\"\xEF\xBF\xBD\xEF\xBF\xBD\"");
  EXPECT_EQ(Json("\xC0\xAF"), "\"\xEF\xBF\xBD\xEF\xBF\xBD\"");
  EXPECT_EQ(Json("\xED\xA0\x80"), "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\"");
  // A name of a Latin-1 source.
  EXPECT_EQ(Json("caf\xE9", true), "\"caf\xC3\xA9\"");
}

TEST(Tags, PathsLeadFromTheTagsFolder) {
  EXPECT_EQ(RelativePath("/w/src", "/w/src", '/'), "");
  EXPECT_EQ(RelativePath("/w", "/w/src", '/'), "src");
  EXPECT_EQ(RelativePath("/w/src/sub", "/w/src", '/'), "..");
  EXPECT_EQ(RelativePath("/w/tags/x", "/w/src", '/'), "../../src");
  EXPECT_EQ(RelativePath("/", "/w/src", '/'), "w/src");
  EXPECT_EQ(RelativePath("/wsrc", "/w", '/'), "../w");
  EXPECT_EQ(RelativePath("C:\\tags", "C:\\w\\src", '\\'), "..\\w\\src");
  EXPECT_EQ(RelativePath("D:\\tags", "C:\\w\\src", '\\'), "C:\\w\\src");
}

TEST(Tags, SortedLinesOfTheNamesALineCanHold) {
  std::vector<SourceFile> files = {{"b.pl", 0}, {"a/x.pl", 0}};
  std::vector<FileFacts> facts(2);
  facts[0].definitions = {{"zeta/1", {}, 3, false, {}, {}},
                          {"tab\there/0", {}, 4, false, {}, {}},
                          {"!_TAG_x/0", {}, 5, false, {}, {}},
                          {"/0", {}, 6, false, {}, {}},
                          {"a/b/2", {}, 7, false, {}, {}}};
  facts[1].isModule = true;
  facts[1].definitions = {{"alpha/2", {}, 9, true, {}, {}}, {"beta/0", {}, 10, false, {}, {}}};
  std::string text = TagsText(files, facts, "../src/", '/');
  EXPECT_TRUE(text.starts_with("!_TAG_FILE_FORMAT\t2\t"));
  std::size_t body = text.find("a/b\t");
  ASSERT_NE(body, std::string::npos);
  EXPECT_EQ(text.substr(body),
            "a/b\t../src/b.pl\t7;\"\tkind:predicate\tarity:2\n"
            "alpha\t../src/a/x.pl\t9;\"\tkind:predicate\tarity:2\n"
            "beta\t../src/a/x.pl\t10;\"\tkind:predicate\tarity:0\tfile:\n"
            "zeta\t../src/b.pl\t3;\"\tkind:predicate\tarity:1\n");
}

}  // namespace
}  // namespace pl2html::site
