#include "meaning/colour.hpp"

#include <algorithm>
#include <array>
#include <vector>

#include "meaning/clause_stream.hpp"
#include "meaning/knowledge.hpp"
#include "meaning/term_view.hpp"

namespace pl2html::meaning {

namespace {

constexpr std::array<std::string_view, kMeanings> kNames = {
    "goal-built_in",     "goal-imported",     "goal-autoload",   "goal-global",
    "goal-undefined",    "goal-thread_local", "goal-dynamic",    "goal-multifile",
    "goal-expanded",     "goal-extern",       "goal-recursion",  "goal-meta",
    "goal-foreign",      "goal-local",        "goal-constraint", "goal-not_callable",
    "head-exported",     "head-public",       "head-extern",     "head-dynamic",
    "head-multifile",    "head-unreferenced", "head-hook",       "head-meta",
    "head-constraint",   "head-imported",     "head-built_in",   "head-iso",
    "head-def_iso",      "head-def_swi",      "head-test",       "head-local",
    "head-thread_local", "head-foreign",      "head-undefined",  "singleton",
};

}  // namespace

std::string_view MeaningName(Meaning meaning) {
  const auto i = static_cast<std::size_t>(meaning);
  return i < kNames.size() ? kNames[i] : std::string_view();
}

bool IsGoal(Meaning meaning) {
  return meaning <= Meaning::kGoalNotCallable;
}

// A place in the term as the source view's positions give it: a term, and
// how many of the parentheses around it still wrap it here
// (parentheses_term_position).
struct Pos {
  const Term* term = nullptr;
  int parens = 0;
  bool Valid() const { return term != nullptr; }
  bool Parenthesized() const { return parens > 0; }
  Pos Inner() const { return {term, parens - 1}; }
};

inline Pos PosOf(const Term& t) {
  return {&t, t.parentheses};
}

// A goal: a term with `extra` more arguments than it was written with
// (a meta-argument's N, a nonterminal's two).
struct Goal {
  const Term* term = nullptr;
  int extra = 0;
  // The arguments were added through a module qualification even where
  // the module is no atom (dcg_extend/2 does; expand_meta/3 extends a
  // qualification by a variable as a compound of its own).
  bool throughModule = false;
};

// The source view's goal_classification/4 and classify_head/3 answers.
struct Class {
  Class(Meaning m = Meaning::kGoalUndefined, std::uint64_t l = 0) : meaning(m), line(l) {}
  Meaning meaning;
  std::uint64_t line;
  int file = -1;
  std::string_view library;
  std::string_view module;
};

// What a specified item (def_goal_colours/2 and the like) does with an
// argument: the parts that can lead to goals, heads or singletons.
enum class ArgShape : std::uint8_t {
  kItem,  // coloured as a whole, nothing inside: identifier, atom, module...
  kClassify,
  kBody,
  kSetof,
  kDb,
  kFile,
  kImportedFile,
  kLangOptions,
  kExports,
  kImports,  // the import list of use_module/2: the file is argument 1
  kDeclarations,
  kMetaDeclarations,
  kPredicate,
  kPrologFlagName,
  kOptions,
  kPceNew,
  kPceArg,
  kPceSelector,
  kPceArgList,
  kHead,
  kDirectory,
};

struct GoalColours {
  std::string_view name;
  int arity;
  bool classify;  // the class is the goal's own; else built_in
  std::array<ArgShape, 3> args;
  int count;                    // how many of args; -1: args[0] for every argument
  std::string_view which = {};  // declarations(Which)
};

// def_goal_colours/2.
constexpr GoalColours kGoalColours[] = {
    {"module", 2, false, {ArgShape::kItem, ArgShape::kExports}, 2},
    {"module", 3, false, {ArgShape::kItem, ArgShape::kExports, ArgShape::kLangOptions}, 3},
    {"use_module", 1, false, {ArgShape::kImportedFile}, 1},
    {"use_module", 2, false, {ArgShape::kFile, ArgShape::kImports}, 2},
    {"autoload", 1, false, {ArgShape::kImportedFile}, 1},
    {"autoload", 2, false, {ArgShape::kFile, ArgShape::kImports}, 2},
    {"reexport", 1, false, {ArgShape::kFile}, 1},
    {"reexport", 2, false, {ArgShape::kFile, ArgShape::kImports}, 2},
    {"dynamic", 1, false, {ArgShape::kDeclarations}, 1, "dynamic"},
    {"thread_local", 1, false, {ArgShape::kDeclarations}, 1, "thread_local"},
    {"module_transparent", 1, false, {ArgShape::kDeclarations}, 1, "module_transparent"},
    {"discontiguous", 1, false, {ArgShape::kDeclarations}, 1, "discontiguous"},
    {"multifile", 1, false, {ArgShape::kDeclarations}, 1, "multifile"},
    {"volatile", 1, false, {ArgShape::kDeclarations}, 1, "volatile"},
    {"public", 1, false, {ArgShape::kDeclarations}, 1, "public"},
    {"det", 1, false, {ArgShape::kDeclarations}, 1, "det"},
    {"table", 1, false, {ArgShape::kDeclarations}, 1, "table"},
    {"meta_predicate", 1, false, {ArgShape::kMetaDeclarations}, 1},
    {"consult", 1, false, {ArgShape::kFile}, 1},
    {"include", 1, false, {ArgShape::kFile}, 1},
    {"ensure_loaded", 1, false, {ArgShape::kFile}, 1},
    {"load_files", 1, false, {ArgShape::kFile}, 1},
    {"load_files", 2, false, {ArgShape::kFile, ArgShape::kOptions}, 2},
    {"setof", 3, false, {ArgShape::kClassify, ArgShape::kSetof, ArgShape::kClassify}, 3},
    {"bagof", 3, false, {ArgShape::kClassify, ArgShape::kSetof, ArgShape::kClassify}, 3},
    {"predicate_options",
     3,
     false,
     {ArgShape::kPredicate, ArgShape::kClassify, ArgShape::kClassify},
     3},
    {"assert", 1, false, {ArgShape::kDb}, 1},
    {"asserta", 1, false, {ArgShape::kDb}, 1},
    {"assertz", 1, false, {ArgShape::kDb}, 1},
    {"assert", 2, false, {ArgShape::kDb, ArgShape::kClassify}, 2},
    {"asserta", 2, false, {ArgShape::kDb, ArgShape::kClassify}, 2},
    {"assertz", 2, false, {ArgShape::kDb, ArgShape::kClassify}, 2},
    {"retract", 1, false, {ArgShape::kDb}, 1},
    {"retractall", 1, false, {ArgShape::kDb}, 1},
    {"clause", 2, false, {ArgShape::kDb, ArgShape::kClassify}, 2},
    {"clause", 3, false, {ArgShape::kDb, ArgShape::kClassify, ArgShape::kClassify}, 3},
    {"set_prolog_flag", 2, false, {ArgShape::kPrologFlagName, ArgShape::kClassify}, 2},
    {"current_prolog_flag", 2, false, {ArgShape::kPrologFlagName, ArgShape::kClassify}, 2},
    {"pce_autoload", 2, true, {ArgShape::kClassify, ArgShape::kFile}, 2},
    {"pce_image_directory", 1, true, {ArgShape::kDirectory}, 1},
    {"new", 2, false, {ArgShape::kClassify, ArgShape::kPceNew}, 2},
    {"send_list", 3, false, {ArgShape::kPceArgList}, -1},
    {"send", 2, false, {ArgShape::kPceArg, ArgShape::kPceSelector}, 2},
    {"get", 3, false, {ArgShape::kPceArg, ArgShape::kPceSelector, ArgShape::kPceArg}, 3},
    {"send_super", 2, false, {ArgShape::kPceArg, ArgShape::kPceSelector}, 2},
    {"get_super", 3, false, {ArgShape::kPceArg, ArgShape::kPceSelector, ArgShape::kPceArg}, 3},
    {"get_chain", 3, false, {ArgShape::kPceArg, ArgShape::kPceSelector, ArgShape::kPceArg}, 3},
};

const GoalColours* FindGoalColours(std::string_view name, int arity) {
  for (const GoalColours& c : kGoalColours) {
    if (c.name == name && c.arity == arity) return &c;
  }
  return nullptr;
}

// The last rule of def_goal_colours/2: any other send, get, send_super or
// get_super goal.
bool PceFunctor(std::string_view name) {
  return name == "send" || name == "get" || name == "send_super" || name == "get_super";
}

bool PrologMessageHook(std::string_view name, int arity) {
  return arity == 1 && (name == "message" || name == "deprecated" || name == "error_message" ||
                        name == "message_context" || name == "message_location");
}

class Colourer::Walk {
 public:
  Walk(const Xref& xref, const prolog::TermReader& reader, std::vector<Fragment>& out)
      : xref_(xref), T_(reader), reader_(reader), out_(out) {}

  // colourise_term/4, after the term was read.
  void Clause(const Term& t) { ColouriseTerm(PosOf(t)); }

 private:
  // ---- items
  std::pair<std::uint64_t, std::uint64_t> Range(Pos p) const {
    if (p.Parenthesized()) return {p.term->parenFrom, p.term->parenTo};
    return {p.term->from, p.term->to};
  }

  // functor_position/3
  std::pair<std::uint64_t, std::uint64_t> FunctorRange(Pos p) const {
    const Term& t = *p.term;
    if (!p.Parenthesized()) {
      if (t.kind == TermKind::kCompound || t.kind == TermKind::kDict)
        return {t.functorFrom, t.functorTo};
      if (t.kind == TermKind::kList && !t.hasTail) return {t.from, t.from + 1};
    }
    return Range(p);
  }

  void Item(std::pair<std::uint64_t, std::uint64_t> range, const Class& c, std::string_view name,
            int arity) {
    if (failed_) return;
    Fragment f;
    f.from = range.first;
    f.to = range.second;
    f.meaning = c.meaning;
    f.name = name;
    f.arity = arity;
    f.line = c.line;
    f.file = c.file;
    f.library = c.library;
    f.module = c.module;
    out_.push_back(f);
  }

