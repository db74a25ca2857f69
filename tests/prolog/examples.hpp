// The examples of tests/prolog/examples.txt: Prolog sources with the class
// of every byte written under them. Read by the examples test, and split
// into files by prolog_lex for the comparison with SWI-Prolog's reader.
//
// An example starts with a line "## N. Title", "[latin1]" in the title for
// a source read byte for byte. Then come pairs of lines: a source line, and
// under each of its characters the class letter of the token it is in (see
// ClassLetter). One more letter at the end classes the line end; missing
// letters at the end are layout (editors drop trailing blanks). The
// source's last line has no line end. Stand-ins: "→"
// is a tab, "␍" a carriage return, "«C9»" the byte 0xC9 (four letters).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace pl2html::prolog::testing {

struct Example {
  int number = 0;
  std::string title;
  bool latin1 = false;
  std::string source;    // the bytes
  std::string expected;  // a class letter per byte
  std::string error;     // what is wrong with the example itself
};

// One character of a source line as shown: its bytes, and how many letters
// stand under it.
struct Shown {
  std::string bytes;
  std::size_t width = 1;
};

inline std::vector<Shown> ShownChars(std::string_view line) {
  std::vector<Shown> chars;
  for (std::size_t i = 0; i < line.size();) {
    const unsigned char b = static_cast<unsigned char>(line[i]);
    const std::size_t len = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
    std::string_view ch = line.substr(i, len);
    if (ch == "\u2192") {
      chars.push_back({"\t", 1});
    } else if (ch == "\u240D") {
      chars.push_back({"\r", 1});
    } else if (ch == "\u00AB" && i + 6 <= line.size() && line.substr(i + 4, 2) == "\u00BB") {
      const std::string hex(line.substr(i + 2, 2));
      chars.push_back({std::string(1, static_cast<char>(std::stoi(hex, nullptr, 16))), 4});
      i += 6;
      continue;
    } else {
      chars.push_back({std::string(ch), 1});
    }
    i += len;
  }
  return chars;
}

// Adds a source line and its class line to the example.
inline void AddLine(Example& e, std::string_view line, std::string_view classLine, bool last) {
  std::string classes(classLine);
  std::size_t width = 0;
  for (const Shown& ch : ShownChars(line))
    width += ch.width;
  if (classes.size() < width) classes.resize(width, ' ');
  std::size_t at = 0;
  for (const Shown& ch : ShownChars(line)) {
    const char letter = classes[at];
    if (std::string_view(classes).substr(at, ch.width) != std::string(ch.width, letter))
      e.error = "a stand-in with different letters under it: " + std::string(line);
    e.source += ch.bytes;
    e.expected += std::string(ch.bytes.size(), letter);
    at += ch.width;
  }
  if (last) {
    if (at != classes.size()) e.error = "class line too long under the last line";
    return;
  }
  if (at + 1 < classes.size()) e.error = "class line too long under: " + std::string(line);
  e.source += '\n';
  e.expected += at < classes.size() ? classes[at] : ' ';
}

inline std::vector<Example> ParseExamples(std::string_view text) {
  std::vector<std::string_view> lines;
  for (std::size_t at = 0; at < text.size();) {
    std::size_t nl = text.find('\n', at);
    if (nl == std::string_view::npos) nl = text.size();
    lines.push_back(text.substr(at, nl - at));
    at = nl + 1;
  }
  std::vector<Example> examples;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].rfind("## ", 0) != 0) continue;
    Example e;
    e.title = std::string(lines[i].substr(3));
    e.number = std::atoi(e.title.c_str());
    e.latin1 = e.title.find("[latin1]") != std::string::npos;
    std::size_t end = i + 1;
    while (end < lines.size() && lines[end].rfind("## ", 0) != 0)
      ++end;
    std::size_t last = end;
    while (last > i + 1 && lines[last - 1].empty())
      --last;  // blank lines between examples
    if ((last - i - 1) % 2 != 0) e.error = "a source line without its class line";
    for (std::size_t k = i + 1; k + 1 < last; k += 2)
      AddLine(e, lines[k], lines[k + 1], k + 2 >= last);
    examples.push_back(std::move(e));
    i = end - 1;
  }
  return examples;
}

// Shows per-byte letters under the source's lines, as the examples do.
inline std::string ShowClasses(std::string_view source, std::string_view letters) {
  std::string shown;
  std::size_t at = 0;
  while (at <= source.size()) {
    std::size_t nl = source.find('\n', at);
    if (nl == std::string_view::npos) nl = source.size();
    std::string classes;
    std::size_t b = at;
    for (const Shown& ch : ShownChars(source.substr(at, nl - at))) {
      if (b < letters.size()) classes += std::string(ch.width, letters[b]);
      b += ch.bytes.size();
    }
    if (nl < source.size() && letters[nl] != ' ') classes += letters[nl];
    shown += std::string(source.substr(at, nl - at)) + "\n" + classes + "\n";
    at = nl + 1;
  }
  return shown;
}

}  // namespace pl2html::prolog::testing
