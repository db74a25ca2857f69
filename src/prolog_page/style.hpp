// The look of the Prolog page: one colour per token class for light and
// dark screens, in one table so that a test can check every contrast.
#pragma once

#include <span>
#include <string_view>

namespace pl2html::prolog_page {

struct ClassColours {
  std::string_view name;                  // the CSS class, or "text" for plain code and layout
  std::string_view light;                 // "#rrggbb" on the light background
  std::string_view dark;                  // on the dark background
  std::string_view lightBackground = {};  // its own background, when it has one
  std::string_view darkBackground = {};
};

inline constexpr std::string_view kLightBackground = "#ffffff";
inline constexpr std::string_view kDarkBackground = "#0d1117";

std::span<const ClassColours> ColourTable();

// The style sheet, scoped to the code element's class so that a fragment
// pasted into another page styles only itself. `page` adds the rules for
// the page around the code (body, title, index).
void AppendStyleSheet(std::string& out, bool page);

// WCAG 2 contrast ratio of two "#rrggbb" colours, 1 to 21.
double ContrastRatio(std::string_view colourA, std::string_view colourB);

}  // namespace pl2html::prolog_page
