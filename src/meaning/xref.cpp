#include "meaning/xref.hpp"

#include <algorithm>
#include <functional>

#include "meaning/clause_stream.hpp"
#include "meaning/docs.hpp"
#include "meaning/knowledge.hpp"
#include "meaning/term_view.hpp"

namespace pl2html::meaning {

bool SameCaller(const Caller& a, const Caller& b) {
  return a.kind == b.kind && a.predicate == b.predicate && a.line == b.line;
}

std::size_t Xref::CallerEdgeHash::operator()(const CallerEdge& e) const {
  std::size_t h = PredicateKeyHash()(e.caller.predicate);
  h ^= std::hash<const void*>()(e.callee) * 0x9E3779B97F4A7C15ULL;
  return h ^
         (static_cast<std::size_t>(e.caller.line) << 3 | static_cast<std::size_t>(e.caller.kind));
}

std::size_t PredicateKeyHash::operator()(const PredicateKey& k) const {
  std::size_t h = std::hash<std::string_view>()(k.name);
  h ^= std::hash<std::string_view>()(k.module) * 31;
  return h ^ (static_cast<std::size_t>(k.arity) * 0x9E3779B97F4A7C15ULL);
}

namespace {

// The meta-arguments of goals the cross-referencer reads by their actual
// arguments rather than by a declaration: what a generic goal of these
// says is not what it says of a real one.
bool ConditionalMeta(std::string_view name, int arity) {
  return ((name == "setof" || name == "bagof") && arity == 3) ||
         (name == "retract" && arity == 1) || (name == "on_signal" && arity == 3) ||
         (name == "prolog_listen" && (arity == 2 || arity == 3)) ||
         (name == "pce_global" && arity == 2);
}

}  // namespace

// One reading of a source (the file itself, or a file it includes).
class Xref::Reading {
 public:
  Reading(Xref& xref, prolog::Operators& ops) : xref_(xref), ops_(ops) {}

  // An included file's text, read whole: its lines are its own.
  void Run(std::string_view text, prolog::Encoding encoding) {
    ReadClauses(text, encoding, &ops_, Visitor(), &lines_);
  }

  // What the clause stream calls with each clause read.
  ClauseStream::Visit Visitor() {
    return [this](const prolog::TermReader& reader, const Term* clause, std::uint64_t line) {
      terms_ = std::make_unique<Terms>(reader);
      line_ = line;
      bindings_.assign(reader.Variables().size(), nullptr);
      if (clause == nullptr) {
        Document(reader, clause);
        return true;
      }
      const bool end = terms_->IsAtom(*clause, "end_of_file");
      if (!end) Expand(*clause);
      Document(reader, clause);
      return !end;
    };
  }

  // The structured comments before the clause document what it defines,
  // once the clause was processed (a module/2 names their module).
  void Document(const prolog::TermReader& reader, const Term* clause) {
    if (docs_ != nullptr) docs_->Clause(reader, clause, *lines_);
  }

  // Where the comments go, and the stream that tells their lines; none for
  // an included file's clauses.
  DocReader* docs_ = nullptr;
  const ClauseStream* lines_ = nullptr;

 private:
  // ---- the term, as SWI-Prolog expands it before the cross-referencer
  // sees it: grammar rules translated, record/1 declarations compiled.
  void Expand(const Term& t) {
    const Terms& T = *terms_;
    if (T.Is(t, ":-", 1)) {
      const Term& d = Deref(T.Arg(t, 0));
      if (T.Is(d, "predicate_options", 3)) return;  // left out on purpose, as SWI does
      if (T.Is(d, "record", 1)) return Record(T.Arg(d, 0));
      // library(http/html_write) expands html_meta/1 into a meta_predicate
      // declaration (its HTML arguments no goals) and facts of its own.
      if (xref_.HtmlWriteLoaded() && T.Is(d, "html_meta", 1)) {
        PredicateFacts& facts = xref_.Facts({"html_write", "html_meta_head", 3});
        if (facts.ownLine == 0 && includeDepth_ == 0) facts.ownLine = line_;
        if (facts.localLine == 0) facts.localLine = line_;
        return;
      }
    }
    if (T.Is(t, "-->", 2)) return GrammarRule(t);
    if (DictFunction(t)) return;
    Process(t);
  }

  // A dict's function, Dict.Name(Args) := Value [:- Body], which
  // SWI-Prolog expands into Name(Args, Dict, Value) [:- Body]: that is the
  // predicate defined.
  bool DictFunction(const Term& t) {
    const Terms& T = *terms_;
    const bool rule = T.Is(t, ":-", 2);
    const Term& head = rule ? Deref(T.Arg(t, 0)) : t;
    if (!T.Is(head, ":=", 2)) return false;
    const Term& dot = Deref(T.Arg(head, 0));
    if (!T.Is(dot, ".", 2)) return false;
    const Term& function = Deref(T.Arg(dot, 1));
    if (!T.IsCallable(function)) return false;
    Goal defined{&function, 2};
    if (!AssertDefined(defined)) return true;
    if (rule) Body(T.Arg(t, 1), Origin::Head(defined, *this));
    return true;
  }

  // ---- process/2
  void Process(const Term& t0) {
    const Terms& T = *terms_;
    const Term& t = Deref(t0);
    if (T.IsVar(t)) return;
    if (T.Is(t, ":-", 1) || T.Is(t, "?-", 1)) {
      Directive(T.Arg(t, 0));
      return;
    }
    if (T.Is(t, ":-", 2)) {
      if (!AssertDefined(Goal{&T.Arg(t, 0)})) return;
      Body(T.Arg(t, 1), Origin::Head(Goal{&T.Arg(t, 0)}, *this));
      return;
    }
    if (T.Is(t, "=>", 2)) {
      const Term& left = Deref(T.Arg(t, 0));
      if (T.Is(left, ",", 2)) {
        const Term& head = T.Arg(left, 0);
        if (!AssertDefined(Goal{&head})) return;
        Origin origin = Origin::Head(Goal{&head}, *this);
        Body(T.Arg(left, 1), origin);
        Body(T.Arg(t, 1), origin);
      } else {
        if (!AssertDefined(Goal{&left})) return;
        Body(T.Arg(t, 1), Origin::Head(Goal{&left}, *this));
      }
      return;
    }
    if (T.Is(t, "?=>", 2)) {
      if (!AssertDefined(Goal{&T.Arg(t, 0)})) return;
      Body(T.Arg(t, 1), Origin::Head(Goal{&T.Arg(t, 0)}, *this));
      return;
    }
    if (chr_ && Chr(t)) return;
    if (T.Is(t, ":", 2) && T.Is(Deref(T.Arg(t, 1)), ":-", 2)) {
      // M:(H :- B) is (M:H :- M:B).
      const Term& module = Deref(T.Arg(t, 0));
      const Term& clause = Deref(T.Arg(t, 1));
      Goal head{&T.Arg(clause, 0), 0, &module};
      if (!AssertDefined(head)) return;
      Body(Goal{&T.Arg(clause, 1), 0, &module}, Origin::Head(head, *this));
      return;
    }
    AssertDefined(Goal{&t});
  }

  // ---- goals: a term, a number of arguments added (a grammar body's two,
  // a meta-argument's N), and the module it is qualified with, if any.
  struct Goal {
    const Term* term = nullptr;
    int extra = 0;
    const Term* module = nullptr;  // an atom, or null
  };

  struct Origin {
    Caller caller;
    // The head's name and arity, for what counts as a call of itself.
    static Origin Head(Goal head, Reading& r) {
      Origin o;
      o.caller.kind = Caller::Kind::kClause;
      r.KeyOf(head, o.caller.predicate);
      o.caller.line = r.line_;
      return o;
    }
    static Origin Of(Caller::Kind kind, std::uint64_t line) {
      Origin o;
      o.caller.kind = kind;
      o.caller.line = line;
      return o;
    }
  };

  const Term& Deref(const Term& t) const {
    const Term* at = &t;
    while (at->kind == TermKind::kVar && at->variable < bindings_.size() &&
           bindings_[at->variable] != nullptr)
      at = bindings_[at->variable];
    return *at;
  }

  // name/arity of a goal, qualified when it names a module: false if it
  // is not callable.
  bool KeyOf(Goal g, PredicateKey& key) {
    const Terms& T = *terms_;
    const Term* t = &Deref(*g.term);
    const Term* module = g.module;
    while (T.Is(*t, ":", 2)) {
      const Term& m = Deref(T.Arg(*t, 0));
      if (!T.IsAtom(m)) return false;
      module = &m;
      t = &Deref(T.Arg(*t, 1));
    }
    if (!T.IsCallable(*t)) return false;
    key.module = module != nullptr ? std::string(module->name) : std::string();
    key.name = std::string(T.Name(*t));
    key.arity = T.Arity(*t) + g.extra;
    return true;
  }

  // ---- assert_defined/2
  bool AssertDefined(Goal g) {
    PredicateKey key;
    if (!KeyOf(g, key)) return false;
    if (testUnit_ && key.module.empty() && key.name == "test" &&
        (key.arity == 1 || key.arity == 2)) {
      Called(key, Origin::Of(Caller::Kind::kTestUnit, testUnitLine_));
    }
    PredicateFacts& facts = xref_.Facts(key);
    if (facts.ownLine == 0 && includeDepth_ == 0) facts.ownLine = line_;
    if (facts.localLine == 0) {
      facts.localLine = line_;
      AppendTermText(*terms_, Deref(*g.term), facts.head);
    }
    return true;
  }

