// The term reader on what the comparison with SWI-Prolog cannot show: that
// the lexer's cuts change nothing, characters the reader refuses, Latin-1
// sources, and inputs built to be as hard as possible, which must read in
// time and memory bounded by the limits. What it reads is the reference
// comparison's business (prolog_terms_reference).
#include "prolog/terms.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <fstream>
#include <iterator>
#include <numeric>
#include <span>

#include "lex_util.hpp"
#include "terms_util.hpp"

namespace pl2html::prolog {
namespace {

using testing::Dump;
using testing::LexInPieces;
using testing::LexWhole;

struct Read {
  TermReader::Status status;
  std::string term;  // as the reference writes it, positions in bytes
  std::uint64_t from, to;
};

// The clauses of the tokens, pushed one by one, or with `batches` in runs of
// 1 to 17 tokens, each run's text a block of its own.
std::vector<Read> ReadAll(std::string_view text, const std::vector<Token>& tokens,
                          Encoding encoding = Encoding::kUtf8,
                          std::size_t partSize = Lexer::kPartSize, TermReader::Limits limits = {},
                          bool batches = false) {
  Operators ops = Operators::SwiInitial();
  TermReader reader(&ops, encoding, limits, partSize);
  std::vector<std::uint32_t> bytes(text.size() + 1);
  std::iota(bytes.begin(), bytes.end(), 0u);
  std::vector<Read> clauses;
  const auto take = [&] {
    clauses.push_back({reader.status(), reader.Clause() ? Dump(reader, bytes) : std::string(),
                       reader.ClauseFrom(), reader.ClauseTo()});
  };
  if (!batches) {
    for (const Token& t : tokens)
      if (reader.Push(t.cls, text.substr(t.begin, t.end - t.begin), t.begin)) take();
  }
  for (std::size_t at = 0; batches && at < tokens.size();) {
    const std::size_t n = std::min(tokens.size() - at, 1 + at * 7 % 17);
    std::vector<Token> run(tokens.begin() + static_cast<long>(at),
                           tokens.begin() + static_cast<long>(at + n));
    const std::size_t base = run.front().begin;
    for (Token& t : run)
      t.begin -= base, t.end -= base;
    const std::string_view block = text.substr(base, run.back().end);
    for (std::span<const Token> rest(run); !rest.empty();) {
      rest = rest.subspan(reader.Push(rest, block, base));
      if (reader.status() != TermReader::Status::kNone) take();
    }
    at += n;
  }
  if (reader.Finish()) take();
  return clauses;
}

std::vector<Read> ReadText(std::string_view text, TermReader::Limits limits = {}) {
  return ReadAll(text, LexWhole(text), Encoding::kUtf8, Lexer::kPartSize, limits);
}

bool SameReads(const std::vector<Read>& a, const std::vector<Read>& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const Read& x, const Read& y) {
    return x.status == y.status && x.term == y.term && x.from == y.from && x.to == y.to;
  });
}

// Long tokens come in parts, the text in pieces and the tokens in runs: the
// reader joins the parts again, so that a part size of 3 bytes reads every
// clause as before, token by token or a run at a time.
TEST(TermReader, ReadsTheSameHoweverTheLexerCutsTheText) {
  std::ifstream in(PL2HTML_TEST_DATA "/prolog/terms_examples.pl", std::ios::binary);
  const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  ASSERT_FALSE(text.empty());
  std::vector<std::size_t> cuts;
  for (std::size_t at = 7; at < text.size(); at += 1 + at % 13)
    cuts.push_back(at);
  const std::vector<Read> whole = ReadAll(text, LexWhole(text));
  EXPECT_GT(whole.size(), 200u);
  const std::vector<Token> parts = LexInPieces(text, cuts, Encoding::kUtf8, 3);
  EXPECT_TRUE(SameReads(whole, ReadAll(text, parts, Encoding::kUtf8, 3)));
  EXPECT_TRUE(SameReads(whole, ReadAll(text, parts, Encoding::kUtf8, 3, {}, true)));
}

// The reader refuses control characters outside quotes and comments, as
// SWI-Prolog does (illegal_character), and the C1 controls as well; the
// clause they are in is lost, the next one reads.
TEST(TermReader, RefusesControlCharactersAsSwiPrologDoes) {
  for (const char* bad : {"\x01", "\x1b", "\x7f", "\xc2\x85", "\xc2\x9f"}) {
    const std::string text = "a :- b" + std::string(bad) + ", c.\nd.\n";
    const std::vector<Read> r = ReadText(text);
    ASSERT_EQ(r.size(), 2u) << bad;
    EXPECT_EQ(r[0].status, TermReader::Status::kSyntaxError) << bad;
    EXPECT_EQ(r[1].from, text.find("d.")) << bad;
  }
  // Between clauses, one starts a clause of its own that reaches the next full stop.
  const std::vector<Read> r = ReadText("a.\n\x01 b.\nc.\n");
  ASSERT_EQ(r.size(), 3u);
  EXPECT_EQ(r[1].status, TermReader::Status::kSyntaxError);
  EXPECT_EQ(r[1].from, 3u);
  // Quoted, in comments, or other layout (tabs, form feeds, no-break spaces), they do no harm.
  EXPECT_EQ(ReadText("a('\x01') /* \x02 */.\n")[0].term, " c1@0,6/0,1:a a@2,5:\\1;");
  EXPECT_EQ(ReadText("a\t\v\f\xc2\xa0:- b.")[0].term, " c2@0,10/6,8::- a@0,1:a a@9,10:b");
}

