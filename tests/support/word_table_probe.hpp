// The tests' view of a word table: the words it holds, in the order they
// were added. The program itself only ever asks about one word at a time.
#pragma once

#include <string>
#include <vector>

#include "scan/words.hpp"

namespace pl2html {

struct WordTableProbe {
  static std::vector<std::string> Words(const WordTable& table) {
    std::vector<std::string> words;
    for (std::size_t at = 0; at < table.bytes_.Size(); at = table.EndOf(at))
      words.emplace_back(table.WordAt(at));
    return words;
  }
};

}  // namespace pl2html
