#include "prolog_page/style.hpp"

#include <cmath>
#include <string>

namespace pl2html::prolog_page {

namespace {

// Dark enough on white and light enough on near-black for 4.5:1 each; the
// test computes the ratios.
constexpr ClassColours kColours[] = {
    {"text", "#1f2328", "#e6edf3"},
    {"comment", "#57606a", "#8b949e"},
    {"var", "#953800", "#ffa657"},
    {"atom", "#1f2328", "#e6edf3"},
    {"quoted", "#0a3069", "#a5d6ff"},
    {"string", "#116329", "#7ee787"},
    {"codes", "#6f4400", "#e3b341"},
    {"number", "#0550ae", "#79c0ff"},
    {"punct", "#57606a", "#b1bac4"},
    {"end", "#cf222e", "#ff7b72"},
    {"qq", "#8250df", "#d2a8ff"},
    {"head", "#6639ba", "#d2a8ff"},
    {"ctl", "#ffffff", "#0d1117", "#cf222e", "#ff7b72"},
    {"lineno", "#636c76", "#8b949e"},
    {"target", "#1f2328", "#e6edf3", "#fff8c5", "#3b2e00"},
};

double Channel(int value) {
  double c = value / 255.0;
  return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double Luminance(std::string_view colour) {
  int rgb = std::stoi(std::string(colour.substr(1)), nullptr, 16);
  return 0.2126 * Channel((rgb >> 16) & 0xFF) + 0.7152 * Channel((rgb >> 8) & 0xFF) +
         0.0722 * Channel(rgb & 0xFF);
}

// The colour variables of one scheme.
void AppendColours(std::string& out, bool dark) {
  out += "background:";
  out += dark ? kDarkBackground : kLightBackground;
  out += ';';
  for (const ClassColours& c : kColours) {
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

constexpr std::string_view kCodeRules =
    ".pl2html{color:var(--pl-text);font-family:ui-monospace,SFMono-Regular,Menlo,Consolas,"
    "\"Liberation Mono\",monospace;font-size:0.875rem;line-height:1.45;tab-size:8;"
    "margin:0;padding:0.5em 0;overflow-x:auto;counter-reset:pl-line}\n"
    ".pl2html code{font:inherit}\n"
    ".pl2html .comment{color:var(--pl-comment);font-style:italic}\n"
    ".pl2html .doc{font-style:normal}\n"
    ".pl2html .var{color:var(--pl-var)}\n"
    ".pl2html .atom{color:var(--pl-atom)}\n"
    ".pl2html .quoted{color:var(--pl-quoted)}\n"
    ".pl2html .string{color:var(--pl-string)}\n"
    ".pl2html .codes{color:var(--pl-codes)}\n"
    ".pl2html .number{color:var(--pl-number)}\n"
    ".pl2html .punct{color:var(--pl-punct)}\n"
    ".pl2html .end{color:var(--pl-end);font-weight:bold}\n"
    ".pl2html .qq{color:var(--pl-qq)}\n"
    ".pl2html .head{color:var(--pl-head);font-weight:bold}\n"
    ".pl2html a{color:inherit;text-decoration:underline dotted}\n"
    ".pl2html a:hover{text-decoration:underline solid}\n"
    ".pl2html .ctl{color:var(--pl-ctl);background:var(--pl-ctl-bg);border-radius:2px}\n"
    // Each line is a span whose number CSS draws, so that copying the code
    // never copies a number.
    ".pl2html>code>span{counter-increment:pl-line;padding-right:1em}\n"
    ".pl2html>code>span::before{content:counter(pl-line);display:inline-block;"
    "width:4.5em;margin-right:1em;padding-right:0.5em;text-align:right;"
    "color:var(--pl-lineno);border-right:1px solid var(--pl-lineno);"
    "-webkit-user-select:none;user-select:none}\n"
    ".pl2html>code>span:target{background:var(--pl-target-bg)}\n"
    ".pl2html>code>span:target::before{color:var(--pl-target);font-weight:bold}\n"
    ".pl2html .head:target{background:var(--pl-target-bg);color:var(--pl-target)}\n";

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

std::span<const ClassColours> ColourTable() {
  return kColours;
}

double ContrastRatio(std::string_view colourA, std::string_view colourB) {
  double a = Luminance(colourA) + 0.05;
  double b = Luminance(colourB) + 0.05;
  return a > b ? a / b : b / a;
}

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
