#include "scan/words.hpp"

#include <gtest/gtest.h>

#include <random>
#include <set>

#include "scan/conversion.hpp"

namespace pl2html {
namespace {

std::string Coloured(const Conversion& conversion, std::string_view word) {
  std::string out;
  ColourWord(conversion, word, out);
  return out;
}

TEST(WordTables, HoldTheBuiltInVocabularyInOrder) {
  Conversion conversion;
  EXPECT_EQ(conversion.typeWords.Words(), (std::vector<std::string>{"int", "char", "double", "void",
                                                                    "FILE", "struct", "time_t"}));
  EXPECT_EQ(conversion.keywords.Words().size(), 14u);
  EXPECT_EQ(conversion.keywords.Words().front(), "if");
  EXPECT_EQ(conversion.keywords.Words().back(), "typedef");
}

TEST(ColourWord, MarksTypeWordsThenKeywords) {
  Conversion conversion;
  EXPECT_EQ(Coloured(conversion, "int"), "<font class='type'>int</font>");
  EXPECT_EQ(Coloured(conversion, "while"), "<font class='keyWord'>while</font>");
  EXPECT_EQ(Coloured(conversion, "Int"), "Int");
  EXPECT_EQ(Coloured(conversion, "foo"), "foo");
  EXPECT_EQ(Coloured(conversion, ""), "");
  EXPECT_EQ(Coloured(conversion, "in"), "in");
  EXPECT_EQ(Coloured(conversion, "int "), "int ");

  AddTypeWord(conversion, "while");  // a word in both tables is a type word
  EXPECT_EQ(Coloured(conversion, "while"), "<font class='type'>while</font>");
}

TEST(AddTypeWord, AddsEachWordOnce) {
  Conversion conversion;
  AddTypeWord(conversion, "mytype");
  AddTypeWord(conversion, "mytype");
  AddTypeWord(conversion, "int");
  EXPECT_EQ(conversion.typeWords.Words().size(), 8u);
  EXPECT_EQ(conversion.typeWords.Words().back(), "mytype");
  EXPECT_EQ(Coloured(conversion, "mytype"), "<font class='type'>mytype</font>");

  AddTypeWord(conversion, "");
  EXPECT_EQ(Coloured(conversion, ""), "<font class='type'></font>");
}

std::string Numbered(int i) {
  std::string name = "t";
  name += std::to_string(i);
  return name;
}

TEST(AddTypeWord, KeepsOrderAndFindsEveryWordOfALargeTable) {
  Conversion conversion;
  for (int i = 0; i < 50000; ++i)
    AddTypeWord(conversion, Numbered(i));
  for (int i = 0; i < 50000; i += 997)
    AddTypeWord(conversion, Numbered(i));
  const auto& words = conversion.typeWords.Words();
  ASSERT_EQ(words.size(), 7u + 50000u);
  EXPECT_EQ(words[7], "t0");
  EXPECT_EQ(words.back(), "t49999");
  for (int i = 0; i < 50000; ++i)
    ASSERT_TRUE(conversion.typeWords.Contains(Numbered(i))) << i;
  EXPECT_FALSE(conversion.typeWords.Contains("t50000"));
}

TEST(AddTypeWord, FindsEveryWordAfterEachGrowthOfTheIndex) {
  // The index doubles in place, moving its entries; a run of full slots at
  // its end wraps around to its start. Every word must stay findable after
  // every growth, whatever the sizes.
  WordTable table;
  for (int n = 0; n < 1500; ++n) {
    table.Add(Numbered(n));
    for (int i = 0; i <= n; ++i)
      ASSERT_TRUE(table.Contains(Numbered(i))) << i << " of " << n;
    ASSERT_FALSE(table.Contains(Numbered(n + 1)));
  }
}

TEST(WordTable, AgreesWithASetOnRandomWordsOfAnyLengthAndByte) {
  // Words of every byte value and of lengths on both sides of 255 (where
  // the stored length changes form), many repeated, through every growth
  // of the index; lookups in learned order, in random order and of words
  // never added.
  std::mt19937 random(20261207);
  auto randomWord = [&] {
    std::size_t length = random() % 8 == 0 ? 250 + random() % 10 : random() % 6;
    std::string word;
    for (std::size_t i = 0; i < length; ++i)
      word += static_cast<char>(random() % 4 == 0 ? random() % 256 : 'a' + random() % 3);
    return word;
  };
  WordTable table;
  std::vector<std::string> order;
  std::set<std::string> known;
  for (int i = 0; i < 20000; ++i) {
    std::string word = randomWord();
    table.Add(word);
    if (known.insert(word).second) order.push_back(word);
  }
  EXPECT_EQ(table.Words(), order);
  EXPECT_EQ(table.Count(), order.size());
  for (const std::string& word : order)
    ASSERT_TRUE(table.ContainsInOrder(word));
  for (int i = 0; i < 20000; ++i) {
    std::string word = randomWord();
    ASSERT_EQ(table.Contains(word), known.count(word) == 1);
    ASSERT_EQ(table.ContainsInOrder(word), known.count(word) == 1);
  }
}

TEST(AddTypeWord, KeepsWordsOfEveryLength) {
  // A word's length is kept in one byte up to 254, and in full beyond.
  Conversion conversion;
  const std::vector<std::size_t> lengths = {1, 254, 255, 256, 70000, 2};
  for (std::size_t length : lengths)
    AddTypeWord(conversion, std::string(length, 'w'));
  AddTypeWord(conversion, std::string(255, 'w'));
  const auto& words = conversion.typeWords.Words();
  ASSERT_EQ(words.size(), 7u + lengths.size());
  for (std::size_t i = 0; i < lengths.size(); ++i) {
    EXPECT_EQ(words[7 + i], std::string(lengths[i], 'w'));
    EXPECT_EQ(ClassOfWord(conversion, words[7 + i]), WordClass::kType);
  }
  EXPECT_EQ(ClassOfWord(conversion, std::string(257, 'w')), WordClass::kPlain);
}

TEST(ClassOfWord, FindsTypeWordsMetInAnyOrder) {
  // Lookups in the order the words were learned take a quicker path; every
  // other order must give the same answers.
  Conversion conversion;
  for (int i = 0; i < 2000; ++i)
    AddTypeWord(conversion, Numbered(i));
  auto classOf = [&](std::string_view word) { return ClassOfWord(conversion, word); };
  for (int i = 0; i < 2000; ++i)
    ASSERT_EQ(classOf(Numbered(i)), WordClass::kType) << i;
  for (int i = 1999; i >= 0; i -= 7)
    ASSERT_EQ(classOf(Numbered(i)), WordClass::kType) << i;
  EXPECT_EQ(classOf("t1"), WordClass::kType);
  EXPECT_EQ(classOf("t1"), WordClass::kType);    // the same word again
  EXPECT_EQ(classOf("t2"), WordClass::kType);    // the next one is "t2"
  EXPECT_EQ(classOf("t3x"), WordClass::kPlain);  // "t3" is next, not this
  EXPECT_EQ(classOf("t"), WordClass::kPlain);
  EXPECT_EQ(classOf("t1999"), WordClass::kType);  // the last word, no next
  EXPECT_EQ(classOf("t2000"), WordClass::kPlain);
  EXPECT_EQ(classOf("int"), WordClass::kType);
  EXPECT_EQ(classOf("while"), WordClass::kKeyword);
}

TEST(ClassOfWord, TellsApartWordsThatShareTheFirstByteAndTheLength) {
  // Words are first sorted out by their first byte and length, then by
  // their last byte and length: each bit must come from a word of the table.
  Conversion conversion;
  AddTypeWord(conversion, "xs");
  AddTypeWord(conversion, std::string(70, 'q'));
  AddTypeWord(conversion, "");
  auto classOf = [&](std::string_view word) { return ClassOfWord(conversion, word); };
  EXPECT_EQ(classOf("if"), WordClass::kKeyword);
  EXPECT_EQ(classOf("is"), WordClass::kPlain);  // "i", 2 bytes, "s": no one word
  EXPECT_EQ(classOf("xs"), WordClass::kType);
  EXPECT_EQ(classOf("xf"), WordClass::kPlain);
  EXPECT_EQ(classOf("as"), WordClass::kPlain);
  EXPECT_EQ(classOf(std::string(70, 'q')), WordClass::kType);
  EXPECT_EQ(classOf(std::string(64, 'q')), WordClass::kPlain);  // same length class, other word
  EXPECT_EQ(classOf(""), WordClass::kType);
}

TEST(CharKind, ClassifiesSeparatorsOperatorsAndBlanks) {
  for (char c : std::string("(){}[],;!"))
    EXPECT_EQ(CharKind(c), kSeparator) << c;
  for (char c : std::string("=*/-+<>%&"))
    EXPECT_EQ(CharKind(c), kOperator) << c;
  EXPECT_EQ(CharKind(std::string_view(" ")), kBlank);
  EXPECT_EQ(CharKind(std::string_view("\t")), kBlank);
  for (char c : std::string(".:|'\"#aZ09_\n\r"))
    EXPECT_EQ(CharKind(c), kOrdinary) << c;
  EXPECT_EQ(CharKind(std::string_view("")), kOrdinary);
  EXPECT_EQ(CharKind(static_cast<unsigned char>(0xA0)), kOrdinary);  // no-break space
}

TEST(IsWord, AcceptsWordBytesButNeverIs) {
  for (const char* word : {"isa", "_x1", "\xE9t\xE9", "", "ABC", "x\xD7y", "\xF7", "IS", "Is"}) {
    EXPECT_TRUE(IsWord(word)) << word;
  }
  for (const char* text : {"is", " is ", "  is", "foo(", "a-b", "x'", "a b", "\xBF", "a.b", "\t"}) {
    EXPECT_FALSE(IsWord(text)) << text;
  }
}

TEST(IsNumber, AcceptsDigitsAndDotsOnly) {
  for (const char* text : {"3.14", "..", "", ".", "1.2.3", "007"})
    EXPECT_TRUE(IsNumber(text));
  for (const char* text : {"-1", "1e5", "0x1F", "1_000", " 1"})
    EXPECT_FALSE(IsNumber(text));
}

TEST(CharAt, ReadsBytesAsSigned) {
  EXPECT_EQ(CharAt("a\xE9", 1), 'a');
  EXPECT_EQ(CharAt("a\xE9", 2), -23);
}

}  // namespace
}  // namespace pl2html