  // A term as a reader would write it back, for a predicate's first head:
  // operators as written, names quoted where they must be; cut short
  // with "..." past some 80 bytes.
  void AppendTermText(const Terms& T, const Term& t0, std::string& out, int depth = 0) const {
    constexpr std::size_t kLimit = 80;
    if (out.size() > kLimit) return;
    const Term& t = Deref(t0);
    if (depth > 20) {
      out += "...";
      return;
    }
    if (t.parentheses > 0 && depth > 0) out += '(';
    switch (t.kind) {
      case TermKind::kVar:
      case TermKind::kNumber:
        out += t.name;
        break;
      case TermKind::kAtom:
        AppendAtom(t, out);
        break;
      case TermKind::kString:
        out.append("\"").append(t.name).append("\"");
        break;
      case TermKind::kBackQuoted:
        out.append("`").append(t.name).append("`");
        break;
      case TermKind::kCompound:
        if (t.form == prolog::TermForm::kInfix && t.arity == 2) {
          AppendTermText(T, T.Arg(t, 0), out, depth + 1);
          out += t.name == "," ? ", " : " ";
          if (t.name != ",") {
            out += t.name;
            out += ' ';
          }
          AppendTermText(T, T.Arg(t, 1), out, depth + 1);
        } else if (t.form == prolog::TermForm::kPrefix && t.arity == 1) {
          out += t.name;
          out += ' ';
          AppendTermText(T, T.Arg(t, 0), out, depth + 1);
        } else if (t.form == prolog::TermForm::kPostfix && t.arity == 1) {
          AppendTermText(T, T.Arg(t, 0), out, depth + 1);
          out += ' ';
          out += t.name;
        } else {
          AppendAtom(t, out);
          out += '(';
          for (std::uint32_t i = 0; i < t.arity; ++i) {
            if (i != 0) out += ", ";
            AppendTermText(T, T.Arg(t, i), out, depth + 1);
          }
          out += ')';
        }
        break;
      case TermKind::kList:
        out += '[';
        for (std::uint32_t i = 0; i < t.arity; ++i) {
          if (i != 0) out += t.hasTail && i + 1 == t.arity ? "|" : ", ";
          AppendTermText(T, T.Child(t, i), out, depth + 1);
        }
        out += ']';
        break;
      case TermKind::kCurly:
        out += '{';
        AppendTermText(T, T.Arg(t, 0), out, depth + 1);
        out += '}';
        break;
      case TermKind::kDict:
      case TermKind::kQuasiQuotation:
        out += "...";
        break;
    }
    if (t.parentheses > 0 && depth > 0) out += ')';
    if (depth == 0 && out.size() > kLimit) out.replace(kLimit, std::string::npos, "...");
  }

  // A name bare when it reads back as itself: a letter-digit atom from a
  // lower-case letter, a run of symbol characters, or a solo atom.
  static void AppendAtom(const Term& t, std::string& out) {
    const std::string_view n = t.name;
    auto lower = [](char c) { return c >= 'a' && c <= 'z'; };
    auto alnum = [&](char c) {
      return lower(c) || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
    };
    auto symbol = [](char c) {
      return std::string_view("+-*/\\^<>=~:.?@#&$").find(c) != std::string_view::npos;
    };
    const bool bare = t.emptyList || n == "[]" || n == "{}" || n == "!" || n == ";" || n == "," ||
                      n == "|" ||
                      (!n.empty() && lower(n[0]) && std::all_of(n.begin(), n.end(), alnum)) ||
                      (!n.empty() && std::all_of(n.begin(), n.end(), symbol));
    if (bare) {
      out += n;
      return;
    }
    out += '\'';
    for (char c : n) {
      if (c == '\n') {
        out += "\\n";
        continue;
      }
      if (c == '\t') {
        out += "\\t";
        continue;
      }
      if (static_cast<unsigned char>(c) < 0x20) {
        static constexpr char kHex[] = "0123456789abcdef";
        out.append("\\x").append(1, kHex[(c >> 4) & 0xF]).append(1, kHex[c & 0xF]).append("\\");
        continue;
      }
      if (c == '\'' || c == '\\') out += '\\';
      out += c;
    }
    out += '\'';
  }

  // ---- process_directive/2
  void Directive(const Term& d0) {
    const Terms& T = *terms_;
    const Term& d = Deref(d0);
    if (T.IsVar(d)) return;
    if (T.Is(d, ",", 2)) {
      Directive(T.Arg(d, 0));
      Directive(T.Arg(d, 1));
      return;
    }
    if (d.kind == TermKind::kList && !d.hasTail) return UseModules(d, false);
    std::string_view name = T.Name(d);
    int arity = T.Arity(d);
    auto arg = [&](std::uint32_t i) -> const Term& { return Deref(T.Arg(d, i)); };
    if (arity == 2 && (name == "use_module" || name == "autoload")) {
      if (UseModule2(arg(0), arg(1), false)) return;
    } else if (arity == 2 && name == "reexport") {
      if (UseModule2(arg(0), arg(1), true)) return;
    } else if (arity == 1 && name == "reexport") {
      return UseModules(arg(0), true);
    } else if (arity == 1 && (name == "autoload" || name == "use_module" || name == "consult" ||
                              name == "ensure_loaded")) {
      return UseModules(arg(0), false);
    } else if (arity == 2 && name == "load_files") {
      return UseModules(arg(0), false);
    } else if (arity == 1 && name == "include") {
      return Include(arg(0));
    } else if ((arity == 1 || arity == 2) && name == "dynamic") {
      if (Predicates(arg(0), &Reading::AssertDynamic)) return;
    } else if (arity == 1 && name == "thread_local") {
      if (Predicates(arg(0), &Reading::AssertThreadLocal)) return;
    } else if (arity == 1 && name == "multifile") {
      if (Predicates(arg(0), &Reading::AssertMultifile)) return;
    } else if (arity == 1 && name == "public") {
      if (Predicates(arg(0), &Reading::AssertPublic)) return;
    } else if (arity == 1 && name == "export") {
      if (Predicates(arg(0), &Reading::AssertExport)) return;
    } else if (arity == 1 && name == "import") {
      return Import(arg(0));
    } else if ((arity == 2 || arity == 3) && name == "module") {
      if (ModuleDirective(arg(0), arg(1))) {
        if (arity == 3) ModuleOptions(arg(2));
        return;
      }
    } else if ((arity == 1 || arity == 2) && name == "begin_tests") {
      testUnit_ = true;
      testUnitLine_ = line_;
      return;
    } else if (arity == 1 && name == "end_tests") {
      testUnit_ = false;
      return;
    } else if (arity == 3 && name == "op") {
      PushOp(arg(0), arg(1), arg(2));
      return;
    } else if (arity == 1 && name == "meta_predicate") {
      MetaPredicates(arg(0));
      return;
    } else if (arity == 1 && name == "arithmetic_function") {
      if (ArithmeticFunction(arg(0))) return;
    } else if (arity == 2 && name == "format_predicate") {
      return CalledGoal(Goal{&T.Arg(d, 1)}, Origin::Of(Caller::Kind::kDirective, line_));
    } else if (arity == 1 && (name == "if" || name == "elif")) {
      return CalledGoal(Goal{&T.Arg(d, 0)}, Origin::Of(Caller::Kind::kDirective, line_));
    } else if (arity == 0 && (name == "else" || name == "endif")) {
      return;
    } else if (arity == 1 && name == "expects_dialect") {
      // use_module(library(dialect/D)): its file is rarely at hand.
      return;
    }
    Body(Goal{&d}, Origin::Of(Caller::Kind::kDirective, line_));
  }

  // ---- loading files
  // The file a request names: library(x/y), alias(x), or a plain path.
  bool FindFile(const Term& request0, LoadedFile& file) {
    const Terms& T = *terms_;
    const Term& request = Deref(request0);
    std::string alias, path;
    if (T.IsCompound(request) && request.kind == TermKind::kCompound && T.Arity(request) == 1 &&
        !T.Is(request, "/", 1)) {
      alias = std::string(T.Name(request));
      if (!PathOf(Deref(T.Arg(request, 0)), path)) return false;
    } else if (!PathOf(request, path)) {
      return false;
    }
    // The alias chr(...) is library(chr)'s own, there only once it is loaded.
    if (alias == "chr" && !xref_.LibraryLoaded("chr")) return false;
    if (xref_.loader_ == nullptr || !xref_.loader_->Find(alias, path, file)) return false;
    file.request = alias.empty() ? path : alias + "(" + path + ")";
    return true;
  }

  bool PathOf(const Term& t, std::string& path) {
    const Terms& T = *terms_;
    if (T.IsAtom(t)) {
      path = std::string(t.name);
      return true;
    }
    if (t.kind == TermKind::kString) {
      path = std::string(t.name);
      return true;
    }
    if (T.Is(t, "/", 2)) {
      std::string left, right;
      if (!PathOf(Deref(T.Arg(t, 0)), left) || !PathOf(Deref(T.Arg(t, 1)), right)) return false;
      path = left + "/" + right;
      return true;
    }
    return false;
  }

  // process_use_module/3: every file of `request` (a file or a list).
  void UseModules(const Term& request0, bool reexport) {
    const Terms& T = *terms_;
    const Term& request = Deref(request0);
    if (T.Is(request, ":", 2)) return;  // loaded into another module
    if (request.kind == TermKind::kList) {
      for (std::uint32_t i = 0; i < ListLength(request); ++i)
        UseModules(ListElement(request, i), reexport);
      return;
    }
    LoadedFile file;
    if (!FindFile(request, file)) return;
    if (file.header == nullptr || file.header->module.empty()) {
      // Nothing to import: the file is only named, for the link to it.
      xref_.Mention(file);
      return;
    }
    int from = xref_.Load(file);
    const ModuleHeader& header = *file.header;
    // The header read, and its use_module/1 of html_write's html/4 syntax.
    if (header.loadsHtmlWrite || (!reexport && header.module == "html_write"))
      xref_.LoadLibrary("http/html_write");
    LoadIfNeeded(request);
    if (T.Is(request, "library", 1) && T.IsAtom(Deref(T.Arg(request, 0)), "chr")) chr_ = true;
    for (const ExportEntry& e : header.exports) {
      if (!e.op.empty()) {
        PushOp(e.arity, e.op, e.name);
        continue;
      }
      Import({std::string(), e.name, e.arity}, from, reexport);
    }
    for (const ExportEntry& e : header.exports) {
      if (e.op.empty()) Import({header.module, e.name, e.arity}, from, false);
    }
    for (const ExportEntry& e : header.publics) {
      if (e.op.empty()) Import({header.module, e.name, e.arity}, from, false);
    }
    for (const ModuleHeader::Meta& m : header.metas)
      DeclareMeta(m.name, m.arity, m.request);
  }

