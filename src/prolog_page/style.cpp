#include "prolog_page/style.hpp"

#include <array>
#include <string>

#include "prolog_page/classes.hpp"

namespace pl2html::prolog_page {

namespace {

constexpr std::size_t kRows = std::size(kPageClasses);

// The row after which the colour variable of each row's colours is named:
// the first row of the same pair (`background`: of the same backgrounds).
// A row of role kColour keeps its own, which the page's rules name.
constexpr std::array<std::size_t, kRows> Owners(bool background) {
  std::array<std::size_t, kRows> owners{};
  for (std::size_t i = 0; i < kRows; ++i) {
    const PageClass& c = kPageClasses[i];
    owners[i] = i;
    if (c.role == ClassRole::kColour) continue;
    for (std::size_t j = 0; j < i; ++j) {
      const PageClass& d = kPageClasses[j];
      if (background
              ? d.lightBackground == c.lightBackground && d.darkBackground == c.darkBackground
              : d.light == c.light && d.dark == c.dark) {
        owners[i] = j;
        break;
      }
    }
  }
  return owners;
}
constexpr std::array<std::size_t, kRows> kColourOwner = Owners(false);
constexpr std::array<std::size_t, kRows> kBackgroundOwner = Owners(true);

// The colour variables of one scheme.
void AppendColours(std::string& out, bool dark) {
  out += "background:";
  out += dark ? kDarkBackground : kLightBackground;
  out += ";--pl-page:";
  out += dark ? kDarkBackground : kLightBackground;
  out += ';';
  for (std::size_t i = 0; i < kRows; ++i) {
    const PageClass& c = kPageClasses[i];
    if (!c.light.empty() && kColourOwner[i] == i)
      out.append("--pl-").append(c.name).append(":").append(dark ? c.dark : c.light).append(";");
    std::string_view background = dark ? c.darkBackground : c.lightBackground;
    if (!background.empty() && kBackgroundOwner[i] == i)
      out.append("--pl-").append(c.name).append("-bg:").append(background).append(";");
  }
}

// The code element's rules before the classes' own.
constexpr std::string_view kCodeRules =
    ".pl2html{color:var(--pl-text);font-family:ui-monospace,SFMono-Regular,Menlo,Consolas,"
    "\"Liberation Mono\",monospace;font-size:0.875rem;line-height:1.45;tab-size:8;"
    "margin:0;padding:0.5em 0;overflow-x:auto;counter-reset:pl-line}\n"
    ".pl2html code{font:inherit}\n";

// Links, after the rules of the spans' classes: nearly every name links,
// to its definition or to the manual, so an underline shows under the
// pointer only and the classes' own underlines keep their meaning.
constexpr std::string_view kLinkRules =
    ".pl2html a{color:inherit;text-decoration:none}\n"
    ".pl2html a:hover{text-decoration:underline}\n";

// Each line is a span whose number CSS draws, so that copying the code
// never copies a number.
constexpr std::string_view kLineRules =
    ".pl2html>code>span{counter-increment:pl-line;padding-right:1em}\n"
    ".pl2html>code>span::before{content:counter(pl-line);display:inline-block;"
    "width:4.5em;margin-right:1em;padding-right:0.5em;text-align:right;"
    "color:var(--pl-lineno);border-right:1px solid var(--pl-lineno);"
    "-webkit-user-select:none;user-select:none}\n"
    ".pl2html>code>span:target{background:var(--pl-target-bg)}\n"
    ".pl2html>code>span:target::before{color:var(--pl-target);font-weight:bold}\n"
    ".pl2html .head:target{background:var(--pl-target-bg);color:var(--pl-target)}\n";

// A row's declarations: its colour, its background and the rest of its
// rule; empty for a class that looks as its token does.
std::string Declarations(std::size_t i) {
  const PageClass& c = kPageClasses[i];
  std::string out;
  if (!c.light.empty())
    out.append("color:var(--pl-").append(kPageClasses[kColourOwner[i]].name).append(")");
  if (!c.lightBackground.empty()) {
    if (!out.empty()) out += ';';
    out.append("background:var(--pl-")
        .append(kPageClasses[kBackgroundOwner[i]].name)
        .append("-bg)");
  }
  if (!c.rule.empty()) {
    if (!out.empty()) out += ';';
    out += c.rule;
  }
  return out;
}

// The rules of the rows that `pick` chooses, in the table's order; rows of
// the same declarations share one rule, where the first of them is
// (".pl2html :is(.a,.b)", as specific as ".pl2html .a").
template <class Pick>
void AppendRules(std::string& out, Pick pick) {
  std::array<bool, kRows> done{};
  for (std::size_t i = 0; i < kRows; ++i) {
    if (done[i] || !pick(i)) continue;
    const std::string declarations = Declarations(i);
    if (declarations.empty()) continue;
    std::string selectors;
    int count = 0;
    for (std::size_t j = i; j < kRows; ++j) {
      if (done[j] || !pick(j) || Declarations(j) != declarations) continue;
      done[j] = true;
      if (count++ != 0) selectors += ',';
      selectors.append(".").append(kPageClasses[j].name);
    }
    out += ".pl2html ";
    if (count == 1) {
      out += selectors;
    } else {
      out.append(":is(").append(selectors).append(")");
    }
    out.append("{").append(declarations).append("}\n");
  }
}

// The rules of the classes: each token's, followed by those of the classes
// that only its span takes; then the other classes a span takes, the
// links, and the stand-ins.
void AppendClassRules(std::string& out) {
  for (std::size_t t = 0; t < kTokenClasses; ++t) {
    if (kPageClasses[t].role != ClassRole::kToken) continue;
    AppendRules(out, [t](std::size_t i) {
      const PageClass& c = kPageClasses[i];
      return i == t || (c.role == ClassRole::kAlso && c.on && static_cast<std::size_t>(*c.on) == t);
    });
  }
  AppendRules(out, [](std::size_t i) {
    return kPageClasses[i].role == ClassRole::kAlso && !kPageClasses[i].on;
  });
  out += kLinkRules;
  AppendRules(out, [](std::size_t i) { return kPageClasses[i].role == ClassRole::kStandIn; });
}

constexpr std::string_view kPageRules =
    "body{margin:0;color:var(--pl-text);font-family:system-ui,-apple-system,\"Segoe "
    "UI\",sans-serif}\n"
    "body>header,body>nav{padding:0 1rem}\n"
    "h1{font-size:1.25rem;margin:0.75rem 0}\n"
    "nav summary{cursor:pointer}\n"
    "nav ul{columns:16em;margin:0.5em 0;padding:0;list-style:none;"
    "font-family:ui-monospace,Menlo,Consolas,monospace;font-size:0.875rem}\n"
    "nav a{color:var(--pl-head)}\n"
    "nav .line,nav .summary{color:var(--pl-lineno)}\n"
    "nav .summary{font-family:system-ui,-apple-system,\"Segoe UI\",sans-serif}\n"
    // The line above the code that lists what needs a look.
    ".look{margin:0.5em 1rem;font-size:0.875rem;color:var(--pl-lineno)}\n"
    ".look a{color:var(--pl-end)}\n"
    // A predicate's "Called by" card, shown when its first head is followed.
    ".callers .card{display:none}\n"
    ".callers .card:target{display:block;position:fixed;top:3rem;right:1rem;z-index:1;"
    "max-width:min(34rem,90vw);max-height:70vh;overflow:auto;padding:0.25rem 1rem;"
    "background:var(--pl-page);border:1px solid var(--pl-lineno);border-radius:6px;"
    "box-shadow:0 4px 16px #0004;font-size:0.875rem}\n"
    ".card ul{margin:0.25em 0 0.5em;padding-left:1.25em;"
    "font-family:ui-monospace,Menlo,Consolas,monospace}\n"
    ".card summary{cursor:pointer}\n"
    ".card a{color:var(--pl-head)}\n"
    ".card .line,.card .n{color:var(--pl-lineno)}\n";

}  // namespace

void AppendDocumentHead(std::string& out, std::string_view charset, std::string_view title,
                        std::string_view rules, std::string_view navigation) {
  out += "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"";
  out += charset;
  out +=
      "\">\n<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
      "<meta name=\"color-scheme\" content=\"light dark\">\n"
      "<meta name=\"generator\" content=\"pl2html " PL2HTML_VERSION "\">\n<title>";
  out += title;
  out += "</title>\n";
  AppendStyleSheet(out, true);
  out += rules;
  out += "</head>\n<body>\n<header><h1>";
  out += title;
  out += "</h1>";
  out += navigation;
  out += "</header>\n";
}

void AppendStyleSheet(std::string& out, bool page) {
  std::string_view scope = page ? ":root" : ".pl2html";
  out += "<style>\n";
  out += scope;
  out += '{';
  AppendColours(out, false);
  // Paper takes the light colours whatever the screen's scheme.
  out += "}\n@media screen and (prefers-color-scheme:dark){";
  out += scope;
  out += '{';
  AppendColours(out, true);
  out += "}}\n";
  out += kCodeRules;
  AppendClassRules(out);
  out += kLineRules;
  if (page) out += kPageRules;
  // On paper, long lines wrapped rather than cut, and the page's index and
  // notes left out (not those of a page that a fragment is pasted into).
  out += "@media print{.pl2html{white-space:pre-wrap;overflow:visible}";
  if (page) out += "nav,.look,.callers{display:none}";
  out += "}\n</style>\n";
}

}  // namespace pl2html::prolog_page
