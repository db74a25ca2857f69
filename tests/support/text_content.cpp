#include "support/text_content.hpp"

#include <charconv>

#include "prolog/lexer.hpp"
#include "prolog_page/charset.hpp"
#include "runtime/text.hpp"

namespace pl2html::prolog_page {

namespace {

void AppendUtf8(std::string& out, unsigned code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

// Decodes the character reference at `at` ("&...;"), appends it and
// returns the length it took; a "&" that starts none is taken as itself.
std::size_t AppendReference(std::string& out, std::string_view text, std::size_t at) {
  std::size_t semicolon = text.find(';', at);
  if (semicolon == std::string_view::npos || semicolon - at > 12) {
    out += '&';
    return 1;
  }
  std::string_view name = text.substr(at + 1, semicolon - at - 1);
  std::size_t length = semicolon - at + 1;
  if (name == "amp") {
    out += '&';
  } else if (name == "lt") {
    out += '<';
  } else if (name == "gt") {
    out += '>';
  } else if (name == "quot") {
    out += '"';
  } else if (name.starts_with("#")) {
    bool hex = name.size() > 1 && (name[1] == 'x' || name[1] == 'X');
    std::string_view digits = name.substr(hex ? 2 : 1);
    unsigned code = 0;
    auto result =
        std::from_chars(digits.data(), digits.data() + digits.size(), code, hex ? 16 : 10);
    if (result.ptr != digits.data() + digits.size() || digits.empty()) return out += '&', 1;
    AppendUtf8(out, code);
  } else {
    out += '&';
    return 1;
  }
  return length;
}

// The stand-in of the forbidden control that starts `bytes`, as the page's
// reader sees it: a control picture for C0 controls and DEL, "\\xNN" for C1.
std::string StandInText(Charset charset, std::string_view bytes) {
  bool twoBytes = charset == Charset::kUtf8 && static_cast<unsigned char>(bytes[0]) == 0xC2;
  auto code = static_cast<unsigned char>(bytes[twoBytes ? 1 : 0]);
  std::string text;
  if (code >= 0x80) {
    AppendHexByte(text, code);
  } else {
    AppendUtf8(text, code == 0x7F ? 0x2421 : 0x2400 + code);
  }
  return text;
}

}  // namespace

std::string CodeText(std::string_view page) {
  std::size_t start = page.find("<code");
  if (start == std::string_view::npos) return {};
  start = page.find('>', start) + 1;
  std::size_t end = page.find("</code>", start);
  std::string_view code = page.substr(start, end - start);
  std::string text;
  text.reserve(code.size() / 4);
  for (std::size_t i = 0; i < code.size();) {
    if (code[i] == '<') {
      std::size_t close = code.find('>', i);
      i = close == std::string_view::npos ? code.size() : close + 1;
    } else if (code[i] == '&') {
      i += AppendReference(text, code, i);
    } else {
      text += code[i++];
    }
  }
  return text;
}

std::string ExpectedCodeText(std::string_view source) {
  Charset charset = IsValidUtf8(source) ? Charset::kUtf8 : Charset::kWindows1252;
  if (charset == Charset::kUtf8 && source.starts_with(prolog::kByteOrderMark)) {
    source.remove_prefix(prolog::kByteOrderMark.size());
  }
  std::string text;
  text.reserve(source.size());
  for (std::size_t i = 0; i < source.size(); ++i) {
    char c = source[i];
    if (c == '\r') {
      text += '\n';
      if (i + 1 < source.size() && source[i + 1] == '\n') ++i;
    } else if (std::size_t length = ForbiddenControl(charset, source.substr(i))) {
      text += StandInText(charset, source.substr(i));
      i += length - 1;
    } else {
      text += c;
    }
  }
  return text;
}

std::string PrologPage(std::string_view source, const PageOptions& options) {
  StringSource reader(source);
  StringSink sink;
  WritePrologPage(reader, sink, options);
  return std::move(sink.page);
}

std::string CheckCodeText(std::string_view source, std::string_view page) {
  std::string expected = ExpectedCodeText(source);
  std::string actual = CodeText(page);
  if (expected == actual) return {};
  std::size_t at = 0;
  while (at < expected.size() && at < actual.size() && expected[at] == actual[at])
    ++at;
  auto around = [at](const std::string& s) {
    std::string quoted = "\"";
    quoted.append(s, at < 20 ? 0 : at - 20, 40);
    quoted += '"';
    return quoted;
  };
  return "code text differs at byte " + std::to_string(at) + " of " +
         std::to_string(expected.size()) + ": expected " + around(expected) + ", page has " +
         around(actual) + " (" + std::to_string(actual.size()) + " bytes)";
}

}  // namespace pl2html::prolog_page