  void Import(const PredicateKey& key, int from, bool reexport) {
    PredicateFacts& facts = xref_.Facts(key);
    if (facts.importedFrom < 0) facts.importedFrom = from;
    if (std::find(facts.imports.begin(), facts.imports.end(), from) == facts.imports.end())
      facts.imports.push_back(from);
    if (reexport) facts.exported = true;
  }

  // process_use_module2/4: use_module(File, Imports) and the like. False
  // where the cross-referencer's own clause fails.
  bool UseModule2(const Term& request, const Term& imports, bool reexport) {
    LoadedFile file;
    if (!FindFile(request, file)) return true;
    int from = xref_.Load(file);
    if (file.header == nullptr || file.header->module.empty()) return true;
    const ModuleHeader& header = *file.header;
    if (header.loadsHtmlWrite ||
        (!reexport && header.module == "html_write" && ImportsIndicator(imports, "html", 4)))
      xref_.LoadLibrary("http/html_write");
    LoadIfNeeded(request);
    if (!reexport) ImportedOps(imports, header);
    if (!AssertImports(imports, header, from, reexport)) return false;
    for (const ModuleHeader::Meta& m : header.metas) {
      const PredicateFacts* facts = xref_.Find(PredicateKey{std::string(), m.name, m.arity});
      if (facts != nullptr && facts->importedFrom == from) DeclareMeta(m.name, m.arity, m.request);
    }
    return true;
  }

  // The operators of the file's export list that an op(P, T, N) of the
  // import list matches, variables matching anything: SWI-Prolog's source
  // reader declares them for what it reads next.
  void ImportedOps(const Term& list0, const ModuleHeader& header) {
    const Terms& T = *terms_;
    const Term& list = Deref(list0);
    if (list.kind != TermKind::kList) return;
    for (std::uint32_t i = 0; i < ListLength(list); ++i) {
      const Term& e = ListElement(list, i);
      if (!T.Is(e, "op", 3)) continue;
      const Term& p = Deref(T.Arg(e, 0));
      const Term& t = Deref(T.Arg(e, 1));
      const Term& n = Deref(T.Arg(e, 2));
      for (const ExportEntry& x : header.exports) {
        if (x.op.empty()) continue;
        int priority = 0;
        if (!T.IsVar(p) && !(SmallInteger(p, priority) && priority == x.arity)) continue;
        if (!T.IsVar(t) && !(T.IsAtom(t) && t.name == x.op)) continue;
        if (!T.IsVar(n) && !(T.IsAtom(n) && n.name == x.name)) continue;
        PushOp(x.arity, x.op, x.name);
      }
    }
  }

  // load_module_if_needed/1: the cross-referencer loads these libraries
  // when a source loads them, rather than reading their headers only.
  void LoadIfNeeded(const Term& request0) {
    const Terms& T = *terms_;
    const Term& request = Deref(request0);
    if (!T.Is(request, "library", 1)) return;
    const Term& name = Deref(T.Arg(request, 0));
    if (!T.IsAtom(name)) return;
    for (std::string_view lib : {"apply_macros", "arithmetic", "record", "persistency", "pldoc",
                                 "settings", "debug", "plunit"}) {
      if (name.name == lib) xref_.LoadLibrary(lib);
    }
  }

  // prolog:called_by/2,4 of the loaded libraries: the goals a goal calls
  // that its arguments do not show as meta-arguments. True when a hook
  // answered for the goal.
  bool CalledByHooks(Goal g, const Term& goal, std::string_view name, int arity,
                     const Origin& origin, bool& partial) {
    const Terms& T = *terms_;
    if (xref_.HtmlWriteLoaded() && HtmlCalls(g, goal, name, arity, origin, partial)) return true;
    if (g.extra == 0 && name == "sgml_parse" && arity == 2 && xref_.LibraryLoaded("sgml")) {
      CalledGoal(g, origin);
      SgmlCalls(T.Arg(goal, 1), origin, partial);
      return true;
    }
    // library(http/http_parameters): attribute_declarations(G) calls G+2.
    if (g.extra == 0 && name == "http_parameters" && arity == 3 &&
        xref_.LibraryLoaded("http/http_parameters")) {
      if (const Term* declarations = OptionValue(T.Arg(goal, 2), "attribute_declarations")) {
        CalledGoal(g, origin);
        Meta(Goal{declarations, 2}, origin, partial);
        return true;
      }
    }
    if ((name == "main" || name == "argv_options") && xref_.LibraryLoaded("main")) {
      if (name == "main" && arity == 0) {
        CalledGoal(g, origin);
        Called({std::string(), "main", 1}, origin);
        return true;
      }
      if (name == "argv_options" && arity == 3) {
        CalledGoal(g, origin);
        Called({std::string(), "opt_type", 3}, origin);
        Called({std::string(), "opt_help", 2}, origin);
        Called({std::string(), "opt_meta", 2}, origin);
        return true;
      }
    }
    if ((name == ">>" || name == "/") && arity >= 2 && xref_.LibraryLoaded("yall")) {
      const KnownPredicate* known = FindKnown(name, arity);
      if (known != nullptr && (known->flags & KnownPredicate::kAutoload) != 0) {
        Goal called;
        if (LambdaCalls(g, goal, called)) {
          CalledGoal(g, origin);
          Meta(called, origin, partial);
          return true;
        }
      }
    }
    return false;
  }

  // option/3's answer for Name in a proper list of options, Name(Value) or
  // Name = Value, if the value is callable; null otherwise.
  const Term* OptionValue(const Term& options0, std::string_view name) const {
    const Terms& T = *terms_;
    const Term& options = Deref(options0);
    if (options.kind != TermKind::kList || options.hasTail) return nullptr;
    for (std::uint32_t i = 0; i < ListLength(options); ++i) {
      const Term& o = ListElement(options, i);
      const Term* value = nullptr;
      if (T.Is(o, name, 1)) {
        value = &T.Arg(o, 0);
      } else if (T.Is(o, "=", 2) && T.IsAtom(Deref(T.Arg(o, 0)), name)) {
        value = &T.Arg(o, 1);
      } else {
        continue;
      }
      return T.IsCallable(Deref(*value)) ? value : nullptr;
    }
    return nullptr;
  }

  // The options call(Event, Goal) of sgml_parse/2, each Goal called with
  // the arguments of its event.
  void SgmlCalls(const Term& options0, const Origin& origin, bool& partial) {
    const Terms& T = *terms_;
    const Term& options = Deref(options0);
    if (options.kind != TermKind::kList) return;
    for (std::uint32_t i = 0; i < ListLength(options); ++i) {
      const Term& o = ListElement(options, i);
      if (!T.Is(o, "call", 2)) continue;
      const Term& event = Deref(T.Arg(o, 0));
      int n = -1;
      if (T.IsAtom(event)) {
        std::string_view e = event.name;
        if (e == "begin" || e == "error" || e == "xmlns" || e == "urlns") n = 3;
        if (e == "end" || e == "cdata" || e == "pi" || e == "decl") n = 2;
      }
      if (n >= 0) Meta(Goal{&T.Arg(o, 1), n}, origin, partial);
    }
  }

  // lambda_calls/2 of library(yall): the goal a lambda calls, its
  // parameters taken by the arguments it is given and the rest added.
  bool LambdaCalls(Goal g, const Term& lambda, Goal& called) {
    const Terms& T = *terms_;
    const int extra = T.Arity(lambda) - 2 + g.extra;
    if (T.Name(lambda) == "/") {
      called = Goal{&T.Arg(lambda, 1), extra};
      return T.IsCallable(Deref(*called.term)) || T.Is(Deref(*called.term), ":", 2);
    }
    const Term* params = &Deref(T.Arg(lambda, 0));
    if (T.Is(*params, "/", 2)) params = &Deref(T.Arg(*params, 1));
    int count = 0;
    if (params->kind == TermKind::kList && !params->hasTail) {
      count = static_cast<int>(params->arity);
    } else if (!T.IsNil(*params)) {
      return false;
    }
    if (count > extra) return false;
    called = Goal{&T.Arg(lambda, 1), extra - count};
    return !T.IsVar(Deref(*called.term));
  }

  bool ImportsIndicator(const Term& list0, std::string_view name, int arity) {
    const Term& list = Deref(list0);
    if (list.kind != TermKind::kList) return false;
    for (std::uint32_t i = 0; i < ListLength(list); ++i) {
      std::string n;
      int a = 0;
      if (IndicatorOf(ListElement(list, i), n, a) && n == name && a == arity) return true;
    }
    return false;
  }

  static bool InExports(const ModuleHeader& header, std::string_view name, int arity) {
    return std::any_of(header.exports.begin(), header.exports.end(), [&](const ExportEntry& e) {
      return e.op.empty() && e.name == name && e.arity == arity;
    });
  }

  // assert_import/5 with the file's export list known.
  bool AssertImports(const Term& list0, const ModuleHeader& header, int from, bool reexport) {
    const Terms& T = *terms_;
    const Term& list = Deref(list0);
    if (T.IsAtom(list) || Terms::IsNil(list)) return Terms::IsNil(list);
    if (list.kind == TermKind::kList) {
      for (std::uint32_t i = 0; i < ListLength(list); ++i) {
        if (!AssertImport(ListElement(list, i), header, from, reexport)) return false;
      }
      return !list.hasTail;
    }
    if (T.Is(list, "except", 1)) {
      std::vector<ExportEntry> remaining;
      if (!Except(Deref(T.Arg(list, 0)), header, remaining)) return false;
      for (const ExportEntry& e : remaining) {
        if (e.op.empty()) Import({std::string(), e.name, e.arity}, from, reexport);
      }
      return true;
    }
    return AssertImport(list, header, from, reexport);
  }

