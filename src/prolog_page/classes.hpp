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

// The colours that the classes of meaning share, each a pair for light and
// dark screens. The style sheet names a pair once, after its first row.
namespace hue {
inline constexpr std::string_view kText = "#1f2328", kTextDark = "#e6edf3";
inline constexpr std::string_view kBlue = "#0969da", kBlueDark = "#58a6ff";
inline constexpr std::string_view kNavy = "#0550ae", kNavyDark = "#79c0ff";
inline constexpr std::string_view kMagenta = "#a0119e", kMagentaDark = "#f47de8";
inline constexpr std::string_view kTeal = "#0e7378", kTealDark = "#39c5cf";
inline constexpr std::string_view kRed = "#cf222e", kRedDark = "#ff7b72";
inline constexpr std::string_view kOrange = "#953800", kOrangeDark = "#ffa657";
inline constexpr std::string_view kGreen = "#116329", kGreenDark = "#7ee787";
inline constexpr std::string_view kGold = "#6f4400", kGoldDark = "#e3b341";
// The background of what SWI-Prolog warns of: a clause of a built-in, a
// goal that cannot be called.
inline constexpr std::string_view kWarning = "#ffd8b5", kWarningDark = "#5a1e02";
}  // namespace hue

// Rules of the classes of meaning besides their colours.
inline constexpr std::string_view kBold = "font-weight:bold";
inline constexpr std::string_view kUnderline = "text-decoration:underline";
inline constexpr std::string_view kWavy = "text-decoration:underline wavy";

// Dark enough on white and light enough on near-black for 4.5:1 each.
inline constexpr PageClass kPageClasses[] = {
    // By prolog::TokenClass.
    {"text", ClassRole::kText, hue::kText, hue::kTextDark},
    {"comment", ClassRole::kToken, "#57606a", "#9198a1", {}, {}, "font-style:italic"},
    {"var", ClassRole::kToken, hue::kOrange, hue::kOrangeDark},
    {"atom", ClassRole::kToken, hue::kText, hue::kTextDark},
    {"quoted", ClassRole::kToken, "#0a3069", "#a5d6ff"},
    {"string", ClassRole::kToken, hue::kGreen, hue::kGreenDark},
    {"codes", ClassRole::kToken, hue::kGold, hue::kGoldDark},
    {"number", ClassRole::kToken, hue::kNavy, hue::kNavyDark},
    {"punct", ClassRole::kToken, "#57606a", "#b1bac4"},
    {"end", ClassRole::kToken, hue::kRed, hue::kRedDark, {}, {}, kBold},
    {"qq", ClassRole::kToken, "#8250df", "#d2a8ff"},
    // The rest.
    {"head", ClassRole::kAlso, "#6639ba", "#d2a8ff", {}, {}, kBold},
    {"ctl", ClassRole::kStandIn, "#ffffff", "#0d1117", "#cf222e", "#ff7b72", "border-radius:2px"},
    {"lineno", ClassRole::kColour, "#636c76", "#8b949e"},
    {"target", ClassRole::kColour, "#1f2328", "#e6edf3", "#fff8c5", "#3b2e00"},
    // A structured comment ("%!", "/**"), which documentation tools read.
    {"doc", ClassRole::kAlso, {}, {}, {}, {}, "font-style:normal", prolog::TokenClass::kComment},

    // What SWI-Prolog's source view says a goal, a clause head or a variable
    // is (meaning::MeaningName), in colours after the source view's own:
    // calls of built-in and library predicates in blues, the file's own in
    // the text's colour, dynamic ones in magenta; what needs a look (an
    // undefined call, a singleton variable) red and wavy-underlined. A head
    // is bold ("head") in the colour of its meaning, or in its own purple.
    // Classes that look as their token does (a local call, a local head)
    // have a row and no rule.
    {"goal-built_in", ClassRole::kAlso, hue::kBlue, hue::kBlueDark},
    {"goal-imported", ClassRole::kAlso, hue::kBlue, hue::kBlueDark},
    {"goal-autoload", ClassRole::kAlso, hue::kNavy, hue::kNavyDark},
    {"goal-global", ClassRole::kAlso, hue::kNavy, hue::kNavyDark},
    {"goal-undefined", ClassRole::kAlso, hue::kRed, hue::kRedDark, {}, {}, kWavy},
    {"goal-dynamic", ClassRole::kAlso, hue::kMagenta, hue::kMagentaDark},
    {"goal-thread_local", ClassRole::kAlso, hue::kMagenta, hue::kMagentaDark, {}, {}, kUnderline},
    {"goal-multifile", ClassRole::kAlso, hue::kNavy, hue::kNavyDark},
    {"goal-expanded", ClassRole::kAlso, hue::kBlue, hue::kBlueDark, {}, {}, kUnderline},
    {"goal-extern", ClassRole::kAlso, hue::kBlue, hue::kBlueDark, {}, {}, kUnderline},
    {"goal-recursion", ClassRole::kAlso, {}, {}, {}, {}, kUnderline},
    // A variable called as a goal.
    {"goal-meta", ClassRole::kAlso, hue::kOrange, hue::kOrangeDark},
    {"goal-foreign", ClassRole::kAlso, hue::kTeal, hue::kTealDark},
    {"goal-local", ClassRole::kAlso, {}, {}},
    {"goal-constraint", ClassRole::kAlso, hue::kTeal, hue::kTealDark},
    {"goal-not_callable", ClassRole::kAlso, hue::kText, hue::kTextDark, hue::kWarning,
     hue::kWarningDark},
    {"head-exported", ClassRole::kAlso, hue::kBlue, hue::kBlueDark},
    {"head-public", ClassRole::kAlso, hue::kGreen, hue::kGreenDark},
    // A clause for another module (M:Head), which is no head of this file's.
    {"head-extern", ClassRole::kAlso, hue::kBlue, hue::kBlueDark, {}, {}, kBold},
    {"head-dynamic", ClassRole::kAlso, hue::kMagenta, hue::kMagentaDark},
    {"head-multifile", ClassRole::kAlso, hue::kNavy, hue::kNavyDark},
    {"head-unreferenced", ClassRole::kAlso, hue::kRed, hue::kRedDark},
    {"head-hook", ClassRole::kAlso, hue::kBlue, hue::kBlueDark, {}, {}, kUnderline},
    {"head-meta", ClassRole::kAlso, {}, {}},
    {"head-constraint", ClassRole::kAlso, hue::kTeal, hue::kTealDark},
    {"head-imported", ClassRole::kAlso, hue::kGold, hue::kGoldDark},
    {"head-built_in", ClassRole::kAlso, hue::kText, hue::kTextDark, hue::kWarning,
     hue::kWarningDark},
    {"head-iso", ClassRole::kAlso, hue::kText, hue::kTextDark, hue::kWarning, hue::kWarningDark},
    {"head-def_iso", ClassRole::kAlso, hue::kBlue, hue::kBlueDark},
    {"head-def_swi", ClassRole::kAlso, hue::kBlue, hue::kBlueDark},
    {"head-test", ClassRole::kAlso, hue::kTeal, hue::kTealDark},
    {"head-local", ClassRole::kAlso, {}, {}},
    {"head-thread_local", ClassRole::kAlso, hue::kMagenta, hue::kMagentaDark, {}, {}, kUnderline},
    {"head-foreign", ClassRole::kAlso, hue::kTeal, hue::kTealDark},
    {"head-undefined", ClassRole::kAlso, {}, {}},
    {"singleton", ClassRole::kAlso, hue::kRed, hue::kRedDark, {}, {}, kWavy},
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
