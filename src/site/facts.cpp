#include "site/facts.hpp"

#include <algorithm>
#include <optional>
#include <span>

#include "prolog/clauses.hpp"
#include "prolog/lexer.hpp"
#include "prolog/source_reader.hpp"
#include "prolog_page/survey.hpp"

namespace pl2html::site {

namespace {

using prolog::TokenClass;

// A significant token of a directive; names without their quotes.
struct Word {
  TokenClass cls;
  std::string text;
  bool Is(TokenClass c, std::string_view t) const { return cls == c && text == t; }
  bool IsName() const { return cls == TokenClass::kAtom || cls == TokenClass::kQuoted; }
};
using Words = std::span<const Word>;

bool Opens(const Word& w) {
  return w.cls == TokenClass::kPunct && (w.text == "(" || w.text == "[" || w.text == "{");
}
bool Closes(const Word& w) {
  return w.cls == TokenClass::kPunct && (w.text == ")" || w.text == "]" || w.text == "}");
}

// The comma-separated parts of `words`, commas inside brackets kept.
std::vector<Words> SplitAtCommas(Words words) {
  std::vector<Words> parts;
  int depth = 0;
  std::size_t start = 0;
  for (std::size_t i = 0; i < words.size(); ++i) {
    if (Opens(words[i])) ++depth;
    if (Closes(words[i])) --depth;
    if (depth == 0 && words[i].Is(TokenClass::kPunct, ",")) {
      parts.push_back(words.subspan(start, i - start));
      start = i + 1;
    }
  }
  if (start < words.size()) parts.push_back(words.subspan(start));
  return parts;
}

// `inner` of "open inner close" when `words` is exactly that.
bool Enclosed(Words words, std::string_view open, std::string_view close, Words& inner) {
  if (words.size() < 2 || !words.front().Is(TokenClass::kPunct, open) ||
      !words.back().Is(TokenClass::kPunct, close)) {
    return false;
  }
  int depth = 0;
  for (std::size_t i = 0; i + 1 < words.size(); ++i) {
    if (Opens(words[i])) ++depth;
    if (Closes(words[i])) --depth;
    if (depth == 0) return false;  // the first bracket closes before the end
  }
  inner = words.subspan(1, words.size() - 2);
  return true;
}

// name(Args...): its name and arguments.
bool Compound(Words words, std::string& name, std::vector<Words>& args) {
  Words inner;
  if (words.empty() || !words[0].IsName() || !Enclosed(words.subspan(1), "(", ")", inner)) {
    return false;
  }
  name = words[0].text;
  args = SplitAtCommas(inner);
  return true;
}

// The elements of a list, or the one term when it is not a list.
std::vector<Words> Elements(Words words) {
  Words inner;
  if (Enclosed(words, "[", "]", inner)) return SplitAtCommas(inner);
  return {words};
}

// a, a/b/c: the words joined by "/"; empty when it is anything else.
std::string PathOf(Words words) {
  std::string path;
  for (std::size_t i = 0; i < words.size(); ++i) {
    bool name = i % 2 == 0;
    if (name ? !words[i].IsName() : !words[i].Is(TokenClass::kAtom, "/")) return {};
    path += words[i].text;
  }
  return words.size() % 2 == 1 ? path : std::string();
}

// p/2 and p//1 in export and import lists.
void AddKeys(Words list, std::vector<std::string>& keys) {
  for (Words element : Elements(list)) {
    if (element.size() != 3 || !element[0].IsName() || element[2].cls != TokenClass::kNumber) {
      continue;
    }
    const std::string& digits = element[2].text;
    if (digits.empty() || digits.size() > 3 ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
      continue;
    }
    int arity = std::stoi(digits);
    if (element[1].Is(TokenClass::kAtom, "//")) {
      arity += 2;
    } else if (!element[1].Is(TokenClass::kAtom, "/")) {
      continue;
    }
    keys.push_back(KeyOf(element[0].text, arity));
  }
}

bool IsLoader(std::string_view name, bool& reexport) {
  static constexpr std::string_view kLoaders[] = {
      "use_module", "ensure_loaded", "consult", "include", "autoload", "reexport", "load_files"};
  reexport = name == "reexport";
  return std::find(std::begin(kLoaders), std::end(kLoaders), name) != std::end(kLoaders);
}

class DirectiveReader {
 public:
  explicit DirectiveReader(FileFacts& facts) : facts_(facts) {}

