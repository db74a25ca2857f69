// The lexer's invariants on any input: the tokens tile the text, the tokens
// do not depend on where the text is cut, and the work stays linear on
// hostile inputs. What the tokens are is examples_test's business.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <random>

#include "lex_util.hpp"

namespace pl2html::prolog::testing {
namespace {

void ExpectTiles(const std::vector<Token>& tokens, std::size_t size) {
  std::size_t at = 0;
  for (const Token& t : tokens) {
    ASSERT_EQ(t.begin, at);
    ASSERT_LT(t.begin, t.end);
    at = t.end;
  }
  ASSERT_EQ(at, size);
}

// Whole, a byte at a time, and cut at random: the same tokens, tiling. With
// quoted text and comments handed out in parts of a few bytes: the same
// class for every byte.
void ExpectChunkIndependent(std::string_view text, std::mt19937& random, Encoding encoding) {
  const std::vector<Token> whole = LexWhole(text, encoding);
  ExpectTiles(whole, text.size());
  for (std::size_t partSize : {Lexer::kPartSize, std::size_t{3}}) {
    const std::vector<Token> parts = LexWhole(text, encoding, partSize);
    ExpectTiles(parts, text.size());
    EXPECT_EQ(ClassLetters(parts, text.size()), ClassLetters(whole, text.size())) << text;
    std::vector<std::size_t> bytes(text.size());
    for (std::size_t i = 0; i < bytes.size(); ++i)
      bytes[i] = i + 1;
    EXPECT_TRUE(SameTokens(parts, LexInPieces(text, bytes, encoding, partSize)))
        << "a byte at a time: " << text;
    for (int round = 0; round < 4; ++round) {
      std::vector<std::size_t> cuts(1 + random() % 8);
      for (std::size_t& c : cuts)
        c = random() % (text.size() + 1);
      std::sort(cuts.begin(), cuts.end());
      EXPECT_TRUE(SameTokens(parts, LexInPieces(text, cuts, encoding, partSize)))
          << "cut at random: " << text;
    }
  }
}

// Pieces of Prolog that carry state across tokens, to be glued at random.
const char* const kPieces[] = {"a(-1, X is -1, a-1, - 1). ",
                               "_{a:1, b: -2}.",
                               "#{k:v}",
                               "{|string(X)||a|b|}",
                               "[ /* */ ]",
                               "0'a 0''' 0'' 0'\\n 16'FF 1 000 1_000_\n0 1.5e10 1.0Inf 1r3 ",
                               "'it''s \\x41\\' \"a\\c\n b\" `q`",
                               "/* a /* b */ c */",
                               "% line\n",
                               "X = f(a).b. ",
                               "+/* ",
                               "\xC3\x89lan \xCE\xA9 \xE2\x80\x83 ",
                               "\r\n",
                               "\t",
                               ".",
                               "'",
                               "\"",
                               "0'",
                               "[",
                               "{",
                               "(",
                               "|",
                               "||",
                               "|}",
                               "\xC3",
                               "\xFF",
                               "a_name_that_no_operator_is_as_lois -1",  // a part "is"
                               "Is_a_variable_as_long_as_any_name_of_0123(",
                               "(################################\\+ -1)"};  // a part "\\+"

TEST(PrologLexer, TokensDoNotDependOnWhereTheTextIsCut) {
  std::mt19937 random(14);
  for (int round = 0; round < 300; ++round) {
    std::string text;
    for (int k = 1 + static_cast<int>(random() % 12); k > 0; --k)
      text += kPieces[random() % std::size(kPieces)];
    ExpectChunkIndependent(text, random, round % 2 ? Encoding::kLatin1 : Encoding::kUtf8);
  }
}

TEST(PrologLexer, RandomBytesTileAndDoNotDependOnCuts) {
  std::mt19937 random(4);
  for (int round = 0; round < 200; ++round) {
    std::string text(random() % 200, '\0');
    for (char& c : text)
      c = static_cast<char>(random() % 4 ? random() % 128 : random() % 256);
    ExpectChunkIndependent(text, random, round % 2 ? Encoding::kLatin1 : Encoding::kUtf8);
  }
}

// Hostile sources of about `size` bytes.
std::string Repeat(std::string_view unit, std::size_t size) {
  std::string s;
  while (s.size() < size)
    s += unit;
  return s;
}
std::vector<std::pair<const char*, std::string>> Hostile(std::size_t size) {
  return {
      {"one long line", Repeat("a(B, 'c', [1, 2]), ", size)},
      {"a quote never closed", "x('" + Repeat("text \\' '' ", size)},
      {"a comment never closed", "/*" + Repeat(" text /* ", size)},
      {"many clauses", Repeat("p(X) :- q(X, -1).\n", size)},
      {"0' forms", Repeat("0'a 0''' 0'' 0'\\n 0' ", size)},
      {"brackets and blanks", Repeat("[            ", size)},
      {"layout", Repeat(" \t\r\n", size)},
  };
}

// The bytes handed to Lex when the source is read in blocks and a call that
// takes nothing makes the caller read twice as much, as the page writer does;
// and the most handed at once, which the caller holds.
std::size_t BytesHanded(std::string_view text, std::size_t* most = nullptr) {
  constexpr std::size_t kBlock = 64 * 1024;
  Lexer lexer;
  std::vector<Token> tokens;
  std::size_t start = 0, end = std::min(kBlock, text.size()), handed = 0;
  while (start < text.size()) {
    const std::size_t taken =
        lexer.Lex(text.substr(start, end - start), end == text.size(), tokens);
    tokens.clear();
    handed += end - start;
    if (most != nullptr) *most = std::max(*most, end - start);
    const std::size_t want = taken == 0 ? 2 * (end - start) : kBlock;
    start += taken;
    end = std::min(text.size(), start + std::max(want, kBlock));
  }
  return handed;
}

// The best of three runs of BytesHanded, `times` over: the tokens of a block
// are dropped before the next, so that the time is the lexer's, not the
// memory's.
double SecondsToLex(std::string_view text, std::size_t times) {
  double best = 1e9;
  for (int run = 0; run < 3; ++run) {
    const auto begin = std::chrono::steady_clock::now();
    for (std::size_t k = 0; k < times; ++k)
      BytesHanded(text);
    best = std::min(
        best, std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count());
  }
  return best;
}

TEST(PrologLexer, WorkStaysLinearOnHostileInputs) {
  constexpr std::size_t kSmall = 256 * 1024, kTimes = 32, kLarge = kTimes * kSmall;
  const auto small = Hostile(kSmall), large = Hostile(kLarge);
  for (std::size_t i = 0; i < small.size(); ++i) {
    SCOPED_TRACE(small[i].first);
    std::size_t most = 0;
    EXPECT_LE(BytesHanded(large[i].second, &most), 4 * large[i].second.size());
    // Quoted text, comments and layout of any length are handed out in
    // parts: the text held at once stays small.
    EXPECT_LE(most, 4 * Lexer::kPartSize);
    // The large text once takes about as long as the small one 32 times (runs
    // of the same length, which a busy machine slows alike; the large text
    // does not fit the caches); quadratic work would take 32 times as long.
    EXPECT_LT(SecondsToLex(large[i].second, 1), 8 * SecondsToLex(small[i].second, kTimes) + 1e-3);
  }
}

}  // namespace
}  // namespace pl2html::prolog::testing
