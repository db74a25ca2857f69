#include "prolog_page/page.hpp"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <memory>
#include <vector>

#include "prolog/lexer.hpp"
#include "prolog/source_reader.hpp"
#include "prolog/token_log.hpp"
#include "prolog_page/code_writer.hpp"
#include "prolog_page/style.hpp"
#include "prolog_page/survey.hpp"

namespace pl2html::prolog_page {

namespace {

// The page is drained when it holds about as much as a block of source.
constexpr std::size_t kBlock = prolog::kSourceBlock;

// Text outside the code (title, index): markup characters escaped, and
// controls, line ends included, shown by their stand-ins.
void AppendEscapingMarkupAndControls(std::string& out, std::string_view text, Charset charset) {
  auto plain = [](char c) {
    return c >= ' ' && c < '\x7F' && c != '&' && c != '<' && c != '>' && c != '"';
  };
  for (std::size_t i = 0; i < text.size(); ++i) {
    std::size_t run = i;  // printable ASCII without markup, copied as it is
    while (run < text.size() && plain(text[run]))
      ++run;
    out.append(text.substr(i, run - i));
    if (run == text.size()) break;
    i = run;
    char c = text[i];
    if (c == '&') {
      out += "&amp;";
    } else if (c == '<') {
      out += "&lt;";
    } else if (c == '>') {
      out += "&gt;";
    } else if (c == '"') {
      out += "&quot;";
    } else if (std::size_t length = c == '\t' ? 0 : ForbiddenControl(charset, text.substr(i))) {
      AppendStandIn(out, charset, text.substr(i));
      i += length - 1;
    } else if (c == '\n' || c == '\r') {
      AppendStandIn(out, charset, std::string_view("\x0A", 1));
    } else {
      out += c;
    }
  }
}

// The survey, and the tokens it read in `log`.
Survey SurveySource(Source& source, prolog::TokenLog& log) {
  Survey survey(prolog::Encoding::kUtf8);
  prolog::ReadSource(
      source,
      [&](prolog::Encoding encoding) {
        log.Clear();
        survey = Survey(encoding);
      },
      [&](std::string_view text, std::span<const prolog::Token> tokens) {
        log.Record(tokens);
        return survey.Read(text, tokens);
      },
      [&] { return survey.Finish(); });
  return survey;
}

void AppendHead(std::string& out, const Survey& survey, const PageOptions& options) {
  std::string title;
  AppendEscapingMarkupAndControls(title, options.title, survey.PageCharset());
  AppendDocumentHead(out, survey.Utf8() ? "utf-8" : "windows-1252", title, {}, options.navigation);
}

// A predicate of the index with the first eight bytes of its name as a
// big-endian number, zeros past the name's end: two names whose prefixes
// differ sort as their prefixes do, so most comparisons read no name.
struct IndexEntry {
  std::uint64_t prefix = 0;
  const Predicate* predicate = nullptr;
};

IndexEntry IndexEntryOf(const Predicate& predicate) {
  IndexEntry entry{0, &predicate};
  for (std::size_t i = 0; i < sizeof entry.prefix; ++i) {
    unsigned char c = i < predicate.name.size() ? static_cast<unsigned char>(predicate.name[i]) : 0;
    entry.prefix = entry.prefix << 8 | c;
  }
  return entry;
}

// By name in byte order, then by arity.
bool IndexOrder(const IndexEntry& a, const IndexEntry& b) {
  if (a.prefix != b.prefix) return a.prefix < b.prefix;
  const Predicate& p = *a.predicate;
  const Predicate& q = *b.predicate;
  return p.name != q.name ? p.name < q.name : p.arity < q.arity;
}

template <typename Number>
void AppendDecimal(std::string& out, Number n) {
  char digits[24];
  out.append(digits, std::to_chars(digits, digits + sizeof digits, n).ptr);
}

// The file's predicates by name, each linked to its first clause.
void WriteIndex(Sink& sink, const Survey& survey) {
  std::string& out = sink.text;
  std::span<const Predicate> predicates = survey.Predicates();
  if (predicates.empty()) return;
  std::vector<IndexEntry> sorted;
  sorted.reserve(predicates.size());
  for (const Predicate& predicate : predicates)
    sorted.push_back(IndexEntryOf(predicate));
  std::sort(sorted.begin(), sorted.end(), IndexOrder);
  out += "<nav aria-label=\"Predicates\"><details open><summary>";
  out += std::to_string(predicates.size());
  out += predicates.size() == 1 ? " predicate" : " predicates";
  out += "</summary>\n<ul>\n";
  for (const IndexEntry& entry : sorted) {
    const Predicate* predicate = entry.predicate;
    out += "<li><a href=\"#";
    AppendAnchor(out, predicate->name, predicate->arity);
    out += "\">";
    AppendEscapingMarkupAndControls(out, predicate->name, survey.PageCharset());
    out += '/';
    AppendDecimal(out, predicate->arity);
    out += "</a> <span class=\"line\">";
    AppendDecimal(out, predicate->line);
    out += "</span></li>\n";
    if (out.size() >= kBlock) sink.Drain();
  }
  out += "</ul></details></nav>\n";
}

}  // namespace

void WritePrologPage(Source& source, Sink& sink, const PageOptions& options) {
  prolog::TokenLog log(options.tokenLogLimit);
  Survey survey = SurveySource(source, log);
  if (options.outsideLinks) survey.LinkOutside(options.outsideLinks);
  source.Rewind();
  std::string& out = sink.text;
  if (options.fragment) {
    AppendStyleSheet(out, false);
  } else {
    AppendHead(out, survey, options);
    WriteIndex(sink, survey);
    out += "<main>\n";
  }
  CodeWriter writer(sink, survey, options.lineNumbers);
  writer.Begin();
  auto write = [&](std::string_view text, std::span<const prolog::Token> tokens) {
    writer.Write(text, tokens);
    if (out.size() >= kBlock) sink.Drain();
    return true;
  };
  const prolog::Encoding encoding =
      survey.Utf8() ? prolog::Encoding::kUtf8 : prolog::Encoding::kLatin1;
  if (log.Full()) {
    prolog::Lexer lexer(encoding);
    prolog::LexSource(source, encoding, lexer, write);
  } else {
    prolog::TokenLog::Replay replay(log);
    prolog::LexSource(source, encoding, replay, write);
  }
  writer.End();
  if (!options.fragment) out += "</main>\n</body>\n</html>\n";
  sink.Drain();
}

}  // namespace pl2html::prolog_page
