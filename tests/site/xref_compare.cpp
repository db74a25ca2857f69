// Compares a site's xref.json with SWI-Prolog's cross-referencer.
//
//   xref_compare [--show N] [--known FILE] XREF_JSON REFERENCE...
//
// Each REFERENCE is what tests/site/xref_reference.pl printed for one file
// of the tree. The call edges of clauses, (calling file, Name/Arity) to
// (defining file, Name/Arity), are compared both ways (recall and
// precision; directives are left out: the reference cannot tell which
// directive calls), and each summary of a predicate the file defines,
// after runs of white space are made one space. A file SWI-Prolog could
// not read to the end is left out on both sides. Prints the counts and the
// first N differences; exits 1 on a difference the --known file does not
// list; the listed ones' share of what is compared is printed.
#include <cstdio>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "support/reference_text.hpp"

namespace {

using pl2html::reference::Collapsed;
using pl2html::reference::ReadFile;

// Just enough JSON for xref.json: objects, arrays, strings, numbers,
// true, false and null, read strictly.
struct Json {
  enum Kind { kNull, kBool, kNumber, kString, kArray, kObject } kind = kNull;
  std::string text;  // a string, or a number's digits
  bool truth = false;
  std::vector<Json> items;
  std::map<std::string, Json> fields;

  const Json& operator[](const std::string& key) const {
    static const Json kMissing;
    auto found = fields.find(key);
    return found == fields.end() ? kMissing : found->second;
  }
};

class JsonReader {
 public:
  explicit JsonReader(const std::string& text) : s_(text) {}

  bool Read(Json& value) {
    if (!Value(value)) return false;
    Space();
    return at_ == s_.size();
  }
  std::size_t At() const { return at_; }