  void Push(TokenClass cls, std::string_view text) {
    if (cls == TokenClass::kLayout || cls == TokenClass::kComment) return;
    if (cls == TokenClass::kEnd) {
      Finish();
      atStart_ = true;
      return;
    }
    if (atStart_) {
      atStart_ = false;
      inDirective_ = cls == TokenClass::kAtom && text == ":-";
      return;
    }
    if (inDirective_) words_.push_back({cls, prolog::NameOf(cls, text)});
  }

  void Finish() {
    if (inDirective_) Directive(words_);
    inDirective_ = false;
    words_.clear();
  }

 private:
  void Directive(Words words) {
    std::string name;
    std::vector<Words> args;
    bool reexport = false;
    Words inner;
    if (Enclosed(words, "[", "]", inner)) {
      Loads(words, {}, false);
    } else if (!Compound(words, name, args)) {
      return;
    } else if (name == "module" && args.size() == 2 && !facts_.isModule && args[0].size() == 1) {
      facts_.isModule = true;
      facts_.module = args[0][0].text;
      AddKeys(args[1], facts_.exports);
    } else if (IsLoader(name, reexport) && (args.size() == 1 || args.size() == 2)) {
      Loads(args[0], args.size() == 2 ? args[1] : Words{}, reexport);
    }
  }

  void Loads(Words sources, Words imports, bool reexport) {
    for (Words source : Elements(sources)) {
      Load load;
      std::string name;
      std::vector<Words> args;
      if (Compound(source, name, args) && name == "library" && args.size() == 1) {
        load.library = true;
        load.path = PathOf(args[0]);
      } else {
        load.path = PathOf(source);
      }
      if (load.path.empty()) continue;
      load.reexport = reexport;
      Words inner;
      if (Enclosed(imports, "[", "]", inner)) {
        load.restricted = true;
        AddKeys(imports, load.names);
      }
      facts_.loads.push_back(std::move(load));
    }
  }

  FileFacts& facts_;
  bool atStart_ = true;
  bool inDirective_ = false;
  std::vector<Word> words_;
};

// What the survey found, put as the site's facts.
void AddDefinitions(const prolog_page::Survey& survey, FileFacts& facts) {
  for (const prolog_page::Predicate& predicate : survey.Predicates()) {
    std::string anchor;
    prolog_page::AppendAnchor(anchor, predicate.name, predicate.arity);
    facts.definitions.push_back({KeyOf(predicate.name, predicate.arity), anchor, predicate.line});
  }
  facts.outsideCalls = survey.OutsideCalls();
  std::sort(facts.exports.begin(), facts.exports.end());
  facts.exports.erase(std::unique(facts.exports.begin(), facts.exports.end()), facts.exports.end());
}

}  // namespace

std::string KeyOf(std::string_view name, int arity) {
  std::string key(name);
  key += '/';
  key += std::to_string(arity);
  return key;
}

FileFacts ReadFacts(std::string_view bytes) {
  FileFacts facts;
  prolog_page::Survey survey(prolog::Encoding::kUtf8);
  std::optional<DirectiveReader> directives;
  auto begin = [&](prolog::Encoding encoding) {
    facts = FileFacts{};
    survey = prolog_page::Survey(encoding);
    directives.emplace(facts);
  };
  auto visit = [&](std::string_view text, std::span<const prolog::Token> tokens) {
    if (!survey.Read(text, tokens)) return false;
    for (const prolog::Token& token : tokens)
      directives->Push(token.cls, text.substr(token.begin, token.end - token.begin));
    return true;
  };
  StringSource source(bytes);
  prolog::ReadSource(source, begin, visit, [&] { return survey.Finish(); });
  directives->Finish();
  AddDefinitions(survey, facts);
  return facts;
}

}  // namespace pl2html::site