  void GoalItem(std::pair<std::uint64_t, std::uint64_t> range, const Class& c, Goal g) {
    std::string_view name;
    int arity = 0;
    NameArity(g, name, arity);
    Item(range, c, name, arity);
  }

  // A variable: "singleton" if it is one of the clause's warnable
  // singletons (a named variable, not starting with "_", seen once).
  void Variable(Pos p) {
    const Term& v = *p.term;
    if (IsSingleton(v)) Item(Range(p), Class{Meaning::kSingleton}, v.name, 0);
  }

  bool IsSingleton(const Term& v) const {
    return v.kind == TermKind::kVar && !v.name.empty() && v.name[0] != '_' &&
           v.variable < reader_.Variables().size() &&
           reader_.Variables()[v.variable].occurrences == 1;
  }

  // ---- the goal's name and arity, seen through a module qualification.
  const Term& Unqualified(const Term& t) const {
    const Term* at = &t;
    while (T_.Is(*at, ":", 2) && T_.IsAtom(T_.Arg(*at, 0)))
      at = &T_.Arg(*at, 1);
    return *at;
  }

  // The goal itself, its module qualifications taken off: those by an
  // atom always, those by a variable unless arguments were added to the
  // qualification itself (see Goal::throughModule).
  const Term& Stripped(Goal g) const {
    const Term* at = g.term;
    while (T_.Is(*at, ":", 2) && (T_.IsAtom(T_.Arg(*at, 0)) ||
                                  (T_.IsVar(T_.Arg(*at, 0)) && (g.extra == 0 || g.throughModule))))
      at = &T_.Arg(*at, 1);
    return *at;
  }

  bool NameArity(Goal g, std::string_view& name, int& arity) const {
    const Term& t = Stripped(g);
    if (!T_.IsCallable(t)) {
      name = {};
      arity = 0;
      return false;
    }
    name = T_.Name(t);
    arity = T_.Arity(t) + g.extra;
    return true;
  }

  std::string_view QualifierOf(const Term& t) const {
    const Term* at = &t;
    std::string_view module;
    while (T_.Is(*at, ":", 2) && T_.IsAtom(T_.Arg(*at, 0))) {
      module = T_.Arg(*at, 0).name;
      at = &T_.Arg(*at, 1);
    }
    return module;
  }

  // ---- colourise_term/3
  void ColouriseTerm(Pos p) {
    Deeper deeper(*this);
    if (failed_) return;
    const Term& t = *p.term;
    if (T_.IsVar(t)) return;
    if (p.Parenthesized()) return ColouriseTerm(p.Inner());
    if (TermColours(p)) return;
    // Head => Body with a guard: (Head, Guard) => Body.
    if (T_.Is(t, "=>", 2)) {
      const Term& pre = T_.Arg(t, 0);
      if (T_.Is(pre, ",", 2) && pre.parentheses == 0) {
        const Term& head = T_.Arg(pre, 0);
        ClauseHead(PosOf(head));
        Body(PosOf(T_.Arg(pre, 1)), Goal{&head});
        Body(PosOf(T_.Arg(t, 1)), Goal{&head});
        return;
      }
    }
    if (T_.Is(t, ":-", 2) || T_.Is(t, "=>", 2) || T_.Is(t, "?=>", 2)) {
      const Term& head = T_.Arg(t, 0);
      ClauseHead(PosOf(head));
      Body(PosOf(T_.Arg(t, 1)), Goal{&head});
      return;
    }
    if (T_.Is(t, "-->", 2)) {
      const Term& left = T_.Arg(t, 0);
      if (T_.Is(left, ",", 2) && left.parentheses == 0) {
        TermArg(PosOf(T_.Arg(left, 1)));
        ExtendedHead(PosOf(T_.Arg(left, 0)), 2);
        Dcg(PosOf(T_.Arg(t, 1)), &T_.Arg(left, 0));
        return;
      }
      ExtendedHead(PosOf(left), 2);
      Dcg(PosOf(T_.Arg(t, 1)), &left);
      return;
    }
    if (T_.Is(t, ":->", 2) || T_.Is(t, ":<-", 2)) {
      TermArgs(PosOf(Unqualified(T_.Arg(t, 0))));
      MethodBody(PosOf(T_.Arg(t, 1)));
      return;
    }
    if (T_.Is(t, ":-", 1) || T_.Is(t, "?-", 1)) {
      Directive(PosOf(T_.Arg(t, 0)));
      return;
    }
    if (T_.IsAtom(t, "end_of_file")) return;
    ClauseHead(p);
  }

  // term_colours/2: terms the source view colours by a rule of its own.
  bool TermColours(Pos p) {
    const Term& t = *p.term;
    const bool compound = t.kind == TermKind::kCompound;
    if (T_.Is(t, "?-", 1) || T_.Is(t, ":-", 1)) {
      const Term& d = T_.Arg(t, 0);
      // :- encoding(_), XPCE's class directives: expanded, nothing inside
      // that the walk colours but plain arguments.
      if (T_.Is(d, "encoding", 1) || T_.Is(d, "pce_begin_class", 3) ||
          T_.Is(d, "pce_begin_class", 2) || T_.Is(d, "pce_extend_class", 1) ||
          T_.IsAtom(d, "pce_end_class") || T_.Is(d, "pce_end_class", 1) ||
          T_.Is(d, "use_class_template", 1) || T_.Is(d, "emacs_begin_mode", 5) ||
          T_.Is(d, "emacs_extend_mode", 2) || T_.Is(d, "pce_group", 1) ||
          T_.IsAtom(d, "emacs_end_mode") ||
          (T_.Is(d, "pce_global", 2) && T_.Is(T_.Arg(d, 1), "new", 1))) {
        ShapedTermColours(d);
        return true;
      }
      return false;
    }
    if (T_.Is(t, "-->", 2)) {
      const Term& head = T_.Arg(t, 0);
      if (head.parentheses == 0 && T_.Is(head, ":", 2) && T_.IsAtom(T_.Arg(head, 0), "prolog")) {
        const Term& h = T_.Arg(head, 1);
        if (T_.IsCallable(h) && PrologMessageHook(T_.Name(h), T_.Arity(h))) {
          Dcg(PosOf(T_.Arg(t, 1)), &head);
          return true;
        }
      }
      return false;
    }
    if (!compound) return false;
    std::string_view n = t.name;
    int a = static_cast<int>(t.arity);
    if ((n == "variable" && (a == 3 || a == 4)) || (n == "handle" && (a == 3 || a == 4)) ||
        (n == "class_variable" && (a == 3 || a == 4)) || (n == "delegate_to" && a == 1) ||
        (n == "pce_ifhostproperty" && a == 2) || (n == "," && a == 2)) {
      // Their arguments are classify, identifier, atom, comment or pce
      // items: plain arguments are the only ones that colour anything.
      for (std::uint32_t i = 0; i < t.arity; ++i) {
        bool classify = true;
        if (n == "variable") classify = i == 1 || (a == 4 && i == 2);
        if (n == "class_variable") classify = false;
        if (classify) ShapedItem(ArgShape::kClassify, PosOf(T_.Arg(t, i)));
      }
      return true;
    }
    return false;
  }

  // The expanded directives of term_colours/2: what their shapes
  // colour of the arguments.
  void ShapedTermColours(const Term& d) {
    if (T_.Is(d, "encoding", 1)) return ShapedItem(ArgShape::kClassify, PosOf(T_.Arg(d, 0)));
    if (T_.Is(d, "emacs_begin_mode", 5)) {
      for (std::uint32_t i = 1; i < 5; ++i)
        ShapedItem(ArgShape::kClassify, PosOf(T_.Arg(d, i)));
      return;
    }
    if (T_.Is(d, "emacs_extend_mode", 2))
      return ShapedItem(ArgShape::kClassify, PosOf(T_.Arg(d, 1)));
    if (T_.Is(d, "pce_begin_class", 3) || T_.Is(d, "pce_begin_class", 2))
      return ShapedItem(ArgShape::kPceNew, PosOf(T_.Arg(d, 1)));
    if (T_.Is(d, "use_class_template", 1))
      return ShapedItem(ArgShape::kPceNew, PosOf(T_.Arg(d, 0)));
    if (T_.Is(d, "pce_global", 2)) return ShapedItem(ArgShape::kPceArg, PosOf(T_.Arg(d, 1)));
  }

  // ---- heads
  void ExtendedHead(Pos p, int n) { ClauseHead(p, n); }

  // colourise_clause_head/3; `extra` arguments added (a grammar rule's).
  void ClauseHead(Pos p, int extra = 0) {
    Deeper deeper(*this);
    if (!p.Valid() || failed_) return;
    if (p.Parenthesized()) return ClauseHead(p.Inner(), extra);
    const Term& t = *p.term;
    if (T_.Is(t, ":", 2)) return QualifiedHead(p, extra);
    if (extra == 0 && DictMethodHead(t)) return;
    std::string_view name;
    int arity = 0;
    if (extra == 0 && SpecialHead(t)) {
      HookHead(p, Goal{&t});
      return;
    }
    if (!T_.IsCallable(t) && !(extra == 0)) {
      // extend/3 leaves what is no atom or compound as it is
      extra = 0;
    }
    Goal g{&t, T_.IsCallable(t) ? extra : 0};
    NameArity(g, name, arity);
    Class c = ClassifyHead(g);
    GoalItem(FunctorRange(p), c, g);
    TermArgs(p);
  }

  // A dict method's definition, `Dict.name(Args) := Value`: its head is
  // no predicate's, only its arguments are coloured.
  bool DictMethodHead(const Term& t) {
    if (!T_.Is(t, ":=", 2)) return false;
    const Term& eval = T_.Arg(t, 0);
    if (eval.parentheses > 0 || !T_.Is(eval, ".", 2)) return false;
    const Term& func = T_.Arg(eval, 1);
    if (func.parentheses > 0 || func.kind != TermKind::kCompound) return false;
    TermArg(PosOf(T_.Arg(eval, 0)));
    TermArgs(PosOf(func));
    TermArg(PosOf(T_.Arg(t, 1)));
    return true;
  }

