#include "prolog_page/page.hpp"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <memory>
#include <vector>

#include "meaning/loads.hpp"
#include "meaning/xref.hpp"
#include "prolog/lexer.hpp"
#include "prolog/source_reader.hpp"
#include "prolog/token_log.hpp"
#include "prolog_page/code_writer.hpp"
#include "prolog_page/marks.hpp"
#include "prolog_page/style.hpp"

namespace pl2html::prolog_page {

namespace {

// The page is drained when it holds about as much as a block of source.
constexpr std::size_t kBlock = prolog::kSourceBlock;

// The first pass: the charset (the source is valid UTF-8 or not), the
// file's cross-reference, and the tokens, kept in `log` for the passes
// that follow.
struct FirstPass {
  prolog::Encoding encoding = prolog::Encoding::kUtf8;
  std::unique_ptr<meaning::Xref> xref;
  Charset PageCharset() const {
    return encoding == prolog::Encoding::kUtf8 ? Charset::kUtf8 : Charset::kWindows1252;
  }
};

// Without a loader (a cross-reference made already), only the charset and
// the tokens.
FirstPass ReadFirst(Source& source, prolog::TokenLog& log, meaning::Loader* loader) {
  FirstPass first;
  const bool crossReference = loader != nullptr;
  Utf8Validator utf8;
  std::uint64_t offset = 0;
  prolog::Encoding reading = prolog::Encoding::kUtf8;
  first.encoding = prolog::ReadSource(
      source,
      [&](prolog::Encoding encoding) {
        reading = encoding;
        log.Clear();
        utf8 = Utf8Validator();
        offset = 0;
        if (!crossReference) return;
        first.xref = std::make_unique<meaning::Xref>(loader);
        first.xref->Begin(encoding);
      },
      [&](std::string_view text, std::span<const prolog::Token> tokens) {
        if (reading == prolog::Encoding::kUtf8) {
          utf8.Feed(text);
          if (!utf8.Valid()) return false;  // read again as Latin-1
        }
        log.Record(tokens);
        if (crossReference) {
          for (const prolog::Token& token : tokens)
            first.xref->Push(token.cls, text.substr(token.begin, token.end - token.begin),
                             offset + token.begin);
        }
        offset += text.size();
        return true;
      },
      [&] {
        if (crossReference) first.xref->Finish();
        return reading != prolog::Encoding::kUtf8 || utf8.Finish();
      });
  return first;
}

void AppendHead(std::string& out, Charset charset, const PageOptions& options) {
  std::string title;
  AppendEscapingMarkupAndControls(title, options.title, charset);
  AppendDocumentHead(out, charset == Charset::kUtf8 ? "utf-8" : "windows-1252", title,
                     options.rules, options.navigation);
}

// A predicate of the index with the first eight bytes of its name as a
// big-endian number, zeros past the name's end: two names whose prefixes
// differ sort as their prefixes do, so most comparisons read no name.
struct SortedEntry {
  std::uint64_t prefix = 0;
  const IndexEntry* predicate = nullptr;
};

SortedEntry SortedEntryOf(const IndexEntry& predicate) {
  SortedEntry entry{0, &predicate};
  for (std::size_t i = 0; i < sizeof entry.prefix; ++i) {
    unsigned char c = i < predicate.name.size() ? static_cast<unsigned char>(predicate.name[i]) : 0;
    entry.prefix = entry.prefix << 8 | c;
  }
  return entry;
}

// By name in byte order, then by arity.
bool IndexOrder(const SortedEntry& a, const SortedEntry& b) {
  if (a.prefix != b.prefix) return a.prefix < b.prefix;
  const IndexEntry& p = *a.predicate;
  const IndexEntry& q = *b.predicate;
  return p.name != q.name ? p.name < q.name : p.arity < q.arity;
}

template <typename Number>
void AppendDecimal(std::string& out, Number n) {
  char digits[24];
  out.append(digits, std::to_chars(digits, digits + sizeof digits, n).ptr);
}

// The file's predicates by name, each linked to its first clause.
void WriteIndex(Sink& sink, std::span<const IndexEntry> predicates, Charset charset) {
  std::string& out = sink.text;
  if (predicates.empty()) return;
  std::vector<SortedEntry> sorted;
  sorted.reserve(predicates.size());
  for (const IndexEntry& predicate : predicates)
    sorted.push_back(SortedEntryOf(predicate));
  std::sort(sorted.begin(), sorted.end(), IndexOrder);
  out += "<nav aria-label=\"Predicates\"><details open><summary>";
  out += std::to_string(predicates.size());
  out += predicates.size() == 1 ? " predicate" : " predicates";
  out += "</summary>\n<ul>\n";
  for (const SortedEntry& entry : sorted) {
    const IndexEntry* predicate = entry.predicate;
    out += "<li><a href=\"#";
    AppendAnchor(out, predicate->name, predicate->arity);
    out += "\">";
    AppendEscapingMarkupAndControls(out, predicate->name, charset);
    out += '/';
    AppendDecimal(out, predicate->arity);
    out += "</a> <span class=\"line\">";
    AppendDecimal(out, predicate->line);
    out += "</span>";
    if (!predicate->summary.empty()) {
      out += " <span class=\"summary\">";
      AppendEscapingMarkupAndControls(out, PageBytes(predicate->summary, charset), charset);
      out += "</span>";
    }
    out += "</li>\n";
    if (out.size() >= kBlock) sink.Drain();
  }
  out += "</ul></details></nav>\n";
}

// One line above the code: the calls of undefined predicates and the
// singleton variables, each linked to its line.
void WriteLook(std::string& out, std::span<const LookItem> look, Charset charset, bool links) {
  if (look.empty()) return;
  constexpr std::size_t kShown = 50;
  std::size_t undefined = 0;
  for (const LookItem& item : look)
    undefined += item.singleton ? 0 : 1;
  const std::size_t singletons = look.size() - undefined;
  out += "<p class=\"look\">Needs a look: ";
  std::size_t shown = 0;
  for (int pass = 0; pass < 2; ++pass) {
    const bool singleton = pass == 1;
    const std::size_t count = singleton ? singletons : undefined;
    if (count == 0) continue;
    if (singleton && undefined != 0) out += "; ";
    AppendDecimal(out, count);
    out += singleton ? (count == 1 ? " singleton variable: " : " singleton variables: ")
                     : (count == 1 ? " undefined call: " : " undefined calls: ");
    bool first = true;
    for (const LookItem& item : look) {
      if (item.singleton != singleton) continue;
      if (shown == kShown) {
        out += ", &#8230;";
        break;
      }
      if (!first) out += ", ";
      first = false;
      ++shown;
      if (links) {
        out += "<a href=\"#L";
        AppendDecimal(out, item.line);
        out += "\">";
      }
      AppendEscapingMarkupAndControls(out, item.name, charset);
      if (!singleton) {
        out += '/';
        AppendDecimal(out, item.arity);
      }
      out += " (line ";
      AppendDecimal(out, item.line);
      out += ')';
      if (links) out += "</a>";
    }
  }
  out += ".</p>\n";
}

// The callers of a predicate in the page's own source.
std::vector<CallerLink> OwnCallers(const meaning::Xref& xref, const IndexEntry& entry,
                                   Charset charset, const std::string& title) {
  std::vector<CallerLink> callers;
  const meaning::PredicateFacts* facts = xref.Find(entry.sourceName, entry.arity);
  if (facts == nullptr) return callers;
  for (const meaning::Caller& c : facts->callers) {
    CallerLink link{title, {}, c.CallLine(), "#L"};
    AppendDecimal(link.href, link.line);
    if (c.kind == meaning::Caller::Kind::kDirective) {
      link.caller = "directive";
    } else if (c.kind == meaning::Caller::Kind::kClause && c.predicate.module.empty()) {
      AppendEscapingMarkupAndControls(link.caller, PageBytes(c.predicate.name, charset), charset);
      link.caller += '/';
      AppendDecimal(link.caller, c.predicate.arity);
    } else {
      continue;
    }
    callers.push_back(std::move(link));
  }
  std::stable_sort(callers.begin(), callers.end(),
                   [](const CallerLink& a, const CallerLink& b) { return a.line < b.line; });
  return callers;
}

// The "Called by" cards after the code, one a predicate with callers, shown
// when the head of its first clause is followed (:target). The callers
// come grouped by file; a long list starts with its groups closed.
void WriteCallerCards(Sink& sink, std::span<const IndexEntry> index,
                      const std::vector<std::vector<CallerLink>>& cards, Charset charset) {
  std::string& out = sink.text;
  bool any = false;
  constexpr std::size_t kOpenUpTo = 20;
  for (std::size_t i = 0; i < index.size(); ++i) {
    const std::vector<CallerLink>& callers = cards[i];
    if (callers.empty()) continue;
    if (!any) out += "<section class=\"callers\" aria-label=\"Callers\">\n";
    any = true;
    std::string anchor;
    AppendAnchor(anchor, index[i].name, index[i].arity);
    std::string name;
    AppendEscapingMarkupAndControls(name, index[i].name, charset);
    name += '/';
    AppendDecimal(name, index[i].arity);
    out += "<div class=\"card\" id=\"callers-" + anchor + "\"><p><a href=\"#" + anchor + "\">" +
           name + "</a> is called by ";
    AppendDecimal(out, callers.size());
    out += "</p>\n";
    for (std::size_t k = 0; k < callers.size();) {
      std::size_t end = k;
      while (end < callers.size() && callers[end].file == callers[k].file)
        ++end;
      out += callers.size() > kOpenUpTo ? "<details><summary>" : "<details open><summary>";
      out += callers[k].file + " <span class=\"n\">";
      AppendDecimal(out, end - k);
      out += "</span></summary><ul>\n";
      for (; k < end; ++k) {
        out += "<li><a href=\"" + callers[k].href + "\">" + callers[k].caller +
               "</a> <span class=\"line\">";
        AppendDecimal(out, callers[k].line);
        out += "</span></li>\n";
      }
      out += "</ul></details>\n";
    }
    out += "</div>\n";
    if (out.size() >= kBlock) sink.Drain();
  }
  if (any) out += "</section>\n";
}

// Replays the tokens of `log` (or lexes the source again, when the log
// was too small to hold them) to `visit`.
template <class Visit>
void Replay(Source& source, prolog::Encoding encoding, const prolog::TokenLog& log, Visit&& visit) {
  source.Rewind();
  if (log.Full()) {
    prolog::Lexer lexer(encoding);
    prolog::LexSource(source, encoding, lexer, visit);
  } else {
    prolog::TokenLog::Replay replay(log);
    prolog::LexSource(source, encoding, replay, visit);
  }
}

}  // namespace

SourceXref CrossReference(Source& source, meaning::Loader* loader) {
  prolog::TokenLog log(0);  // no tokens kept: no page follows
  meaning::LibraryLoader library;
  FirstPass first = ReadFirst(source, log, loader != nullptr ? loader : &library);
  return {first.PageCharset(), std::move(first.xref)};
}

LookCounts WritePrologPage(Source& source, Sink& sink, const PageOptions& options) {
  prolog::TokenLog log(options.tokenLogLimit);
  meaning::LibraryLoader library;
  FirstPass first = ReadFirst(source, log,
                              options.xref != nullptr     ? nullptr
                              : options.loader != nullptr ? options.loader
                                                          : &library);
  const Charset charset = first.PageCharset();
  const meaning::Xref& xref = options.xref != nullptr ? *options.xref : *first.xref;
  // The second pass: the meaning of the goals, heads and variables.
  MarkOptions markOptions{options.manualUrl, options.outsideLinks, options.outsideDoc, {}};
  // Each predicate's callers, asked for as its first head is marked.
  std::vector<std::vector<CallerLink>> cards;
  std::string ownTitle;
  AppendEscapingMarkupAndControls(ownTitle, options.title, charset);
  if (!options.fragment) {
    markOptions.callerCount = [&](std::size_t i, const IndexEntry& entry) {
      if (cards.size() <= i) cards.resize(i + 1);
      cards[i] =
          options.callers ? options.callers(entry) : OwnCallers(xref, entry, charset, ownTitle);
      return cards[i].size();
    };
  }
  Marks marks(xref, markOptions, charset);
  std::uint64_t offset = 0;
  Replay(source, first.encoding, log,
         [&](std::string_view text, std::span<const prolog::Token> tokens) {
           for (const prolog::Token& token : tokens)
             marks.Push(token.cls, text.substr(token.begin, token.end - token.begin),
                        offset + token.begin);
           offset += text.size();
           return true;
         });
  marks.Finish();
  // The third: the page.
  std::string& out = sink.text;
  if (options.fragment) {
    AppendStyleSheet(out, false);
  } else {
    AppendHead(out, charset, options);
    WriteIndex(sink, marks.Index(), charset);
    out += "<main>\n";
    WriteLook(out, marks.Look(), charset, options.lineNumbers);
  }
  CodeWriter writer(sink, charset, marks, options.lineNumbers);
  writer.Begin();
  Replay(source, first.encoding, log,
         [&](std::string_view text, std::span<const prolog::Token> tokens) {
           writer.Write(text, tokens);
           if (out.size() >= kBlock) sink.Drain();
           return true;
         });
  writer.End();
  if (!options.fragment) {
    cards.resize(marks.Index().size());
    WriteCallerCards(sink, marks.Index(), cards, charset);
    out += "</main>\n</body>\n</html>\n";
  }
  sink.Drain();
  LookCounts counts;
  for (const LookItem& item : marks.Look())
    ++(item.singleton ? counts.singletons : counts.undefined);
  return counts;
}

}  // namespace pl2html::prolog_page