 private:
  void Space() {
    while (at_ < s_.size() &&
           (s_[at_] == ' ' || s_[at_] == '\n' || s_[at_] == '\t' || s_[at_] == '\r'))
      ++at_;
  }
  bool Take(char c) {
    Space();
    if (at_ < s_.size() && s_[at_] == c) {
      ++at_;
      return true;
    }
    return false;
  }
  bool Word(const char* word) {
    std::string w(word);
    if (s_.compare(at_, w.size(), w) != 0) return false;
    at_ += w.size();
    return true;
  }
  static void Utf8(std::string& out, unsigned c) {
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  bool Hex4(unsigned& c) {
    if (at_ + 4 > s_.size()) return false;
    c = 0;
    for (int i = 0; i < 4; ++i) {
      char h = s_[at_++];
      int d = h >= '0' && h <= '9'   ? h - '0'
              : h >= 'a' && h <= 'f' ? h - 'a' + 10
              : h >= 'A' && h <= 'F' ? h - 'A' + 10
                                     : -1;
      if (d < 0) return false;
      c = c * 16 + static_cast<unsigned>(d);
    }
    return true;
  }
  bool String(std::string& out) {
    if (!Take('"')) return false;
    while (at_ < s_.size()) {
      unsigned char c = static_cast<unsigned char>(s_[at_++]);
      if (c == '"') return true;
      if (c < 0x20) return false;
      if (c != '\\') {
        out += static_cast<char>(c);
        continue;
      }
      if (at_ == s_.size()) return false;
      char e = s_[at_++];
      switch (e) {
        case '"':
        case '\\':
        case '/':
          out += e;
          break;
        case 'b':
          out += '\b';
          break;
        case 'f':
          out += '\f';
          break;
        case 'n':
          out += '\n';
          break;
        case 'r':
          out += '\r';
          break;
        case 't':
          out += '\t';
          break;
        case 'u': {
          unsigned code;
          if (!Hex4(code)) return false;
          if (code >= 0xD800 && code < 0xDC00) {
            unsigned low;
            if (!Word("\\u") || !Hex4(low) || low < 0xDC00 || low >= 0xE000) return false;
            code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
          } else if (code >= 0xDC00 && code < 0xE000) {
            return false;
          }
          Utf8(out, code);
          break;
        }
        default:
          return false;
      }
    }
    return false;
  }
  bool Value(Json& v) {
    Space();
    if (at_ == s_.size()) return false;
    char c = s_[at_];
    if (c == '"') {
      v.kind = Json::kString;
      return String(v.text);
    }
    if (c == '{') {
      ++at_;
      v.kind = Json::kObject;
      if (Take('}')) return true;
      do {
        std::string key;
        Json item;
        if (!String(key) || !Take(':') || !Value(item)) return false;
        if (!v.fields.emplace(std::move(key), std::move(item)).second) return false;
      } while (Take(','));
      return Take('}');
    }
    if (c == '[') {
      ++at_;
      v.kind = Json::kArray;
      if (Take(']')) return true;
      do {
        v.items.emplace_back();
        if (!Value(v.items.back())) return false;
      } while (Take(','));
      return Take(']');
    }
    if (Word("true")) {
      v.kind = Json::kBool;
      v.truth = true;
      return true;
    }
    if (Word("false")) {
      v.kind = Json::kBool;
      return true;
    }
    if (Word("null")) return true;
    v.kind = Json::kNumber;
    std::size_t start = at_;
    if (at_ < s_.size() && s_[at_] == '-') ++at_;
    while (at_ < s_.size() && s_[at_] >= '0' && s_[at_] <= '9')
      ++at_;
    v.text = s_.substr(start, at_ - start);
    return !v.text.empty() && v.text != "-";
  }

  const std::string& s_;
  std::size_t at_ = 0;
};

std::vector<std::string> Split(const std::string& line) {
  std::vector<std::string> fields;
  std::string field;
  for (std::size_t i = 0; i < line.size(); ++i) {
    char c = line[i];
    if (c == '\t') {
      fields.push_back(std::move(field));
      field.clear();
    } else if (c == '\\' && i + 1 < line.size()) {
      char e = line[++i];
      field += e == 't' ? '\t' : e == 'n' ? '\n' : e;
    } else {
      field += c;
    }
  }
  fields.push_back(std::move(field));
  return fields;
}

// An edge or a predicate as the known file and the report write it:
// fields joined by tabs.
std::string Joined(const std::vector<std::string>& fields) {
  std::string out;
  for (const std::string& f : fields) {
    if (!out.empty()) out += '\t';
    for (char c : f)
      out += c == '\t' ? std::string("\\t") : c == '\n' ? std::string("\\n") : std::string(1, c);
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  std::size_t show = 10;
  std::string knownPath, jsonPath;
  std::vector<std::string> references;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--show" && i + 1 < argc) {
      show = std::stoul(argv[++i]);
    } else if (arg == "--known" && i + 1 < argc) {
      knownPath = argv[++i];
    } else if (jsonPath.empty()) {
      jsonPath = arg;
    } else {
      references.push_back(arg);
    }
  }
  std::string text;
  if (jsonPath.empty() || !ReadFile(jsonPath, text)) {
    std::fprintf(stderr, "usage: xref_compare [--show N] [--known FILE] XREF_JSON REFERENCE...\n");
    return 2;
  }
  Json root;
  JsonReader reader(text);
  if (!reader.Read(root) || root["predicates"].kind != Json::kArray) {
    std::fprintf(stderr, "%s: not JSON of xref.json's shape (at byte %zu)\n", jsonPath.c_str(),
                 reader.At());
    return 1;
  }

  // The reference: edges and summaries of the files SWI-Prolog read whole.
  std::set<std::string> files, unread;
  std::set<std::string> theirEdges;
  std::map<std::string, std::set<std::string>> theirSummaries;  // file \t pred -> summaries
  std::size_t directives = 0;
  for (const std::string& path : references) {
    std::string bytes;
    ReadFile(path, bytes);
    std::istringstream lines(bytes);
    std::string line, file;
    std::set<std::string> edges;
    std::map<std::string, std::set<std::string>> summaries;
    bool ended = false;
    while (std::getline(lines, line)) {
      std::vector<std::string> f = Split(line);
      if (f[0] == "F" && f.size() == 2) {
        file = f[1];
      } else if (f[0] == "E" && f.size() == 5) {
        edges.insert(Joined({f[1], f[2], f[3], f[4]}));
      } else if (f[0] == "D" && f.size() == 5) {
        ++directives;
      } else if (f[0] == "S" && f.size() == 4) {
        // A comment with no summary gives none; a predicate with two
        // comments has two.
        if (!Collapsed(f[3]).empty()) summaries[Joined({f[1], f[2]})].insert(Collapsed(f[3]));
      } else if (f[0] == "X") {
        ended = true;
      }
    }
    if (file.empty()) continue;
    if (!ended) {
      unread.insert(file);
      continue;
    }
    files.insert(file);
    theirEdges.insert(edges.begin(), edges.end());
    theirSummaries.insert(summaries.begin(), summaries.end());
  }