  // head_colours/2 for unqualified heads: user's search paths and resources.
  bool SpecialHead(const Term& t) const {
    return T_.Is(t, "file_search_path", 2) || T_.Is(t, "library_directory", 1) ||
           T_.Is(t, "resource", 2) || T_.Is(t, "resource", 3);
  }

  // A hook head with its specified arguments: identifier, classify, file.
  void HookHead(Pos p, Goal g) {
    GoalItem(FunctorRange(p), Class{Meaning::kHeadHook}, g);
    const Term& t = *p.term;
    if (t.kind != TermKind::kCompound) return;
    std::string_view n = t.name;
    for (std::uint32_t i = 0; i < t.arity; ++i) {
      ArgShape s = ArgShape::kItem;
      if (n == "file_search_path" && i == 1) s = ArgShape::kClassify;
      if (n == "library_directory") s = ArgShape::kFile;
      if (n == "resource" && i == 1) s = ArgShape::kFile;
      if (n == "resource" && i == 2) s = ArgShape::kClassify;
      ShapedItem(s, PosOf(T_.Arg(t, i)));
    }
  }

  // M:Head: hooks of module user and the hooks the cross-referencer
  // knows are hooks; any other is "extern", and the colon itself "meta".
  void QualifiedHead(Pos p, int extra) {
    const Term& t = *p.term;
    const Term& module = T_.Arg(t, 0);
    const Term& head = T_.Arg(t, 1);
    Pos hp = PosOf(head);
    const Term& plain = head;  // as written, within its parentheses
    if (T_.IsAtom(module, "user") && extra == 0 && SpecialHead(plain) && head.parentheses == 0) {
      HookHead(hp, Goal{&plain});
      return;
    }
    if (T_.IsAtom(module) && T_.IsCallable(plain)) {
      std::string_view name;
      int arity = 0;
      Goal g{&plain, extra};
      NameArity(g, name, arity);
      if (IsKnownHook(module.name, name, arity)) {
        Pos inner = hp;
        while (inner.Parenthesized())
          inner = inner.Inner();
        GoalItem(FunctorRange(hp), Class{Meaning::kHeadHook}, g);
        if (!hp.Parenthesized()) TermArgs(hp);
        return;
      }
    }
    // meta-[module(M), extern(M)]: the colon is the "head", then the head
    // proper as an extern head.
    Item(FunctorRange(p), Class{Meaning::kHeadMeta}, ":", 2);
    ExternHead(hp, module, extra);
  }

  // colourise_extern_head/4, within specified_item/4.
  void ExternHead(Pos p, const Term& module, int extra) {
    if (!p.Valid()) return;
    if (p.Parenthesized()) return ExternHead(p.Inner(), module, extra);
    const Term& t = *p.term;
    if (T_.IsVar(t)) return TermArg(p);
    Class c{Meaning::kHeadExtern};
    c.module = T_.IsAtom(module) ? module.name : std::string_view();
    Goal g{&t, T_.IsCallable(t) ? extra : 0};
    GoalItem(FunctorRange(p), c, g);
    TermArgs(p);
  }

  // classify_head/3
  Class ClassifyHead(Goal g) {
    std::string_view name;
    int arity = 0;
    if (!NameArity(g, name, arity)) return Class{Meaning::kHeadUndefined};
    const PredicateFacts* facts = xref_.Find(name, arity);
    if (facts != nullptr && facts->exported) return Class{Meaning::kHeadExported};
    if (IsKnownHook("", name, arity) || (xref_.HtmlWriteLoaded() && IsHtmlWriteHook(name, arity)) ||
        (xref_.IsModule() && IsKnownHook(xref_.Module(), name, arity)))
      return Class{Meaning::kHeadHook};
    if (const KnownPredicate* known = BuiltIn(name, arity)) {
      bool iso = (known->flags & KnownPredicate::kIso) != 0;
      if (!SystemModule()) return Class{iso ? Meaning::kHeadIso : Meaning::kHeadBuiltIn};
      if (iso) return Class{Meaning::kHeadDefIso};
      if (!name.starts_with('$')) return Class{Meaning::kHeadDefSwi};
    } else if (ReservedBuiltIn(name, arity)) {
      return Class{SystemModule() ? Meaning::kHeadDefSwi : Meaning::kHeadBuiltIn};
    }
    if (facts == nullptr || !facts->called) return Class{Meaning::kHeadUnreferenced};
    if (facts->importedFrom >= 0) return Imported(Meaning::kHeadImported, facts->importedFrom);
    if (facts->dynamicLine != 0) return Class{Meaning::kHeadDynamic, facts->dynamicLine};
    if (facts->threadLocalLine != 0)
      return Class{Meaning::kHeadThreadLocal, facts->threadLocalLine};
    if (facts->multifileLine != 0) return Class{Meaning::kHeadMultifile, facts->multifileLine};
    if (facts->publicLine != 0) return Class{Meaning::kHeadPublic, facts->publicLine};
    if (facts->localLine != 0) return Class{Meaning::kHeadLocal, facts->localLine};
    if (facts->foreignLine != 0) return Class{Meaning::kHeadForeign, facts->foreignLine};
    if (facts->constraintLine != 0) return Class{Meaning::kHeadConstraint, facts->constraintLine};
    return Class{Meaning::kHeadUndefined};
  }

  bool SystemModule() const {
    const std::string& m = xref_.Module();
    return m == "system" || m.starts_with('$');
  }

  static const KnownPredicate* BuiltIn(std::string_view name, int arity) {
    const KnownPredicate* known = FindKnown(name, arity);
    return known != nullptr && (known->flags & KnownPredicate::kBuiltIn) != 0 ? known : nullptr;
  }

  // built_in_predicate/1's reserved constructs.
  static bool ReservedBuiltIn(std::string_view name, int arity) {
    return (name == "module" && (arity == 2 || arity == 3)) ||
           ((name == "if" || name == "elif") && arity == 1) ||
           ((name == "else" || name == "endif") && arity == 0);
  }

  Class Imported(Meaning m, int file) const {
    Class c{m};
    c.file = file;
    return c;
  }

  // ---- goal_classification/4. `origin` is the clause's head (nullptr
  // for a directive or a meta-argument); for a grammar rule, the head
  // with its two more arguments, `originExtra` 2.
  Class ClassifyGoal(Goal g, Goal origin) {
    const Term& t = Stripped(g);
    if (T_.IsVar(t)) return Class{Meaning::kGoalMeta};
    if (!T_.IsCallable(t)) return Class{Meaning::kGoalNotCallable};
    std::string_view name;
    int arity = 0;
    NameArity(g, name, arity);
    std::string_view module = QualifierOf(*g.term);
    const bool qualified = &t != g.term;
    const bool atomModule = qualified && !module.empty();
    if (!qualified && origin.term != nullptr) {
      const Term& o = *origin.term;
      if (T_.IsCallable(o) && !T_.Is(o, ":", 2) && T_.Name(o) == name &&
          T_.Arity(o) + origin.extra == arity)
        return Class{Meaning::kGoalRecursion};
    }
    const PredicateFacts* facts =
        !qualified   ? xref_.Find(name, arity)
        : atomModule ? xref_.Find(PredicateKey{std::string(module), std::string(name), arity})
                     : nullptr;
    if (facts != nullptr) {
      if (facts->dynamicLine != 0) return Class{Meaning::kGoalDynamic, facts->dynamicLine};
      if (facts->threadLocalLine != 0)
        return Class{Meaning::kGoalThreadLocal, facts->threadLocalLine};
      if (facts->multifileLine != 0) return Class{Meaning::kGoalMultifile, facts->multifileLine};
      if (facts->localLine != 0) return Class{Meaning::kGoalLocal, facts->localLine};
      if (facts->foreignLine != 0) return Class{Meaning::kGoalForeign, facts->foreignLine};
      if (facts->constraintLine != 0) return Class{Meaning::kGoalConstraint, facts->constraintLine};
      if (facts->importedFrom >= 0) return Imported(Meaning::kGoalImported, facts->importedFrom);
    }
    // global_goal_classification/3
    const KnownPredicate* known = FindKnown(name, arity);
    if ((known != nullptr && (known->flags & KnownPredicate::kBuiltIn) != 0) ||
        (!qualified && ReservedBuiltIn(name, arity)) ||
        (atomModule && IsSystemModulePredicate(module, name, arity)) ||
        // predicate_property(system:(M:G), built_in) with M unbound finds
        // a built-in of any system module.
        (qualified && !atomModule && IsSystemModulePredicate({}, name, arity)))
      return Class{Meaning::kGoalBuiltIn};
    if (known != nullptr && (known->flags & KnownPredicate::kAutoload) != 0) {
      Class c{Meaning::kGoalAutoload};
      if (known->library >= 0)
        c.library = swi::Library()[static_cast<std::size_t>(known->library)].path;
      return c;
    }
    // current_predicate(_, user:G): through a qualification by a variable
    // it finds the predicate in any module.
    if (known != nullptr && (known->flags & KnownPredicate::kUser) != 0)
      return Class{Meaning::kGoalGlobal};
    if (name == "call" && arity >= 1) return Class{Meaning::kGoalBuiltIn};
    if ((name == "send_super" && arity >= 2) || (name == "get_super" && arity >= 3))
      return Class{Meaning::kGoalExpanded};
    return Class{Meaning::kGoalUndefined};
  }

  // qualified_goal_classification/3
  Class ClassifyQualified(Goal g) {
    Class c = ClassifyGoal(g, Goal{});
    if (c.meaning != Meaning::kGoalUndefined) return c;
    Class e{Meaning::kGoalExtern};
    e.module = QualifierOf(*g.term);
    return e;
  }

