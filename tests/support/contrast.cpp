#include "support/contrast.hpp"

#include <cmath>
#include <string>

namespace pl2html {

namespace {

double Channel(int value) {
  double c = value / 255.0;
  return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double Luminance(std::string_view colour) {
  int rgb = std::stoi(std::string(colour.substr(1)), nullptr, 16);
  return 0.2126 * Channel((rgb >> 16) & 0xFF) + 0.7152 * Channel((rgb >> 8) & 0xFF) +
         0.0722 * Channel(rgb & 0xFF);
}

}  // namespace

double ContrastRatio(std::string_view colourA, std::string_view colourB) {
  double a = Luminance(colourA) + 0.05;
  double b = Luminance(colourB) + 0.05;
  return a > b ? a / b : b / a;
}

}  // namespace pl2html
