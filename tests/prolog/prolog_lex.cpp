// The lexer on whole files, for the comparison with SWI-Prolog's reader:
//
//   prolog_lex list FILE...   "utf8 PATH" or "iso_latin_1 PATH" per file
//   prolog_lex compare REF    compares the lexer with the reference's output
//                             (tests/prolog/reference.pl) byte by byte, and
//                             the lexer whole with the lexer fed in pieces
//   prolog_lex show FILE      each line of the file, then its class letters
//   prolog_lex split EXAMPLES DIR   writes each example's source to DIR
//   prolog_lex letters FILE [latin1]  a class letter per byte, for writing
//                             new examples
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "examples.hpp"
#include "lex_util.hpp"

namespace {

using namespace pl2html::prolog;
using namespace pl2html::prolog::testing;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

Encoding EncodingOf(const std::string& text) {
  return IsUtf8(text) ? Encoding::kUtf8 : Encoding::kLatin1;
}

std::string LexerLetters(const std::string& text) {
  return ClassLetters(LexWhole(text, EncodingOf(text)), text.size());
}

// Byte offsets of the characters the reader counts, and one past the end.
// The reader does not count a byte-order mark.
std::vector<std::size_t> CharOffsets(const std::string& text, Encoding encoding) {
  std::vector<std::size_t> offsets;
  const std::size_t start = encoding == Encoding::kUtf8 && text.starts_with("\xEF\xBB\xBF") ? 3 : 0;
  for (std::size_t i = start; i < text.size(); ++i)
    if (encoding == Encoding::kLatin1 || (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80)
      offsets.push_back(i);
  offsets.push_back(text.size());
  return offsets;
}

struct Totals {
  std::size_t files = 0, bytes = 0, left_out = 0, left_out_bytes = 0, mismatched = 0, reported = 0;
  std::size_t cut_differently = 0;  // files whose tokens change when cut in pieces
};

// Cuts every few bytes, at pseudo-random places.
std::vector<std::size_t> SomeCuts(std::size_t size) {
  std::vector<std::size_t> cuts;
  std::uint32_t state = 14;
  for (std::size_t at = 0; at < size;) {
    state = state * 1103515245u + 12345u;
    at += 1 + (state >> 16) % 64;
    cuts.push_back(at);
  }
  return cuts;
}

// Prints the line of a mismatch with the reference's and the lexer's letters.
void Report(const std::string& path, const std::string& text, const std::string& ref,
            const std::string& lex, std::size_t at) {
  std::size_t begin = text.rfind('\n', at);
  begin = begin == std::string::npos ? 0 : begin + 1;
  std::size_t end = text.find('\n', at);
  if (end == std::string::npos) end = text.size();
  if (end - begin > 160) begin = at > 60 ? at - 60 : begin, end = std::min(end, begin + 120);
  const std::size_t line = 1 + std::count(text.begin(), text.begin() + static_cast<long>(at), '\n');
  std::printf(
      "%s:%zu: reference '%c', lexer '%c'\n  source:    %s\n  reference: %s\n  lexer:     %s\n",
      path.c_str(), line, ref[at], lex[at], text.substr(begin, end - begin).c_str(),
      ref.substr(begin, end - begin).c_str(), lex.substr(begin, end - begin).c_str());
}

void CompareFile(const std::string& path, const std::vector<std::string>& lines, Totals& totals) {
  const std::string text = ReadFile(path);
  const std::vector<std::size_t> at = CharOffsets(text, EncodingOf(text));
  std::string ref(text.size(), ' ');
  for (const std::string& line : lines) {
    std::istringstream in(line);
    char kind = 0;
    std::size_t from = 0, to = 0;
    std::string cls;
    in >> kind >> from >> to >> cls;
    from = at[std::min(from, at.size() - 1)];
    to = at[std::min(to, at.size() - 1)];
    if (kind == 'X') {
      ++totals.left_out;
      totals.left_out_bytes += to - from;
    }
    for (std::size_t i = from; i < to; ++i)
      ref[i] = kind == 'X' ? 'x' : cls[0];
  }
  const std::vector<Token> tokens = LexWhole(text, EncodingOf(text));
  const std::string lex = ClassLetters(tokens, text.size());
  if (!SameTokens(tokens, LexInPieces(text, SomeCuts(text.size()), EncodingOf(text)))) {
    ++totals.cut_differently;
    std::printf("%s: the tokens change when the text is cut in pieces\n", path.c_str());
  }
  ++totals.files;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (ref[i] == 'x') continue;
    ++totals.bytes;
    if (ref[i] == lex[i]) continue;
    ++totals.mismatched;
    const bool firstOfRun = i == 0 || ref[i - 1] == lex[i - 1] || ref[i - 1] == 'x';
    if (firstOfRun && totals.reported++ < 20) Report(path, text, ref, lex, i);
  }
}

int Compare(const char* refPath) {
  std::ifstream in(refPath);
  Totals totals;
  std::string line, path;
  std::vector<std::string> lines;
  while (std::getline(in, line)) {
    if (line.rfind("F ", 0) == 0) {
      if (!path.empty()) CompareFile(path, lines, totals);
      path = line.substr(2);
      lines.clear();
    } else {
      lines.push_back(line);
    }
  }
  if (!path.empty()) CompareFile(path, lines, totals);
  std::printf(
      "files %zu, bytes compared %zu, clauses left out %zu (%zu bytes), mismatched bytes %zu\n",
      totals.files, totals.bytes, totals.left_out, totals.left_out_bytes, totals.mismatched);
  return totals.files > 0 && totals.mismatched == 0 ? 0 : 1;
}

void Show(const std::string& path) {
  const std::string text = ReadFile(path);
  const std::string lex = LexerLetters(text);
  std::size_t begin = 0;
  while (begin < text.size()) {
    std::size_t end = text.find('\n', begin);
    if (end == std::string::npos) end = text.size();
    std::printf("%s\n%s\n", text.substr(begin, end - begin).c_str(),
                lex.substr(begin, end - begin).c_str());
    begin = end + 1;
  }
}

int Split(const std::string& examples, const std::string& dir) {
  for (const Example& e : ParseExamples(ReadFile(examples))) {
    char name[32];
    std::snprintf(name, sizeof name, "/example-%02d.pl", e.number);
    std::ofstream(dir + name, std::ios::binary) << e.source;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "list") {
    for (int i = 2; i < argc; ++i)
      std::printf("%s %s\n",
                  EncodingOf(ReadFile(argv[i])) == Encoding::kUtf8 ? "utf8" : "iso_latin_1",
                  argv[i]);
    return 0;
  }
  if (mode == "compare" && argc == 3) return Compare(argv[2]);
  if (mode == "show" && argc == 3) return Show(argv[2]), 0;
  if (mode == "split" && argc == 4) return Split(argv[2], argv[3]);
  if (mode == "letters" && argc >= 3) {
    const std::string text = ReadFile(argv[2]);
    const Encoding encoding = argc > 3 ? Encoding::kLatin1 : Encoding::kUtf8;
    std::fputs(ClassLetters(LexWhole(text, encoding), text.size()).c_str(), stdout);
    return 0;
  }
  std::fprintf(
      stderr,
      "usage: prolog_lex list FILE... | compare REFERENCE | show FILE | split EXAMPLES DIR\n");
  return 2;
}
