// Compares the Prolog page's classes with SWI-Prolog's source view.
//
//   meaning_compare [--show N] [--known FILE] REFERENCE...
//
// Each REFERENCE is what tests/meaning/reference.pl printed for one file:
// "F PATH", then "M FROM TO CLASS" per fragment. The file at PATH gets its
// Prolog page as `pl2html --prolog` makes it, and the page is read back:
// each token span's classes at the byte of the source it starts at.
// - Recall: the span that holds a fragment's first byte carries its class.
// - Precision: every meaning class on the page is a fragment's class whose
//   first byte the span holds.
// The colon of a qualified head ("head-meta" in SWI-Prolog 9.0.4) is left
// out on both sides. A difference listed in the --known file (with the
// reason for it) is counted apart; any other fails the run. Prints the
// files, the fragments compared, recall, precision and the commonest
// confusions.
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "convert/convert.hpp"
#include "prolog_page/charset.hpp"
#include "runtime/platform.hpp"
#include "support/reference_text.hpp"

namespace {

using pl2html::reference::ReadFile;

using namespace pl2html;

struct Fragment {
  std::uint64_t from, to;
  std::string cls;
};

// The classes of a token span on the page, at the source's byte it starts.
struct PageSpan {
  std::uint64_t from, to;
  std::vector<std::string> meanings;  // goal-..., head-..., singleton
};

bool IsMeaning(std::string_view cls) {
  return cls.starts_with("goal-") || cls.starts_with("head-") || cls == "singleton";
}

// Reads the code element of a page back against its source: the page's
// text, entities decoded and controls' stand-ins taken for their bytes,
// walks the source byte by byte; each token span that opens records its
// classes at the offset it opens at. A line element's end stands for the
// source's line end, whatever it was.
std::vector<PageSpan> ReadSpans(const std::string& page, std::string_view source,
                                prolog_page::Charset charset) {
  std::vector<PageSpan> spans;
  std::size_t at = page.find("<code>");
  if (at == std::string::npos) return spans;
  at += 6;
  std::uint64_t offset = 0;
  std::vector<int> open;  // per open span: its index in spans, or -1
  auto lineEnd = [&] {
    if (offset < source.size() && source[offset] == '\r') ++offset;
    if (offset < source.size() && source[offset] == '\n') ++offset;
  };
  bool standIn = false;
  while (at < page.size()) {
    if (page.compare(at, 7, "</code>") == 0) break;
    char c = page[at];
    if (c == '<') {
      std::size_t end = page.find('>', at);
      std::string_view tag(page.data() + at, end + 1 - at);
      at = end + 1;
      if (tag.starts_with("<span class=\"")) {
        std::size_t q = tag.find('"', 13);
        std::string classes(tag.substr(13, q - 13));
        if (classes == "ctl") {
          standIn = true;
          open.push_back(-1);
          continue;
        }
        std::istringstream words(classes);
        PageSpan span{offset, offset, {}};
        for (std::string word; words >> word;) {
          if (IsMeaning(word)) span.meanings.push_back(word);
        }
        open.push_back(static_cast<int>(spans.size()));
        spans.push_back(std::move(span));
      } else if (tag.starts_with("<span")) {
        open.push_back(-1);  // a line element
      } else if (tag == "</span>") {
        if (!open.empty()) {
          if (open.back() >= 0) spans[static_cast<std::size_t>(open.back())].to = offset;
          open.pop_back();
        }
        standIn = false;
      }
      continue;
    }
    if (c == '\n') {
      lineEnd();
      ++at;
      continue;
    }
    if (c == '&') {
      std::size_t end = page.find(';', at);
      at = end + 1;
      if (standIn) {
        std::size_t n = prolog_page::ForbiddenControl(charset, source.substr(offset));
        offset += n == 0 ? 1 : n;
      } else {
        ++offset;  // &amp; &lt; &gt;: one byte each
      }
      continue;
    }
    if (standIn && c == '\\') {  // "\x85": a C1 control's stand-in
      at += 4;
      offset += prolog_page::ForbiddenControl(charset, source.substr(offset));
      continue;
    }
    ++at;
    ++offset;
  }
  return spans;
}

std::uint64_t LineOf(std::string_view text, std::uint64_t offset) {
  return 1 + static_cast<std::uint64_t>(std::count(
                 text.begin(),
                 text.begin() +
                     static_cast<std::ptrdiff_t>(std::min<std::uint64_t>(offset, text.size())),
                 '\n'));
}

// A difference listed in the known-differences file: "PATH-SUFFIX OFFSET
// SWI OURS", "(none)" for no class.
using Known = std::set<std::string>;

Known ReadKnown(const std::string& path) {
  Known known;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    std::string file, offset, swi, ours;
    if (fields >> file >> offset >> swi >> ours)
      known.insert(file + " " + offset + " " + swi + " " + ours);
  }
  return known;
}

