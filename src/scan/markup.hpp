// The classic page's markup in one place: the classes of coloured text, the
// opening tag of each, the closing tag they share and the style sheet that
// gives them their colours. It lives with the scanner, which writes the
// tags; the page writer above takes the style sheet from here.
#pragma once

#include <cstddef>
#include <string_view>

namespace pl2html {

enum class Markup : unsigned char {
  kKeyword,
  kDirective,
  kType,
  kText,
  kComment,
  kRoutine,
  kNumber,
};

struct MarkupClass {
  std::string_view open;    // the opening tag, which names the class
  std::string_view gap;     // between the class's selector and "{" in the style sheet
  std::string_view weight;  // the weight property, spelled as browsers have always had it
  std::string_view colour;
};

// In the order of Markup, which is the order of the style sheet. Browsers
// ignore the weight spellings they do not know; the colours are what matters.
inline constexpr MarkupClass kMarkupClasses[] = {
    {"<font class='keyWord'>", " ", "font-weight: bold;", "#0000FF"},
    {"<font class='diese'>", " ", "font-weight: none;", "#A06000"},
    {"<font class='type'>", " ", "font-weigt: normal;", "#A000FF"},
    {"<font class='texte'>", " ", "font-weigth: normal;", "#808080"},
    {"<font class='comment'>", "  ", "font-weigth: normal;", "#00A080"},
    {"<font class='fonction'>", "  ", "font-weigth: normal;", "#A06060"},
    {"<font class='nombre'>", "  ", "font-weigth: normal;", "#FF8000"},
};

inline constexpr std::string_view kClosing = "</font>";

constexpr std::string_view OpeningOf(Markup markup) {
  return kMarkupClasses[static_cast<std::size_t>(markup)].open;
}

// The class name inside an opening tag: "<font class='type'>" gives "type".
constexpr std::string_view ClassNameOf(const MarkupClass& markup) {
  constexpr std::size_t kBefore = std::string_view("<font class='").size();
  return markup.open.substr(kBefore, markup.open.size() - kBefore - 2);
}

}  // namespace pl2html
