#include "model_text.hpp"

#include <algorithm>

namespace pl2html::model {

namespace {
std::int32_t Length(Text s) {
  return static_cast<std::int32_t>(s.size());
}
}  // namespace

std::int32_t TextLength(Text s) {
  return Length(s);
}

std::int32_t FindText(Text s, Text needle, std::int32_t start) {
  if (start <= 0) start = 1;
  if (start > Length(s) + 1) return 0;
  // Every candidate position is tried in turn, so overlapping occurrences
  // are found; std::string_view::find has exactly that meaning.
  std::size_t found = s.find(needle, static_cast<std::size_t>(start - 1));
  return found == Text::npos ? 0 : static_cast<std::int32_t>(found) + 1;
}

std::int32_t CountText(Text s, Text needle) {
  if (s.empty() || needle.empty()) return 0;
  std::int32_t count = 0;
  for (std::size_t at = s.find(needle); at != Text::npos; at = s.find(needle, at + needle.size())) {
    ++count;
  }
  return count;
}

Text FieldOf(Text s, std::int32_t index, Text separator) {
  if (s.empty()) return {};
  if (separator.empty()) return s;
  const char cut = separator.front();
  if (index < 1) index = 1;
  std::size_t begin = 0;
  for (std::int32_t field = 1; field < index; ++field) {
    std::size_t next = s.find(cut, begin);
    if (next == Text::npos) return {};
    begin = next + 1;
  }
  std::size_t end = s.find(cut, begin);
  return s.substr(begin, end == Text::npos ? Text::npos : end - begin);
}

Text LeftOf(Text s, std::int32_t n) {
  if (n <= 0) return {};
  return s.substr(0, std::min<std::size_t>(static_cast<std::size_t>(n), s.size()));
}

Text RightOf(Text s, std::int32_t n) {
  if (n <= 0) return {};
  std::size_t keep = std::min<std::size_t>(static_cast<std::size_t>(n), s.size());
  return s.substr(s.size() - keep);
}

Text MidOf(Text s, std::int32_t start, std::int32_t length) {
  if (start <= 1) start = 1;
  if (start > Length(s) || length <= 0) return {};
  return s.substr(static_cast<std::size_t>(start - 1), static_cast<std::size_t>(length));
}

Text TrimText(Text s) {
  std::size_t first = s.find_first_not_of(' ');
  if (first == Text::npos) return {};
  std::size_t last = s.find_last_not_of(' ');
  return s.substr(first, last - first + 1);
}

std::string ReplaceText(Text s, Text find, Text replacement) {
  std::string result;
  if (s.empty()) return result;
  if (find.empty()) return std::string(s);
  result.reserve(s.size());
  std::size_t from = 0;
  for (std::size_t at = s.find(find); at != Text::npos; at = s.find(find, from)) {
    result.append(s.substr(from, at - from));
    result.append(replacement);
    from = at + find.size();
  }
  result.append(s.substr(from));
  return result;
}

}  // namespace pl2html::model
