// How SWI-Prolog's reader classes the characters above ASCII. The table is
// generated (scripts/prolog_char_classes.pl) from the reader itself, so the
// lexer starts variables, atoms and symbol-char atoms with the same
// characters the reader does.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pl2html::prolog {

enum class CharClass : std::uint8_t {
  kSolo,        // a character that is an atom on its own (the default)
  kLayout,      // separates tokens
  kVarStart,    // an uppercase letter: starts a variable
  kAtomStart,   // any other letter: starts an atom
  kIdContinue,  // continues a name but cannot start one (marks, digits)
  kSymbol,      // a symbol char, as in :- or =..
};

// Code points lo..hi, both included. Sorted, disjoint; what is missing is kSolo.
struct CharRange {
  char32_t lo;
  char32_t hi;
  CharClass cls;
};

extern const CharRange kCharRanges[];
extern const std::size_t kCharRangeCount;

}  // namespace pl2html::prolog
