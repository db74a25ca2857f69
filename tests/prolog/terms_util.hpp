// The clause a TermReader read, written the way tests/prolog/terms_reference.pl
// writes SWI-Prolog's: for the reference comparison and the reader's tests.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "prolog/terms.hpp"
#include "prolog/utf8.hpp"

namespace pl2html::prolog::testing {

// A name as the reference writes it: characters ! .. ~ but the backslash
// as they are, others as \<hex>;.
inline void AppendName(std::string& out, std::string_view name) {
  std::size_t len = 0;
  for (std::size_t i = 0; i < name.size(); i += len) {
    const char32_t cp = DecodeUtf8(name, i, len);
    if (cp > 0x20 && cp < 0x7F && cp != '\\') {
      out += static_cast<char>(cp);
    } else {
      char hex[16];
      std::snprintf(hex, sizeof hex, "\\%x;", static_cast<unsigned>(cp));
      out += hex;
    }
  }
}

// The clause's term as terms_reference.pl writes it, walked without recursion;
// `chars` maps byte offsets to what the positions are written as.
inline std::string Dump(const TermReader& reader, const std::vector<std::uint32_t>& chars) {
  std::string out;
  std::vector<int> walkNumber(reader.Variables().size(), -1);
  int variables = 0;
  char buffer[128];
  const auto at = [&](std::uint64_t from, std::uint64_t to) {
    std::snprintf(buffer, sizeof buffer, "@%u,%u", chars[from], chars[to]);
    out += buffer;
  };
  struct Item {
    const Term* term;
    bool key;  // a dict's key: its colon comes first
  };
  std::vector<Item> stack{{reader.Clause(), false}};
  while (!stack.empty()) {
    const Item item = stack.back();
    stack.pop_back();
    const Term& t = *item.term;
    if (item.key) {
      out += " k";
      at(t.functorFrom, t.functorTo);
    }
    if (t.parentheses) {
      out += " P" + std::to_string(t.parentheses);
      at(t.parenFrom, t.parenTo);
    }
    switch (t.kind) {
      case TermKind::kVar: {
        int& n = walkNumber[t.variable];
        if (n < 0) n = variables++;
        out += " v" + std::to_string(n);
        at(t.from, t.to);
        break;
      }
      case TermKind::kAtom:
        out += t.emptyList ? " N" : " a";
        at(t.from, t.to);
        if (!t.emptyList) {
          out += ':';
          AppendName(out, t.name);
        }
        break;
      case TermKind::kNumber:
        out += t.floatNumber ? " f" : " i";
        at(t.from, t.to);
        break;
      case TermKind::kString:
      case TermKind::kBackQuoted:
        out += t.kind == TermKind::kString ? " s" : " b";
        at(t.from, t.to);
        out += ':';
        AppendName(out, t.name);
        break;
      case TermKind::kCompound:
        out += " c" + std::to_string(t.arity);
        at(t.from, t.to);
        std::snprintf(buffer, sizeof buffer, "/%u,%u:", chars[t.functorFrom], chars[t.functorTo]);
        out += buffer;
        if (t.emptyList)
          out += "\\N;";
        else
          AppendName(out, t.name);
        break;
      case TermKind::kList:
        out += " l" + std::to_string(t.arity - (t.hasTail ? 1 : 0)) + (t.hasTail ? "|" : "");
        at(t.from, t.to);
        break;
      case TermKind::kCurly:
        out += " {";
        at(t.from, t.to);
        break;
      case TermKind::kDict:
        out += " d" + std::to_string((t.arity - 1) / 2);
        at(t.from, t.to);
        std::snprintf(buffer, sizeof buffer, "/%u,%u", chars[t.functorFrom], chars[t.functorTo]);
        out += buffer;
        break;
      case TermKind::kQuasiQuotation:
        out += " q";
        at(t.from, t.to);
        std::snprintf(buffer, sizeof buffer, "/%u,%u", chars[t.functorFrom], chars[t.functorTo]);
        out += buffer;
        break;
    }
    for (std::uint32_t i = t.arity; i-- > 0;) {
      const bool key = t.kind == TermKind::kDict && i % 2 == 1;
      stack.push_back({&reader.Child(t, i), key});
    }
  }
  return out;
}

}  // namespace pl2html::prolog::testing