  bool AssertImport(const Term& entry0, const ModuleHeader& header, int from, bool reexport) {
    const Terms& T = *terms_;
    const Term& entry = Deref(entry0);
    std::string name;
    int arity = 0;
    if (T.Is(entry, "as", 2)) {
      if (!IndicatorOf(Deref(T.Arg(entry, 0)), name, arity)) return false;
      const Term& as = Deref(T.Arg(entry, 1));
      std::string renamed = T.IsAtom(as) ? std::string(as.name) : name;
      if (InExports(header, name, arity)) {
        Import({std::string(), renamed, arity}, from, reexport);
      } else {
        Called({std::string(), name, arity}, Origin::Of(Caller::Kind::kDirective, line_));
      }
      return true;
    }
    if (IndicatorOf(entry, name, arity)) {
      if (InExports(header, name, arity)) {
        Import({std::string(), name, arity}, from, reexport);
      } else {
        Called({std::string(), name, arity}, Origin::Of(Caller::Kind::kDirective, line_));
      }
      return true;
    }
    if (T.Is(entry, "op", 3)) {
      // xref_push_op/4 fails on an operator that is not fully given
      // (op(_,_,_) in an import list), and with it the whole directive.
      const Term& p = Deref(T.Arg(entry, 0));
      const Term& type = Deref(T.Arg(entry, 1));
      const Term& names = Deref(T.Arg(entry, 2));
      int priority = 0;
      if (!SmallInteger(p, priority) || priority > 1200 || !T.IsAtom(type) ||
          !prolog::ParseOpType(type.name) || !(T.IsAtom(names) || names.kind == TermKind::kList))
        return false;
      PushOp(p, type, names);
      return true;
    }
    return false;
  }

  bool Except(const Term& list, const ModuleHeader& header, std::vector<ExportEntry>& out) {
    const Terms& T = *terms_;
    out = header.exports;
    if (list.kind != TermKind::kList) return Terms::IsNil(list);
    for (std::uint32_t i = 0; i < ListLength(list); ++i) {
      const Term& e = Deref(ListElement(list, i));
      std::string name;
      int arity = 0;
      if (T.Is(e, "as", 2)) {
        if (!IndicatorOf(Deref(T.Arg(e, 0)), name, arity)) return false;
        const Term& as = Deref(T.Arg(e, 1));
        for (ExportEntry& x : out) {
          if (x.op.empty() && x.name == name && x.arity == arity) {
            x.name = std::string(as.name);
            break;
          }
        }
        continue;
      }
      if (!IndicatorOf(e, name, arity)) return false;
      auto found = std::find_if(out.begin(), out.end(), [&](const ExportEntry& x) {
        return x.op.empty() && x.name == name && x.arity == arity;
      });
      if (found == out.end()) return false;
      out.erase(found);
    }
    return true;
  }

  // include/1: the file's clauses are this file's, each at its own line.
  void Include(const Term& request0) {
    const Terms& T = *terms_;
    const Term& request = Deref(request0);
    if (request.kind == TermKind::kList) {
      for (std::uint32_t i = 0; i < ListLength(request); ++i)
        Include(ListElement(request, i));
      return;
    }
    if (!T.IsCallable(request)) return;
    LoadedFile file;
    if (!FindFile(request, file)) return;
    for (const LoadedFile& seen : xref_.loaded_) {
      if (!seen.mentionedOnly && seen.title == file.title && seen.path == file.path &&
          seen.library == file.library)
        return;  // included or loaded before
    }
    const int loaded = xref_.Load(file);
    std::string text;
    if (xref_.loader_ == nullptr || !xref_.loader_->Text(file, text) || includeDepth_ >= 8) return;
    ++includeDepth_;
    Reading nested(xref_, ops_);
    nested.chr_ = chr_;
    nested.includeDepth_ = includeDepth_;
    nested.includedFile_ = loaded;
    nested.Run(text, prolog::Encoding::kUtf8);
    --includeDepth_;
  }

  void Import(const Term& request) {
    PredicateKey key;
    const Terms& T = *terms_;
    if (!T.Is(request, ":", 2)) return;
    std::string name;
    int arity = 0;
    const Term& module = Deref(T.Arg(request, 0));
    if (!IndicatorOf(Deref(T.Arg(request, 1)), name, arity)) return;
    (void)module;
    PredicateFacts& facts = xref_.Facts({std::string(), name, arity});
    if (facts.importedFrom < 0) {
      LoadedFile unknown;
      unknown.title = "<unknown>";
      facts.importedFrom = xref_.Load(unknown);
    }
  }

  // ---- declarations
  using Assert = bool (Reading::*)(const PredicateKey&);

  // process_predicates/3: false where the declaration stopped at an
  // entry that is no predicate indicator.
  bool Predicates(const Term& t0, Assert assert) {
    const Terms& T = *terms_;
    const Term& t = Deref(t0);
    if (t.kind == TermKind::kList) {
      for (std::uint32_t i = 0; i < ListLength(t); ++i) {
        const Term& e = Deref(ListElement(t, i));
        if (T.IsVar(e)) continue;
        if (!Declare(e, std::string(), assert)) return false;
      }
      return true;
    }
    if (T.Is(t, "as", 2)) return Predicates(T.Arg(t, 0), assert);
    return Comma(t, std::string(), assert);
  }

  bool Comma(const Term& t0, const std::string& module, Assert assert) {
    const Terms& T = *terms_;
    const Term& t = Deref(t0);
    if (T.IsVar(t)) return true;
    if (T.Is(t, ":", 2) && T.Is(Deref(T.Arg(t, 1)), ",", 2)) {
      const Term& m = Deref(T.Arg(t, 0));
      const Term& pair = Deref(T.Arg(t, 1));
      std::string inner = T.IsAtom(m) ? std::string(m.name) : module;
      return Comma(T.Arg(pair, 0), inner, assert) && Comma(T.Arg(pair, 1), inner, assert);
    }
    if (T.Is(t, ",", 2))
      return Comma(T.Arg(t, 0), module, assert) && Comma(T.Arg(t, 1), module, assert);
    if (T.Is(t, "as", 2)) return Comma(T.Arg(t, 0), module, assert);
    return Declare(t, module, assert);
  }

  bool Declare(const Term& pi, const std::string& module, Assert assert) {
    PredicateKey key;
    key.module = module;
    if (!HeadOfIndicator(pi, key)) return false;
    return (this->*assert)(key);
  }

  // pi_to_head/2: M:N/A, N/A and N//A.
  bool HeadOfIndicator(const Term& pi0, PredicateKey& key) {
    const Terms& T = *terms_;
    const Term& pi = Deref(pi0);
    if (T.Is(pi, ":", 2)) {
      const Term& m = Deref(T.Arg(pi, 0));
      if (!T.IsAtom(m)) return false;
      key.module = std::string(m.name);
      return HeadOfIndicator(T.Arg(pi, 1), key);
    }
    std::string name;
    int arity = 0;
    if (!IndicatorOf(pi, name, arity)) return false;
    key.name = std::move(name);
    key.arity = arity;
    return true;
  }

  // Name/Arity or Name//Arity with an atom and a small integer.
  bool IndicatorOf(const Term& pi, std::string& name, int& arity) {
    const Terms& T = *terms_;
    bool dcg = T.Is(pi, "//", 2);
    if (!dcg && !T.Is(pi, "/", 2)) return false;
    const Term& n = Deref(T.Arg(pi, 0));
    const Term& a = Deref(T.Arg(pi, 1));
    if (!(T.IsAtom(n) || Terms::IsNil(n)) || !SmallInteger(a, arity)) return false;
    name = Terms::IsNil(n) ? "[]" : std::string(n.name);
    if (dcg) arity += 2;
    return true;
  }

  static bool SmallInteger(const Term& t, int& value) {
    if (t.kind != TermKind::kNumber || t.name.empty() || t.name.size() > 4) return false;
    int v = 0;
    for (char c : t.name) {
      if (c < '0' || c > '9') return false;
      v = v * 10 + (c - '0');
    }
    value = v;
    return true;
  }

  bool AssertDynamic(const PredicateKey& key) {
    PredicateFacts& facts = xref_.Facts(key);
    if (facts.threadLocalLine == 0 && facts.dynamicLine == 0) facts.dynamicLine = line_;
    return true;
  }
  bool AssertThreadLocal(const PredicateKey& key) {
    PredicateFacts& facts = xref_.Facts(key);
    if (facts.threadLocalLine == 0) facts.threadLocalLine = line_;
    return true;
  }
  bool AssertMultifile(const PredicateKey& key) {
    PredicateFacts& facts = xref_.Facts(key);
    if (facts.multifileLine == 0) facts.multifileLine = line_;
    return true;
  }
  bool AssertPublic(const PredicateKey& key) {
    Called(key, Origin::Of(Caller::Kind::kPublic, line_));
    PredicateFacts& facts = xref_.Facts(key);
    if (facts.publicLine == 0) facts.publicLine = line_;
    return true;
  }
  bool AssertExport(const PredicateKey& key) {
    xref_.Facts(key).exported = true;
    return true;
  }

