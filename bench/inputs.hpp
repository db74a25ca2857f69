// Inputs for the benchmarks and for bench/compare.sh: a Prolog-like text for
// the everyday case, and the hostile shapes that must still convert in time
// proportional to their size. Every generator is deterministic, so two runs
// measure the same bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pl2html::bench {

// Prolog source of about `bytes` bytes, cut at a line end: clauses, comments,
// quoted atoms and strings, numbers, operators, an occasional C-like
// declaration and a "#" now and then, with LF line ends.
std::string PrologText(std::size_t bytes);

// One line of `bytes` bytes of Prolog code, with no line end.
std::string LongLine(std::size_t bytes);

// `count` distinct declarations "tN fN(uN a, vN b)", one a line: each one
// teaches three new type words.
std::string ManyDeclarations(std::size_t count);

// "void g(int a" never closed, followed by about `bytes` bytes of lines full
// of commas: the declaration scan joins them all into one parameter text.
std::string UnclosedParameters(std::size_t bytes);

// One line of `pairs` times "#/".
std::string DieseSlashes(std::size_t pairs);

// About `bytes` bytes in which quoted text is opened and never closed: a
// double quote, lines of text, a single quote inside it, and so on.
std::string UnterminatedQuotes(std::size_t bytes);

// About `bytes` bytes inside a block comment that is never closed, with
// nested comments that are.
std::string UnclosedComment(std::size_t bytes);

// `count` clauses "pN(X, Y) :- qN(X), pN(Y, _).", each a predicate of its
// own: as many definitions, anchors and links.
std::string ManyClauses(std::size_t count);

// About `bytes` bytes of character codes in every form: 0'a, 0' , 0''',
// 0'\n and the other escapes.
std::string CharacterCodes(std::size_t bytes);

// `bytes` bytes from a fixed pseudo-random sequence: every byte value,
// line ends and 0 bytes included.
std::string RandomBytes(std::size_t bytes, std::uint64_t seed = 1);

// About `bytes` bytes of binary data: runs of zero bytes and of 0xFF bytes,
// each a quarter of the whole.
std::string BinaryPadding(std::size_t bytes);

// The hostile shapes by name, for the command line tool and the benchmarks.
struct InputKind {
  std::string_view name;
  std::string_view unit;  // what the size counts: "bytes", "declarations"...
  std::string (*make)(std::size_t size);
};
const std::vector<InputKind>& InputKinds();

}  // namespace pl2html::bench
