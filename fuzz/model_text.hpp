// The text operations the model is written in: byte strings with exact
// edge rules, 1-based positions, arguments out of range clamped, never an
// error. Substring operations return views into their argument, so the
// argument must outlive the result.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace pl2html::model {

using Text = std::string_view;

std::int32_t TextLength(Text s);
// Position (1-based) of the first `needle` starting at or after `start`; 0 if none.
std::int32_t FindText(Text s, Text needle, std::int32_t start);

// Non-overlapping occurrences of `needle`, scanning left to right.
std::int32_t CountText(Text s, Text needle);

// The index-th (from 1) field of `s` cut at the first byte of `separator`.
Text FieldOf(Text s, std::int32_t index, Text separator);

Text LeftOf(Text s, std::int32_t n);
Text RightOf(Text s, std::int32_t n);
Text MidOf(Text s, std::int32_t start, std::int32_t length);

// Removes spaces (byte 32 only) from both ends.
Text TrimText(Text s);

std::string ReplaceText(Text s, Text find, Text replacement);

}  // namespace pl2html::model
