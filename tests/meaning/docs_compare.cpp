// Compares the documentation reader with SWI-Prolog's cross-referencer.
//
//   docs_compare [--show N] REFERENCE...
//
// Each REFERENCE is what tests/meaning/docs_reference.pl printed for one
// file. The file at its path is read again here and its structured comments
// documented; the two are compared by the comment's line and head: the
// predicates documented (recall and precision), their summaries (equal
// after runs of white space are made one space) and the modes (line,
// determinism and head). Prints the counts and the first N differences. A difference SWI-Prolog's
// own state makes, which docs/documentation.md explains, is listed in kExplained and counted apart;
// exits 1 on any other difference, or when the explained ones reach 0.1% of the predicates
// documented.
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "meaning/docs.hpp"
#include "meaning/loads.hpp"
#include "meaning/xref.hpp"
#include "prolog/lexer.hpp"
#include "prolog_page/charset.hpp"
#include "support/reference_text.hpp"

namespace {

using pl2html::reference::Collapsed;
using pl2html::reference::ReadFile;

using namespace pl2html;
using prolog::Term;

// The reference's escapes: a tab, a line feed, a backslash.
std::string Escaped(std::string_view s) {
  std::string out;
  for (char c : s) {
    if (c == '\t') {
      out += "\\t";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\\') {
      out += "\\\\";
    } else {
      out += c;
    }
  }
  return out;
}

std::string HeadText(const meaning::PredicateKey& key) {
  std::string out = key.module.empty() ? "" : key.module + ":";
  return Escaped(out + key.name + "/" + std::to_string(key.arity));
}

std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> out;
  std::size_t from = 0;
  for (std::size_t tab; (tab = line.find('\t', from)) != std::string::npos; from = tab + 1)
    out.push_back(line.substr(from, tab - from));
  out.push_back(line.substr(from));
  return out;
}

// The documentation as the Prolog page reads it: by the cross-reference's
// first pass, which knows the operators the file declares and imports.
std::unique_ptr<meaning::Xref> Document(const std::string& text, prolog::Encoding encoding) {
  static meaning::LibraryLoader library;  // SWI-Prolog's library, as a single page knows it
  auto xref = std::make_unique<meaning::Xref>(&library);
  xref->Begin(encoding);
  prolog::Lexer lexer(encoding);
  std::vector<prolog::Token> tokens;
  lexer.Lex(text, true, tokens);
  for (const prolog::Token& token : tokens)
    xref->Push(token.cls, std::string_view(text).substr(token.begin, token.end - token.begin),
               token.begin);
  xref->Finish();
  return xref;
}

// Where SWI-Prolog's answer depends on what its process did before, not on
// the file (docs/documentation.md, "Where SWI-Prolog differs from itself").
struct Explained {
  std::string_view file;  // the end of its path
  std::uint64_t line;     // of the comment
  std::string_view why;
};
constexpr Explained kExplained[] = {
    {"/library/pldoc/doc_man.pl", 736,
     "the first clause with a quasi-quotation a process reads gets a wrong start, so the "
     "comment before it looks inside it"},
};

