#include "scan/words.hpp"

#include <gtest/gtest.h>

#include <random>
#include <set>

#include "scan/conversion.hpp"
#include "support/word_table_probe.hpp"

namespace pl2html {
namespace {

WordClass ClassOf(const Conversion& conversion, std::string_view word) {
  return ClassOfWord(conversion.typeWords, conversion.keywords, word);
}

std::vector<std::string> Words(const WordTable& table) {
  return WordTableProbe::Words(table);
}

// Whether `table` holds `word`, asked as the colourer asks.
bool Holds(const WordTable& table, std::string_view word) {
  static const WordTable kNone;
  return ClassOfWord(table, kNone, word) == WordClass::kType;
}

TEST(WordTables, HoldTheBuiltInVocabularyInOrder) {
  Conversion conversion;
  EXPECT_EQ(Words(conversion.typeWords), (std::vector<std::string>{"int", "char", "double", "void",
                                                                   "FILE", "struct", "time_t"}));
  EXPECT_EQ(Words(conversion.keywords).size(), 14u);
  EXPECT_EQ(Words(conversion.keywords).front(), "if");
  EXPECT_EQ(Words(conversion.keywords).back(), "typedef");
}

TEST(ClassOfWord, FindsTypeWordsThenKeywords) {
  Conversion conversion;
  EXPECT_EQ(ClassOf(conversion, "int"), WordClass::kType);
  EXPECT_EQ(ClassOf(conversion, "while"), WordClass::kKeyword);
  for (const char* plain : {"Int", "foo", "", "in", "int "})
    EXPECT_EQ(ClassOf(conversion, plain), WordClass::kPlain) << plain;

  conversion.typeWords.Add("while");  // a word in both tables is a type word
  EXPECT_EQ(ClassOf(conversion, "while"), WordClass::kType);
}

TEST(WordTable, AddsEachWordOnce) {
  Conversion conversion;
  conversion.typeWords.Add("mytype");
  conversion.typeWords.Add("mytype");
  conversion.typeWords.Add("int");
  EXPECT_EQ(Words(conversion.typeWords).size(), 8u);
  EXPECT_EQ(Words(conversion.typeWords).back(), "mytype");
  EXPECT_EQ(ClassOf(conversion, "mytype"), WordClass::kType);

  conversion.typeWords.Add("");
  EXPECT_EQ(ClassOf(conversion, ""), WordClass::kType);
}

std::string Numbered(int i) {
  std::string name = "t";
  name += std::to_string(i);
  return name;
}

TEST(WordTable, KeepsOrderAndFindsEveryWordOfALargeTable) {
  Conversion conversion;
  for (int i = 0; i < 50000; ++i)
    conversion.typeWords.Add(Numbered(i));
  for (int i = 0; i < 50000; i += 997)
    conversion.typeWords.Add(Numbered(i));
  const auto& words = Words(conversion.typeWords);
  ASSERT_EQ(words.size(), 7u + 50000u);
  EXPECT_EQ(words[7], "t0");
  EXPECT_EQ(words.back(), "t49999");
  for (int i = 0; i < 50000; ++i)
    ASSERT_TRUE(Holds(conversion.typeWords, Numbered(i))) << i;
  EXPECT_FALSE(Holds(conversion.typeWords, "t50000"));
}

TEST(WordTable, FindsEveryWordAfterEachGrowthOfTheIndex) {
  // The index doubles in place, moving its entries; a run of full slots at
  // its end wraps around to its start. Every word must stay findable after
  // every growth, whatever the sizes.
  WordTable table;
  for (int n = 0; n < 1500; ++n) {
    table.Add(Numbered(n));
    for (int i = 0; i <= n; ++i)
      ASSERT_TRUE(Holds(table, Numbered(i))) << i << " of " << n;
    ASSERT_FALSE(Holds(table, Numbered(n + 1)));
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
  EXPECT_EQ(Words(table), order);
  for (const std::string& word : order)
    ASSERT_TRUE(table.ContainsInOrder(word));
  for (int i = 0; i < 20000; ++i) {
    std::string word = randomWord();
    ASSERT_EQ(Holds(table, word), known.count(word) == 1);
    ASSERT_EQ(table.ContainsInOrder(word), known.count(word) == 1);
  }
}

TEST(WordTable, KeepsWordsOfEveryLength) {
  // A word's length is kept in one byte up to 254, and in full beyond.
  Conversion conversion;
  const std::vector<std::size_t> lengths = {1, 254, 255, 256, 70000, 2};
  for (std::size_t length : lengths)
    conversion.typeWords.Add(std::string(length, 'w'));
  conversion.typeWords.Add(std::string(255, 'w'));
  const auto& words = Words(conversion.typeWords);
  ASSERT_EQ(words.size(), 7u + lengths.size());
  for (std::size_t i = 0; i < lengths.size(); ++i) {
    EXPECT_EQ(words[7 + i], std::string(lengths[i], 'w'));
    EXPECT_EQ(ClassOf(conversion, words[7 + i]), WordClass::kType);
  }
  EXPECT_EQ(ClassOf(conversion, std::string(257, 'w')), WordClass::kPlain);
}

TEST(ClassOfWord, FindsTypeWordsMetInAnyOrder) {
  // Lookups in the order the words were learned take a quicker path; every
  // other order must give the same answers.
  Conversion conversion;
  for (int i = 0; i < 2000; ++i)
    conversion.typeWords.Add(Numbered(i));
  auto classOf = [&](std::string_view word) { return ClassOf(conversion, word); };
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
  conversion.typeWords.Add("xs");
  conversion.typeWords.Add(std::string(70, 'q'));
  conversion.typeWords.Add("");
  auto classOf = [&](std::string_view word) { return ClassOf(conversion, word); };
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
  EXPECT_EQ(CharKind(' '), kBlank);
  EXPECT_EQ(CharKind('\t'), kBlank);
  for (char c : std::string(".:|'\"#aZ09_\n\r"))
    EXPECT_EQ(CharKind(c), kOrdinary) << c;
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

}  // namespace
}  // namespace pl2html