  bool ModuleDirective(const Term& module, const Term& exports) {
    const Terms& T = *terms_;
    if (!T.IsAtom(module)) return false;
    if (xref_.module_.empty()) xref_.module_ = std::string(module.name);
    const Term& list = Deref(exports);
    if (Terms::IsNil(list)) return true;
    if (list.kind != TermKind::kList) {
      PredicateKey key;
      if (HeadOfIndicator(list, key)) {
        xref_.Facts(key).exported = true;
        return true;
      }
      return T.Is(list, "op", 3) &&
             (PushOp(Deref(T.Arg(list, 0)), Deref(T.Arg(list, 1)), Deref(T.Arg(list, 2))), true);
    }
    for (std::uint32_t i = 0; i < ListLength(list); ++i) {
      const Term& e = Deref(ListElement(list, i));
      PredicateKey key;
      if (HeadOfIndicator(e, key)) {
        xref_.Facts(key).exported = true;
      } else if (T.Is(e, "op", 3)) {
        PushOp(Deref(T.Arg(e, 0)), Deref(T.Arg(e, 1)), Deref(T.Arg(e, 2)));
      } else {
        return false;
      }
    }
    return !list.hasTail;
  }

  void ModuleOptions(const Term&) {}  // library(dialect/Option): rarely at hand

  void PushOp(const Term& priority, const Term& type, const Term& names) {
    const Terms& T = *terms_;
    int p = 0;
    if (!SmallInteger(priority, p) || p > 1200 || !T.IsAtom(type)) return;
    auto one = [&](const Term& n0) {
      const Term& n = Deref(n0);
      if (T.Is(n, ":", 2)) {
        const Term& m = Deref(T.Arg(n, 0));
        const Term& inner = Deref(T.Arg(n, 1));
        // An operator of another module is not seen when reading this one.
        if (!T.IsAtom(m) || (m.name != "user" && m.name != "system" && m.name != xref_.module_))
          return;
        if (T.IsAtom(inner)) PushOp(p, type.name, inner.name);
        return;
      }
      if (T.IsAtom(n)) PushOp(p, type.name, n.name);
      if (Terms::IsNil(n)) PushOp(p, type.name, "[]");
    };
    if (names.kind == TermKind::kList) {
      for (std::uint32_t i = 0; i < ListLength(names); ++i)
        one(ListElement(names, i));
    } else {
      one(names);
    }
  }

  void PushOp(int priority, std::string_view type, std::string_view name) {
    if (std::optional<prolog::OpType> t = prolog::ParseOpType(type)) ops_.Add(name, priority, *t);
  }

  // process_meta_predicate/2
  void MetaPredicates(const Term& t0) {
    const Terms& T = *terms_;
    const Term& t = Deref(t0);
    if (T.Is(t, ",", 2)) {
      MetaPredicates(T.Arg(t, 0));
      MetaPredicates(T.Arg(t, 1));
      return;
    }
    if (t.kind != TermKind::kCompound) return;
    std::string request;
    for (std::uint32_t i = 0; i < t.arity; ++i) {
      const Term& a = Deref(T.Arg(t, i));
      int n = 0;
      if (SmallInteger(a, n) && n <= 9) {
        request += static_cast<char>('0' + n);
      } else if (T.IsAtom(a, "//")) {
        request += '/';
      } else if (T.IsAtom(a, "^")) {
        request += '0';
      } else {
        request += '-';
      }
    }
    DeclareMeta(t.name, static_cast<int>(t.arity), request);
  }

  // A meta_predicate declaration, unless the cross-referencer knows the
  // predicate from a hook of its own or an earlier declaration.
  void DeclareMeta(std::string_view name, int arity, std::string_view request) {
    if (name == "on_signal" && arity == 3) return;  // prolog:called_by/2
    PredicateKey key{std::string(), std::string(name), arity};
    if (xref_.metas_.count(key) != 0) return;
    std::string s(request);
    std::replace(s.begin(), s.end(), '^', '0');
    xref_.metas_.emplace(std::move(key), std::move(s));
  }

  bool ArithmeticFunction(const Term& request0) {
    const Terms& T = *terms_;
    const Term& request = Deref(request0);
    const Term* pi = &request;
    const Term* module = nullptr;
    if (T.Is(request, ":", 2)) {
      module = &Deref(T.Arg(request, 0));
      pi = &Deref(T.Arg(request, 1));
    }
    if (!T.Is(*pi, "/", 2)) return false;
    const Term& n = Deref(T.Arg(*pi, 0));
    int arity = 0;
    if (!T.IsAtom(n) || !SmallInteger(Deref(T.Arg(*pi, 1)), arity)) return false;
    PredicateKey key{module != nullptr && T.IsAtom(*module) ? std::string(module->name) : "",
                     std::string(n.name), arity + 1};
    Called(key, Origin::Of(Caller::Kind::kDirective, line_));
    return true;
  }

  // ---- bodies: process_body/3 and process_goal/4
  void Body(const Term& body, const Origin& origin) { Body(Goal{&body}, origin); }
  void Body(Goal g, const Origin& origin) {
    budget_ = kBudget;
    bool partial = false;
    ProcessGoal(g, origin, partial);
  }

  static constexpr int kBudget = 20000;  // goals a body may cost: the cross-referencer stops too

  void ProcessGoal(Goal g, const Origin& origin, bool& partial) {
    if (--budget_ < 0) return;
    const Terms& T = *terms_;
    const Term* t = &Deref(*g.term);
    if (T.IsVar(*t)) return;
    // Qualified: M:G, its module noted.
    if (g.extra == 0 && T.Is(*t, ":", 2)) {
      const Term& inner = Deref(T.Arg(*t, 1));
      if (T.IsVar(inner)) return;
    }
    if (g.extra == 0 && T.Is(*t, ",", 2)) return Conjunction(g, origin, partial);
    if (g.extra == 0 && T.Is(*t, ";", 2)) {
      std::vector<const Term*> branches;
      Disjuncts(*t, branches);
      for (const Term* b : branches) {
        std::vector<const Term*> saved = bindings_;
        bool p = false;
        ProcessGoal(Goal{b, 0, g.module}, origin, p);
        bindings_ = std::move(saved);
      }
      return;
    }
    PredicateKey key;
    if (!KeyOf(g, key)) {
      CalledGoal(g, origin);
      return;
    }
    // Arguments seen through the qualification.
    const Term* goal = t;
    while (T.Is(*goal, ":", 2))
      goal = &Deref(T.Arg(*goal, 1));
    std::string_view name = key.name;
    int arity = key.arity;
    if (key.module.empty() && name == "on_signal" && arity == 3 && g.extra == 0) {
      const Term& handler = Deref(T.Arg(*goal, 2));
      if (!(T.IsAtom(handler, "throw") || T.IsAtom(handler, "default"))) {
        CalledGoal(g, origin);
        Meta(Goal{&handler, 1}, origin, partial);
        return;
      }
    }
    if (key.module.empty() && CalledByHooks(g, *goal, name, arity, origin, partial)) return;
    if (key.module.empty() && PceGoal(name, arity)) {
      CalledGoal(g, origin);
      return;
    }
    // load_foreign_library/1,2 and use_foreign_library/1,2: process_foreign/2
    // learns nothing of a request it does not know, and the cross-referencer
    // goes on to record the call as that of any goal.
    if (MetaGoal(g, *goal, key, origin, partial)) return;
    if ((name == "assert" || name == "asserta" || name == "assertz") &&
        (arity == 1 || arity == 2) && g.extra == 0 && key.module.empty()) {
      CalledGoal(g, origin);
      const Term& rule = Deref(T.Arg(*goal, 0));
      if (T.Is(rule, ":-", 2)) ProcessBodyNested(T.Arg(rule, 1), origin);
      return;
    }
    if (name == "=" && arity == 2 && g.extra == 0 && key.module.empty()) {
      if (Unify(T.Arg(*goal, 0), T.Arg(*goal, 1))) partial = true;
    }
    CalledGoal(g, origin);
  }

  void ProcessBodyNested(const Term& body, const Origin& origin) {
    bool partial = false;
    ProcessGoal(Goal{&body}, origin, partial);
  }

  void Disjuncts(const Term& t0, std::vector<const Term*>& out) {
    const Terms& T = *terms_;
    const Term& t = Deref(t0);
    if (T.Is(t, ";", 2)) {
      Disjuncts(T.Arg(t, 0), out);
      Disjuncts(T.Arg(t, 1), out);
    } else {
      out.push_back(&t);
    }
  }

  void Conjuncts(const Term& t0, std::vector<const Term*>& out) {
    const Terms& T = *terms_;
    const Term& t = Deref(t0);
    if (T.Is(t, ",", 2)) {
      Conjuncts(T.Arg(t, 0), out);
      Conjuncts(T.Arg(t, 1), out);
    } else {
      out.push_back(&t);
    }
  }

  // process_conjunction/4: goals in order, bindings flowing on; a
  // disjunction followed by more goals also passes on, one after the
  // other, the bindings its branches made.
  void Conjunction(Goal g, const Origin& origin, bool& partial) {
    std::vector<const Term*> goals;
    Conjuncts(*g.term, goals);
    ConjunctionFrom(goals, 0, g.module, origin, partial);
  }

  void ConjunctionFrom(const std::vector<const Term*>& goals, std::size_t from, const Term* module,
                       const Origin& origin, bool& partial) {
    const Terms& T = *terms_;
    for (std::size_t i = from; i < goals.size(); ++i) {
      if (budget_ < 0) return;
      const Term& goal = Deref(*goals[i]);
      if (T.Is(goal, ";", 2) && i + 1 < goals.size()) {
        std::vector<const Term*> branches;
        Disjuncts(goal, branches);
        std::vector<std::vector<const Term*>> alternatives;
        // Copying the bindings costs as many goals as the clause has
        // variables, by the 64: a clause of many disjunctions and variables
        // stays within the budget's time as well as its goals.
        const int copyCost = static_cast<int>(bindings_.size() / 64);
        for (const Term* b : branches) {
          budget_ -= copyCost;
          std::vector<const Term*> saved = bindings_;
          bool p = false;
          ProcessGoal(Goal{b, 0, module}, origin, p);
          if (p && bindings_ != saved && alternatives.size() < 10 &&
              std::find(alternatives.begin(), alternatives.end(), bindings_) == alternatives.end())
            alternatives.push_back(bindings_);
          bindings_ = std::move(saved);
        }
        // The rest, first as it is, then with each branch's bindings.
        budget_ -= copyCost;
        std::vector<const Term*> saved = bindings_;
        ConjunctionFrom(goals, i + 1, module, origin, partial);
        for (const std::vector<const Term*>& alt : alternatives) {
          budget_ -= copyCost;
          if (budget_ < 0) break;
          bindings_ = alt;
          bool p = true;
          ConjunctionFrom(goals, i + 1, module, origin, p);
        }
        bindings_ = std::move(saved);
        return;
      }
      ProcessGoal(Goal{&goal, 0, module}, origin, partial);
    }
  }

