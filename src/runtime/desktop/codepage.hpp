// The program's own texts are Windows-1252 bytes; terminals and GTK want
// UTF-8. The conversion is a table so that every byte maps to something: the
// five bytes Windows-1252 leaves unassigned become the C1 controls of the
// same value, as web browsers do, instead of failing the whole text.
#pragma once

#include <string>
#include <string_view>

namespace pl2html {

std::string Cp1252ToUtf8(std::string_view text);

}  // namespace pl2html
