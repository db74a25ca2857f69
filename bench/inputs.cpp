#include "inputs.hpp"

#include <array>

namespace pl2html::bench {

namespace {

// splitmix64: small, fast and the same on every platform.
class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed) {}
  std::uint64_t Next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  }
  std::size_t Below(std::size_t n) { return static_cast<std::size_t>(Next() % n); }

 private:
  std::uint64_t state_;
};

constexpr std::array<std::string_view, 12> kAtoms = {
    "member",    "append",       "length",    "format",     "foldl",   "maplist",
    "nb_getval", "succ_or_fail", "read_term", "atom_codes", "must_be", "option"};
constexpr std::array<std::string_view, 8> kVariables = {"X",       "Xs", "Head", "Tail",
                                                        "Options", "_",  "Acc0", "N"};

std::string_view Pick(Random& random, const auto& list) {
  return list[random.Below(list.size())];
}

// One clause or comment block of typical library code.
void AppendChunk(std::string& out, Random& random) {
  std::string_view a = Pick(random, kAtoms);
  std::string_view b = Pick(random, kAtoms);
  std::string_view x = Pick(random, kVariables);
  std::string_view y = Pick(random, kVariables);
  std::string n = std::to_string(random.Below(1000));
  switch (random.Below(8)) {
    case 0:
      out += "%!  " + std::string(a) + "(+" + std::string(x) + ", -" + std::string(y) +
             ") is det.\n%\n%   True when " + std::string(y) + " is the " + std::string(b) +
             " of " + std::string(x) + " (see section " + n + ").\n\n";
      break;
    case 1:
      out += std::string(a) + "(" + std::string(x) + ", " + std::string(y) + ") :-\n    " +
             std::string(b) + "(" + std::string(x) + ", Tmp),\n    Tmp >= " + n +
             ",\n    !,\n    " + std::string(y) + " is Tmp * 2 + " + n + ".\n";
      break;
    case 2:
      out += std::string(a) + "([], Acc, Acc).\n" + std::string(a) + "([H|T], Acc0, Acc) :-\n" +
             "\t" + std::string(b) + "(H, Acc0, Acc1),\n\t" + std::string(a) + "(T, Acc1, Acc).\n";
      break;
    case 3:
      out += ":- module(" + std::string(a) + ", [ " + std::string(b) + "/" + n + ", " +
             std::string(a) + "//2 ]).\n:- use_module(library(lists)).\n";
      break;
    case 4:
      out += "message(" + std::string(a) + "(" + std::string(x) + ")) -->\n    [ '~w: cannot " +
             std::string(b) + " ~q'-[" + std::string(x) + "] ],\n    { format(\"~a~n\", [" + n +
             "]) }.\n";
      break;
    case 5:
      out += "/* " + std::string(b) + " keeps the " + std::string(x) +
             " list sorted; it does not check =< " + n + " */\n" + std::string(a) + "(" +
             std::string(x) + ") :- ( " + std::string(x) + " =< " + n + " -> true ; fail ).\n";
      break;
    case 6:
      out += "    (   " + std::string(x) + " == 0'a\n    ->  " + std::string(y) +
             " = \"it's here\"\n    ;   " + std::string(y) + " = 'don''t'\n    ),\n";
      break;
    default:
      out += "int " + std::string(a) + "(char *s, term_t t)\n{ return " + n +
             "; }   % foreign\n#define MAX_" + n + " 42 /* limit */\n";
      break;
  }
}

std::string PrologCode(std::size_t bytes) {
  // Code only: no "%", so a long line is not one comment.
  static constexpr std::string_view kPieces[] = {
      "foo(X, 12) :- bar(X), ",  "Y is X * 3.5 + 4, ", "\"string\", ",
      "'quoted atom', ",         "[H|T] = L, ",        "int x = sizeof(y); ",
      "A =< B -> true ; fail, ", "f (a, b) "};
  std::string out;
  out.reserve(bytes + 32);
  for (std::size_t k = 0; out.size() < bytes; ++k)
    out += kPieces[k % std::size(kPieces)];
  out.resize(bytes);
  return out;
}

}  // namespace

std::string PrologText(std::size_t bytes) {
  Random random(42);
  std::string out;
  out.reserve(bytes + 512);
  while (out.size() < bytes)
    AppendChunk(out, random);
  std::size_t cut = out.rfind('\n', bytes);
  out.resize(cut == std::string::npos ? bytes : cut + 1);
  return out;
}

