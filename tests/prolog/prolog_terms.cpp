// The term reader on whole files, for the comparison with SWI-Prolog's
// read_term/3 (tests/prolog/terms_reference.pl):
//
//   prolog_terms list FILE...   "utf8 PATH" or "iso_latin_1 PATH" per file
//   prolog_terms compare REF    compares the reader, clause by clause, with
//                               the reference's output
//   prolog_terms show FILE      each clause as the reference writes it
//
// The reader's terms are written the way terms_reference.pl writes SWI-Prolog's,
// positions in characters, and the two lines must be equal.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "lex_util.hpp"
#include "prolog/operators.hpp"
#include "prolog/terms.hpp"
#include "terms_util.hpp"

namespace {

using namespace pl2html::prolog;
using namespace pl2html::prolog::testing;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The character index of each byte offset (and of the end), as the reader
// counts characters: a byte-order mark is none.
std::vector<std::uint32_t> CharIndex(const std::string& text, Encoding encoding) {
  std::vector<std::uint32_t> index(text.size() + 1);
  const std::size_t start = encoding == Encoding::kUtf8 && text.starts_with("\xEF\xBB\xBF") ? 3 : 0;
  std::uint32_t chars = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    index[i] = chars;
    if (i >= start &&
        (encoding == Encoding::kLatin1 || (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80))
      ++chars;
  }
  index[text.size()] = chars;
  return index;
}

// One file's clauses, read as the pl2html reader reads them, token by token.
class FileReader {
 public:
  FileReader(const std::string& path, const Operators* ops)
      : text_(ReadFile(path)),
        encoding_(IsUtf8(text_) ? Encoding::kUtf8 : Encoding::kLatin1),
        chars_(CharIndex(text_, encoding_)),
        tokens_(LexWhole(text_, encoding_)),
        reader_(ops, encoding_) {}

  // The next clause; false at the end of the file.
  bool Next() {
    while (next_ < tokens_.size()) {
      const Token& t = tokens_[next_++];
      if (reader_.Push(t.cls, std::string_view(text_).substr(t.begin, t.end - t.begin), t.begin))
        return true;
    }
    if (finished_) return false;
    finished_ = true;
    return reader_.Finish();
  }
  // The clause as the reference writes it, without "C End" / "X End".
  std::string Line() const {
    return reader_.status() == TermReader::Status::kRead ? Dump(reader_, chars_) : "";
  }
  std::uint32_t End() const { return chars_[reader_.ClauseTo()]; }
  const TermReader& reader() const { return reader_; }
  const std::string& text() const { return text_; }
  std::size_t LineOf(std::uint64_t offset) const {
    return 1 + static_cast<std::size_t>(
                   std::count(text_.begin(), text_.begin() + static_cast<long>(offset), '\n'));
  }

