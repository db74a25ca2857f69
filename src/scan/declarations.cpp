#include "scan/declarations.hpp"

#include "runtime/text.hpp"

namespace pl2html {

void DeclarationScan::ScanLine(std::string_view line) {
  if (joining_) {
    JoinLine(line);
  } else {
    ExamineLine(line);
  }
}

// A declaration: a word, a space, a word, and "(" either inside the second
// space-separated field or starting the third. Fields are cut at every single
// space, so "a  b" has an empty second field, and an empty text is a word.
void DeclarationScan::ExamineLine(std::string_view line) {
  if (line.find(' ') == std::string_view::npos) return;
  Text w1 = FieldOf(line, 1, " ");
  Text w2 = FieldOf(line, 2, " ");
  Text w3 = LeftOf(FieldOf(line, 3, " "), 1);
  std::int32_t paren = FindText(w2, "(", 1);
  if (paren != 0) {
    w2 = LeftOf(w2, paren - 1);
    w3 = "(";
  }
  if (!IsWord(w1) || !IsWord(w2) || w3 != "(") return;
  AddTypeWord(conversion_, w1);
  std::string_view afterParen = line.substr(line.find('(') + 1);
  std::size_t close = afterParen.find(')');
  if (close != std::string_view::npos) {
    OfferParameters(afterParen.substr(0, close));
    return;
  }
  rest_.assign(afterParen);
  joining_ = true;
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
    Text parameter =
        parameters.substr(from, comma == std::string_view::npos ? comma : comma - from);
    Text type = FieldOf(TrimText(parameter), 1, " ");
    if (RightOf(type, 1) == "*") type = TrimText(LeftOf(type, TextLength(type) - 1));
    AddTypeWord(conversion_, type);
    if (comma == std::string_view::npos) break;
    from = comma + 1;
  }
}

}  // namespace pl2html
