#include "runtime/desktop/open_dialog.hpp"

#include <gtest/gtest.h>

namespace pl2html {
namespace {

using Patterns = std::vector<std::string>;
using namespace std::string_literals;

TEST(ParseFilterList, CutsDescriptionsAndPatternsAtBars) {
  std::vector<FileFilter> filters = ParseFilterList("Fichiers Prolog (*.pl)|*.pl");
  ASSERT_EQ(filters.size(), 1u);
  EXPECT_EQ(filters[0].description, "Fichiers Prolog (*.pl)");
  EXPECT_EQ(filters[0].patterns, Patterns{"*.pl"});

  filters = ParseFilterList("Prolog|*.pl;*.pro; *.P |Tout|*.*");
  ASSERT_EQ(filters.size(), 2u);
  EXPECT_EQ(filters[0].patterns, (Patterns{"*.pl", "*.pro", "*.P"}));
  EXPECT_EQ(filters[1].description, "Tout");
  EXPECT_EQ(filters[1].patterns, Patterns{"*.*"});
}

// A pair with an empty piece would end the Windows dialog's list early; it is
// left out there and here alike.
TEST(ParseFilterList, LeavesOutIncompletePairs) {
  EXPECT_TRUE(ParseFilterList("").empty());
  EXPECT_TRUE(ParseFilterList("Prolog").empty());
  EXPECT_TRUE(ParseFilterList("|*.pl").empty());
  EXPECT_EQ(ParseFilterList("Prolog|*.pl|").size(), 1u);
  EXPECT_EQ(ParseFilterList("Prolog|*.pl|Tout").size(), 1u);
  std::vector<FileFilter> filters = ParseFilterList("Prolog|*.pl||*.x|Tout|*.*");
  ASSERT_EQ(filters.size(), 2u);
  EXPECT_EQ(filters[1].description, "Tout");
  EXPECT_EQ(ParseFilterList("Prolog||Tout|*.*").size(), 1u);
  EXPECT_TRUE(ParseFilterList("Prolog| ; ").empty());
}

TEST(FilterList, CutsThePatternIntoZeroEndedPiecesWithAFinalZero) {
  EXPECT_EQ(FilterList("Fichiers Prolog (*.pl)|*.pl"), "Fichiers Prolog (*.pl)\0*.pl\0\0"s);
  EXPECT_EQ(FilterList("Prolog|*.pl;*.pro|All|*.*"), "Prolog\0*.pl;*.pro\0All\0*.*\0\0"s);
  // Bytes of the code page pass through as they are.
  EXPECT_EQ(FilterList("Fichiers \xE0|*.pl"), "Fichiers \xE0\0*.pl\0\0"s);
}

TEST(FilterList, LeavesOutWhatWouldEndOrBreakThePlatformsList) {
  EXPECT_EQ(FilterList(""), "");
  EXPECT_EQ(FilterList("Prolog"), "");  // a description without a pattern
  EXPECT_EQ(FilterList("Prolog|*.pl|All"), "Prolog\0*.pl\0\0"s);
  // An empty piece would read as the end of the list.
  EXPECT_EQ(FilterList("|*.pl|All|*.*"), "All\0*.*\0\0"s);
  EXPECT_EQ(FilterList("Prolog||All|*.*"), "All\0*.*\0\0"s);
  EXPECT_EQ(FilterList("Prolog| ; "), "Prolog\0 ; \0\0"s);  // listed, matching nothing
}

TEST(PreselectedFilter, OutOfRangeSelectsTheFirst) {
  EXPECT_EQ(PreselectedFilter(0, 1), 0u);
  EXPECT_EQ(PreselectedFilter(1, 2), 1u);
  EXPECT_EQ(PreselectedFilter(2, 2), 0u);
  EXPECT_EQ(PreselectedFilter(-1, 2), 0u);
  EXPECT_EQ(PreselectedFilter(0, 0), 0u);
}

TEST(CaseInsensitiveGlob, PairsEveryLetterWithItsOtherCase) {
  EXPECT_EQ(CaseInsensitiveGlob("*.pl"), "*.[pP][lL]");
  EXPECT_EQ(CaseInsensitiveGlob("*.PL"), "*.[pP][lL]");
  EXPECT_EQ(CaseInsensitiveGlob("a?1_-.*"), "[aA]?1_-.*");
  // Windows-1252 letters: é/É, š/Š, œ/Œ, ž/Ž, ÿ/Ÿ; ß, µ, × and ÷ have no pair.
  EXPECT_EQ(CaseInsensitiveGlob("\xE9\xC9"), "[\xE9\xC9][\xE9\xC9]");
  EXPECT_EQ(CaseInsensitiveGlob("\x8A\x9C\x8E\xFF"), "[\x9A\x8A][\x9C\x8C][\x9E\x8E][\xFF\x9F]");
  EXPECT_EQ(CaseInsensitiveGlob("\xDF\xB5\xD7\xF7\x83"), "\xDF\xB5\xD7\xF7\x83");
}

TEST(CaseInsensitiveGlob, KeepsWindowsPlainCharactersPlain) {
  EXPECT_EQ(CaseInsensitiveGlob("[1]"), "\\[1\\]");
  EXPECT_EQ(CaseInsensitiveGlob("a\\b"), "[aA]\\\\[bB]");
  EXPECT_EQ(CaseInsensitiveGlob("*.*"), "*");
  EXPECT_EQ(CaseInsensitiveGlob("*.*.*"), "*.*.*");
  EXPECT_EQ(CaseInsensitiveGlob(""), "");
}

}  // namespace
}  // namespace pl2html
