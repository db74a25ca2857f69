// Compares the meaning layer's classes with SWI-Prolog's source view.
//
//   meaning_compare [--show N] REFERENCE...
//
// Each REFERENCE is what tests/meaning/reference.pl printed for one file:
// "F PATH", then "M FROM TO CLASS" per fragment. The file at PATH is read
// again here, cross-referenced and coloured, and the two sets of fragments
// compared by their first byte and class. The colon of a qualified head
// (head-meta) is left out on both sides. Prints the files, the fragments
// compared, recall and precision, the commonest confusions and the first
// N differences; exits 1 on any difference.
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "meaning/colour.hpp"
#include "meaning/knowledge.hpp"
#include "meaning/loads.hpp"
#include "meaning/xref.hpp"
#include "prolog_page/charset.hpp"

namespace {

using namespace pl2html;

bool ReadFile(const std::string& path, std::string& bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream s;
  s << in.rdbuf();
  bytes = s.str();
  return true;
}

std::string Folder(const std::string& path) {
  std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? "." : path.substr(0, slash);
}

// Finds library(...) files in the tables and plain paths beside the source.
class DiskLoader final : public meaning::Loader {
 public:
  explicit DiskLoader(std::string folder) : folder_(std::move(folder)) {}

  bool Find(std::string_view alias, std::string_view path, meaning::LoadedFile& file) override {
    if (!alias.empty()) return library_.Find(alias, path, file);
    std::string base =
        path.starts_with('/') ? std::string(path) : folder_ + "/" + std::string(path);
    for (const char* ext : {"", ".pl", ".prolog"}) {
      std::string candidate = base + ext;
      std::string bytes;
      if (*ext == '\0' && !(candidate.ends_with(".pl") || candidate.ends_with(".prolog"))) continue;
      if (!ReadFile(candidate, bytes)) continue;
      file.path = candidate;
      std::string name = candidate.substr(candidate.rfind('/') + 1);
      file.title = name.substr(0, name.rfind('.'));
      file.library.clear();
      auto encoding =
          prolog_page::IsValidUtf8(bytes) ? prolog::Encoding::kUtf8 : prolog::Encoding::kLatin1;
      DiskLoader nested(Folder(candidate));
      file.header = meaning::ReadHeader(bytes, encoding, &nested);
      return true;
    }
    return false;
  }

  bool Text(const meaning::LoadedFile& file, std::string& text) override {
    return !file.path.empty() && ReadFile(file.path, text);
  }

 private:
  std::string folder_;
  meaning::LibraryLoader library_;
};

struct Fragment {
  std::uint64_t from, to;
  std::string cls;
  bool operator<(const Fragment& o) const { return from != o.from ? from < o.from : cls < o.cls; }
};

std::uint64_t LineOf(const std::string& text, std::uint64_t offset) {
  return 1 + static_cast<std::uint64_t>(std::count(
                 text.begin(),
                 text.begin() +
                     static_cast<std::ptrdiff_t>(std::min<std::uint64_t>(offset, text.size())),
                 '\n'));
}

}  // namespace

int main(int argc, char** argv) {
  int show = 20;
  std::vector<std::string> references;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--show" && i + 1 < argc) {
      show = std::stoi(argv[++i]);
    } else {
      references.push_back(arg);
    }
  }
  std::size_t files = 0, compared = 0, found = 0, ours = 0, right = 0;
  std::map<std::pair<std::string, std::string>, std::size_t> confusions;
  std::vector<std::string> differences;
  for (const std::string& reference : references) {
    std::ifstream in(reference);
    std::string line, path;
    std::vector<Fragment> expected;
    while (std::getline(in, line)) {
      if (line.starts_with("F ")) path = line.substr(2);
      if (!line.starts_with("M ")) continue;
      std::istringstream fields(line.substr(2));
      Fragment f;
      fields >> f.from >> f.to >> f.cls;
      if (f.cls != "head-meta") expected.push_back(f);
    }
    std::string text;
    if (path.empty() || !ReadFile(path, text)) {
      std::cerr << reference << ": no source\n";
      return 2;
    }
    ++files;
    auto encoding =
        prolog_page::IsValidUtf8(text) ? prolog::Encoding::kUtf8 : prolog::Encoding::kLatin1;
    DiskLoader loader(Folder(path));
    meaning::Xref xref(&loader);
    xref.ReadSource(text, encoding);
    std::vector<Fragment> actual;
    meaning::Colour(text, encoding, xref, [&](const meaning::Fragment& f) {
      if (f.meaning != meaning::Meaning::kHeadMeta)
        actual.push_back({f.from, f.to, std::string(meaning::MeaningName(f.meaning))});
    });
    std::sort(expected.begin(), expected.end());
    std::sort(actual.begin(), actual.end());
    compared += expected.size();
    ours += actual.size();
    auto at = [](const std::vector<Fragment>& v, std::uint64_t from) {
      return std::equal_range(v.begin(), v.end(), Fragment{from, 0, ""},
                              [](const Fragment& a, const Fragment& b) { return a.from < b.from; });
    };
    auto describe = [&](const Fragment& f, const char* what) {
      std::string excerpt = text.substr(f.from, std::min<std::uint64_t>(f.to - f.from, 40));
      std::replace(excerpt.begin(), excerpt.end(), '\n', ' ');
      return path + ":" + std::to_string(LineOf(text, f.from)) + ": " + what + " " + f.cls +
             " at " + std::to_string(f.from) + " \"" + excerpt + "\"";
    };
    for (const Fragment& e : expected) {
      auto [lo, hi] = at(actual, e.from);
      bool hit = std::any_of(lo, hi, [&](const Fragment& a) { return a.cls == e.cls; });
      if (hit) {
        ++found;
        continue;
      }
      std::string instead = lo == hi ? "(none)" : lo->cls;
      ++confusions[{e.cls, instead}];
      differences.push_back(describe(e, "missed") + ", ours " + instead);
    }
    for (const Fragment& a : actual) {
      auto [lo, hi] = at(expected, a.from);
      bool hit = std::any_of(lo, hi, [&](const Fragment& e) { return e.cls == a.cls; });
      if (hit) {
        ++right;
        continue;
      }
      if (lo == hi) {
        ++confusions[{"(none)", a.cls}];
        differences.push_back(describe(a, "extra"));
      }
    }
  }
  auto percent = [](std::size_t a, std::size_t b) { return b == 0 ? 100.0 : 100.0 * a / b; };
  std::printf("files %zu, reference fragments %zu, ours %zu\n", files, compared, ours);
  std::printf("recall %.4f%% (%zu of %zu), precision %.4f%% (%zu of %zu)\n",
              percent(found, compared), found, compared, percent(right, ours), right, ours);
  std::vector<std::pair<std::size_t, std::pair<std::string, std::string>>> ranked;
  for (const auto& [pair, count] : confusions)
    ranked.push_back({count, pair});
  std::sort(ranked.rbegin(), ranked.rend());
  for (std::size_t i = 0; i < ranked.size() && i < 15; ++i)
    std::printf("  %6zu  SWI %s, ours %s\n", ranked[i].first, ranked[i].second.first.c_str(),
                ranked[i].second.second.c_str());
  for (std::size_t i = 0; i < differences.size() && static_cast<int>(i) < show; ++i)
    std::printf("%s\n", differences[i].c_str());
  return found == compared && right == ours ? 0 : 1;
}
