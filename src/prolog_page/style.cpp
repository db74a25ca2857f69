#include "prolog_page/style.hpp"

#include <string>

#include "prolog_page/classes.hpp"

namespace pl2html::prolog_page {

namespace {

// The colour variables of one scheme.
void AppendColours(std::string& out, bool dark) {
  out += "background:";
  out += dark ? kDarkBackground : kLightBackground;
  out += ';';
  for (const PageClass& c : kPageClasses) {
    if (c.light.empty()) continue;
    out += "--pl-";
    out += c.name;
    out += ':';
    out += dark ? c.dark : c.light;
    out += ';';
    std::string_view background = dark ? c.darkBackground : c.lightBackground;
    if (!background.empty()) {
      out += "--pl-";
      out += c.name;
      out += "-bg:";
      out += background;
      out += ';';
    }
  }
}

// The code element's rules before the classes' own.
constexpr std::string_view kCodeRules =
    ".pl2html{color:var(--pl-text);font-family:ui-monospace,SFMono-Regular,Menlo,Consolas,"
    "\"Liberation Mono\",monospace;font-size:0.875rem;line-height:1.45;tab-size:8;"
    "margin:0;padding:0.5em 0;overflow-x:auto;counter-reset:pl-line}\n"
    ".pl2html code{font:inherit}\n";

// Links, after the rules of the spans' classes.
constexpr std::string_view kLinkRules =
    ".pl2html a{color:inherit;text-decoration:underline dotted}\n"
    ".pl2html a:hover{text-decoration:underline solid}\n";

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

// A class's rule: its colour, its background and the rest of its rule.
void AppendRule(std::string& out, const PageClass& c) {
  out += ".pl2html .";
  out += c.name;
  out += '{';
  std::string_view separator;
  if (!c.light.empty()) {
    out.append("color:var(--pl-").append(c.name).append(")");
    separator = ";";
  }
  if (!c.lightBackground.empty()) {
    out.append(separator).append("background:var(--pl-").append(c.name).append("-bg)");
    separator = ";";
  }
  if (!c.rule.empty()) out.append(separator).append(c.rule);
  out += "}\n";
}

// The rules of the classes: each token's, followed by those of the classes
// that only its span takes; then the other classes a span takes, the
// links, and the stand-ins.
void AppendClassRules(std::string& out) {
  for (std::size_t t = 0; t < kTokenClasses; ++t) {
    if (kPageClasses[t].role != ClassRole::kToken) continue;
    AppendRule(out, kPageClasses[t]);
    for (const PageClass& c : kPageClasses) {
      if (c.role == ClassRole::kAlso && c.on && static_cast<std::size_t>(*c.on) == t)
        AppendRule(out, c);
    }
  }
  for (const PageClass& c : kPageClasses) {
    if (c.role == ClassRole::kAlso && !c.on) AppendRule(out, c);
  }
  out += kLinkRules;
  for (const PageClass& c : kPageClasses) {
    if (c.role == ClassRole::kStandIn) AppendRule(out, c);
  }
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
    "nav .line{color:var(--pl-lineno)}\n";

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
  out += "}\n@media (prefers-color-scheme:dark){";
  out += scope;
  out += '{';
  AppendColours(out, true);
  out += "}}\n";
  out += kCodeRules;
  AppendClassRules(out);
  out += kLineRules;
  if (page) out += kPageRules;
  // Paper: dark text on white whatever the screen's scheme, long lines
  // wrapped rather than cut.
  out += "@media print{";
  out += scope;
  out += '{';
  AppendColours(out, false);
  out += "}.pl2html{white-space:pre-wrap;overflow:visible}nav{display:none}}\n";
  out += "</style>\n";
}

}  // namespace pl2html::prolog_page