  // ---- bodies
  void Body(Pos p, Goal origin) { Goals(p, origin); }

  static bool BodyCompiled(const Terms& T, const Term& t) {
    return T.Is(t, ",", 2) || T.Is(t, "->", 2) || T.Is(t, "*->", 2) || T.Is(t, ";", 2) ||
           T.Is(t, "\\+", 1);
  }

  // colourise_goals/4
  void Goals(Pos p, Goal origin) {
    Deeper deeper(*this);
    // A control construct's last argument is walked in this loop rather
    // than by recursion: a clause may have thousands of goals in a row.
    for (;;) {
      if (!p.Valid() || failed_) return;
      if (p.Parenthesized()) {
        p = p.Inner();
        continue;
      }
      const Term& t = *p.term;
      if (t.kind != TermKind::kCompound || !BodyCompiled(T_, t)) break;
      for (std::uint32_t i = 0; i + 1 < t.arity; ++i)
        Goals(PosOf(T_.Arg(t, i)), origin);
      p = PosOf(T_.Arg(t, t.arity - 1));
    }
    ColouriseGoal(p, Goal{p.term}, origin);
  }

  void MethodBody(Pos p) {
    if (!p.Valid()) return;
    if (p.Parenthesized()) return MethodBody(p.Inner());
    const Term& t = *p.term;
    if (T_.Is(t, "::", 2)) return Body(PosOf(T_.Arg(t, 1)), Goal{});
    if (t.kind == TermKind::kCompound && t.arity == 2 &&
        (t.name == "," || t.name == ";" || t.name == "->" || t.name == "*->")) {
      MethodBody(PosOf(T_.Arg(t, 0)));
      Body(PosOf(T_.Arg(t, 1)), Goal{});
      return;
    }
    Body(p, Goal{});
  }

  // colourise_directive/3
  void Directive(Pos p) {
    Deeper deeper(*this);
    if (!p.Valid() || failed_) return;
    if (p.Parenthesized()) return Directive(p.Inner());
    const Term& t = *p.term;
    if (T_.Is(t, ",", 2)) {
      Directive(PosOf(T_.Arg(t, 0)));
      Directive(PosOf(T_.Arg(t, 1)));
      return;
    }
    Body(p, Goal{});
  }

  // ---- grammar bodies: colourise_dcg/4
  void Dcg(Pos p, const Term* head) {
    // dcg_extend/2: the head with two more arguments, through a module.
    Goal origin{head, 0};
    if (head != nullptr) {
      const Term& h = Unqualified(*head);
      if (T_.IsCallable(h) && !T_.IsVar(h)) {
        origin.extra = 2;
      } else if (T_.IsVar(h) || !T_.IsCallable(h)) {
        origin = Goal{head, 0};
      }
    }
    DcgGoals(p, origin);
  }

  // colourise_dcg_goals/4
  void DcgGoals(Pos p, Goal origin) {
    Deeper deeper(*this);
    if (!p.Valid() || failed_) return;
    const Term& t = *p.term;
    if (T_.IsVar(t)) {
      Item(Range(p), Class{Meaning::kGoalMeta}, {}, 0);
      return;
    }
    if (p.Parenthesized()) return DcgGoals(p.Inner(), origin);
    if (t.kind == TermKind::kCurly) return Goals(PosOf(T_.Arg(t, 0)), origin);
    if (Terms::IsNil(t)) return;
    if (t.kind == TermKind::kList) return ListArgs(t);
    if (t.kind == TermKind::kString || t.kind == TermKind::kBackQuoted) return;
    if (t.kind == TermKind::kCompound && (BodyCompiled(T_, t) || T_.Is(t, "|", 2))) {
      for (std::uint32_t i = 0; i < t.arity; ++i)
        DcgGoals(PosOf(T_.Arg(t, i)), origin);
      return;
    }
    // colourise_dcg_goal/4
    if (T_.IsAtom(t, "!")) return ColouriseGoal(p, Goal{&t}, origin);
    // dcg_extend/2 cannot extend the goal of Module:Var, and then extends
    // the qualification itself, as any compound: a call of :/4.
    if (T_.Is(t, ":", 2) && T_.IsVar(T_.Arg(t, 1))) return ColouriseGoal(p, Goal{&t, 2}, origin);
    const Term& inner = Unqualified(t);
    if (T_.IsCallable(inner) && inner.kind != TermKind::kList) {
      return ColouriseGoal(p, Goal{&t, 2, true}, origin);
    }
    TermArgs(p);
  }

  // ---- colourise_goal/4
  void ColouriseGoal(Pos p, Goal g, Goal origin) {
    Deeper deeper(*this);
    if (!p.Valid() || failed_) return;
    if (p.Parenthesized()) return ColouriseGoal(p.Inner(), g, origin);
    const Term& t = *p.term;
    if (t.kind == TermKind::kList && g.extra == 0) {
      // A list as a goal: consulting its files.
      Item({t.from, t.from + 1}, Class{Meaning::kGoalBuiltIn}, "[|]", 2);
      Item({t.to - 1, t.to}, Class{Meaning::kGoalBuiltIn}, "[|]", 2);
      FileSpecs(p);
      return;
    }
    if (t.kind == TermKind::kQuasiQuotation) return TermArg(p);
    // def_goal_colours/2 and the hooks see the goal as written: a
    // qualified goal matches none of them.
    if (!T_.Is(t, ":", 2)) {
      std::string_view name;
      int arity = 0;
      if (NameArity(g, name, arity)) {
        if (xref_.HtmlWriteLoaded() && HtmlGoal(p, g, name, arity)) return;
        if ((name == ">>" || name == "/") && xref_.LibraryLoaded("yall") &&
            LambdaGoal(p, g, name, arity))
          return;
        const GoalColours* specified = FindGoalColours(name, arity);
        if (specified != nullptr || (PceFunctor(name) && arity > 0 && T_.IsCompound(t))) {
          Class c = specified != nullptr && specified->classify ? ClassifyGoal(g, origin)
                                                                : Class{Meaning::kGoalBuiltIn};
          GoalItem(FunctorRange(p), c, g);
          ShapedArgs(p, specified);
          return;
        }
      }
    }
    if (T_.Is(t, ":", 2) && (g.extra == 0 || g.throughModule || T_.IsAtom(T_.Arg(t, 0)))) {
      // Module:Goal
      const Term& goal = T_.Arg(t, 1);
      Pos gp = PosOf(goal);
      std::pair<std::uint64_t, std::uint64_t> fp =
          !gp.Parenthesized() && goal.kind == TermKind::kCompound
              ? std::pair{goal.functorFrom, goal.functorTo}
              : Range(gp);
      if (T_.IsCallable(goal)) {
        Goal inner{&t, g.extra, true};
        Class c = ClassifyQualified(inner);
        GoalItem(fp, c, inner);
        GoalArgs(gp, Goal{&goal, g.extra});
      } else if (T_.IsVar(goal)) {
        TermArg(gp);
      }
      return;
    }
    if (g.extra == 0 && T_.Is(t, "op", 3)) {
      GoalItem({t.functorFrom, t.functorTo}, Class{Meaning::kGoalBuiltIn}, g);
      OpName(PosOf(T_.Arg(t, 2)));
      return;
    }
    Class c = ClassifyGoal(g, origin);
    std::pair<std::uint64_t, std::uint64_t> fp =
        t.kind == TermKind::kCompound ? std::pair{t.functorFrom, t.functorTo} : Range(p);
    GoalItem(fp, c, g);
    GoalArgs(p, g);
  }

  void OpName(Pos p) {
    // colour_op_name/3 colours variables as plain variables: nothing here.
    (void)p;
  }

  // colourise_goal_args/3: meta-arguments as goals, the rest as terms.
  void GoalArgs(Pos p, Goal g) {
    if (p.Parenthesized()) return;
    const Term& t = *p.term;
    if (t.kind != TermKind::kCompound && t.kind != TermKind::kCurly) return;
    std::string_view name;
    int arity = 0;
    NameArity(g, name, arity);
    std::string_view meta = MetaArgs(t, name, arity);
    const std::uint32_t count = t.kind == TermKind::kCurly ? 1 : t.arity;
    for (std::uint32_t i = 0; i < count; ++i) {
      Pos ap = PosOf(T_.Arg(t, i));
      char shape = i < meta.size() ? meta[i] : '-';
      MetaArg(shape, ap);
    }
  }

  // meta_args/3: the meta-arguments the cross-referencer knows of the
  // goal, or none.
  std::string_view MetaArgs(const Term& t, std::string_view name, int arity) const {
    if (name == "pce_global" && arity == 2 && T_.Is(T_.Arg(t, 1), "new", 1)) return {};
    if (name == "prolog_listen" && (arity == 2 || arity == 3)) {
      const Term& e = T_.Arg(t, 0);
      if (!T_.IsVar(e) &&
          !(T_.IsAtom(e) && (e.name == "abort" || e.name == "erase" || e.name == "break" ||
                             e.name == "frame_finished" || e.name == "thread_exit" ||
                             e.name == "this_thread_exit")) &&
          !T_.Is(e, "/", 2) && !T_.Is(e, "//", 2))
        return {};
    }
    return xref_.MetaOf(name, arity);
  }

  // colourise_meta_arg/4
  void MetaArg(char shape, Pos p) {
    const Term& a = *p.term;
    if (shape >= '0' && shape <= '9' && !T_.IsVar(a)) {
      int n = shape - '0';
      const Term& inner = Unqualified(a);
      if (n == 0 || T_.IsAtom(inner) || T_.IsCompound(inner)) {
        ColouriseGoal(p, Goal{&a, n}, Goal{});
        return;
      }
    }
    if (shape == '/' && !T_.IsVar(a)) {
      DcgGoals(p, Goal{nullptr, 0});
      return;
    }
    TermArg(p);
  }