  // prolog:called_by/2 of library(http/html_write): the goals an HTML
  // argument calls with \\Goal, each a grammar body of two more arguments.
  bool HtmlCalls(Goal g, const Term& goal, std::string_view name, int arity, const Origin& origin,
                 bool& partial) {
    std::string_view head = xref_.HtmlMetaOf(name, arity);
    if (head.empty()) return false;
    CalledGoal(g, origin);
    const Terms& T = *terms_;
    for (std::size_t i = 0; i < head.size() && static_cast<int>(i) < T.Arity(goal); ++i) {
      if (head[i] == 'h')
        HtmlCalled(T.Arg(goal, static_cast<std::uint32_t>(i)), nullptr, origin, partial);
    }
    return true;
  }

  void HtmlCalled(const Term& t0, const Term* module, const Origin& origin, bool& partial) {
    const Terms& T = *terms_;
    const Term& t = Deref(t0);
    if (T.IsVar(t) || --budget_ < 0) return;
    if (T.Is(t, "\\", 1)) {
      const Term& g = Deref(T.Arg(t, 0));
      if (g.kind == TermKind::kList && !g.hasTail) return HtmlCalled(g, module, origin, partial);
      if (T.IsNil(g)) return;
      return Meta(Goal{&g, 2, module}, origin, partial);
    }
    if (t.kind == TermKind::kList) {
      for (std::uint32_t i = 0; i < t.arity; ++i)
        HtmlCalled(T.Child(t, i), module, origin, partial);
      return;
    }
    if (T.Is(t, ":", 2)) {
      const Term& m = Deref(T.Arg(t, 0));
      if (T.IsAtom(m)) HtmlCalled(T.Arg(t, 1), &m, origin, partial);
      return;
    }
    if (t.kind == TermKind::kCompound || t.kind == TermKind::kCurly) {
      for (std::uint32_t i = 0; i < t.arity; ++i)
        HtmlCalled(T.Child(t, i), module, origin, partial);
    }
  }

  static bool PceGoal(std::string_view name, int arity) {
    return (name == "new" && arity == 2) || (name == "send" && arity == 2) ||
           (name == "send_class" && arity == 3) || (name == "get" && arity == 3) ||
           (name == "get_class" && arity == 4) || (name == "get_chain" && arity == 3) ||
           (name == "get_object" && arity == 3);
  }

  // xref_meta_src/3 and what follows it in process_goal/4: true when the
  // goal is a meta-predicate's, its meta-arguments processed.
  bool MetaGoal(Goal g, const Term& goal, const PredicateKey& key, const Origin& origin,
                bool& partial) {
    const Terms& T = *terms_;
    std::string_view name = key.name;
    int arity = key.arity;
    auto argOf = [&](int i) -> const Term* {
      return i < T.Arity(goal) ? &T.Arg(goal, static_cast<std::uint32_t>(i)) : nullptr;
    };
    std::string_view request;
    auto declared = xref_.metas_.find(PredicateKey{std::string(), key.name, key.arity});
    if (key.module.empty() && declared != xref_.metas_.end()) {
      request = declared->second;
    } else if (ConditionalMeta(name, arity)) {
      if (g.extra != 0) return false;
      CalledGoal(g, origin);
      if (name == "setof" || name == "bagof") {
        const Term* inner = &Deref(*argOf(1));
        while (T.Is(*inner, "^", 2))
          inner = &Deref(T.Arg(*inner, 1));
        Meta(Goal{inner}, origin, partial);
      } else if (name == "retract") {
        const Term& rule = Deref(*argOf(0));
        if (T.IsVar(rule)) {
          // head_of/2 fails on a variable: the whole goal is then plain.
          return true;
        }
        Meta(Goal{T.Is(rule, ":-", 2) ? &T.Arg(rule, 0) : &rule}, origin, partial);
      } else if (name == "on_signal") {
        const Term& h = Deref(*argOf(2));
        if (!T.IsAtom(h, "default")) Meta(Goal{&h, 1}, origin, partial);
      } else if (name == "prolog_listen") {
        int extra = 0;
        // An atom extended by no arguments becomes a compound of arity 0
        // (extend/3), which is no call of the atom's predicate.
        const Term& g0 = Deref(*argOf(1));
        if (EventArgs(Deref(*argOf(0)), extra) && !(extra == 0 && T.IsAtom(g0)))
          Meta(Goal{argOf(1), extra}, origin, partial);
      } else if (name == "pce_global") {
        const Term& b = Deref(*argOf(1));
        if (!T.Is(b, "new", 1)) Meta(Goal{&b, 1}, origin, partial);
      }
      return true;
    } else if ((name == "call" || name == "maplist") && arity > 5) {
      CalledGoal(g, origin);
      if (const Term* a = argOf(0)) Meta(Goal{a, arity - 1}, origin, partial);
      return true;
    } else if (std::string_view hooked = xref_.HookMetaOf(name, arity); !hooked.empty()) {
      request = hooked;
    } else if (const KnownPredicate* known = FindKnown(name, arity)) {
      // Asking for its meta-arguments autoloads the predicate's library.
      if (key.module.empty() && (known->flags & KnownPredicate::kXrefTable) == 0 &&
          (known->flags & KnownPredicate::kBuiltIn) == 0 && known->library >= 0)
        xref_.LoadLibrary(known->library);
      request = known->meta;
      if (request.empty()) return false;
    } else {
      return false;
    }
    CalledGoal(g, origin);
    for (std::size_t i = 0; i < request.size(); ++i) {
      const Term* a = argOf(static_cast<int>(i));
      if (a == nullptr) continue;  // an argument the grammar body adds
      char c = request[i];
      if (c >= '0' && c <= '9') {
        Meta(Goal{a, c - '0'}, origin, partial);
      } else if (c == '/') {
        Grammar(*a, origin, partial);
      }
    }
    return true;
  }

  static bool EventArgs(const Term& event, int& extra) {
    if (event.kind != TermKind::kAtom && event.kind != TermKind::kVar) return false;
    std::string_view e = event.name;
    if (event.kind == TermKind::kVar || e == "abort" || e == "this_thread_exit") {
      extra = 0;
    } else if (e == "erase" || e == "frame_finished" || e == "thread_exit") {
      extra = 1;
    } else if (e == "break") {
      extra = 3;
    } else {
      return false;
    }
    return true;
  }

  // process_meta/4 for a goal with `extra` more arguments.
  void Meta(Goal g, const Origin& origin, bool& partial) {
    const Terms& T = *terms_;
    const Term& t = Deref(*g.term);
    if (T.IsVar(t)) return;
    if (g.extra > 0) {
      // extend/3: a qualified goal keeps its module; what is not
      // callable is left alone.
      const Term* inner = &t;
      while (T.Is(*inner, ":", 2))
        inner = &Deref(T.Arg(*inner, 1));
      if (!T.IsCallable(*inner)) return;
    }
    ProcessGoal(Goal{&t, g.extra, g.module}, origin, partial);
  }

  // process_dcg_goal/4
  void Grammar(const Term& t0, const Origin& origin, bool& partial) {
    const Terms& T = *terms_;
    const Term& t = Deref(t0);
    if (T.IsVar(t)) return;
    if (T.Is(t, ",", 2) || T.Is(t, ";", 2) || T.Is(t, "|", 2) || T.Is(t, "->", 2) ||
        T.Is(t, "*->", 2)) {
      Grammar(T.Arg(t, 0), origin, partial);
      Grammar(T.Arg(t, 1), origin, partial);
      return;
    }
    if (t.kind == TermKind::kCurly) {
      ProcessGoal(Goal{&T.Arg(t, 0)}, origin, partial);
      return;
    }
    if ((t.kind == TermKind::kList && !t.hasTail) || Terms::IsNil(t) ||
        t.kind == TermKind::kString || t.kind == TermKind::kBackQuoted)
      return;
    const Term* inner = &t;
    while (T.Is(*inner, ":", 2))
      inner = &Deref(T.Arg(*inner, 1));
    if (!T.IsCallable(*inner)) return;
    ProcessGoal(Goal{&t, 2}, origin, partial);
  }

  // ---- assert_called/4
  void CalledGoal(Goal g, const Origin& origin) {
    PredicateKey key;
    if (!KeyOf(g, key)) return;
    Called(key, origin, g.term);
  }

  // The line of a goal of the clause being read; 0 when its place is not
  // in the file's own text (positions before the clause's line belong to
  // terms that an expansion made).
  std::uint64_t LineOfGoal(const Term* goal, std::uint64_t clauseLine) const {
    if (goal == nullptr || lines_ == nullptr) return 0;
    const std::uint64_t line = lines_->LineOf(goal->from);
    return line >= clauseLine ? line : 0;
  }

  void Called(PredicateKey key, const Origin& origin, const Term* goal = nullptr) {
    if (!key.module.empty()) {
      if (key.module == xref_.module_) {
        key.module.clear();
      } else if (Hidden(key)) {
        return;
      }
    } else if (Hidden(key)) {
      return;
    }
    PredicateFacts& facts = xref_.Facts(key);
    const Caller& c = origin.caller;
    bool self = c.kind == Caller::Kind::kClause && c.predicate.module.empty() &&
                c.predicate.name == key.name && c.predicate.arity == key.arity &&
                key.module.empty();
    if (self) {
      facts.calledBySelf = true;
    } else {
      facts.called = true;
    }
    // The last caller is the commonest repeat (a clause calling twice);
    // the others are found by hash, so that a predicate of many callers
    // costs no more per call than one of few.
    if (!facts.callers.empty() && SameCaller(facts.callers.back(), c)) return;
    if (!xref_.callerEdges_.insert({&facts, c}).second) return;
    facts.callers.push_back(c);
    facts.callers.back().callLine = LineOfGoal(goal, c.line);
    facts.callers.back().includedFrom = includedFile_;
  }

