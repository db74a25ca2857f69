// What each goal, clause head and singleton variable of a source is, as
// SWI-Prolog's source view (library(prolog_colour), after
// library(prolog_xref)) classes it: the walk over each clause follows the
// source view's own, rule for rule, and asks the file's cross-reference
// (Xref) and SWI-Prolog's knowledge (knowledge.hpp) what it asks them.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "meaning/xref.hpp"
#include "prolog/operators.hpp"
#include "prolog/terms.hpp"

namespace pl2html::meaning {

// The classes, named as the source view names them ("goal-" or "head-"
// and the functor of SWI-Prolog's classification).
enum class Meaning : std::uint8_t {
  kGoalBuiltIn,
  kGoalImported,
  kGoalAutoload,
  kGoalGlobal,
  kGoalUndefined,
  kGoalThreadLocal,
  kGoalDynamic,
  kGoalMultifile,
  kGoalExpanded,
  kGoalExtern,
  kGoalRecursion,
  kGoalMeta,
  kGoalForeign,
  kGoalLocal,
  kGoalConstraint,
  kGoalNotCallable,
  kHeadExported,
  kHeadPublic,
  kHeadExtern,
  kHeadDynamic,
  kHeadMultifile,
  kHeadUnreferenced,
  kHeadHook,
  kHeadMeta,
  kHeadConstraint,
  kHeadImported,
  kHeadBuiltIn,
  kHeadIso,
  kHeadDefIso,
  kHeadDefSwi,
  kHeadTest,
  kHeadLocal,
  kHeadThreadLocal,
  kHeadForeign,
  kHeadUndefined,
  kSingleton,
  // Not a class of the source view's: a file a load directive names, for
  // the link to its page (`file` its index into Xref::Loaded()).
  kFile,
};
// The classes the page gives tokens, kFile left out.
inline constexpr int kMeanings = static_cast<int>(Meaning::kSingleton) + 1;

// "goal-built_in", "head-exported", "singleton"; "" for kFile.
std::string_view MeaningName(Meaning meaning);
bool IsGoal(Meaning meaning);

// One classified stretch of the source.
struct Fragment {
  std::uint64_t from = 0;  // byte offsets into the source
  std::uint64_t to = 0;
  Meaning meaning = Meaning::kGoalUndefined;
  // The predicate it names, as classified (a meta-argument's with its
  // added arguments, a nonterminal's with two more), and where SWI-Prolog
  // says it is: for a qualified goal, its module.
  std::string_view name;  // valid during the call that hands the fragment out
  int arity = 0;
  std::string_view module;
  std::uint64_t onLine = 0;  // the line the fragment starts on, from 1
  std::uint64_t line = 0;    // local, dynamic...: its definition's line
  int file = -1;             // imported: an index into Xref::Loaded()
  std::string_view library;  // autoload: the library file ("lists")
};

class Terms;
struct ExportEntry;

class Colourer {
 public:
  using Sink = std::function<void(const Fragment&)>;
  Colourer(const Xref& xref, Sink sink, prolog::Encoding encoding);
  ~Colourer();

  // The source's tokens in order, every one; then Finish.
  void Push(prolog::TokenClass cls, std::string_view text, std::uint64_t offset);
  void Finish();

 private:
  class Walk;
  void FixOperators(const prolog::TermReader& reader, const prolog::Term& clause);
  void UseModuleOps(const Terms& T, const prolog::Term& shape, const prolog::Term* imports);
  static bool ImportsOp(const Terms& T, const prolog::Term& imports, const ExportEntry& e);
  static bool FileText(const Terms& T, const prolog::Term& t, std::string& out);
  void PushOp(const Terms& T, const prolog::Term& priority, const prolog::Term& type,
              const prolog::Term& names, std::string_view module);

  const Xref& xref_;
  Sink sink_;
  prolog::Operators ops_;
  std::unique_ptr<class ClauseStream> stream_;
};

// Fragments of a whole source held in memory.
void Colour(std::string_view text, prolog::Encoding encoding, const Xref& xref,
            const Colourer::Sink& sink);

}  // namespace pl2html::meaning