  // ---- library(http/html_write)'s hooks, once SWI-Prolog has loaded it:
  // its html_meta/1 declarations and the goals they declare, whose HTML
  // arguments it colours itself (html_colours/2), "\\Goal" as a grammar
  // body.
  struct ShapeTree {
    enum Kind : std::uint8_t { kItem, kClassify, kDcg, kMeta, kNested };
    Kind kind = kItem;
    int meta = 0;
    bool single = false;  // kNested: one shape for every argument
    std::vector<ShapeTree> args;
  };

  static ShapeTree Leaf(ShapeTree::Kind k) {
    ShapeTree s;
    s.kind = k;
    return s;
  }
  static ShapeTree Nested(std::vector<ShapeTree> args, bool single = false) {
    ShapeTree s;
    s.kind = ShapeTree::kNested;
    s.args = std::move(args);
    s.single = single;
    return s;
  }

  bool HtmlGoal(Pos p, Goal g, std::string_view name, int arity) {
    if (name == "html_meta" && arity == 1 && g.extra == 0) {
      GoalItem(FunctorRange(p), Class{Meaning::kGoalBuiltIn}, g);
      if (p.term->kind == TermKind::kCompound) MetaDeclarations(PosOf(T_.Arg(*p.term, 0)));
      return true;
    }
    std::string_view head = xref_.HtmlMetaOf(name, arity);
    if (head.empty()) return false;
    GoalItem(FunctorRange(p), Class{Meaning::kGoalBuiltIn}, g);
    const Term& t = *p.term;
    if (t.kind != TermKind::kCompound || p.Parenthesized()) return true;
    for (std::uint32_t i = 0; i < t.arity && i < head.size(); ++i) {
      const Term& a = T_.Arg(t, i);
      ShapeTree shape = head[i] == 'h'   ? HtmlColours(a)
                        : head[i] == '0' ? ShapeTree{ShapeTree::kMeta, 0, false, {}}
                                         : Leaf(ShapeTree::kClassify);
      ShapedTree(shape, PosOf(a));
    }
    return true;
  }

  // library(yall)'s hook: a lambda is a built-in goal whose body is the
  // goal it calls (its parameters bound by the goal's added arguments).
  bool LambdaGoal(Pos p, Goal g, std::string_view name, int arity) {
    if ((name != ">>" && name != "/") || arity < 2) return false;
    const Term& t = *p.term;
    if (t.kind != TermKind::kCompound) return false;
    const int extra = arity - 2;
    int bodyExtra = extra;
    if (name == ">>") {
      const Term* params = &T_.Arg(t, 0);
      if (T_.Is(*params, "/", 2)) params = &T_.Arg(*params, 1);
      int count = 0;
      if (params->kind == TermKind::kList && !params->hasTail) {
        count = static_cast<int>(params->arity);
      } else if (!T_.IsNil(*params)) {
        return false;  // instantiation or type error: the hook fails
      }
      if (count > extra) return false;
      bodyExtra = extra - count;
    } else if (!(T_.Is(T_.Arg(t, 0), "{}", 1) || T_.IsAtom(T_.Arg(t, 0), "{}"))) {
      return false;
    }
    const Term& body = T_.Arg(t, 1);
    if (T_.IsVar(body)) return false;
    GoalItem(FunctorRange(p), Class{Meaning::kGoalBuiltIn}, g);
    TermArg(PosOf(T_.Arg(t, 0)));
    if (bodyExtra == 0) {
      Goals(PosOf(body), Goal{});
    } else {
      ColouriseGoal(PosOf(body), Goal{&body, bodyExtra}, Goal{});
    }
    for (std::uint32_t i = 2; i < t.arity; ++i)
      TermArg(PosOf(T_.Arg(t, i)));
    return true;
  }

  static bool IsHtmlWriteHook(std::string_view name, int arity) {
    return (name == "body" || name == "head") && (arity == 3 || arity == 4);
  }

  static bool EmptyElement(std::string_view name) {
    for (std::string_view e :
         {"hr", "br", "img", "meta", "base", "link", "input", "frame", "col", "area", "param"}) {
      if (e == name) return true;
    }
    return false;
  }

  // html_colours/2
  ShapeTree HtmlColours(const Term& t) {
    if (T_.IsVar(t)) return Leaf(ShapeTree::kClassify);
    if (T_.Is(t, "\\", 1)) {
      const Term& g = T_.Arg(t, 0);
      if (g.kind == TermKind::kList && !g.hasTail) return Nested({ListColours(g)});
      if (T_.IsNil(g)) return Nested({Nested({})});
      return Nested({Leaf(ShapeTree::kDcg)});
    }
    if (T_.Is(t, ":", 2)) return Nested({Leaf(ShapeTree::kClassify), HtmlColours(T_.Arg(t, 1))});
    if (T_.Is(t, "&", 1)) return Nested({Leaf(ShapeTree::kItem)});
    if (t.kind == TermKind::kList) return ListColours(t);
    if (T_.Is(t, "-", 2)) {
      const Term& args = T_.Arg(t, 1);
      bool list = (args.kind == TermKind::kList && !args.hasTail) || T_.IsNil(args);
      return Nested({Leaf(ShapeTree::kItem), Leaf(list ? ShapeTree::kClassify : ShapeTree::kItem)});
    }
    if (T_.IsCompound(t) && T_.Name(t) != ".") {
      const int n = T_.Arity(t);
      if (n == 1) {
        const Term& one = T_.Arg(t, 0);
        return Nested({EmptyElement(T_.Name(t)) ? AttrColours(one) : HtmlColours(one)});
      }
      if (n == 2) return Nested({AttrColours(T_.Arg(t, 0)), HtmlColours(T_.Arg(t, 1))});
      return Leaf(ShapeTree::kItem);
    }
    return Leaf(ShapeTree::kClassify);
  }

  ShapeTree ListColours(const Term& list) {
    std::vector<ShapeTree> elements;
    const std::uint32_t n = list.arity - (list.hasTail ? 1 : 0);
    for (std::uint32_t i = 0; i < n; ++i)
      elements.push_back(HtmlColours(T_.Child(list, i)));
    if (list.hasTail) elements.push_back(HtmlColours(T_.Child(list, n)));
    return Nested(std::move(elements));
  }

  // attr_colours/2
  ShapeTree AttrColours(const Term& t) {
    if (T_.IsVar(t) || T_.IsNil(t)) return Leaf(ShapeTree::kClassify);
    if (t.kind == TermKind::kList) {
      std::vector<ShapeTree> elements;
      for (std::uint32_t i = 0; i < t.arity; ++i)
        elements.push_back(AttrColours(T_.Child(t, i)));
      return Nested(std::move(elements));
    }
    if (T_.Is(t, "=", 2)) return Nested({Leaf(ShapeTree::kItem), AttrValueColour(T_.Arg(t, 1))});
    if (T_.Is(t, ":", 2) && T_.IsCompound(T_.Arg(t, 1)) && T_.Arity(T_.Arg(t, 1)) == 1)
      return Nested({Leaf(ShapeTree::kItem), Nested({Leaf(ShapeTree::kClassify)})});
    if (T_.IsCompound(t) && T_.Arity(t) == 1) return Nested({AttrValueColour(T_.Arg(t, 0))});
    if (T_.IsAtom(t)) return Leaf(ShapeTree::kItem);
    if (T_.IsCompound(t) && T_.Name(t) == "." && T_.Arity(t) == 2)
      return Leaf(ShapeTree::kClassify);
    return Leaf(ShapeTree::kItem);
  }

  // attr_value_colour/2
  ShapeTree AttrValueColour(const Term& t) {
    if (T_.IsVar(t)) return Leaf(ShapeTree::kClassify);
    if (T_.Is(t, "location_by_id", 1) || T_.Is(t, "#", 1)) {
      return Nested({Leaf(ShapeTree::kClassify)});
    }
    if (T_.Is(t, "+", 2))
      return Nested({AttrValueColour(T_.Arg(t, 0)), AttrValueColour(T_.Arg(t, 1))});
    if (T_.Is(t, "encode", 1)) return Nested({Leaf(ShapeTree::kClassify)});
    if (!T_.IsCompound(t) || t.kind == TermKind::kList || T_.Is(t, "-", 2) ||
        (T_.Name(t) == "." && T_.Arity(t) == 2))
      return Leaf(ShapeTree::kClassify);
    return Leaf(ShapeTree::kItem);
  }

  // specified_item/4 for a shape tree.
  void ShapedTree(const ShapeTree& shape, Pos p) {
    Deeper deeper(*this);
    if (!p.Valid() || failed_) return;
    if (p.Parenthesized()) return ShapedTree(shape, p.Inner());
    const Term& t = *p.term;
    if (T_.IsVar(t) || t.kind == TermKind::kQuasiQuotation) return TermArg(p);
    switch (shape.kind) {
      case ShapeTree::kItem:
        return;
      case ShapeTree::kClassify:
        return TermArg(p);
      case ShapeTree::kDcg:
        return Dcg(p, nullptr);
      case ShapeTree::kMeta:
        return MetaArg(static_cast<char>('0' + shape.meta), p);
      case ShapeTree::kNested:
        break;
    }
    if (t.kind == TermKind::kCompound) {
      for (std::uint32_t i = 0; i < t.arity; ++i) {
        if (!shape.single && i >= shape.args.size()) break;
        ShapedTree(shape.single ? shape.args[0] : shape.args[i], PosOf(T_.Arg(t, i)));
      }
    } else if (t.kind == TermKind::kCurly && shape.args.size() == 1) {
      ShapedTree(shape.args[0], PosOf(T_.Arg(t, 0)));
    } else if (t.kind == TermKind::kList) {
      const std::uint32_t n = t.arity - (t.hasTail ? 1 : 0);
      std::uint32_t i = 0;
      for (; i < n && (shape.single || i < shape.args.size()); ++i)
        ShapedTree(shape.single ? shape.args[0] : shape.args[i], PosOf(T_.Child(t, i)));
      if (t.hasTail && i == n && (shape.single || i < shape.args.size()))
        ShapedTree(shape.single ? shape.args[0] : shape.args[i], PosOf(T_.Child(t, n)));
    }
  }

