// Byte-string operations with exact edge rules: 1-based positions, arguments
// out of range clamped, never an error. Texts are raw bytes of a single-byte
// code page; nothing here decodes or changes case. Substring operations
// return views into their argument, so the argument must outlive the result.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pl2html {

using Text = std::string_view;

std::int32_t TextLength(Text s);
bool TextEquals(Text a, Text b);

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

// Appends `s` to `out` with every "<" written as "&lt;", the one escape the
// page needs.
void AppendEscaped(std::string& out, Text s);

// The one-byte text of the low 8 bits of `code`; empty for a 0 byte.
std::string CharText(std::int32_t code);

std::int32_t CodeOf(Text s);
std::int32_t SignedCodeAt(Text s, std::int32_t position);

// An ordered list of texts with a cursor that is on one element or on none.
struct StringList {
  static constexpr std::size_t kNone = static_cast<std::size_t>(-1);
  std::vector<std::string> items;
  std::size_t cursor = kNone;

  // The current element's text; only valid while an element is current.
  std::string& Current() { return items[cursor]; }
};

void ListNew(StringList& list);
// Inserts an empty element after the current one (in front when none is
// current) and makes it current.
void ListAdd(StringList& list);
void ListRewind(StringList& list);
// Moves to the next element; false (cursor unchanged) when there is none.
bool ListNext(StringList& list);

}  // namespace pl2html
