// Compares the documentation reader with SWI-Prolog's cross-referencer.
//
//   docs_compare [--show N] REFERENCE...
//
// Each REFERENCE is what tests/meaning/docs_reference.pl printed for one
// file. The file at its path is read again here and its structured comments
// documented; the two are compared by the comment's line and head: the
// predicates documented (recall and precision), their summaries (equal
// after runs of white space are made one space) and the modes (line,
// determinism and head). Prints the counts, the time the reader took and
// the first N differences. A difference SWI-Prolog's own state makes, which
// docs/documentation.md explains, is listed in kExplained and counted
// apart; exits 1 on any other difference, or when the explained ones reach
// 0.1% of the predicates documented.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "meaning/docs.hpp"
#include "meaning/loads.hpp"
#include "meaning/term_view.hpp"
#include "prolog_page/charset.hpp"

namespace {

using namespace pl2html;
using meaning::Terms;
using prolog::Term;

bool ReadFile(const std::string& path, std::string& bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream s;
  s << in.rdbuf();
  bytes = s.str();
  return true;
}

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

std::string Collapsed(std::string_view s) {
  std::string out;
  bool blank = false;
  for (char c : s) {
    const bool space = c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
    if (space) {
      blank = true;
      continue;
    }
    if (blank && !out.empty()) out += ' ';
    blank = false;
    out += c;
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

// The operators the cross-referencer reads a library file with: the file's
// op/3 directives and its export list's, and those its use_module/1,2 and
// reexport/1,2 of a library module import (all, or those an op(P, T, N) of
// the import list matches).
class Operators {
 public:
  Operators() : ops_(prolog::Operators::SwiInitial()) {}
  prolog::Operators* Table() { return &ops_; }

  void Clause(const prolog::TermReader& reader, const Term* clause) {
    if (clause == nullptr) return;
    Terms T(reader);
    if (!T.Is(*clause, ":-", 1)) return;
    const Term& d = T.Arg(*clause, 0);
    if (T.Is(d, "op", 3)) return Op(T, d);
    if ((T.Is(d, "module", 2) || T.Is(d, "module", 3)) && T.IsAtom(T.Arg(d, 0))) {
      module_ = T.Arg(d, 0).name;
      EachElement(T, T.Arg(d, 1), [&](const Term& e) {
        if (T.Is(e, "op", 3)) Op(T, e);
      });
      return;
    }
    const bool all =
        T.Is(d, "use_module", 1) || T.Is(d, "reexport", 1) || T.Is(d, "ensure_loaded", 1);
    if (!all && !T.Is(d, "use_module", 2) && !T.Is(d, "reexport", 2)) return;
    EachElement(T, T.Arg(d, 0), [&](const Term& spec) {
      std::string path;
      if (!T.Is(spec, "library", 1) || !LibraryPath(T, T.Arg(spec, 0), path)) return;
      auto header = meaning::LibraryHeader(path);
      if (header == nullptr) return;
      for (const meaning::ExportEntry& x : header->exports) {
        if (x.op.empty()) continue;
        bool imported = all;
        if (!all) {
          EachElement(T, T.Arg(d, 1), [&](const Term& e) {
            imported |= T.Is(e, "op", 3) && Matches(T, T.Arg(e, 0), std::to_string(x.arity)) &&
                        Matches(T, T.Arg(e, 1), x.op) && Matches(T, T.Arg(e, 2), x.name);
          });
        }
        if (imported) Add(x.arity, x.op, x.name);
      }
    });
  }

 private:
  static bool Matches(const Terms& T, const Term& pattern, std::string_view value) {
    return T.IsVar(pattern) || pattern.name == value;
  }

  template <typename Visit>
  static void EachElement(const Terms& T, const Term& list, Visit visit) {
    if (list.kind != prolog::TermKind::kList) return visit(list);
    const std::uint32_t n = list.hasTail ? list.arity - 1 : list.arity;
    for (std::uint32_t i = 0; i < n; ++i)
      visit(T.Child(list, i));
  }

  static bool LibraryPath(const Terms& T, const Term& t, std::string& out) {
    if (T.IsAtom(t)) {
      out += t.name;
      return true;
    }
    if (!T.Is(t, "/", 2) || !LibraryPath(T, T.Arg(t, 0), out)) return false;
    out += '/';
    return LibraryPath(T, T.Arg(t, 1), out);
  }

  void Op(const Terms& T, const Term& op) {
    const Term& p = T.Arg(op, 0);
    const Term& type = T.Arg(op, 1);
    if (p.kind != prolog::TermKind::kNumber || !T.IsAtom(type)) return;
    const int priority = std::atoi(std::string(p.name).c_str());
    EachElement(T, T.Arg(op, 2), [&](const Term& n0) {
      const Term* n = &n0;
      if (T.Is(*n, ":", 2)) {
        const Term& m = T.Arg(*n, 0);
        if (!T.IsAtom(m) || (m.name != "user" && m.name != "system" && m.name != module_)) return;
        n = &T.Arg(*n, 1);
      }
      if (T.IsAtom(*n)) Add(priority, type.name, n->name);
      if (Terms::IsNil(*n)) Add(priority, type.name, "[]");
    });
  }

  void Add(int priority, std::string_view type, std::string_view name) {
    if (auto t = prolog::ParseOpType(type)) ops_.Add(name, priority, *t);
  }

  prolog::Operators ops_;
  std::string module_;
};

void Document(const std::string& text, prolog::Encoding encoding, meaning::DocReader& docs) {
  Operators ops;
  meaning::ReadDocs(text, encoding, ops.Table(), docs,
                    [&](const prolog::TermReader& reader, const Term* clause, std::uint64_t) {
                      ops.Clause(reader, clause);
                      return !(clause != nullptr && Terms::IsAtom(*clause, "end_of_file"));
                    });
}

// What the reading costs without the documentation, to time the reader.
void ReadOnly(const std::string& text, prolog::Encoding encoding) {
  Operators ops;
  meaning::ClauseStream stream(
      ops.Table(), encoding,
      [&](const prolog::TermReader& reader, const Term* clause, std::uint64_t) {
        ops.Clause(reader, clause);
        return !(clause != nullptr && Terms::IsAtom(*clause, "end_of_file"));
      });
  prolog::Lexer lexer(encoding);
  std::vector<prolog::Token> tokens;
  lexer.Lex(text, true, tokens);
  for (const prolog::Token& token : tokens)
    stream.Push(token.cls, std::string_view(text).substr(token.begin, token.end - token.begin),
                token.begin);
  stream.Finish();
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

struct Source {
  std::string path, text;
  prolog::Encoding encoding;
};

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
  std::vector<Source> sources;
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
    meaning::DocReader docs(encoding);
    Document(text, encoding, docs);
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
    sources.push_back(Source{path, std::move(text), encoding});
  }

  // The reader's cost: reading the clauses with it and without, in turn,
  // the best of nine runs each.
  auto run = [&](bool withDocs) {
    const auto start = std::chrono::steady_clock::now();
    for (const Source& s : sources) {
      if (withDocs) {
        meaning::DocReader docs(s.encoding);
        Document(s.text, s.encoding, docs);
      } else {
        ReadOnly(s.text, s.encoding);
      }
    }
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
  };
  double without = 1e30, with = 1e30;
  for (int i = 0; i < 9; ++i) {
    without = std::min(without, run(false));
    with = std::min(with, run(true));
  }
  std::size_t bytes = 0;
  for (const Source& s : sources)
    bytes += s.text.size();

  auto percent = [](std::size_t a, std::size_t b) { return b == 0 ? 100.0 : 100.0 * a / b; };
  std::printf("files %zu, structured comments %zu (%zu of sections)\n", references.size(), comments,
              sections);
  std::printf("predicates documented: SWI %zu, ours %zu; recall %.4f%%, precision %.4f%%\n",
              documented, ours, percent(found, documented), percent(right, ours));
  std::printf("summaries compared %zu, equal %zu (%.4f%%)\n", summaries, summariesEqual,
              percent(summariesEqual, summaries));
  std::printf("modes: SWI %zu, ours %zu; recall %.4f%%, precision %.4f%%\n", modes, modesOurs,
              percent(modesFound, modes), percent(modesRight, modesOurs));
  std::printf("time over %.1f MB: reading %.1f ms, with the documentation %.1f ms (+%.1f ms)\n",
              bytes / 1e6, without, with, with - without);
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