  // ---- specified arguments: specified_items/4
  void ShapedArgs(Pos p, const GoalColours* shape) {
    const Term& t = *p.term;
    if (t.kind == TermKind::kDict) return;
    std::uint32_t count = t.kind == TermKind::kCompound ? t.arity
                          : t.kind == TermKind::kCurly  ? 1
                                                        : 0;
    if (t.kind == TermKind::kList) {
      return;
    }
    for (std::uint32_t i = 0; i < count; ++i) {
      ArgShape s = ArgShape::kPceArg;  // the rule for other send/get goals
      if (shape != nullptr) {
        if (shape->count < 0) {
          s = shape->args[0];
        } else if (static_cast<int>(i) < shape->count) {
          s = shape->args[i];
        } else {
          break;
        }
      }
      Pos ap = PosOf(T_.Arg(t, i));
      if (s == ArgShape::kImports) {
        Imports(ap, T_.Arg(t, 0));
      } else if (s == ArgShape::kDeclarations) {
        ShapedDeclarations(ap, shape->which);
      } else {
        ShapedItem(s, ap);
      }
    }
  }

  // specified_item/4
  void ShapedItem(ArgShape s, Pos p) {
    Deeper deeper(*this);
    if (!p.Valid() || failed_) return;
    if (p.Parenthesized()) return ShapedItem(s, p.Inner());
    const Term& t = *p.term;
    if (T_.IsVar(t) || t.kind == TermKind::kQuasiQuotation) return TermArg(p);
    switch (s) {
      case ArgShape::kClassify:
        return TermArg(p);
      case ArgShape::kBody:
        return Body(p, Goal{});
      case ArgShape::kSetof:
        return Setof(p);
      case ArgShape::kDb:
        return Db(p);
      case ArgShape::kExports:
        return Exports(p);
      case ArgShape::kMetaDeclarations:
        return MetaDeclarations(p);
      case ArgShape::kPredicate:
        return Declaration(p, "predicate_indicator");
      case ArgShape::kPrologFlagName:
        if (!T_.IsAtom(t)) ColouriseTerm(p);
        return;
      case ArgShape::kPceNew:
        return PceNew(p);
      case ArgShape::kPceArg:
        return PceArg(p);
      case ArgShape::kPceSelector:
        if (t.kind == TermKind::kCompound) {
          for (std::uint32_t i = 0; i < t.arity; ++i)
            ShapedItem(ArgShape::kPceArg, PosOf(T_.Arg(t, i)));
          return;
        }
        return TermArg(p);
      case ArgShape::kPceArgList:
        if (t.kind == TermKind::kList) {
          for (std::uint32_t i = 0; i < t.arity; ++i)
            ShapedItem(ArgShape::kPceArg, PosOf(T_.Child(t, i)));
          return;
        }
        return ShapedItem(ArgShape::kPceArg, p);
      case ArgShape::kFile:
      case ArgShape::kImportedFile:
        return FileSpecs(p);
      case ArgShape::kLangOptions:
      case ArgShape::kDirectory:
      case ArgShape::kOptions:
      case ArgShape::kItem:
      case ArgShape::kImports:
      case ArgShape::kDeclarations:
      case ArgShape::kHead:
        return;
    }
  }

  // An XPCE class name: without XPCE the source view cannot classify it,
  // and the colouring of the whole clause fails there (SWI-Prolog warns
  // "Failed to colourise"): nothing after it is coloured.
  void PceNew(Pos p) {
    const Term& t = *p.term;
    if (T_.IsAtom(t) || t.kind == TermKind::kCompound) {
      failed_ = true;
      return;
    }
    TermArg(p);
  }

  void PceArg(Pos p) {
    const Term& t = *p.term;
    if (T_.Is(t, "new", 1)) return ShapedItem(ArgShape::kPceNew, PosOf(T_.Arg(t, 0)));
    if (T_.Is(t, "new", 2)) {
      TermArg(PosOf(T_.Arg(t, 0)));
      ShapedItem(ArgShape::kPceNew, PosOf(T_.Arg(t, 1)));
      return;
    }
    if (T_.Is(t, "@", 1)) return TermArg(p);
    if (T_.Is(t, "prolog", 1)) return TermArg(PosOf(T_.Arg(t, 0)));
    if (t.kind == TermKind::kCompound) return PceNew(p);
    TermArg(p);
  }

  // colourise_setof/3
  void Setof(Pos p) {
    if (!p.Parenthesized() && T_.Is(*p.term, "^", 2)) {
      TermArg(PosOf(T_.Arg(*p.term, 0)));
      Setof(PosOf(T_.Arg(*p.term, 1)));
      return;
    }
    ColouriseGoal(p, Goal{p.term}, Goal{});
  }

  // colourise_db/3
  void Db(Pos p) {
    const Term& t = *p.term;
    if (!p.Parenthesized() && T_.Is(t, ":-", 2)) {
      Db(PosOf(T_.Arg(t, 0)));
      Body(PosOf(T_.Arg(t, 1)), Goal{&T_.Arg(t, 0)});
      return;
    }
    if (!p.Parenthesized() && T_.Is(t, ":", 2)) {
      Db(PosOf(T_.Arg(t, 1)));
      return;
    }
    DbGoal(p);
  }

  // colourise_goal(Head, '<db-change>', ...): its own origin never matches.
  void DbGoal(Pos p) {
    const Term& t = *p.term;
    if (T_.IsVar(t)) {
      // goal_classification of a variable: a meta-call.
      Item(Range(p), Class{Meaning::kGoalMeta}, {}, 0);
      return;
    }
    ColouriseGoal(p, Goal{&t}, Goal{});
  }

  // ---- module export lists: colourise_exports/3
  void Exports(Pos p) {
    const Term& t = *p.term;
    if (Terms::IsNil(t)) return;
    if (p.Parenthesized() || t.kind != TermKind::kList) return;
    const std::uint32_t n = t.arity - (t.hasTail ? 1 : 0);
    for (std::uint32_t i = 0; i < n; ++i)
      Declaration(PosOf(T_.Child(t, i)), "export");
  }

  // colourise_imports/4: use_module(File, Imports).
  void Imports(Pos p, const Term& file) {
    if (!p.Valid()) return;
    if (p.Parenthesized()) return;
    const Term& t = *p.term;
    if (T_.IsVar(t)) return TermArg(p);
    if (Terms::IsNil(t)) return;
    int from = LoadedIndexOf(file);
    if (t.kind == TermKind::kList) {
      const std::uint32_t n = t.arity - (t.hasTail ? 1 : 0);
      for (std::uint32_t i = 0; i < n; ++i)
        Import(PosOf(T_.Child(t, i)), from);
      return;
    }
    if (T_.Is(t, "except", 1)) return Imports(PosOf(T_.Arg(t, 0)), file);
  }

  // The files a load directive names, one or a list: each loaded one
  // marked on the last name of its path (lists in library(lists)), for
  // the link to it.
  void FileSpecs(Pos p) {
    if (!p.Valid() || p.Parenthesized()) return;
    const Term& t = *p.term;
    if (t.kind == TermKind::kList) {
      for (std::uint32_t i = 0; i < t.arity - (t.hasTail ? 1 : 0); ++i)
        FileSpecs(PosOf(T_.Child(t, i)));
      return;
    }
    const int file = LoadedIndexOf(t);
    if (file < 0) return;
    const Term* last = &t;
    while (last->parentheses == 0 && last->kind == TermKind::kCompound &&
           (last->arity == 1 || T_.Is(*last, "/", 2)))
      last = &T_.Arg(*last, last->arity - 1);
    if (last->parentheses != 0 || !(T_.IsAtom(*last) || last->kind == TermKind::kString)) return;
    Class c{Meaning::kFile};
    c.file = file;
    Item({last->from, last->to}, c, {}, 0);
  }

  // The index in the cross-reference's loaded files of the file a load
  // directive names, or -1.
  int LoadedIndexOf(const Term& shape) const {
    std::string title;
    if (!FileTitle(shape, title)) return -1;
    return xref_.LoadedIndex(title);
  }

  bool FileTitle(const Term& t, std::string& out) const {
    if (T_.IsAtom(t) || t.kind == TermKind::kString) {
      out += t.name;
      return true;
    }
    if (T_.Is(t, "/", 2)) {
      if (!FileTitle(T_.Arg(t, 0), out)) return false;
      out += '/';
      return FileTitle(T_.Arg(t, 1), out);
    }
    if (t.kind == TermKind::kCompound && t.arity == 1) {
      out += t.name;
      out += '(';
      if (!FileTitle(T_.Arg(t, 0), out)) return false;
      out += ')';
      return true;
    }
    return false;
  }

  // colourise_import/4
  void Import(Pos p, int from) {
    if (!p.Valid()) return;
    const Term& t = *p.term;
    if (!p.Parenthesized() && T_.Is(t, "as", 2)) {
      const Term& pi = T_.Arg(t, 0);
      std::string_view name;
      int arity = 0;
      if (IndicatorOf(pi, name, arity)) {
        Class imported{Meaning::kGoalImported};
        imported.file = from;
        Item(Range(PosOf(pi)), imported, name, arity);
        const Term& as = T_.Arg(t, 1);
        std::string_view renamed = T_.IsAtom(as) ? as.name : name;
        Class c = ClassifyIndicator(renamed, arity);
        Item(Range(PosOf(as)), c, renamed, arity);
        return;
      }
    }
    std::string_view name;
    int arity = 0;
    if (!p.Parenthesized() && IndicatorOf(t, name, arity)) {
      const PredicateFacts* facts = xref_.Find(name, arity);
      if (facts == nullptr || from < 0 ||
          std::find(facts->imports.begin(), facts->imports.end(), from) == facts->imports.end())
        return;                                            // undefined_import
      if (!facts->called && !facts->calledBySelf) return;  // unused_import
    }
    Declaration(p, "import");
  }

