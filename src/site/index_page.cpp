#include "site/index_page.hpp"

#include <algorithm>
#include <numeric>

#include "prolog_page/charset.hpp"
#include "prolog_page/style.hpp"
#include "runtime/files.hpp"
#include "runtime/text.hpp"
#include "site/links.hpp"
#include "site/search.hpp"

namespace pl2html::site {

namespace {

constexpr std::string_view kIndexRules =
    "<style>\n"
    "main{padding:0 1rem 1rem}\n"
    "table{border-collapse:collapse;font-size:0.875rem;margin-bottom:1rem}\n"
    "th,td{padding:0.1rem 0.75rem 0.1rem 0;text-align:left}\n"
    "td.n{text-align:right;font-variant-numeric:tabular-nums}\n"
    "td.look{color:var(--pl-end)}\n"
    "main a{color:var(--pl-head)}\n"
    "ul.predicates{columns:22em;padding:0;list-style:none;"
    "font-family:ui-monospace,Menlo,Consolas,monospace;font-size:0.875rem}\n"
    "ul.predicates li{overflow-wrap:anywhere}\n"
    ".where,.called,.exported{color:var(--pl-lineno)}\n"
    ".summary{font-family:system-ui,-apple-system,\"Segoe UI\",sans-serif}\n"
    "</style>\n";

std::string_view NameOf(std::string_view relative) {
  std::size_t slash = relative.rfind('/');
  return slash == std::string_view::npos ? relative : relative.substr(slash + 1);
}

// Sizes as people read them: bytes, then kB and MB with one decimal.
std::string SizeText(std::int64_t size) {
  if (size < 1024) return std::to_string(size) + " B";
  bool mega = size >= 1024 * 1024;
  std::int64_t tenths = (size * 10 + (mega ? 512 * 1024 : 512)) / (mega ? 1024 * 1024 : 1024);
  return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) + (mega ? " MB" : " kB");
}

void AppendHead(std::string& out, std::string_view title) {
  std::string name;
  AppendName(name, title);
  const std::string rules = std::string(kIndexRules) + std::string(SearchRules());
  const std::string navigation = "<nav aria-label=\"Site\">" + SearchBox("index") + "</nav>";
  prolog_page::AppendDocumentHead(out, "utf-8", name, rules, navigation);
  out += "<main>\n";
}

// How much the site holds, and the way to the predicate list below the files.
void AppendSummary(std::string& out, const std::vector<SourceFile>& files,
                   const std::vector<FileFacts>& facts) {
  std::size_t predicates = 0;
  for (const FileFacts& file : facts)
    predicates += file.definitions.size();
  out += "<p>" + std::to_string(files.size()) + (files.size() == 1 ? " file, " : " files, ") +
         "<a href=\"#predicates\">" + std::to_string(predicates) +
         (predicates == 1 ? " predicate" : " predicates") + "</a></p>\n";
}

// A count that needs a look stands out; none is left empty.
std::string LookCell(std::size_t count) {
  return count == 0 ? "<td class=\"n\"></td>"
                    : "<td class=\"n look\">" + std::to_string(count) + "</td>";
}

void AppendFolders(std::string& out, const std::vector<SourceFile>& files,
                   const std::vector<FileFacts>& facts,
                   const std::vector<prolog_page::LookCounts>& look,
                   const std::vector<bool>& made) {
  std::vector<std::size_t> order(files.size());
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    return FolderOf(files[a].relative, '/') < FolderOf(files[b].relative, '/');
  });
  out += "<h2>Files</h2>\n";
  std::string_view folder;
  for (std::size_t k = 0; k < order.size(); ++k) {
    const SourceFile& file = files[order[k]];
    if (k == 0 || FolderOf(file.relative, '/') != folder) {
      if (k != 0) out += "</tbody></table>\n";
      folder = FolderOf(file.relative, '/');
      out += "<h3 id=\"" + FolderAnchor(folder) + "\">";
      AppendName(out, folder.empty() ? std::string_view(".") : folder);
      out +=
          "/</h3>\n<table><thead><tr><th scope=\"col\">File</th><th scope=\"col\">Size</th><th "
          "scope=\"col\">Predicates</th><th scope=\"col\">Undefined</th><th "
          "scope=\"col\">Singletons</th></tr></thead>"
          "<tbody>\n";
    }
    out += "<tr><td>";
    if (made[order[k]]) {
      out += "<a href=\"" + UrlPath(file.relative) + ".html\">";
      AppendName(out, NameOf(file.relative));
      out += "</a>";
    } else {
      AppendName(out, NameOf(file.relative));
    }
    out += "</td><td class=\"n\">" + SizeText(file.size) + "</td><td class=\"n\">" +
           std::to_string(facts[order[k]].definitions.size()) + "</td>" +
           LookCell(look[order[k]].undefined) + LookCell(look[order[k]].singletons) + "</tr>\n";
  }
  if (!order.empty()) out += "</tbody></table>\n";
}