std::string LongLine(std::size_t bytes) {
  return PrologCode(bytes);
}

std::string ManyDeclarations(std::size_t count) {
  std::string out;
  out.reserve(count * 40);
  for (std::size_t k = 0; k < count; ++k) {
    std::string n = std::to_string(k);
    out += "t" + n + " f" + n + "(u" + n + " a, v" + n + " b)\n";
  }
  return out;
}

std::string UnclosedParameters(std::size_t bytes) {
  std::string out = "void g(int a\n";
  out.reserve(bytes + 64);
  // No ")" anywhere below, so the parameter text never ends.
  for (std::size_t k = 0; out.size() < bytes; ++k) {
    out += "  x" + std::to_string(k) + ", char *p, , int** q,,, foo(X, 12 :- bar(Y, Z,\n";
  }
  return out;
}

std::string DieseSlashes(std::size_t pairs) {
  std::string out;
  out.reserve(pairs * 2);
  for (std::size_t k = 0; k < pairs; ++k)
    out += "#/";
  return out;
}

std::string UnterminatedQuotes(std::size_t bytes) {
  // The first half is inside text opened by a double quote, the second half
  // inside text opened by a single quote; neither is closed on its line, and
  // "#", "%" and the other quote are plain text in there.
  std::string out = "x = \"";
  out.reserve(bytes + 64);
  while (out.size() < bytes / 2)
    out += "it's text, # not a directive, % not a comment <here>\n";
  out += "\" + 'then";
  while (out.size() < bytes)
    out += "\tmore text, \"quoted\" # (a, b) % 100 <<<\n";
  return out;
}

std::string UnclosedComment(std::size_t bytes) {
  // "/*" nests in Prolog: the inner comments close, the first never does.
  std::string out = "/* never closed\n";
  out.reserve(bytes + 64);
  while (out.size() < bytes)
    out += "foo(X) :- bar(X). /* inner */ 'quote \"string % <here> & 0'a\n";
  return out;
}

std::string ManyClauses(std::size_t count) {
  std::string out;
  out.reserve(count * 40);
  for (std::size_t k = 0; k < count; ++k) {
    std::string n = std::to_string(k);
    out += "p" + n + "(X, Y) :- q" + n + "(X), p" + n + "(Y, _).\n";
  }
  return out;
}

std::string CharacterCodes(std::size_t bytes) {
  static constexpr std::string_view kForms =
      "0'a, 0' , 0''', 0'', 0'\\n, 0'\\\\, 0'\\', 0'\", 0'\\s, ";
  std::string out = "codes([";
  out.reserve(bytes + kForms.size());
  while (out.size() < bytes) {
    out += kForms;
    out += '\n';
  }
  return out;
}

std::string RandomBytes(std::size_t bytes, std::uint64_t seed) {
  Random random(seed);
  std::string out(bytes, '\0');
  for (std::size_t k = 0; k < bytes; k += 8) {
    std::uint64_t word = random.Next();
    for (std::size_t b = 0; b < 8 && k + b < bytes; ++b) {
      out[k + b] = static_cast<char>(word >> (8 * b));
    }
  }
  return out;
}

std::string BinaryPadding(std::size_t bytes) {
  // A firmware image or a disk's first blocks: a little random data between
  // long runs of zero bytes and of 0xFF bytes (a Latin-1 letter).
  std::string out = RandomBytes(4096);
  out.reserve(bytes);
  while (out.size() < bytes) {
    out.append(std::min<std::size_t>(bytes / 4, bytes - out.size()), '\0');
    out.append(std::min<std::size_t>(bytes / 4, bytes - out.size()), '\xFF');
  }
  return out;
}

const std::vector<InputKind>& InputKinds() {
  static const std::vector<InputKind> kinds = {
      {"prolog", "bytes", PrologText},
      {"long-line", "bytes", LongLine},
      {"declarations", "declarations", ManyDeclarations},
      {"unclosed", "bytes", UnclosedParameters},
      {"diese-slash", "pairs", DieseSlashes},
      {"quotes", "bytes", UnterminatedQuotes},
      {"random", "bytes", [](std::size_t size) { return RandomBytes(size); }},
      {"comment", "bytes", UnclosedComment},
      {"clauses", "clauses", ManyClauses},
      {"char-codes", "bytes", CharacterCodes},
      {"binary", "bytes", BinaryPadding},
  };
  return kinds;
}

}  // namespace pl2html::bench
