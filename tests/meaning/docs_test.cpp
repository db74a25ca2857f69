// The documentation reader on docs_examples.pl, a file of hard cases whose
// answers SWI-Prolog gives too (the docs_reference test compares them), and
// on what that comparison cannot show: the mode lines as written, a long
// comment handed over in parts, a Latin-1 source, a file that is no module.
#include "meaning/docs.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace pl2html::meaning {
namespace {

std::string Key(const PredicateKey& key) {
  return (key.module.empty() ? "" : key.module + ":") + key.name + "/" + std::to_string(key.arity);
}

// Every xref_comment/4 answer as "LINE HEAD: SUMMARY", every mode as
// "LINE DET HEAD | TEXT".
std::vector<std::string> Answers(const DocReader& docs) {
  std::vector<std::string> out;
  docs.ForEachSummary([&](const PredicateKey& predicate, const DocComment& c) {
    out.push_back(std::to_string(c.line) + " " + Key(predicate) + ": " + c.summary);
  });
  for (const DocComment& c : docs.Comments())
    for (const DocMode& m : c.modes)
      out.push_back(std::to_string(c.line) + " " + std::string(DeterminismName(m.det)) + " " +
                    m.head + " | " + m.text);
  return out;
}

// The source's comments, each handed over in parts of `partSize` bytes or
// more, as the lexer hands out long tokens.
std::vector<std::string> Read(std::string_view text,
                              std::size_t partSize = prolog::Lexer::kPartSize,
                              prolog::Encoding encoding = prolog::Encoding::kUtf8) {
  prolog::Operators ops = prolog::Operators::SwiInitial();
  DocReader docs(encoding, partSize);
  const ClauseStream* lines = nullptr;
  ClauseStream stream(
      &ops, encoding,
      [&](const prolog::TermReader& reader, const prolog::Term* clause, std::uint64_t) {
        docs.Clause(reader, clause, *lines);
        return true;
      });
  lines = &stream;
  std::vector<prolog::Token> tokens;
  prolog::Lexer(encoding).Lex(text, true, tokens);
  for (const prolog::Token& t : tokens) {
    const std::string_view bytes = text.substr(t.begin, t.end - t.begin);
    for (std::size_t at = 0, to; at < bytes.size(); at = to) {
      to = std::min(bytes.size(), at + partSize);
      while (to < bytes.size() && (static_cast<unsigned char>(bytes[to]) & 0xC0) == 0x80)
        ++to;  // parts end where a character starts
      if (t.cls == prolog::TokenClass::kComment)
        docs.Comment(bytes.substr(at, to - at), t.begin + at);
    }
    stream.Push(t.cls, bytes, t.begin);
  }
  stream.Finish();
  docs.Finish();
  return Answers(docs);
}

TEST(Docs, HardCasesAsSwiPrologReadsThem) {
  std::ifstream in(PL2HTML_TEST_DATA "/meaning/docs_examples.pl", std::ios::binary);
  const std::string text{std::istreambuf_iterator<char>(in), {}};
  ASSERT_FALSE(text.empty());
  const std::vector<std::string> expected = {
      "6 before_module/1: Read after the module directive that follows, so of this module.",
      "17 append/3: List1AndList2 is the concatenation of List1 and List2.",
      "26 old_style/1: A summary that runs on to the blank line.",
      "32 block/2: Stars and blanks before the text are no part of it, e.g.",
      "39 wiki/1: Shows =code=, *bold* and [[links]] as written!",
      "45 lists:grammar/3: A grammar rule and a predicate of another module share this.",
      "52 unfinished/1: No full stop after the mode: pldoc reads it again with one.",
      "58 at_line/1: Ends where a tag line starts.",
      "64 no_summary/1: ",
      "81 one_good/1: The first mode line is no mode; the second is.",
      "92 latin/1: Café, naïve: UTF-8 text.",
      "17 append/2: List1AndList2 is the concatenation of List1 and List2.",
      "32 block/1: Stars and blanks before the text are no part of it, e.g.",
      "45 elsewhere/1: A grammar rule and a predicate of another module share this.",
      "6 det before_module('+'(any)) | before_module(+X) is det",
      "17 det append('?'(any),'?'(any),'?'(any)) | append(?List1, ?List2, ?List3) is det",
      "17 semidet append('+'(list(list)),'-'(any)) | append(+ListOfLists:list(list), -List) is "
      "semidet",
      "26 unknown old_style('-'(any)) | old_style(-Out)",
      "32 nondet block('+'(any),'-'(any)) | block(+In, -Out) is nondet",
      "32 unknown block('+'(any)) | block(+In)",
      "39 det wiki('+'(any)) | wiki(+Text) is det",
      "45 det grammar('+'(any),'?'(list),'?'(list)) | grammar(+Name)// is det",
      "45 multi ':'(lists,elsewhere('-'(any))) | lists:elsewhere(-X) is multi",
      "52 unknown unfinished('+'(any)) | unfinished(+X)",
      "58 unknown at_line('+'(any)) | at_line(+X)",
      "64 failure no_summary('@'(any)) | no_summary(@Term) is failure",
      "81 det one_good('+'(any)) | one_good(+X) is det",
      "92 det latin('+'(any)) | latin(+X) is det",
  };
  EXPECT_EQ(Read(text), expected);
  // Handed over in parts, the comments say the same.
  EXPECT_EQ(Read(text, 64), expected);
}

TEST(Docs, ModeOverLinesKeepsItsLineBreak) {
  EXPECT_EQ(Read(":- module(m, []).\n%!  f(+A,\n%!    -B) is det.\n%   F.\nf(_, _).\n"),
            (std::vector<std::string>{"2 f/2: F.",
                                      "2 det f('+'(any),'-'(any)) | f(+A,\n    -B) is det"}));
}

// Outside a module, SWI-Prolog qualifies the documented predicate with user
// but not the predicates linked to it.
TEST(Docs, NoModuleIsUser) {
  const std::string text = "%! f(+A) is det.\n%! g(+A) is det.\n%  Both.\nf(_).\n";
  EXPECT_EQ(Read(text), (std::vector<std::string>{"1 user:f/1: Both.", "1 g/1: Both.",
                                                  "1 det f('+'(any)) | f(+A) is det",
                                                  "1 det g('+'(any)) | g(+A) is det"}));
  prolog::Operators ops = prolog::Operators::SwiInitial();
  DocReader docs;
  ReadDocs(text, prolog::Encoding::kUtf8, &ops, docs);
  ASSERT_EQ(docs.Comments().size(), 1u);
  EXPECT_EQ(docs.Find({"user", "f", 1}), &docs.Comments()[0]);
  EXPECT_EQ(docs.Find({"", "g", 1}), &docs.Comments()[0]);
  EXPECT_EQ(docs.Find({"", "f", 1}), nullptr);
}

TEST(Docs, Latin1SummaryInUtf8) {
  EXPECT_EQ(
      Read("%! f is det.\n%  Caf\xE9.\nf.\n", prolog::Lexer::kPartSize, prolog::Encoding::kLatin1),
      (std::vector<std::string>{"1 user:f/0: Caf\xC3\xA9.", "1 det f | f is det"}));
}

}  // namespace
}  // namespace pl2html::meaning
