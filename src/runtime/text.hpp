// The text operations the program shares between its parts.
#pragma once

#include <string>
#include <string_view>

namespace pl2html {

// Removes spaces (byte 32 only) from both ends.
std::string_view TrimSpaces(std::string_view text);

// Appends `text` to `out` with every "<" written as "&lt;", the one escape
// the page needs.
void AppendEscapingLessThan(std::string& out, std::string_view text);

// Hexadecimal digits, capitals.
inline constexpr char kHexDigits[] = "0123456789ABCDEF";

// Appends a byte shown as text: "\\x" and two capital hexadecimal digits,
// as a name's bytes that are no character are shown.
void AppendHexByte(std::string& out, unsigned char byte);

}  // namespace pl2html
