// The Prolog page's classes in one table: the name each gives a span, its
// colours on light and dark screens and what more its rule in the style
// sheet holds. The code writer makes its tags from it, the style sheet its
// colour variables and rules, and the tests check every colour's contrast.
//
// The first rows are indexed by prolog::TokenClass: a token's span is
// <span class="NAME">, and layout is written bare in the code's own colour
// ("text"). After them come the classes that a token's span takes besides
// its own (a clause head: class="atom head"), the stand-in of a control
// character, and colours that only the page's other rules use.
//
// To add a class, add a row at the end: its name, its role, its colours
// ("#rrggbb", each at least 4.5:1 on its background, which the tests check;
// none for a class that only changes the font), what more its rule holds,
// and for a class a span takes besides its token's, the tooltip the span
// shows. The style sheet picks the row up by itself; the writer of the
// spans that take the class finds it with IndexOfClass. Rows of the same
// colours share one colour variable, and rows of the same look one rule.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "prolog/lexer.hpp"

namespace pl2html::prolog_page {

enum class ClassRole : std::uint8_t {
  kText,     // the code's own colour: layout, written bare
  kToken,    // a token's span: <span class="NAME">
  kAlso,     // a class a token's span takes besides its own: class="atom NAME"
  kStandIn,  // a span of its own among the code: the stand-in of a control
  kColour,   // colours only, for the rules of the page around the spans
};

struct PageClass {
  std::string_view name;
  ClassRole role;
  std::string_view light;  // "#rrggbb" on the light background; empty: none of its own
  std::string_view dark;   // on the dark background
  std::string_view lightBackground = {};  // its own background, when it has one
  std::string_view darkBackground = {};
  std::string_view rule = {};  // declarations of its rule besides the colours
  // For kAlso: the one token class whose span takes it, if only one; its
  // rule then follows that class's in the style sheet.
  std::optional<prolog::TokenClass> on = {};
  std::string_view tooltip = {};  // for kAlso: the title of a span that takes it
};

inline constexpr std::string_view kLightBackground = "#ffffff";
inline constexpr std::string_view kDarkBackground = "#0d1117";

// Dark enough on white and light enough on near-black for 4.5:1 each.
inline constexpr PageClass kPageClasses[] = {
    // By prolog::TokenClass.
    {"text", ClassRole::kText, "#1f2328", "#e6edf3"},
    {"comment", ClassRole::kToken, "#57606a", "#9198a1", {}, {}, "font-style:italic"},
    {"var", ClassRole::kToken, "#953800", "#ffa657"},
    {"atom", ClassRole::kToken, "#1f2328", "#e6edf3"},
    {"quoted", ClassRole::kToken, "#0a3069", "#a5d6ff"},
    {"string", ClassRole::kToken, "#116329", "#7ee787"},
    {"codes", ClassRole::kToken, "#6f4400", "#e3b341"},
    {"number", ClassRole::kToken, "#0550ae", "#79c0ff"},
    {"punct", ClassRole::kToken, "#57606a", "#b1bac4"},
    {"end", ClassRole::kToken, "#cf222e", "#ff7b72", {}, {}, "font-weight:bold"},
    {"qq", ClassRole::kToken, "#8250df", "#d2a8ff"},
    // The rest.
    {"head", ClassRole::kAlso, "#6639ba", "#d2a8ff", {}, {}, "font-weight:bold"},
    {"ctl", ClassRole::kStandIn, "#ffffff", "#0d1117", "#cf222e", "#ff7b72", "border-radius:2px"},
    {"lineno", ClassRole::kColour, "#636c76", "#8b949e"},
    {"target", ClassRole::kColour, "#1f2328", "#e6edf3", "#fff8c5", "#3b2e00"},
    // A structured comment ("%!", "/**"), which documentation tools read.
    {"doc", ClassRole::kAlso, {}, {}, {}, {}, "font-style:normal", prolog::TokenClass::kComment},
};

inline constexpr std::size_t kTokenClasses = static_cast<std::size_t>(prolog::TokenClass::kQq) + 1;

// The token rows come first, in the order of prolog::TokenClass.
static_assert([] {
  for (std::size_t i = 0; i < std::size(kPageClasses); ++i) {
    bool token =
        kPageClasses[i].role == ClassRole::kText || kPageClasses[i].role == ClassRole::kToken;
    if (token != (i < kTokenClasses)) return false;
  }
  return true;
}());

// The row of the class named `name`: found when the program is compiled.
consteval std::size_t IndexOfClass(std::string_view name) {
  std::size_t i = 0;
  while (kPageClasses[i].name != name)  // past the table: no such class, no program
    ++i;
  return i;
}

constexpr const PageClass& ClassOf(prolog::TokenClass cls) {
  return kPageClasses[static_cast<std::size_t>(cls)];
}

}  // namespace pl2html::prolog_page
