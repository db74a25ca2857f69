// The two text operations the program shares between its parts.
#pragma once

#include <string>
#include <string_view>

namespace pl2html {

// Removes spaces (byte 32 only) from both ends.
std::string_view TrimSpaces(std::string_view text);

// Appends `text` to `out` with every "<" written as "&lt;", the one escape
// the page needs.
void AppendEscaped(std::string& out, std::string_view text);

}  // namespace pl2html