  // pi_to_term/2: Name/Arity (an atom or [] and an integer) or Name//Arity.
  bool IndicatorOf(const Term& pi, std::string_view& name, int& arity) const {
    if (pi.parentheses != 0) return false;
    bool dcg = T_.Is(pi, "//", 2);
    if (!dcg && !T_.Is(pi, "/", 2)) return false;
    const Term& n = T_.Arg(pi, 0);
    const Term& a = T_.Arg(pi, 1);
    if (!(T_.IsAtom(n) || (Terms::IsNil(n) && !dcg))) return false;
    if (a.kind != TermKind::kNumber || a.name.empty() || a.name.size() > 9) return false;
    int v = 0;
    for (char c : a.name) {
      if (c < '0' || c > '9') return false;
      v = v * 10 + (c - '0');
    }
    name = Terms::IsNil(n) ? std::string_view("[]") : n.name;
    arity = dcg ? v + 2 : v;
    return true;
  }

  // goal_classification(TB, Goal, [], Class) of a predicate indicator's goal.
  Class ClassifyIndicator(std::string_view name, int arity) { return ClassifyKey(name, arity); }

  Class ClassifyKey(std::string_view name, int arity) {
    // The same questions as ClassifyGoal, for a goal made from name/arity.
    const PredicateFacts* facts = xref_.Find(name, arity);
    if (facts != nullptr) {
      if (facts->dynamicLine != 0) return Class{Meaning::kGoalDynamic, facts->dynamicLine};
      if (facts->threadLocalLine != 0)
        return Class{Meaning::kGoalThreadLocal, facts->threadLocalLine};
      if (facts->multifileLine != 0) return Class{Meaning::kGoalMultifile, facts->multifileLine};
      if (facts->localLine != 0) return Class{Meaning::kGoalLocal, facts->localLine};
      if (facts->foreignLine != 0) return Class{Meaning::kGoalForeign, facts->foreignLine};
      if (facts->constraintLine != 0) return Class{Meaning::kGoalConstraint, facts->constraintLine};
      if (facts->importedFrom >= 0) return Imported(Meaning::kGoalImported, facts->importedFrom);
    }
    const KnownPredicate* known = FindKnown(name, arity);
    if ((known != nullptr && (known->flags & KnownPredicate::kBuiltIn) != 0) ||
        ReservedBuiltIn(name, arity))
      return Class{Meaning::kGoalBuiltIn};
    if (known != nullptr && (known->flags & KnownPredicate::kAutoload) != 0) {
      Class c{Meaning::kGoalAutoload};
      if (known->library >= 0)
        c.library = swi::Library()[static_cast<std::size_t>(known->library)].path;
      return c;
    }
    if (known != nullptr && (known->flags & KnownPredicate::kUser) != 0)
      return Class{Meaning::kGoalGlobal};
    if (name == "call" && arity >= 1) return Class{Meaning::kGoalBuiltIn};
    return Class{Meaning::kGoalUndefined};
  }

  // colourise_declarations/4
  void ShapedDeclarations(Pos p, std::string_view which) {
    if (!p.Valid()) return;
    if (p.Parenthesized()) return ShapedDeclarations(p.Inner(), which);
    const Term& t = *p.term;
    if (T_.IsVar(t)) return TermArg(p);
    if (t.kind == TermKind::kList && !t.hasTail) {
      for (std::uint32_t i = 0; i < t.arity; ++i)
        Declaration(PosOf(T_.Child(t, i)), which);
      return;
    }
    if (T_.Is(t, ",", 2)) {
      ShapedDeclarations(PosOf(T_.Arg(t, 0)), which);
      ShapedDeclarations(PosOf(T_.Arg(t, 1)), which);
      return;
    }
    if (T_.Is(t, "as", 2)) {
      ShapedDeclarations(PosOf(T_.Arg(t, 0)), which);
      DeclOptions(PosOf(T_.Arg(t, 1)));
      return;
    }
    Declaration(p, which);
  }

  void DeclOptions(Pos p) {
    if (p.Parenthesized()) return DeclOptions(p.Inner());
    const Term& t = *p.term;
    if (T_.Is(t, ",", 2)) {
      DeclOptions(PosOf(T_.Arg(t, 0)));
      DeclOptions(PosOf(T_.Arg(t, 1)));
      return;
    }
    if (t.kind == TermKind::kCompound && t.arity == 1) {
      const Term& v = T_.Arg(t, 0);
      if (T_.IsVar(v)) TermArg(PosOf(v));
    }
  }

  // colourise_declaration/4
  void Declaration(Pos p, std::string_view which) {
    if (!p.Valid()) return;
    const Term& t = *p.term;
    std::string_view name;
    int arity = 0;
    if (!p.Parenthesized() && IndicatorOf(t, name, arity)) {
      Class c = ClassifyKey(name, arity);
      Item(Range(PosOf(T_.Arg(t, 0))), c, name, arity);
      return;
    }
    if (!p.Parenthesized() && T_.Is(t, ":", 2) && T_.IsAtom(T_.Arg(t, 0))) {
      const Term& pi = T_.Arg(t, 1);
      if (IndicatorOf(pi, name, arity)) {
        Class c{Meaning::kGoalExtern};
        c.module = T_.Arg(t, 0).name;
        Item(Range(PosOf(T_.Arg(pi, 0))), c, name, arity);
        return;
      }
      if (T_.Is(pi, "/", 2) && pi.parentheses == 0) return TermArg(PosOf(pi));
    }
    if (!p.Parenthesized() && T_.Is(t, "op", 3) && (which == "export" || which == "import")) {
      Item({t.functorFrom, t.functorTo}, Class{Meaning::kGoalBuiltIn}, "op", 3);
      return;
    }
    if (which == "table") {
      if (!p.Parenthesized() && T_.Is(t, ":", 2) && T_.IsAtom(T_.Arg(t, 0)) &&
          T_.Arg(t, 1).kind == TermKind::kCompound && T_.Arg(t, 1).parentheses == 0) {
        const Term& goal = T_.Arg(t, 1);
        Goal g{&t};
        Class c = ClassifyGoal(g, Goal{});
        GoalItem({goal.functorFrom, goal.functorTo}, c, g);
        TableModes(goal);
        return;
      }
      if (!p.Parenthesized() && t.kind == TermKind::kCompound) {
        Class c = ClassifyGoal(Goal{&t}, Goal{});
        GoalItem({t.functorFrom, t.functorTo}, c, Goal{&t});
        TableModes(t);
        return;
      }
      if (T_.IsAtom(t)) {
        Class c = ClassifyGoal(Goal{&t}, Goal{});
        GoalItem(Range(p), c, Goal{&t});
        return;
      }
    }
    if (CompatibleWithIndicator(t) && !p.Parenthesized()) return TermArg(p);
    if (T_.IsVar(t)) return TermArg(p);
  }

  bool CompatibleWithIndicator(const Term& t) const {
    if (T_.IsVar(t)) return true;
    if (T_.Is(t, "/", 2) || T_.Is(t, "//", 2)) {
      const Term& n = T_.Arg(t, 0);
      const Term& a = T_.Arg(t, 1);
      return (T_.IsVar(n) || T_.IsAtom(n)) && (T_.IsVar(a) || a.kind == TermKind::kNumber);
    }
    if (T_.Is(t, ":", 2)) {
      const Term& m = T_.Arg(t, 0);
      return (T_.IsVar(m) || T_.IsAtom(m)) && CompatibleWithIndicator(T_.Arg(t, 1));
    }
    return false;
  }

  void TableModes(const Term& goal) {
    for (std::uint32_t i = 0; i < goal.arity; ++i) {
      const Term& m = T_.Arg(goal, i);
      if ((T_.Is(m, "lattice", 1) || T_.Is(m, "po", 1)) && m.parentheses == 0) {
        int arity = T_.Is(m, "lattice", 1) ? 3 : 2;
        const Term& shape = T_.Arg(m, 0);
        std::string_view name;
        int a = 0;
        if (T_.IsAtom(shape)) {
          Class c = ClassifyKey(shape.name, arity);
          Item(Range(PosOf(shape)), c, shape.name, arity);
        } else if (IndicatorOf(shape, name, a) && a == arity && !T_.Is(shape, "//", 2)) {
          Class c = ClassifyKey(name, arity);
          Item(Range(PosOf(T_.Arg(shape, 0))), c, name, arity);
        } else if (shape.kind == TermKind::kCompound && shape.parentheses == 0 &&
                   static_cast<int>(shape.arity) == arity) {
          Class c = ClassifyKey(shape.name, arity);
          Item({shape.functorFrom, shape.functorTo}, c, shape.name, arity);
          TermArgs(PosOf(shape));
        }
      } else if (T_.IsVar(m)) {
        // table_mode(Var, index): a mode, not an argument.
      }
    }
  }

  // colourise_meta_declarations/4
  void MetaDeclarations(Pos p) {
    if (!p.Valid() || p.Parenthesized()) return;
    const Term& t = *p.term;
    if (T_.Is(t, ",", 2)) {
      MetaDeclarations(PosOf(T_.Arg(t, 0)));
      MetaDeclarations(PosOf(T_.Arg(t, 1)));
      return;
    }
    if (T_.Is(t, ":", 2)) {
      const Term& head = T_.Arg(t, 1);
      if (head.kind == TermKind::kCompound && head.parentheses == 0) {
        Class c{Meaning::kGoalExtern};
        c.module = T_.IsAtom(T_.Arg(t, 0)) ? T_.Arg(t, 0).name : std::string_view();
        Item({head.functorFrom, head.functorTo}, c, head.name, static_cast<int>(head.arity));
        return;
      }
    }
    if (t.kind == TermKind::kCompound) {
      Class c = ClassifyGoal(Goal{&t}, Goal{});
      GoalItem({t.functorFrom, t.functorTo}, c, Goal{&t});
    }
  }