bool IsKnown(const Known& known, Known& seen, const std::string& path, std::uint64_t offset,
             const std::string& swi, const std::string& ours) {
  for (const std::string& entry : known) {
    std::size_t space = entry.find(' ');
    std::string suffix = entry.substr(0, space);
    if (path.ends_with(suffix) &&
        entry.substr(space + 1) == std::to_string(offset) + " " + swi + " " + ours) {
      seen.insert(entry);
      return true;
    }
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  int show = 20;
  std::string knownPath;
  std::vector<std::string> references;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--show" && i + 1 < argc) {
      show = std::stoi(argv[++i]);
    } else if (arg == "--known" && i + 1 < argc) {
      knownPath = argv[++i];
    } else {
      references.push_back(arg);
    }
  }
  const Known known = knownPath.empty() ? Known() : ReadKnown(knownPath);
  Known seen;
  FileSystem& fs = SystemFileSystem();
  std::size_t files = 0, compared = 0, found = 0, ours = 0, right = 0, explained = 0;
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
    const bool utf8 = prolog_page::IsValidUtf8(text);
    std::string_view source = text;
    // Neither SWI-Prolog's offsets nor the page count a byte-order mark.
    if (utf8 && source.starts_with("\xEF\xBB\xBF")) source.remove_prefix(3);
    const std::string pagePath = "/tmp/meaning-compare-" + std::to_string(fs.ProcessId()) + ".html";
    PageKind kind;
    kind.prolog = true;
    Outcome outcome = ConvertSource(fs, path, {pagePath, false}, "page", kind);
    std::string page;
    if (!outcome.Ok() || !ReadFile(pagePath, page)) {
      std::cerr << path << ": no page (" << Describe(outcome) << ")\n";
      return 2;
    }
    std::vector<PageSpan> spans = ReadSpans(
        page, source, utf8 ? prolog_page::Charset::kUtf8 : prolog_page::Charset::kWindows1252);
    // The span holding a byte.
    auto spanAt = [&](std::uint64_t offset) -> const PageSpan* {
      auto after = std::upper_bound(spans.begin(), spans.end(), offset,
                                    [](std::uint64_t o, const PageSpan& s) { return o < s.from; });
      if (after == spans.begin()) return nullptr;
      const PageSpan& s = *std::prev(after);
      return offset < s.to ? &s : nullptr;
    };
    auto describe = [&](std::uint64_t from, std::uint64_t to, const std::string& what) {
      std::string excerpt(source.substr(from, std::min<std::uint64_t>(to - from, 40)));
      std::replace(excerpt.begin(), excerpt.end(), '\n', ' ');
      return path + ":" + std::to_string(LineOf(source, from)) + ": " + what + " at " +
             std::to_string(from) + " \"" + excerpt + "\"";
    };
    auto differ = [&](std::uint64_t from, std::uint64_t to, const std::string& swi,
                      const std::string& mine) {
      if (IsKnown(known, seen, path, from, swi, mine)) {
        ++explained;
        return;
      }
      ++confusions[{swi, mine}];
      differences.push_back(describe(from, to, "SWI " + swi + ", ours " + mine));
    };
    compared += expected.size();
    for (const Fragment& e : expected) {
      const PageSpan* s = spanAt(e.from);
      if (s != nullptr && std::count(s->meanings.begin(), s->meanings.end(), e.cls) > 0) {
        ++found;
        continue;
      }
      differ(e.from, e.to, e.cls,
             s == nullptr || s->meanings.empty() ? "(none)" : s->meanings.front());
    }
    for (const PageSpan& s : spans) {
      for (const std::string& cls : s.meanings) {
        if (cls == "head-meta") continue;
        ++ours;
        // The fragments starting inside the span (they are sorted by start).
        auto first =
            std::lower_bound(expected.begin(), expected.end(), s.from,
                             [](const Fragment& e, std::uint64_t o) { return e.from < o; });
        auto last = std::lower_bound(first, expected.end(), s.to,
                                     [](const Fragment& e, std::uint64_t o) { return e.from < o; });
        if (std::any_of(first, last, [&](const Fragment& e) { return e.cls == cls; })) {
          ++right;
          continue;
        }
        if (first == last) differ(s.from, s.to, "(none)", cls);
      }
    }
    std::remove(pagePath.c_str());
  }
  auto percent = [](std::size_t a, std::size_t b) { return b == 0 ? 100.0 : 100.0 * a / b; };
  std::printf("files %zu, reference fragments %zu, classes on the pages %zu\n", files, compared,
              ours);
  std::printf("recall %.4f%% (%zu of %zu), precision %.4f%% (%zu of %zu)\n",
              percent(found, compared), found, compared, percent(right, ours), right, ours);
  std::printf(
      "differences explained in the known list: %zu; unexplained: %zu; listed, not seen: "
      "%zu\n",
      explained, differences.size(), known.size() - seen.size());
  std::vector<std::pair<std::size_t, std::pair<std::string, std::string>>> ranked;
  for (const auto& [pair, count] : confusions)
    ranked.push_back({count, pair});
  std::sort(ranked.rbegin(), ranked.rend());
  for (std::size_t i = 0; i < ranked.size() && i < 15; ++i)
    std::printf("  %6zu  SWI %s, ours %s\n", ranked[i].first, ranked[i].second.first.c_str(),
                ranked[i].second.second.c_str());
  for (std::size_t i = 0; i < differences.size() && static_cast<int>(i) < show; ++i)
    std::printf("%s\n", differences[i].c_str());
  return differences.empty() ? 0 : 1;
}