void AppendPredicates(std::string& out, const std::vector<SourceFile>& files,
                      const std::vector<FileFacts>& facts, const Callers& callers) {
  struct Entry {
    const Definition* definition;
    std::size_t file;
  };
  std::vector<Entry> entries;
  for (std::size_t i = 0; i < facts.size(); ++i) {
    for (const Definition& definition : facts[i].definitions)
      entries.push_back({&definition, i});
  }
  std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
    return a.definition->key < b.definition->key;
  });
  out += "<h2 id=\"predicates\">Predicates</h2>\n<ul class=\"predicates\">\n";
  for (const Entry& entry : entries) {
    out += "<li><a href=\"" + UrlPath(files[entry.file].relative) + ".html#" +
           entry.definition->anchor + "\">";
    AppendName(out, entry.definition->key);
    out += "</a> <span class=\"where\">";
    AppendName(out, files[entry.file].relative);
    out += ':' + std::to_string(entry.definition->line) + "</span>";
    if (entry.definition->exported) out += " <span class=\"exported\">exported</span>";
    if (!entry.definition->doc.summary.empty()) {
      out += " <span class=\"summary\">";
      AppendName(out, entry.definition->doc.summary);
      out += "</span>";
    }
    const std::size_t called = callers.Of(entry.file, entry.definition->key).size();
    if (called != 0)
      out += " <span class=\"called\">" + std::to_string(called) +
             (called == 1 ? " caller" : " callers") + "</span>";
    out += "</li>\n";
  }
  out += "</ul>\n";
}

}  // namespace

std::string FolderAnchor(std::string_view folder) {
  return "dir-" + (folder.empty() ? std::string(".") : UrlPath(folder));
}

void AppendName(std::string& out, std::string_view bytes) {
  for (std::size_t i = 0; i < bytes.size();) {
    auto c = static_cast<unsigned char>(bytes[i]);
    std::size_t length = c < 0x80 ? 1 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : 2;
    bool control =
        c < 0x20 || c == 0x7F ||
        (c == 0xC2 && i + 1 < bytes.size() && static_cast<unsigned char>(bytes[i + 1]) < 0xA0);
    if (control || (c >= 0x80 && (i + length > bytes.size() ||
                                  !prolog_page::IsValidUtf8(bytes.substr(i, length))))) {
      AppendHexByte(out, c);
      ++i;
      continue;
    }
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        if (length == 1) {
          out += bytes[i];
        } else {
          // A character reference reads the same in any charset the page has.
          std::uint32_t code = c & (0x7F >> length);
          for (std::size_t k = 1; k < length; ++k)
            code = (code << 6) | (static_cast<unsigned char>(bytes[i + k]) & 0x3F);
          out += "&#x";
          std::string digits;
          for (; code != 0; code >>= 4)
            digits.insert(digits.begin(), kHexDigits[code & 0xF]);
          out += digits + ';';
        }
    }
    i += length;
  }
}

std::string PageNavigation(std::string_view relative) {
  std::string index = SiteHref(relative, "index.html");
  std::string_view folder = FolderOf(relative, '/');
  std::string nav = "<nav aria-label=\"Site\"><a href=\"" + index +
                    "\">Index</a> &middot; <a href=\"" + index + "#" + FolderAnchor(folder) + "\">";
  AppendName(nav, folder.empty() ? std::string_view(".") : folder);
  nav += "/</a> " + SearchBox(relative) + "</nav>";
  return nav;
}

std::string IndexPage(std::string_view title, const std::vector<SourceFile>& files,
                      const std::vector<FileFacts>& facts,
                      const std::vector<prolog_page::LookCounts>& look, const Callers& callers,
                      const std::vector<bool>& made) {
  std::string out;
  AppendHead(out, title);
  AppendSummary(out, files, facts);
  AppendFolders(out, files, facts, look, made);
  AppendPredicates(out, files, facts, callers);
  out += "</main>\n</body>\n</html>\n";
  return out;
}

}  // namespace pl2html::site
