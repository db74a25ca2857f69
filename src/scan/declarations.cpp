#include "scan/declarations.hpp"

#include "runtime/text.hpp"

namespace pl2html {

// A declaration: a word, a space, a word, and "(" either inside the second
// space-separated field or starting the third. Fields are cut at every single
// space, so "a  b" has an empty second field, and an empty text is a word.
//
// Only the start of a line needs looking at. The first field is a word only
// when the word bytes at the start of the line are followed by a space: any
// other byte would be part of the field. The second field, cut at its first
// "(", is a word only when its word bytes are followed by "(" (which then
// lies inside it) or by a space (and then the third field must start with
// "("): any other byte, or the end of the line, fails the line.
void DeclarationScan::ExamineLine(std::string_view line) {
  std::size_t end1 = WordBytesAtStart(line);
  if (end1 == line.size() || line[end1] != ' ') return;
  std::string_view w1 = line.substr(0, end1);
  std::string_view afterW1 = line.substr(end1 + 1);
  std::size_t end2 = WordBytesAtStart(afterW1);
  std::string_view w2 = afterW1.substr(0, end2);
  if (end2 == afterW1.size()) return;
  if (afterW1[end2] == ' ') {
    if (end2 + 1 == afterW1.size() || afterW1[end2 + 1] != '(') return;
  } else if (afterW1[end2] != '(') {
    return;
  }
  if (w1 == "is" || w2 == "is") return;
  Offer(w1);
  std::string_view afterParen = line.substr(line.find('(') + 1);
  std::size_t close = afterParen.find(')');
  if (close != std::string_view::npos) {
    OfferParameters(afterParen.substr(0, close));
  } else {
    rest_.assign(afterParen);
    joining_ = true;
  }
}

// Continuation lines are joined with nothing between them until one holds
// ")". Only the new line is searched: the text joined before has none.
void DeclarationScan::JoinLine(std::string_view line) {
  std::size_t close = line.find(')');
  if (close == std::string_view::npos) {
    rest_.append(line);
    return;
  }
  rest_.append(line.substr(0, close));
  joining_ = false;
  OfferParameters(rest_);
  rest_.clear();
}

void DeclarationScan::EndScan() {
  if (!joining_) return;
  // No ")" up to the end: the parameter text counts as empty.
  joining_ = false;
  rest_.clear();
  OfferParameters({});
}

// Offers the first space-separated word of every comma-separated parameter,
// spaces trimmed first and one trailing "*" removed: `char* s` offers "char".
// An empty parameter offers the empty word.
void DeclarationScan::OfferParameters(std::string_view parameters) {
  std::size_t from = 0;
  for (;;) {
    std::size_t comma = parameters.find(',', from);
    std::string_view parameter =
        parameters.substr(from, comma == std::string_view::npos ? comma : comma - from);
    std::string_view type = TrimSpaces(parameter);
    type = type.substr(0, type.find(' '));
    if (!type.empty() && type.back() == '*') type = TrimSpaces(type.substr(0, type.size() - 1));
    Offer(type);
    if (comma == std::string_view::npos) break;
    from = comma + 1;
  }
}

}  // namespace pl2html