const Explained* ExplainedAt(std::string_view path, std::uint64_t line) {
  for (const Explained& e : kExplained)
    if (path.ends_with(e.file) && line == e.line) return &e;
  return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
  int show = 20;
  std::vector<std::string> references;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--show" && i + 1 < argc) {
      show = std::stoi(argv[++i]);
    } else {
      references.push_back(arg);
    }
  }
  std::size_t comments = 0, sections = 0, documented = 0, found = 0, ours = 0, right = 0;
  std::size_t summaries = 0, summariesEqual = 0, modes = 0, modesFound = 0, modesOurs = 0,
              modesRight = 0;
  std::vector<std::string> differences, explained;
  std::size_t explainedDocumented = 0;
  // A difference at the comment on `line`: explained, or one to fail on.
  auto differ = [&](const std::string& path, const std::string& key, const std::string& what,
                    bool documented) {
    const Explained* e = ExplainedAt(path, std::stoull(key));
    std::string text = path + ":" + key + ": " + what;
    if (e == nullptr) return differences.push_back(text);
    explainedDocumented += documented;
    explained.push_back(text + " (" + std::string(e->why) + ")");
  };
  for (const std::string& reference : references) {
    std::ifstream in(reference);
    std::string line, path;
    // By "LINE\tHEAD": the summaries; by "LINE\tDET\tHEAD": the modes.
    std::multimap<std::string, std::string> expected;
    std::multiset<std::string> expectedModes;
    bool complete = false;
    while (std::getline(in, line)) {
      std::vector<std::string> f = Fields(line);
      if (f[0] == "F" && f.size() == 2) path = f[1];
      if (f[0] == "K" && f.size() == 3) {
        ++comments;
        sections += f[2] == "section";
      }
      if (f[0] == "C" && f.size() == 4) expected.emplace(f[1] + "\t" + f[2], f[3]);
      if (f[0] == "M" && f.size() == 4) expectedModes.insert(f[1] + "\t" + f[2] + "\t" + f[3]);
      complete |= f[0] == "E";
    }
    std::string text;
    if (path.empty() || !ReadFile(path, text) || !complete) {
      std::fprintf(stderr, "%s: %s\n", reference.c_str(),
                   complete ? "no source" : "SWI-Prolog did not finish");
      return 2;
    }
    const auto encoding =
        prolog_page::IsValidUtf8(text) ? prolog::Encoding::kUtf8 : prolog::Encoding::kLatin1;
    const std::unique_ptr<meaning::Xref> xref = Document(text, encoding);
    const meaning::DocReader& docs = *xref->Docs();
    std::multimap<std::string, std::string> actual;
    docs.ForEachSummary([&](const meaning::PredicateKey& predicate, const meaning::DocComment& c) {
      actual.emplace(std::to_string(c.line) + "\t" + HeadText(predicate), Escaped(c.summary));
    });
    std::multiset<std::string> actualModes;
    for (const meaning::DocComment& c : docs.Comments())
      for (const meaning::DocMode& m : c.modes)
        actualModes.insert(std::to_string(c.line) + "\t" +
                           std::string(meaning::DeterminismName(m.det)) + "\t" + Escaped(m.head));
    documented += expected.size();
    ours += actual.size();
    for (const auto& [key, summary] : expected) {
      auto [lo, hi] = actual.equal_range(key);
      if (lo == hi) {
        differ(path, key, "missed, SWI \"" + summary + "\"", true);
        continue;
      }
      ++found;
      ++summaries;
      bool equal = std::any_of(
          lo, hi, [&](const auto& a) { return Collapsed(a.second) == Collapsed(summary); });
      summariesEqual += equal;
      if (!equal) differ(path, key, "SWI \"" + summary + "\", ours \"" + lo->second + "\"", false);
    }
    for (const auto& [key, summary] : actual) {
      if (expected.count(key) > 0) {
        ++right;
        continue;
      }
      differ(path, key, "extra, ours \"" + summary + "\"", true);
    }
    modes += expectedModes.size();
    modesOurs += actualModes.size();
    for (const std::string& m : expectedModes) {
      if (actualModes.count(m) > 0) {
        ++modesFound;
      } else {
        differ(path, m, "mode missed", false);
      }
    }
    for (const std::string& m : actualModes) {
      if (expectedModes.count(m) > 0) {
        ++modesRight;
      } else {
        differ(path, m, "mode extra", false);
      }
    }
  }

  auto percent = [](std::size_t a, std::size_t b) { return b == 0 ? 100.0 : 100.0 * a / b; };
  std::printf("files %zu, structured comments %zu (%zu of sections)\n", references.size(), comments,
              sections);
  std::printf("predicates documented: SWI %zu, ours %zu; recall %.4f%%, precision %.4f%%\n",
              documented, ours, percent(found, documented), percent(right, ours));
  std::printf("summaries compared %zu, equal %zu (%.4f%%)\n", summaries, summariesEqual,
              percent(summariesEqual, summaries));
  std::printf("modes: SWI %zu, ours %zu; recall %.4f%%, precision %.4f%%\n", modes, modesOurs,
              percent(modesFound, modes), percent(modesRight, modesOurs));
  std::printf("explained differences %zu, %zu of the predicates documented (%.4f%%)\n",
              explained.size(), explainedDocumented, percent(explainedDocumented, documented));
  for (const std::string& e : explained)
    std::printf("  %s\n", e.c_str());
  std::printf("other differences %zu\n", differences.size());
  for (std::size_t i = 0; i < differences.size() && static_cast<int>(i) < show; ++i)
    std::printf("  %s\n", differences[i].c_str());
  const bool few = explainedDocumented * 1000 < std::max<std::size_t>(documented, 1);
  return differences.empty() && few ? 0 : 1;
}