  // Calls of built-in predicates are not recorded (register_called
  // non_built_in, the default).
  bool Hidden(const PredicateKey& key) const {
    if (xref_.module_ == "system") return false;
    const KnownPredicate* known = FindKnown(key.name, key.arity);
    return known != nullptr && (known->flags & KnownPredicate::kBuiltIn) != 0;
  }

  // ---- partial evaluation: X = Y unified, with the occurs check.
  bool Unify(const Term& a0, const Term& b0) {
    std::vector<std::uint32_t> trail;
    int steps = 0;
    if (UnifyTerms(a0, b0, trail, steps)) return true;
    for (std::uint32_t v : trail)
      bindings_[v] = nullptr;
    return false;
  }

  bool UnifyTerms(const Term& a0, const Term& b0, std::vector<std::uint32_t>& trail, int& steps) {
    if (++steps > 10000) return false;
    const Terms& T = *terms_;
    const Term& a = Deref(a0);
    const Term& b = Deref(b0);
    if (&a == &b) return true;
    if (T.IsVar(a) || T.IsVar(b)) {
      const Term& var = T.IsVar(a) ? a : b;
      const Term& value = T.IsVar(a) ? b : a;
      if (T.IsVar(value) && value.variable == var.variable) return true;
      if (var.variable >= bindings_.size() || Occurs(var.variable, value, steps)) return false;
      bindings_[var.variable] = &value;
      trail.push_back(var.variable);
      return true;
    }
    if (a.kind != b.kind || Terms::IsNil(a) != Terms::IsNil(b)) return false;
    switch (a.kind) {
      case TermKind::kAtom:
      case TermKind::kNumber:
      case TermKind::kString:
      case TermKind::kBackQuoted:
        return a.name == b.name;
      case TermKind::kCompound:
        if (a.name != b.name || a.arity != b.arity) return false;
        break;
      case TermKind::kList:
      case TermKind::kCurly:
      case TermKind::kDict:
        if (a.arity != b.arity || a.hasTail != b.hasTail) return false;
        break;
      default:
        return false;
    }
    for (std::uint32_t i = 0; i < a.arity; ++i) {
      if (!UnifyTerms(T.Child(a, i), T.Child(b, i), trail, steps)) return false;
    }
    return true;
  }

  bool Occurs(std::uint32_t var, const Term& t0, int& steps) const {
    if (++steps > 10000) return true;
    const Term& t = Deref(t0);
    if (t.kind == TermKind::kVar) return t.variable == var;
    for (std::uint32_t i = 0; i < t.arity && Terms::IsCompound(t); ++i) {
      if (Occurs(var, terms_->Child(t, i), steps)) return true;
    }
    return false;
  }

  // ---- lists
  std::uint32_t ListLength(const Term& list) const {
    return list.kind == TermKind::kList ? list.arity - (list.hasTail ? 1 : 0) : 0;
  }
  const Term& ListElement(const Term& list, std::uint32_t i) const {
    return Deref(terms_->Child(list, i));
  }

  // ---- grammar rules (dcg_translate_rule/2): the head gets two more
  // arguments, the body's nonterminals two more each.
  void GrammarRule(const Term& rule) {
    const Terms& T = *terms_;
    const Term* head = &Deref(T.Arg(rule, 0));
    const Term* pushback = nullptr;
    if (T.Is(*head, ",", 2)) {
      pushback = &T.Arg(*head, 1);
      head = &Deref(T.Arg(*head, 0));
    }
    const Term* module = nullptr;
    const Term* plain = head;
    while (T.Is(*plain, ":", 2)) {
      module = &Deref(T.Arg(*plain, 0));
      plain = &Deref(T.Arg(*plain, 1));
    }
    if (!T.IsCallable(*plain)) return;
    Goal h{plain, 2, module != nullptr && T.IsAtom(*module) ? module : nullptr};
    if (!GrammarBodyValid(T.Arg(rule, 1))) return;
    if (!AssertDefined(h)) return;
    Origin origin = Origin::Head(h, *this);
    budget_ = kBudget;
    bool partial = false;
    GrammarBody(T.Arg(rule, 1), origin, partial);
    if (pushback != nullptr) GrammarBody(*pushback, origin, partial);
  }

  // The translation fails (and SWI skips the clause) on a body that holds
  // something no grammar body may: a number, say.
  bool GrammarBodyValid(const Term& t0) {
    const Terms& T = *terms_;
    const Term& t = Deref(t0);
    if (T.IsVar(t)) return true;
    if (T.Is(t, ",", 2) || T.Is(t, ";", 2) || T.Is(t, "|", 2) || T.Is(t, "->", 2) ||
        T.Is(t, "*->", 2))
      return GrammarBodyValid(T.Arg(t, 0)) && GrammarBodyValid(T.Arg(t, 1));
    if (T.Is(t, "\\+", 1)) return GrammarBodyValid(T.Arg(t, 0));
    if (T.Is(t, ":", 2)) return GrammarBodyValid(T.Arg(t, 1));
    if (t.kind == TermKind::kList || Terms::IsNil(t) || t.kind == TermKind::kString ||
        t.kind == TermKind::kBackQuoted || t.kind == TermKind::kCurly)
      return true;
    return T.IsCallable(t);
  }

  // The translated body as the cross-referencer processes it.
  void GrammarBody(const Term& t0, const Origin& origin, bool& partial,
                   const Term* module = nullptr) {
    const Terms& T = *terms_;
    const Term& t = Deref(t0);
    if (T.IsVar(t)) {
      // phrase(V, S0, S): a meta-call of a variable.
      return;
    }
    if (T.Is(t, ":", 2)) {
      const Term& m = Deref(T.Arg(t, 0));
      return GrammarBody(T.Arg(t, 1), origin, partial, T.IsAtom(m) ? &m : module);
    }
    if (t.kind == TermKind::kList || Terms::IsNil(t) || t.kind == TermKind::kString ||
        t.kind == TermKind::kBackQuoted)
      return;  // S0 = [...|S]
    if (T.IsAtom(t, "!")) return;
    if (t.kind == TermKind::kCurly) {
      ProcessGoal(Goal{&T.Arg(t, 0), 0, module}, origin, partial);
      return;
    }
    if (T.IsAtom(t, "{}")) return;
    if (T.Is(t, ",", 2) || T.Is(t, ";", 2) || T.Is(t, "|", 2) || T.Is(t, "->", 2) ||
        T.Is(t, "*->", 2)) {
      GrammarBody(T.Arg(t, 0), origin, partial, module);
      GrammarBody(T.Arg(t, 1), origin, partial, module);
      return;
    }
    if (T.Is(t, "\\+", 1)) {
      GrammarBody(T.Arg(t, 0), origin, partial, module);
      return;
    }
    ProcessGoal(Goal{&t, 2, module}, origin, partial);
  }

  // ---- record/1 (library(record)): the predicates a record declaration
  // defines, and what the clauses its expansion makes call (all at the
  // directive's line, where SWI-Prolog reads them).
  void Record(const Term& request0) {
    const Terms& T = *terms_;
    const Term& request = Deref(request0);
    if (T.Is(request, ",", 2)) {
      Record(T.Arg(request, 0));
      Record(T.Arg(request, 1));
      return;
    }
    if (!T.IsCallable(request)) return;
    std::string c(T.Name(request));
    std::vector<std::string> fields;
    std::vector<char> typed;  // a field of a type other than `any`: its setters check it
    for (std::uint32_t i = 0; i < request.arity && request.kind == TermKind::kCompound; ++i) {
      const Term* f = &Deref(T.Arg(request, i));
      if (T.Is(*f, "=", 2)) f = &Deref(T.Arg(*f, 0));
      bool hasType = false;
      if (T.Is(*f, ":", 2)) {
        hasType = !T.IsAtom(Deref(T.Arg(*f, 1)), "any");
        f = &Deref(T.Arg(*f, 0));
      }
      if (!T.IsAtom(*f)) return;
      fields.emplace_back(f->name);
      typed.push_back(hasType ? 1 : 0);
    }
    // The expansion starts with the directive ":- record('<compiled>')".
    Called({std::string(), "record", 1}, Origin::Of(Caller::Kind::kDirective, line_));
    auto define = [&](std::string name, int arity) {
      PredicateFacts& facts = xref_.Facts({std::string(), std::move(name), arity});
      if (facts.ownLine == 0 && includeDepth_ == 0) facts.ownLine = line_;
      if (facts.localLine == 0) facts.localLine = line_;
    };
    define("default_" + c, 1);
    for (const std::string& f : fields)
      define(c + "_" + f, 2);
    define(c + "_data", 3);
    for (const std::string& f : fields) {
      define("set_" + f + "_of_" + c, 3);
      define("set_" + f + "_of_" + c, 2);
      define("nb_set_" + f + "_of_" + c, 2);
    }
    define("set_" + c + "_fields", 3);
    define("set_" + c + "_fields", 4);
    define("set_" + c + "_field", 3);
    define("make_" + c, 2);
    define("make_" + c, 3);
    define("is_" + c, 1);
    // The made clauses' calls: a typed field's setters check the value
    // with must_be/2; make_C/2,3 and set_C_fields/3,4 build on each other.
    auto call = [&](const std::string& callerName, int callerArity, std::string name, int arity) {
      Origin origin = Origin::Of(Caller::Kind::kClause, line_);
      origin.caller.predicate = {std::string(), callerName, callerArity};
      Called({std::string(), std::move(name), arity}, origin);
    };
    for (std::size_t i = 0; i < fields.size(); ++i) {
      if (typed[i] == 0) continue;
      const std::string set = "set_" + fields[i] + "_of_" + c;
      call(set, 3, "must_be", 2);
      call(set, 2, "must_be", 2);
      call("nb_" + set, 2, "must_be", 2);
    }
    for (std::size_t i = 0; i < fields.size(); ++i) {
      if (typed[i] != 0) call("set_" + c + "_field", 3, "must_be", 2);
    }
    call("make_" + c, 2, "make_" + c, 3);
    call("make_" + c, 3, "default_" + c, 1);
    call("make_" + c, 3, "set_" + c + "_fields", 4);
    call("set_" + c + "_fields", 3, "set_" + c + "_fields", 4);
    call("set_" + c + "_fields", 4, "set_" + c + "_field", 3);
    call("set_" + c + "_fields", 4, "set_" + c + "_fields", 4);
    PredicateFacts& current = xref_.Facts({"record", "current_record", 5});
    if (current.localLine == 0) current.localLine = line_;
  }

