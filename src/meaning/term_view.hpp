// Questions about a clause's terms, asked the way the cross-referencer and
// the source view ask them of Prolog terms: callable?, name and arity,
// the N-th argument. Variables are followed through the bindings that
// the cross-referencer's partial evaluation made.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "prolog/terms.hpp"

namespace pl2html::meaning {

using prolog::Term;
using prolog::TermKind;

// The children of terms: the reader's, or a term built here (a list's
// tail, a grammar rule's head with its two extra arguments).
class Terms {
 public:
  explicit Terms(const prolog::TermReader& reader) : reader_(reader) {}

  const Term& Child(const Term& t, std::uint32_t i) const { return reader_.Child(t, i); }

  static bool IsVar(const Term& t) { return t.kind == TermKind::kVar; }
  static bool IsAtom(const Term& t) { return t.kind == TermKind::kAtom && !IsNil(t); }
  // The empty list, which in SWI-Prolog 7 is no atom.
  static bool IsNil(const Term& t) {
    return t.kind == TermKind::kAtom && (t.emptyList || t.name == "[]");
  }
  static bool IsAtom(const Term& t, std::string_view name) { return IsAtom(t) && t.name == name; }
  static bool IsCompound(const Term& t) {
    return t.kind == TermKind::kCompound || t.kind == TermKind::kList ||
           t.kind == TermKind::kCurly || t.kind == TermKind::kDict;
  }
  // An atom or a compound: what may be called. In SWI-Prolog 7 the empty
  // list [] is no atom.
  static bool IsCallable(const Term& t) { return IsAtom(t) || IsCompound(t); }

  // The functor of a callable term as Prolog sees it: a list is '[|]'/2,
  // {X} is '{}'/1.
  static std::string_view Name(const Term& t) {
    switch (t.kind) {
      case TermKind::kList:
        return "[|]";
      case TermKind::kCurly:
        return "{}";
      case TermKind::kDict:
        return "dict";
      default:
        return t.name;
    }
  }
  static int Arity(const Term& t) {
    switch (t.kind) {
      case TermKind::kCompound:
        return static_cast<int>(t.arity);
      case TermKind::kList:
        return 2;
      case TermKind::kCurly:
        return 1;
      default:
        return 0;
    }
  }
  bool Is(const Term& t, std::string_view name, int arity) const {
    return IsCallable(t) && Arity(t) == arity && Name(t) == name;
  }
  // The i-th argument of a compound (from 0): for f(...) and {X} the
  // argument; a list's first element. A list's tail has no term of its
  // own: see ListElements.
  const Term& Arg(const Term& t, std::uint32_t i) const { return Child(t, i); }

 private:
  const prolog::TermReader& reader_;
};

}  // namespace pl2html::meaning
