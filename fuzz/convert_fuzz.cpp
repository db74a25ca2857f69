// Fuzz target: converts arbitrary bytes as a source file, both passes, in
// memory, and checks what must hold for every input:
//   - the conversion succeeds (an empty source is refused, as it should be);
//   - the page is the same whether the source is read in large blocks or
//     a few bytes at a time;
//   - the page has one line per source line between its head and its tail;
//   - each page line is its source line with "<" escaped and font elements
//     added: nothing lost, doubled or moved;
//   - the type words learned and every page line are those of a slow,
//     literal model of the scanner (model.cpp).
// And for the Prolog page (--prolog):
//   - the conversion succeeds, and the page is the same however the source
//     is read;
//   - the text content of its code element is the source's text, line ends
//     as LF and forbidden controls as their stand-ins;
//   - the page grows no faster than the source;
//   - every link in the page leads to an anchor in it;
//   - the meaning's fragments lie inside the source, each within one
//     token, at most a few per token.
// A failed check aborts, so that the fuzzer keeps the input.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "convert/convert.hpp"
#include "meaning/colour.hpp"
#include "meaning/xref.hpp"
#include "model.hpp"
#include "prolog/lexer.hpp"
#include "prolog_page/page.hpp"
#include "runtime/text.hpp"
#include "scan/declarations.hpp"
#include "support/memory_file_system.hpp"
#include "support/text_content.hpp"
#include "support/word_table_probe.hpp"

namespace {

using pl2html::MemoryFileSystem;

[[noreturn]] void Fail(const char* what, std::size_t line) {
  std::fprintf(stderr, "pl2html_fuzz: %s (line %zu)\n", what, line);
  std::abort();
}

// The page of `source`, read from the in-memory file system `chunk` bytes
// at a time (0: as many as asked for); empty when the conversion failed.
std::string Convert(std::string_view source, std::size_t chunk, bool& ok,
                    const pl2html::PageKind& kind = {}) {
  MemoryFileSystem fs;
  fs.files["in.pl"] = std::string(source);
  fs.readChunk = chunk;
  pl2html::Outcome outcome =
      pl2html::ConvertSource(fs, "in.pl", pl2html::PageTarget{"in.pl.html"}, "in.pl", kind);
  ok = outcome.Ok();
  return ok ? fs.files["in.pl.html"] : std::string();
}

std::vector<std::string_view> PageLines(std::string_view page) {
  std::vector<std::string_view> lines;
  while (!page.empty()) {
    std::size_t end = page.find("\r\n");
    if (end == std::string_view::npos) Fail("page does not end with CR LF", lines.size());
    lines.push_back(page.substr(0, end));
    page.remove_prefix(end + 2);
  }
  return lines;
}

// The lines of a source, cut here independently of the program's reader:
// CR LF, CR, LF and a 0 byte each end a line; the last line needs no end.
std::vector<std::string_view> SourceLines(std::string_view source) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  std::size_t at = 0;
  while (at < source.size()) {
    char c = source[at];
    if (c != '\r' && c != '\n' && c != '\0') {
      ++at;
      continue;
    }
    lines.push_back(source.substr(start, at - start));
    at += c == '\r' && at + 1 < source.size() && source[at + 1] == '\n' ? 2 : 1;
    start = at;
  }
  if (start < source.size()) lines.push_back(source.substr(start));
  return lines;
}

// A page line without its markup: outside markup a page line has no "<",
// and the markup has no ">" but the one that ends it.
std::string WithoutMarkup(std::string_view line) {
  std::string text;
  for (std::size_t at = 0; at < line.size();) {
    if (line[at] != '<') {
      text += line[at++];
      continue;
    }
    std::size_t end = line.find('>', at);
    if (end == std::string_view::npos) Fail("markup not closed", 0);
    std::string_view tag = line.substr(at, end + 1 - at);
    bool opening = tag.size() > 15 && tag.substr(0, 13) == "<font class='" &&
                   tag.substr(tag.size() - 2) == "'>";
    if (!opening && tag != "</font>") Fail("unexpected markup", 0);
    at = end + 1;
  }
  return text;
}

void CheckPage(std::string_view source, std::string_view page) {
  std::vector<std::string_view> pageLines = PageLines(page);
  std::size_t body = 0;
  while (body < pageLines.size() && pageLines[body] != "<pre>")
    ++body;
  ++body;                                // the first line after "<pre>"
  constexpr std::size_t kTailLines = 3;  // </pre>, </body>, </html>
  std::vector<std::string_view> lines = SourceLines(source);
  if (body + lines.size() + kTailLines != pageLines.size()) {
    Fail("not one page line per source line", lines.size());
  }
  if (pageLines[body + lines.size()] != "</pre>") Fail("tail missing", 0);

  // The type words learned, in their order, as the model learns them.
  pl2html::model::Scanner model;
  pl2html::model::ScanDeclarations(model, lines);
  pl2html::Conversion conversion;
  pl2html::DeclarationScan scan(conversion);
  for (std::string_view line : lines)
    scan.ScanLine(line);
  scan.EndScan();
  if (pl2html::WordTableProbe::Words(conversion.typeWords) != model.typeWords) {
    Fail("type words differ from the model's", 0);
  }

  for (std::size_t n = 0; n < lines.size(); ++n) {
    std::string_view pageLine = pageLines[body + n];
    std::string escaped;
    pl2html::AppendEscapingLessThan(escaped, lines[n]);
    if (WithoutMarkup(pageLine) != escaped) Fail("page line lost or gained bytes", n + 1);
    if (pageLine != pl2html::model::ColourLine(model, lines[n])) {
      Fail("page line differs from the model's", n + 1);
    }
  }
}