 private:
  std::string text_;
  Encoding encoding_;
  std::vector<std::uint32_t> chars_;
  std::vector<Token> tokens_;
  TermReader reader_;
  std::size_t next_ = 0;
  bool finished_ = false;
};

// "Priority Type Name" of an "I" or "O" line, the name unescaped.
bool ParseOp(const std::string& line, int& priority, OpType& type, std::string& name) {
  std::istringstream in(line.substr(2));
  std::string typeName, escaped;
  if (!(in >> priority >> typeName >> escaped)) return false;
  const auto parsed = ParseOpType(typeName);
  if (!parsed) return false;
  type = *parsed;
  name.clear();
  for (std::size_t i = 0; i < escaped.size(); ++i) {
    if (escaped[i] != '\\') {
      name += escaped[i];
      continue;
    }
    const std::size_t semi = escaped.find(';', i);
    if (escaped.compare(i, 3, "\\N;") == 0) {  // the empty list
      name += "[]";
      i = semi;
      continue;
    }
    AppendUtf8(name,
               static_cast<char32_t>(std::stoul(escaped.substr(i + 1, semi - i - 1), nullptr, 16)));
    i = semi;
  }
  return true;
}

struct Totals {
  std::size_t files = 0, clauses = 0, unreadable = 0, tooLarge = 0, mismatches = 0, reported = 0;
};

// The two lines from the first place they differ, a little before it.
void Report(const std::string& path, const FileReader& file, const std::string& what,
            const std::string& swi, const std::string& ours, Totals& totals) {
  ++totals.mismatches;
  if (totals.reported++ >= 10) return;
  std::size_t differ = 0;
  while (differ < swi.size() && differ < ours.size() && swi[differ] == ours[differ])
    ++differ;
  const std::size_t from = differ > 60 ? differ - 60 : 0;
  std::printf("%s:%zu (offset %llu): %s\n  swi:  %s\n  ours: %s\n", path.c_str(),
              file.LineOf(file.reader().ClauseFrom()),
              static_cast<unsigned long long>(file.reader().ClauseFrom()), what.c_str(),
              swi.substr(from, 240).c_str(), ours.substr(from, 240).c_str());
}

void CompareFile(const std::string& path, const std::vector<std::string>& lines, Totals& totals) {
  Operators ops = Operators::SwiInitial();
  FileReader file(path, &ops);
  ++totals.files;
  for (const std::string& line : lines) {
    if (line[0] == 'O') {
      int priority = 0;
      OpType type;
      std::string name;
      if (ParseOp(line, priority, type, name)) ops.Add(name, priority, type);
      continue;
    }
    ++totals.clauses;
    const bool swiRead = line[0] == 'C';
    if (!swiRead) ++totals.unreadable;
    const std::size_t space = line.find(' ', 2);
    const std::string end =
        line.substr(2, space == std::string::npos ? std::string::npos : space - 2);
    const std::string swiTerm = swiRead ? line.substr(space) : "";
    if (!file.Next()) {
      Report(path, file, "SWI-Prolog reads a clause more", line, "", totals);
      return;
    }
    const TermReader::Status status = file.reader().status();
    if (status == TermReader::Status::kTooLarge) ++totals.tooLarge;
    const std::string ours = std::string(status == TermReader::Status::kRead ? "C " : "X ") +
                             std::to_string(file.End()) + file.Line();
    if (ours != line) Report(path, file, "the clause differs", line, ours, totals);
  }
  if (file.Next()) Report(path, file, "the reader reads a clause more", "", file.Line(), totals);
}

int Compare(const char* refPath) {
  std::ifstream in(refPath);
  Totals totals;
  std::string line, path;
  std::vector<std::string> lines;
  Operators initial;
  while (std::getline(in, line)) {
    if (line.rfind("I ", 0) == 0) {
      int priority = 0;
      OpType type;
      std::string name;
      if (ParseOp(line, priority, type, name)) initial.Add(name, priority, type);
    } else if (line.rfind("F ", 0) == 0) {
      if (!path.empty()) CompareFile(path, lines, totals);
      path = line.substr(2);
      lines.clear();
    } else if (!line.empty()) {
      lines.push_back(line);
    }
  }
  if (!path.empty()) CompareFile(path, lines, totals);
  // The initial table is SWI-Prolog's, both ways.
  std::size_t tableDifferences = 0;
  const auto check = [&](const Operators& a, const Operators& b, const char* missing) {
    a.ForEach([&](std::string_view name, const OpDefs& defs) {
      const OpDefs* other = b.Find(name);
      for (int k = 0; k < 3; ++k) {
        const OpDef& d = defs.kind[k];
        if (d.priority == 0) continue;
        if (!other || other->kind[k].priority != d.priority || other->kind[k].type != d.type) {
          ++tableDifferences;
          std::printf("operator %s: op(%d, %s, %.*s)\n", missing, d.priority,
                      std::string(TypeName(d.type)).c_str(), static_cast<int>(name.size()),
                      name.data());
        }
      }
    });
  };
  check(initial, Operators::SwiInitial(), "missing from the reader's table");
  check(Operators::SwiInitial(), initial, "that SWI-Prolog has not");
  std::printf(
      "files %zu, clauses compared %zu, unreadable for SWI-Prolog %zu, too large %zu, "
      "mismatches %zu\n",
      totals.files, totals.clauses, totals.unreadable, totals.tooLarge, totals.mismatches);
  return totals.files > 0 && totals.mismatches == 0 && tableDifferences == 0 ? 0 : 1;
}

int Show(const std::string& path) {
  FileReader file(path, &Operators::SwiInitial());
  while (file.Next()) {
    const bool read = file.reader().status() == TermReader::Status::kRead;
    std::printf("%c %u%s\n", read ? 'C' : 'X', file.End(), file.Line().c_str());
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (!args.empty() && args[0] == "list") {
    for (std::size_t i = 1; i < args.size(); ++i)
      std::printf("%s %s\n", IsUtf8(ReadFile(args[i])) ? "utf8" : "iso_latin_1", args[i].c_str());
    return 0;
  }
  if (args.size() == 2 && args[0] == "compare") return Compare(args[1].c_str());
  if (args.size() == 2 && args[0] == "show") return Show(args[1]);
  std::fprintf(stderr, "usage: prolog_terms list FILE... | compare REFERENCE | show FILE\n");
  return 2;
}