  // ---- plain terms: colourise_term_arg/3
  void TermArg(Pos p) {
    Deeper deeper(*this);
    if (!p.Valid() || failed_) return;
    if (p.Parenthesized()) return TermArg(p.Inner());
    const Term& t = *p.term;
    switch (t.kind) {
      case TermKind::kVar:
        return Variable(p);
      case TermKind::kList:
        return ListArgs(t);
      case TermKind::kCurly:
        return TermArg(PosOf(T_.Arg(t, 0)));
      case TermKind::kDict: {
        const Term& tag = T_.Child(t, 0);
        if (T_.IsVar(tag)) Variable(PosOf(tag));
        for (std::uint32_t i = 2; i < t.arity; i += 2)
          TermArg(PosOf(T_.Child(t, i)));
        return;
      }
      case TermKind::kQuasiQuotation: {
        const Term& syntax = T_.Child(t, 0);
        TermArgs(PosOf(syntax));
        return;
      }
      case TermKind::kCompound:
        return TermArgs(p);
      default:
        return;
    }
  }

  // colourise_list_args/5 with classify
  void ListArgs(const Term& list) {
    for (std::uint32_t i = 0; i < list.arity; ++i)
      TermArg(PosOf(T_.Child(list, i)));
  }

  // colourise_term_args/3: a compound's arguments, when written as one.
  void TermArgs(Pos p) {
    if (!p.Valid() || p.Parenthesized()) return;
    const Term& t = *p.term;
    if (t.kind != TermKind::kCompound) return;
    for (std::uint32_t i = 0; i < t.arity; ++i)
      TermArg(PosOf(T_.Arg(t, i)));
  }

  // Nesting deeper than this (a chain of thousands of prefix operators)
  // ends the walk of the clause, so that no input can exhaust the stack.
  static constexpr int kMaxDepth = 1000;
  struct Deeper {
    explicit Deeper(Walk& w) : walk(w) {
      if (++walk.depth_ > kMaxDepth) walk.failed_ = true;
    }
    ~Deeper() { --walk.depth_; }
    Walk& walk;
  };

  const Xref& xref_;
  Terms T_;
  const prolog::TermReader& reader_;
  std::vector<Fragment>& out_;
  bool failed_ = false;  // the source view's walk failed: nothing more is coloured
  int depth_ = 0;
};

Colourer::Colourer(const Xref& xref, Sink sink, prolog::Encoding encoding)
    : xref_(xref), sink_(std::move(sink)), ops_(prolog::Operators::SwiInitial()) {
  std::vector<Fragment> fragments;
  stream_ = std::make_unique<ClauseStream>(
      &ops_, encoding,
      [this, fragments](const prolog::TermReader& reader, const prolog::Term* clause,
                        std::uint64_t) mutable {
        if (clause == nullptr) return true;
        if (Terms::IsAtom(*clause, "end_of_file")) return false;
        fragments.clear();
        Walk(xref_, reader, fragments).Clause(*clause);
        // In order, each once: the source view colours some places twice.
        std::sort(fragments.begin(), fragments.end(), [](const Fragment& a, const Fragment& b) {
          if (a.from != b.from) return a.from < b.from;
          if (a.to != b.to) return a.to < b.to;
          return a.meaning < b.meaning;
        });
        for (std::size_t i = 0; i < fragments.size(); ++i) {
          if (i > 0 && fragments[i].from == fragments[i - 1].from &&
              fragments[i].to == fragments[i - 1].to &&
              fragments[i].meaning == fragments[i - 1].meaning)
            continue;
          fragments[i].onLine = stream_->LineOf(fragments[i].from);
          sink_(fragments[i]);
        }
        FixOperators(reader, *clause);
        return true;
      });
}

Colourer::~Colourer() = default;

namespace {

bool Ground(const Terms& T, const Term& t) {
  if (t.kind == TermKind::kVar) return false;
  if (!Terms::IsCompound(t) && t.kind != TermKind::kQuasiQuotation) return true;
  for (std::uint32_t i = 0; i < t.arity; ++i) {
    if (!Ground(T, T.Child(t, i))) return false;
  }
  return true;
}

}  // namespace

// fix_operators/3: the operators a directive declares or imports, read
// from the next clause on. Only a ground directive counts, and only op/3,
// module/2, use_module/1 and use_module/2 declare operators this way.
void Colourer::FixOperators(const prolog::TermReader& reader, const Term& clause) {
  Terms T(reader);
  if (!T.Is(clause, ":-", 1) || !Ground(T, clause)) return;
  const Term* d = &T.Arg(clause, 0);
  std::string_view module;
  if (T.Is(*d, ":", 2) && T.IsAtom(T.Arg(*d, 0)) && T.Is(T.Arg(*d, 1), "op", 3)) {
    module = T.Arg(*d, 0).name;
    d = &T.Arg(*d, 1);
  }
  if (T.Is(*d, "op", 3)) {
    PushOp(T, T.Arg(*d, 0), T.Arg(*d, 1), T.Arg(*d, 2), module);
  } else if (T.Is(*d, "module", 2)) {
    const Term& list = T.Arg(*d, 1);
    for (std::uint32_t i = 0; list.kind == TermKind::kList && i < list.arity; ++i) {
      const Term& e = T.Child(list, i);
      if (T.Is(e, "op", 3)) PushOp(T, T.Arg(e, 0), T.Arg(e, 1), T.Arg(e, 2), {});
    }
  } else if (T.Is(*d, "use_module", 1) || T.Is(*d, "use_module", 2)) {
    UseModuleOps(T, T.Arg(*d, 0), d->arity == 2 ? &T.Arg(*d, 1) : nullptr);
  }
}

void Colourer::UseModuleOps(const Terms& T, const Term& shape, const Term* imports) {
  if (shape.kind == TermKind::kList && imports == nullptr) {
    for (std::uint32_t i = 0; i < shape.arity; ++i)
      UseModuleOps(T, T.Child(shape, i), nullptr);
    return;
  }
  std::string title;
  if (!FileText(T, shape, title)) return;
  const LoadedFile* file = xref_.LoadedBySpec(title);
  if (file == nullptr || file->header == nullptr) return;
  for (const ExportEntry& e : file->header->exports) {
    if (e.op.empty()) continue;
    if (imports != nullptr && !ImportsOp(T, *imports, e)) continue;
    std::optional<prolog::OpType> type = prolog::ParseOpType(e.op);
    if (e.arity <= 1200 && type) ops_.Add(e.name, e.arity, *type);
  }
}

bool Colourer::ImportsOp(const Terms& T, const Term& imports, const ExportEntry& e) {
  for (std::uint32_t i = 0; imports.kind == TermKind::kList && i < imports.arity; ++i) {
    const Term& x = T.Child(imports, i);
    if (!T.Is(x, "op", 3)) continue;
    const Term& p = T.Arg(x, 0);
    const Term& t = T.Arg(x, 1);
    const Term& n = T.Arg(x, 2);
    if (p.kind == TermKind::kNumber && p.name == std::to_string(e.arity) && T.IsAtom(t) &&
        t.name == e.op && T.IsAtom(n) && n.name == e.name)
      return true;
  }
  return false;
}

bool Colourer::FileText(const Terms& T, const Term& t, std::string& out) {
  if (T.IsAtom(t) || t.kind == TermKind::kString) {
    out += t.name;
    return true;
  }
  if (T.Is(t, "/", 2)) {
    if (!FileText(T, T.Arg(t, 0), out)) return false;
    out += '/';
    return FileText(T, T.Arg(t, 1), out);
  }
  if (t.kind == TermKind::kCompound && t.arity == 1) {
    out += t.name;
    out += '(';
    if (!FileText(T, T.Arg(t, 0), out)) return false;
    out += ')';
    return true;
  }
  return false;
}

// safe_push_op/4: one name or a list of them; an operator of another
// module than user or system is not seen when reading.
void Colourer::PushOp(const Terms& T, const Term& priority, const Term& type, const Term& names,
                      std::string_view module) {
  if (!module.empty() && module != "user" && module != "system") return;
  int p = 0;
  if (priority.kind != TermKind::kNumber || priority.name.size() > 4) return;
  for (char c : priority.name) {
    if (c < '0' || c > '9') return;
    p = p * 10 + (c - '0');
  }
  if (p > 1200 || !T.IsAtom(type)) return;
  std::optional<prolog::OpType> parsed = prolog::ParseOpType(type.name);
  if (!parsed) return;
  const prolog::OpType t = *parsed;
  auto one = [&](const Term& n) {
    const Term* name = &n;
    if (T.Is(n, ":", 2)) {
      const Term& m = T.Arg(n, 0);
      if (!T.IsAtom(m) || (m.name != "user" && m.name != "system")) return;
      name = &T.Arg(n, 1);
    }
    if (T.IsAtom(*name)) ops_.Add(name->name, p, t);
    if (Terms::IsNil(*name)) ops_.Add("[]", p, t);
  };
  if (names.kind == TermKind::kList) {
    for (std::uint32_t i = 0; i < names.arity; ++i)
      one(T.Child(names, i));
  } else {
    one(names);
  }
}

void Colourer::Push(prolog::TokenClass cls, std::string_view text, std::uint64_t offset) {
  stream_->Push(cls, text, offset);
}

void Colourer::Finish() {
  stream_->Finish();
}

void Colour(std::string_view text, prolog::Encoding encoding, const Xref& xref,
            const Colourer::Sink& sink) {
  Colourer colourer(xref, sink, encoding);
  prolog::Lexer lexer(encoding);
  std::vector<prolog::Token> tokens;
  lexer.Lex(text, true, tokens);
  for (const prolog::Token& token : tokens)
    colourer.Push(token.cls, text.substr(token.begin, token.end - token.begin), token.begin);
  colourer.Finish();
}

}  // namespace pl2html::meaning