  // xref.json's, from the same files.
  std::set<std::string> ourEdges;
  std::map<std::string, std::string> ourSummaries;
  std::set<std::string> defined;  // file \t pred
  for (const Json& p : root["predicates"].items) {
    const std::string& file = p["file"].text;
    if (files.count(file) == 0) continue;
    std::string pred = p["name"].text + "/" + p["arity"].text;
    if (p["qualified"].truth) pred = p["module"].text + ":" + pred;
    defined.insert(Joined({file, pred}));
    if (!p["summary"].text.empty())
      ourSummaries[Joined({file, pred})] = Collapsed(p["summary"].text);
    for (const Json& c : p["callers"].items) {
      if (c["directive"].truth || files.count(c["file"].text) == 0) continue;
      std::string caller = c["name"].text + "/" + c["arity"].text;
      if (c["module"].kind == Json::kString) caller = c["module"].text + ":" + caller;
      ourEdges.insert(Joined({c["file"].text, caller, file, pred}));
    }
  }

  std::set<std::string> known, seen;
  if (!knownPath.empty()) {
    std::string bytes;
    ReadFile(knownPath, bytes);
    std::istringstream lines(bytes);
    for (std::string line; std::getline(lines, line);) {
      if (!line.empty() && line[0] != '#') known.insert(line);
    }
  }
  std::vector<std::string> differences;
  std::size_t explained = 0;
  auto differ = [&](const std::string& what) {
    if (known.count(what) != 0) {
      seen.insert(what);
      ++explained;
    } else {
      differences.push_back(what);
    }
  };
  std::size_t common = 0;
  for (const std::string& e : theirEdges) {
    if (ourEdges.count(e) != 0) {
      ++common;
    } else {
      differ("missing\t" + e);
    }
  }
  for (const std::string& e : ourEdges) {
    if (theirEdges.count(e) == 0) differ("extra\t" + e);
  }
  // Summaries of the predicates the file defines, either side.
  std::size_t summaries = 0, equal = 0, undefined = 0;
  std::set<std::string> documented;
  for (const auto& [key, summary] : theirSummaries) {
    if (defined.count(key) == 0) {
      ++undefined;  // documented, defined elsewhere or nowhere
      continue;
    }
    documented.insert(key);
  }
  for (const auto& [key, summary] : ourSummaries)
    documented.insert(key);
  for (const std::string& key : documented) {
    ++summaries;
    auto theirs = theirSummaries.find(key);
    auto ours = ourSummaries.find(key);
    if (theirs != theirSummaries.end() && ours != ourSummaries.end() &&
        theirs->second.count(ours->second) != 0) {
      ++equal;
    } else {
      differ("summary\t" + key + "\t" +
             (theirs == theirSummaries.end() ? std::string("(none)") : *theirs->second.begin()) +
             "\t" + (ours == ourSummaries.end() ? std::string("(none)") : ours->second));
    }
  }

  auto percent = [](std::size_t part, std::size_t whole) {
    return whole == 0 ? 100.0 : 100.0 * static_cast<double>(part) / static_cast<double>(whole);
  };
  std::printf("files: %zu (SWI-Prolog could not read %zu)\n", files.size(), unread.size());
  for (const std::string& file : unread)
    std::printf("  not read: %s\n", file.c_str());
  std::printf(
      "edges of clauses: SWI-Prolog %zu, xref.json %zu, both %zu; directive calls left out: %zu\n",
      theirEdges.size(), ourEdges.size(), common, directives);
  std::printf("recall %.3f%%, precision %.3f%%\n", percent(common, theirEdges.size()),
              percent(common, ourEdges.size()));
  std::printf("summaries equal: %zu/%zu (documented, not defined in the file: %zu)\n", equal,
              summaries, undefined);
  std::printf(
      "differences explained in the known list: %zu; unexplained: %zu; listed, not seen: %zu\n",
      explained, differences.size(), known.size() - seen.size());
  for (std::size_t i = 0; i < differences.size() && i < show; ++i)
    std::printf("  %s\n", differences[i].c_str());
  for (const std::string& k : known) {
    if (seen.count(k) == 0) std::printf("  listed, not seen: %s\n", k.c_str());
  }
  const std::size_t compared = theirEdges.size() + ourEdges.size() - common + summaries;
  // The aim is explained differences under 0.1% of what is compared; a
  // file that rewrites itself with its own term_expansion keeps them above
  // (docs/xref.md). Each is listed, so any other difference still fails.
  std::printf("explained differences: %.3f%% of the %zu compared (the aim: under 0.1%%%s)\n",
              percent(explained, compared), compared,
              explained * 1000 >= compared ? ", not met" : "");
  return differences.empty() ? 0 : 1;
}