  // ---- CHR (process_chr/2): constraints are defined by the rules' heads.
  bool Chr(const Term& t0) {
    const Terms& T = *terms_;
    const Term& t = Deref(t0);
    if (T.Is(t, "@", 2) || T.Is(t, "pragma", 2))
      return Chr(T.Is(t, "@", 2) ? T.Arg(t, 1) : T.Arg(t, 0));
    if (T.Is(t, "<=>", 2)) {
      const Term* head = nullptr;
      if (!ChrHead(T.Arg(t, 0), head)) return false;
      Origin origin;
      if (head != nullptr) origin = Origin::Head(Goal{head}, *this);
      ChrBody(T.Arg(t, 1), origin);
      return true;
    }
    // The cross-referencer's own rule for ==> passes the source and the
    // head in each other's place, and so fails: such a rule is defined as
    // a fact of ==>/2, as anything else is.
    return false;
  }

  // chr_head/3: the first constraint of a head is defined; what follows it,
  // and the removed constraints of a simpagation rule, are called.
  bool ChrHead(const Term& t0, const Term*& head) {
    const Terms& T = *terms_;
    const Term& t = Deref(t0);
    if (T.IsVar(t)) return true;
    if (T.Is(t, "\\", 2)) {
      if (!ChrHead(T.Arg(t, 0), head)) return false;
      Body(T.Arg(t, 1), HeadOrigin(head));
      return true;
    }
    if (T.Is(t, ",", 2)) {
      ChrDefined(T.Arg(t, 0), head);
      Body(T.Arg(t, 1), HeadOrigin(head));
      return true;
    }
    ChrDefined(t, head);
    return true;
  }

  Origin HeadOrigin(const Term* head) {
    return head != nullptr ? Origin::Head(Goal{head}, *this)
                           : Origin::Of(Caller::Kind::kUnknown, line_);
  }

  void ChrDefined(const Term& t0, const Term*& head) {
    const Terms& T = *terms_;
    const Term* t = &Deref(t0);
    if (T.IsVar(*t)) return;
    if (T.Is(*t, "#", 2)) t = &Deref(T.Arg(*t, 0));
    head = t;
    PredicateKey key;
    if (!KeyOf(Goal{t}, key)) return;
    PredicateFacts& facts = xref_.Facts(key);
    if (facts.constraintLine == 0) facts.constraintLine = line_;
  }

  // chr_body/3: a guard and its goals, both processed as a body.
  void ChrBody(const Term& t0, const Origin& origin) {
    const Terms& T = *terms_;
    const Term& t = Deref(t0);
    if (T.Is(t, "|", 2)) {
      ChrBody(T.Arg(t, 0), origin);
      ChrBody(T.Arg(t, 1), origin);
      return;
    }
    Body(t, origin);
  }

  Xref& xref_;
  prolog::Operators& ops_;
  std::unique_ptr<Terms> terms_;
  std::vector<const Term*> bindings_;
  std::uint64_t line_ = 1;
  int budget_ = kBudget;
  bool chr_ = false;
  bool testUnit_ = false;
  std::uint64_t testUnitLine_ = 0;
  int includeDepth_ = 0;
  int includedFile_ = -1;  // the file this reading reads, when included: in Xref::Loaded()
};

Xref::Xref(Loader* loader) : loader_(loader) {
  std::span<const KnownFile> library = swi::Library();
  libraries_.assign(library.size(), 0);
  for (std::size_t i = 0; i < library.size(); ++i) {
    libraries_[i] = library[i].initiallyLoaded ? 1 : 0;
    if (libraries_[i] && !library[i].htmlMetas.empty()) htmlMetaLibraries_.push_back(i);
  }
}

void Xref::LoadLibrary(int index) {
  if (index < 0 || static_cast<std::size_t>(index) >= libraries_.size() || libraries_[index])
    return;
  libraries_[index] = 1;
  const auto at = static_cast<std::size_t>(index);
  if (!swi::Library()[at].htmlMetas.empty())
    htmlMetaLibraries_.insert(
        std::lower_bound(htmlMetaLibraries_.begin(), htmlMetaLibraries_.end(), at), at);
  for (std::int16_t brought : swi::Library()[static_cast<std::size_t>(index)].brings)
    LoadLibrary(brought);
}

void Xref::LoadLibrary(std::string_view libraryPath) {
  if (const KnownFile* file = FindLibraryFile(libraryPath))
    LoadLibrary(static_cast<int>(file - swi::Library().data()));
}

bool Xref::LibraryLoaded(std::string_view libraryPath) const {
  const KnownFile* file = FindLibraryFile(libraryPath);
  return file != nullptr && libraries_[static_cast<std::size_t>(file - swi::Library().data())];
}

std::string_view Xref::HtmlMetaOf(std::string_view name, int arity) const {
  std::span<const KnownFile> library = swi::Library();
  for (std::size_t i : htmlMetaLibraries_) {
    for (const KnownMeta& m : library[i].htmlMetas) {
      if (m.name == name && m.arity == arity) return m.meta;
    }
  }
  return {};
}

// prolog:meta_goal/2 of the libraries that declare it.
std::string_view Xref::HookMetaOf(std::string_view name, int arity) const {
  if (name == "process_rdf" && arity == 3 && LibraryLoaded("rdf")) return "-2-";
  if (name.starts_with("http_") && LibraryLoaded("http/http_dispatch")) {
    if (name == "http_handler" && arity == 3) return "-1-";
    if (name == "http_current_handler" && arity == 2) return "-1";
  }
  if ((name == "rewrite_term" || name == "\\") && LibraryLoaded("rdf_parser")) {
    if (name == "rewrite_term" && arity == 2) return "0-";
    if (name == "\\" && arity == 1) return "1";
  }
  return {};
}
Xref::~Xref() = default;

// The state of a reading fed token by token.
struct Xref::Stream {
  explicit Stream(Xref& xref, prolog::Encoding encoding)
      : ops(prolog::Operators::SwiInitial()),
        reading(xref, ops),
        clauses(&ops, encoding, reading.Visitor()) {
    xref.docs_ = std::make_unique<DocReader>(encoding);
    reading.docs_ = xref.docs_.get();
    reading.lines_ = &clauses;
  }
  prolog::Operators ops;
  Reading reading;
  ClauseStream clauses;
};

void Xref::Begin(prolog::Encoding encoding) {
  stream_ = std::make_unique<Stream>(*this, encoding);
}

void Xref::Push(prolog::TokenClass cls, std::string_view text, std::uint64_t offset) {
  if (cls == prolog::TokenClass::kComment) docs_->Comment(text, offset);
  stream_->clauses.Push(cls, text, offset);
}

void Xref::Finish() {
  stream_->clauses.Finish();
  docs_->Finish();
  stream_.reset();
}

void Xref::ReadSource(std::string_view text, prolog::Encoding encoding) {
  prolog::Operators ops = prolog::Operators::SwiInitial();
  Reading reading(*this, ops);
  reading.Run(text, encoding);
}

int Xref::Load(const LoadedFile& file, bool mentionedOnly) {
  int index = -1;
  for (std::size_t i = 0; i < loaded_.size() && index < 0; ++i) {
    if (loaded_[i].title == file.title && loaded_[i].path == file.path &&
        loaded_[i].library == file.library)
      index = static_cast<int>(i);
  }
  if (index < 0) {
    loaded_.push_back(file);
    index = static_cast<int>(loaded_.size() - 1);
    loaded_.back().mentionedOnly = mentionedOnly;
  } else if (!mentionedOnly) {
    loaded_[static_cast<std::size_t>(index)].mentionedOnly = false;
  }
  if (!file.request.empty()) requests_.emplace(file.request, index);
  return index;
}

void Xref::Mention(const LoadedFile& file) {
  Load(file, true);
}

int Xref::LoadedIndex(std::string_view request) const {
  auto found = requests_.find(std::string(request));
  return found == requests_.end() ? -1 : found->second;
}

const LoadedFile* Xref::LoadedBySpec(std::string_view request) const {
  int i = LoadedIndex(request);
  return i < 0 ? nullptr : &loaded_[static_cast<std::size_t>(i)];
}

const PredicateFacts* Xref::Find(const PredicateKey& key) const {
  auto found = facts_.find(key);
  return found == facts_.end() ? nullptr : &found->second;
}

const PredicateFacts* Xref::Find(std::string_view name, int arity) const {
  return Find(PredicateKey{std::string(), std::string(name), arity});
}

std::string_view Xref::MetaOf(std::string_view name, int arity) const {
  auto found = metas_.find(PredicateKey{std::string(), std::string(name), arity});
  if (found != metas_.end()) return found->second;
  if (std::string_view hooked = HookMetaOf(name, arity); !hooked.empty()) return hooked;
  if (const KnownPredicate* known = FindKnown(name, arity)) return known->meta;
  return {};
}

}  // namespace pl2html::meaning
