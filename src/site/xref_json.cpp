#include "site/xref_json.hpp"

#include <algorithm>
#include <numeric>

namespace pl2html::site {

namespace {

// The length of the valid UTF-8 character that starts at `at`; 0 when the
// bytes there are none (overlong forms and surrogates included).
std::size_t Utf8Length(std::string_view s, std::size_t at) {
  auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
  unsigned char c = byte(at);
  if (c < 0x80) return 1;
  std::size_t length = c >= 0xC2 && c < 0xE0   ? 2
                       : c >= 0xE0 && c < 0xF0 ? 3
                       : c >= 0xF0 && c < 0xF5 ? 4
                                               : 0;
  if (length == 0 || at + length > s.size()) return 0;
  // The second byte's range excludes overlong forms, surrogates and code
  // points beyond U+10FFFF.
  unsigned char low = 0x80, high = 0xBF;
  if (c == 0xE0) low = 0xA0;
  if (c == 0xED) high = 0x9F;
  if (c == 0xF0) low = 0x90;
  if (c == 0xF4) high = 0x8F;
  if (byte(at + 1) < low || byte(at + 1) > high) return 0;
  for (std::size_t i = 2; i < length; ++i) {
    if (byte(at + i) < 0x80 || byte(at + i) > 0xBF) return 0;
  }
  return length;
}

void AppendCodePointUtf8(std::string& out, unsigned c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

void AppendKey(std::string& out, std::string_view key) {
  out += '"';
  out += key;
  out += "\": ";
}

// A key "name/arity" as two fields.
void AppendPredicate(std::string& out, std::string_view key, bool latin1) {
  std::size_t slash = key.rfind('/');
  AppendKey(out, "name");
  AppendJsonString(out, key.substr(0, slash), latin1);
  out += ", ";
  AppendKey(out, "arity");
  out += key.substr(slash + 1);
}

void AppendCaller(std::string& out, const std::vector<SourceFile>& files,
                  const std::vector<FileFacts>& facts, const TreeCaller& caller) {
  out += '{';
  AppendKey(out, "file");
  AppendJsonString(out, files[caller.file].relative);
  out += ", ";
  if (caller.edge->directive) {
    AppendKey(out, "directive");
    out += "true";
  } else {
    if (!caller.edge->callerModule.empty()) {
      AppendKey(out, "module");
      AppendJsonString(out, caller.edge->callerModule, !facts[caller.file].utf8);
      out += ", ";
    }
    AppendPredicate(out, caller.edge->caller, !facts[caller.file].utf8);
  }
  out += ", ";
  AppendKey(out, "line");
  out += std::to_string(caller.edge->line);
  out += '}';
}

}  // namespace

void AppendJsonString(std::string& out, std::string_view bytes, bool latin1) {
  static constexpr char kHex[] = "0123456789abcdef";
  out += '"';
  for (std::size_t i = 0; i < bytes.size();) {
    auto c = static_cast<unsigned char>(bytes[i]);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c < 0x20 || c == 0x7F) {
      out += "\\u00";
      out += kHex[c >> 4];
      out += kHex[c & 0xF];
    } else if (c >= 0x80 && latin1) {
      AppendCodePointUtf8(out, c);
    } else if (c >= 0x80) {
      std::size_t length = Utf8Length(bytes, i);
      if (length == 0) {
        AppendCodePointUtf8(out, 0xFFFD);
        ++i;
      } else {
        out.append(bytes.substr(i, length));
        i += length;
      }
      continue;
    } else {
      out += static_cast<char>(c);
    }
    ++i;
  }
  out += '"';
}

std::string XrefJson(const std::vector<SourceFile>& files, const std::vector<FileFacts>& facts,
                     const Callers& callers) {
  std::vector<std::size_t> order(files.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::sort(order.begin(), order.end(),
            [&](std::size_t a, std::size_t b) { return files[a].relative < files[b].relative; });
  std::string out = "{\"generator\": \"pl2html " PL2HTML_VERSION "\", \"predicates\": [";
  bool first = true;
  for (std::size_t i : order) {
    const FileFacts& file = facts[i];
    std::vector<const Definition*> definitions;
    for (const Definition& definition : file.definitions)
      definitions.push_back(&definition);
    // What the module exports with no clause here (a foreign library's
    // predicate, or one its conditional compilation leaves out): "line" 0.
    for (const Definition& definition : file.bare)
      definitions.push_back(&definition);
    // Clauses for other modules (hooks): "module" is theirs, "qualified" true.
    for (const Definition& definition : file.otherModules)
      definitions.push_back(&definition);
    // By line, then name, arity and module (a name may hold "/": the arity is after the last one).
    auto split = [](const Definition* d) {
      std::size_t slash = d->key.rfind('/');
      return std::make_tuple(d->line, std::string_view(d->key).substr(0, slash),
                             std::stoi(d->key.substr(slash + 1)), std::string_view(d->module));
    };
    std::sort(definitions.begin(), definitions.end(),
              [&](const Definition* a, const Definition* b) { return split(a) < split(b); });
    for (const Definition* definition : definitions) {
      out += first ? "\n{" : ",\n{";
      first = false;
      AppendKey(out, "file");
      AppendJsonString(out, files[i].relative);
      if (!definition->module.empty()) {
        out += ", ";
        AppendKey(out, "module");
        AppendJsonString(out, definition->module, !file.utf8);
        out += ", ";
        AppendKey(out, "qualified");
        out += "true";
      } else if (file.isModule) {
        out += ", ";
        AppendKey(out, "module");
        AppendJsonString(out, file.module, !file.utf8);
      }
      out += ", ";
      AppendPredicate(out, definition->key, !file.utf8);
      out += ", ";
      AppendKey(out, "line");
      out += std::to_string(definition->line);
      out += ", ";
      AppendKey(out, "exported");
      out += definition->exported ? "true" : "false";
      out += ", ";
      AppendKey(out, "summary");
      AppendJsonString(out, definition->doc.summary);
      out += ", ";
      AppendKey(out, "modes");
      out += '[';
      for (std::size_t m = 0; m < definition->doc.modes.size(); ++m) {
        if (m != 0) out += ", ";
        AppendJsonString(out, definition->doc.modes[m]);
      }
      out += "], ";
      AppendKey(out, "callers");
      out += '[';
      bool firstCaller = true;
      for (const TreeCaller& caller : callers.Of(i, CalleeKey(*definition))) {
        if (!firstCaller) out += ", ";
        firstCaller = false;
        AppendCaller(out, files, facts, caller);
      }
      out += "]}";
    }
  }
  out += "\n]}\n";
  return out;
}

}  // namespace pl2html::site
