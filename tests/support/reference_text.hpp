// What the comparisons with SWI-Prolog share: reading a file whole, and a
// text with its runs of white space made one space (as pldoc compares
// summaries).
#pragma once

#include <fstream>
#include <sstream>
#include <string>
#include <string_view>

namespace pl2html::reference {

inline bool ReadFile(const std::string& path, std::string& bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream s;
  s << in.rdbuf();
  bytes = s.str();
  return true;
}

inline std::string Collapsed(std::string_view s) {
  std::string out;
  bool blank = false;
  for (char c : s) {
    if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v') {
      blank = true;
      continue;
    }
    if (blank && !out.empty()) out += ' ';
    blank = false;
    out += c;
  }
  return out;
}

}  // namespace pl2html::reference