// The values of every `attribute="..."` in the tags of `page` (text may
// hold the same letters: outside tags a page has no "<").
std::vector<std::string_view> Values(std::string_view page, std::string_view attribute) {
  std::vector<std::string_view> values;
  for (std::size_t open = 0; (open = page.find('<', open)) != std::string_view::npos;) {
    std::size_t close = page.find('>', open);
    std::string_view tag = page.substr(open, close - open);
    for (std::size_t at = 0; (at = tag.find(attribute, at)) != std::string_view::npos;) {
      at += attribute.size();
      values.push_back(tag.substr(at, tag.find('"', at) - at));
    }
    open = close;
  }
  return values;
}

// The class of each byte as the lexer reads it, with quoted text and
// comments handed out in parts of `partSize` bytes.
std::string ByteClasses(std::string_view source, std::size_t partSize) {
  std::vector<pl2html::prolog::Token> tokens;
  pl2html::prolog::Lexer(pl2html::prolog::Encoding::kUtf8, partSize).Lex(source, true, tokens);
  std::string classes(source.size(), '?');
  for (const pl2html::prolog::Token& token : tokens)
    for (std::size_t i = token.begin; i < token.end && i < classes.size(); ++i)
      classes[i] = static_cast<char>('a' + static_cast<int>(token.cls));
  return classes;
}

// The meaning of a source (read as UTF-8, as bytes of any kind may be):
// fragments inside the source, none across a token's end.
void CheckMeaning(std::string_view source) {
  std::vector<pl2html::prolog::Token> tokens;
  pl2html::prolog::Lexer(pl2html::prolog::Encoding::kUtf8).Lex(source, true, tokens);
  std::vector<std::size_t> tokenEnd(source.size() + 1, 0);
  for (const pl2html::prolog::Token& token : tokens)
    for (std::size_t i = token.begin; i < token.end && i < source.size(); ++i)
      tokenEnd[i] = token.end;
  pl2html::meaning::Xref xref(nullptr);
  xref.ReadSource(source, pl2html::prolog::Encoding::kUtf8);
  std::size_t fragments = 0;
  pl2html::meaning::Colour(source, pl2html::prolog::Encoding::kUtf8, xref,
                           [&](const pl2html::meaning::Fragment& f) {
                             ++fragments;
                             if (f.from >= f.to || f.to > source.size() || f.to > tokenEnd[f.from])
                               Fail("a meaning fragment outside its token", f.from);
                           });
  if (fragments > 4 * tokens.size()) Fail("more meaning fragments than tokens can hold", 0);
}

void CheckPrologPage(std::string_view source) {
  CheckMeaning(source);
  // A long token handed out in parts keeps its class, byte for byte.
  if (ByteClasses(source, 3) != ByteClasses(source, pl2html::prolog::Lexer::kPartSize)) {
    Fail("Prolog tokens in parts change a byte's class", 0);
  }
  pl2html::PageKind prolog;
  prolog.prolog = true;
  bool ok = false;
  std::string page = Convert(source, 0, ok, prolog);
  if (!ok) Fail("Prolog page failed", 0);
  std::string problem = pl2html::prolog_page::CheckCodeText(source, page);
  if (!problem.empty()) Fail(problem.c_str(), 0);
  // A few hundred bytes of markup per source byte at most, beside the
  // fixed head: more would mean work that grows faster than the source.
  if (page.size() > 20000 + 400 * source.size()) Fail("Prolog page out of proportion", 0);
  std::vector<std::string_view> ids = Values(page, " id=\"");
  std::sort(ids.begin(), ids.end());
  for (std::string_view link : Values(page, " href=\"#")) {
    if (!std::binary_search(ids.begin(), ids.end(), link)) Fail("a link leads nowhere", 0);
  }
  std::size_t chunk = 1 + source.size() % 5;
  if (Convert(source, chunk, ok, prolog) != page || !ok) {
    Fail("Prolog page depends on how the source is read", chunk);
  }
  // The second pass replays the first one's tokens, or lexes again when
  // they would take too much memory: the same page either way.
  pl2html::prolog_page::PageOptions options{.title = "fuzz.pl"};
  std::string replayed = pl2html::prolog_page::PrologPage(source, options);
  options.tokenLogLimit = 0;
  if (pl2html::prolog_page::PrologPage(source, options) != replayed) {
    Fail("Prolog page differs when its tokens are lexed again", 0);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view source(reinterpret_cast<const char*>(data), size);
  bool ok = false;
  std::string page = Convert(source, 0, ok);
  if (!ok) {
    if (!source.empty()) Fail("conversion failed", 0);
    return 0;
  }
  CheckPage(source, page);
  // Small reads put line ends, and CR LF pairs, across buffer refills.
  bool smallOk = false;
  std::size_t chunk = 1 + size % 7;
  if (Convert(source, chunk, smallOk) != page || !smallOk) {
    Fail("page depends on how the source is read", chunk);
  }
  CheckPrologPage(source);
  return 0;
}
