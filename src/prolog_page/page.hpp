// The Prolog page: a modern HTML5 page of one Prolog source, its tokens
// coloured as the Prolog reader reads them. The source is read in blocks,
// twice: once to learn its charset and the predicates it defines, once to
// write. The page is handed out in pieces too, so neither is ever held whole.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "meaning/loads.hpp"
#include "meaning/xref.hpp"
#include "prolog_page/charset.hpp"
#include "prolog_page/marks.hpp"
#include "runtime/stream.hpp"

namespace pl2html::prolog_page {

// SWI-Prolog's online manual, where a link to a built-in or library
// predicate leads by default.
inline constexpr std::string_view kManualUrl = "https://www.swi-prolog.org/pldoc/doc_for?object=";

// A caller of a predicate, in the predicate's "Called by" card. The texts
// are markup, already escaped for the page.
struct CallerLink {
  std::string file;    // the caller's file, the card's group
  std::string caller;  // "append/3", or "directive"
  std::uint64_t line = 0;
  std::string href;  // of the calling line: "#L12", "lists.pl.html#L12"
};

struct PageOptions {
  std::string_view title;  // the source's file name
  bool fragment = false;   // only the code element and its style sheet
  bool lineNumbers = true;
  // Markup put in the page's header under its title: a site's links to its
  // index and the page's folder. Trusted as it is.
  std::string_view navigation = {};
  // Markup put in the head after the style sheet (a site's <style> for
  // what its navigation holds). Trusted as it is.
  std::string_view rules = {};
  // Where a goal whose definition is not on the page leads: the URL of its
  // definition on another page, or nothing.
  std::function<std::string(const GoalTarget&)> outsideLinks = {};
  // What a call's card says of a predicate defined on another page: its
  // documentation, "\n" between lines, UTF-8; or nothing.
  std::function<std::string(const GoalTarget&)> outsideDoc = {};
  // The base of links to SWI-Prolog's manual (NAME/ARITY is added); empty:
  // no such links.
  std::string_view manualUrl = kManualUrl;
  // The callers of a predicate the page defines, in the order its card
  // lists them, grouped by file; empty function: the callers in the page's
  // own source, as its cross-reference finds them.
  std::function<std::vector<CallerLink>(const IndexEntry&)> callers = {};
  // Finds the files the source loads; null: only SWI-Prolog's library is
  // known.
  meaning::Loader* loader = nullptr;
  // This very source's cross-reference, made by CrossReference with the
  // same loader (a site has made it for its facts): the page takes it
  // instead of making its own, and reads the source only to lex it.
  const meaning::Xref* xref = nullptr;
  // The memory that keeps the first pass's tokens for the second, about a
  // byte a token, a fifth of the source's size for the SWI-Prolog library:
  // sources up to some 30 MB. A larger source is lexed again, so that its
  // memory stays the same however large it is. The page is the same either
  // way.
  std::size_t tokenLogLimit = std::size_t{6} << 20;
};

// What a page says needs a look: its calls of undefined predicates and its
// singleton variables.
struct LookCounts {
  std::size_t undefined = 0;
  std::size_t singletons = 0;
};

LookCounts WritePrologPage(Source& source, Sink& sink, const PageOptions& options);

// The source's cross-reference as the page makes it (read as UTF-8 when it
// is, else as Latin-1), for a site's facts; and the charset of its page.
struct SourceXref {
  Charset charset = Charset::kUtf8;
  std::unique_ptr<meaning::Xref> xref;
};
SourceXref CrossReference(Source& source, meaning::Loader* loader);

}  // namespace pl2html::prolog_page
