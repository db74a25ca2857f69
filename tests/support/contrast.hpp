// How readable a colour is on another: what the tests hold the Prolog
// page's colours to.
#pragma once

#include <string_view>

namespace pl2html {

// WCAG 2 contrast ratio of two "#rrggbb" colours, 1 to 21.
double ContrastRatio(std::string_view colourA, std::string_view colourB);

}  // namespace pl2html