// A Latin-1 source's names come out as UTF-8; positions stay bytes.
TEST(TermReader, ConvertsLatin1NamesToUtf8) {
  const std::string text = "caf\xe9('\xe0', \"\xfc\", \xc9t\xe9) :- \xb5.";
  const std::vector<Read> r = ReadAll(text, LexWhole(text, Encoding::kLatin1), Encoding::kLatin1);
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r[0].term,
            " c2@0,24/20,22::- c3@0,19/0,4:caf\\e9; a@5,8:\\e0; s@10,13:\\fc; v0@15,18 "
            "a@23,24:\\b5;");
}

// Time grows with the clause, never with the square of it: four times the
// text takes well under sixteen times as long (the best of three runs, by
// a reader whose arrays have grown in the first).
double SecondsToRead(const std::string& text, TermReader::Status& status) {
  const std::vector<Token> tokens = LexWhole(text);
  Operators ops = Operators::SwiInitial();
  TermReader reader(&ops);
  double best = 1e9;
  for (int round = 0; round < 4; ++round) {
    const std::clock_t start = std::clock();
    for (const Token& t : tokens)
      reader.Push(t.cls, std::string_view(text).substr(t.begin, t.end - t.begin), t.begin);
    reader.Finish();
    status = reader.status();
    if (round > 0)
      best = std::min(best, static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC);
  }
  return best;
}

std::string Repeat(std::string_view s, std::size_t n) {
  std::string out;
  for (std::size_t i = 0; i < n; ++i)
    out += s;
  return out;
}

TEST(TermReader, HostileClausesReadInLinearTimeOrAreTooLarge) {
#ifdef _WIN32
  // The C runtime's clock() counts wall time there, which a busy machine
  // blurs; the reading is the same code everywhere, timed on the others.
  GTEST_SKIP() << "clock() is wall time on Windows";
#endif
  struct Hostile {
    const char* name;
    std::string (*make)(std::size_t n);
    TermReader::Status status;
  };
  const Hostile inputs[] = {
      {"prefix operators", [](std::size_t n) { return "x :- " + Repeat("- ", n) + "a."; },
       TermReader::Status::kRead},
      {"a conjunction", [](std::size_t n) { return "x :- " + Repeat("a, ", n) + "a."; },
       TermReader::Status::kRead},
      {"left-nested infix operators",
       [](std::size_t n) { return "x(" + Repeat("a - ", n) + "a)."; }, TermReader::Status::kRead},
      {"a list", [](std::size_t n) { return "x([" + Repeat("a, ", n) + "a])."; },
       TermReader::Status::kRead},
      {"nested parentheses",
       [](std::size_t n) { return "x :- " + Repeat("(", n) + "a" + Repeat(")", n) + "."; },
       TermReader::Status::kTooLarge},
      {"nested lists",
       [](std::size_t n) { return "x :- " + Repeat("[", n) + "a" + Repeat("]", n) + "."; },
       TermReader::Status::kTooLarge},
      {"nested arguments",
       [](std::size_t n) { return "x :- " + Repeat("f(", n) + "a" + Repeat(")", n) + "."; },
       TermReader::Status::kTooLarge},
      {"operators never closed", [](std::size_t n) { return "x :- " + Repeat("- ( ", n); },
       TermReader::Status::kSyntaxError},
  };
  for (const Hostile& input : inputs) {
    TermReader::Status quarterStatus, wholeStatus;
    const double quarter = SecondsToRead(input.make(12000), quarterStatus);
    const double whole = SecondsToRead(input.make(48000), wholeStatus);
    EXPECT_EQ(wholeStatus, input.status) << input.name;
    EXPECT_LT(whole, 10 * std::max(quarter, 1e-3))
        << input.name << ": " << quarter << " s for a quarter, " << whole << " s for the whole";
  }
}

// A clause over a limit is not parsed; the reader goes on with the next.
TEST(TermReader, ClausesOverTheLimitsAreTooLarge) {
  TermReader::Limits limits;
  limits.bytes = 64;
  limits.tokens = 10;
  limits.depth = 3;
  const std::vector<Read> r = ReadText(
      "a(" + Repeat("x", 70) + ").\nb(1,2,3,4,5,6).\nc([[[[d]]]]).\nok([[e]]).\nno", limits);
  ASSERT_EQ(r.size(), 5u);
  EXPECT_EQ(r[0].status, TermReader::Status::kTooLarge);  // bytes
  EXPECT_EQ(r[1].status, TermReader::Status::kTooLarge);  // tokens
  EXPECT_EQ(r[2].status, TermReader::Status::kTooLarge);  // depth
  EXPECT_EQ(r[3].status, TermReader::Status::kRead);
  EXPECT_EQ(r[4].status, TermReader::Status::kSyntaxError);  // no full stop at the end
  EXPECT_EQ(r[4].to, r[3].to + 3);
  EXPECT_TRUE(ReadText("% only a comment\n").empty());
}

TEST(Operators, AddRemovesWithPriorityZeroAndCopiesStandApart) {
  Operators ops = Operators::SwiInitial();
  ASSERT_NE(ops.Find("-"), nullptr);
  EXPECT_EQ((*ops.Find("-"))[OpKind::kPrefix].priority, 200);
  EXPECT_EQ((*ops.Find("-"))[OpKind::kInfix].type, OpType::kYfx);
  ops.Add("-", 0, OpType::kFy);
  ops.Add("-", 0, OpType::kYfx);
  EXPECT_EQ(ops.Find("-"), nullptr);
  ops.Add("é", 700, OpType::kXfx);
  ops.Add("é", 600, OpType::kXfy);  // one infix definition: the last
  EXPECT_EQ((*ops.Find("é"))[OpKind::kInfix].priority, 600);
  EXPECT_NE(Operators::SwiInitial().Find("-"), nullptr);
  EXPECT_EQ(Operators::SwiInitial().Find("é"), nullptr);
}

}  // namespace
}  // namespace pl2html::prolog
