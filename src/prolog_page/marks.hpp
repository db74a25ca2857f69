// What the page marks on the tokens that SWI-Prolog's source view classes:
// each goal, clause head and singleton variable gets the class of its
// meaning, a title that says it in words, and, for a goal, a link to its
// definition (on the page, on another page of a site, or in SWI-Prolog's
// manual); the first clause of each predicate gets its anchor. Made by the
// second pass from the meaning layer's fragments, before the page is
// written, and read by the code writer token by token.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "meaning/colour.hpp"
#include "meaning/xref.hpp"
#include "prolog_page/charset.hpp"
#include "runtime/growable.hpp"

namespace pl2html::prolog_page {

// A goal whose definition is not on its own page, for the caller to find
// in a site: what the meaning layer says of it.
struct GoalTarget {
  meaning::Meaning meaning;
  std::string_view name;
  int arity = 0;
  std::string_view module;                    // a qualified goal's module, if any
  const meaning::LoadedFile* file = nullptr;  // imported: the file it comes from
};

// A predicate of the page's index: its first clause.
struct IndexEntry {
  std::string name;  // as the page shows it
  int arity = 0;
  std::uint64_t line = 0;
  std::string sourceName;  // as the meaning layer names it (UTF-8)
  std::string summary;     // of its documentation, UTF-8; empty: none
};

struct MarkOptions {
  // The base of a link to SWI-Prolog's manual, to which NAME/ARITY is
  // added; empty: no such links.
  std::string_view manualUrl;
  // The URL of a goal's definition elsewhere (another page of a site), or
  // nothing.
  std::function<std::string(const GoalTarget&)> outsideLinks;
  // What a goal's card says of a predicate defined elsewhere (mode lines
  // and summary, "\n" between lines, UTF-8), or nothing.
  std::function<std::string(const GoalTarget&)> outsideDoc;
  // How many callers a predicate of the page has (the entry's position in
  // Index(), and the entry): the head of its first clause then links to
  // its "Called by" card, "#callers-NAME/ARITY".
  std::function<std::size_t(std::size_t, const IndexEntry&)> callerCount;
};

// Something the page's first line says needs a look: a call of an
// undefined predicate, or a singleton variable.
struct LookItem {
  bool singleton = false;
  std::string name;
  int arity = 0;
  std::uint64_t line = 0;
};

// What a marked token's span has besides its token class.
struct MarkTag {
  std::string classes;  // " head head-local", " goal-built_in"
  std::string title;    // escaped; empty: none
  std::string href;     // escaped; empty: no link
  std::string id;       // the anchor of a predicate's first clause; empty: none
};

class Marks {
 public:
  Marks(const meaning::Xref& xref, const MarkOptions& options, Charset charset);
  ~Marks();

  // The source's tokens, in order, each with its offset from the start.
  void Push(prolog::TokenClass cls, std::string_view text, std::uint64_t offset);
  void Finish();

  std::span<const IndexEntry> Index() const { return index_; }
  std::span<const LookItem> Look() const { return look_; }

  // The marks in order of the tokens they mark: each at the first byte of a
  // token.
  class Cursor {
   public:
    explicit Cursor(const Marks& marks) : marks_(marks) { Next(); }
    // The offset of the next marked token; ~0 when there is none.
    std::uint64_t Offset() const { return offset_; }
    const MarkTag& Tag() const { return marks_.tags_[tag_]; }
    void Next();

   private:
    std::uint64_t Number();
    const Marks& marks_;
    std::size_t at_ = 0;
    std::uint64_t offset_ = 0;
    std::uint32_t tag_ = 0;
  };

 private:
  struct Target;
  void Take(const meaning::Fragment& fragment);
  std::uint32_t TargetOf(const meaning::Fragment& fragment);
  void Build();
  std::string Title(const Target& t) const;
  std::string Href(const Target& t) const;
  std::string FileHref(const Target& t) const;
  std::size_t CallerCount(const Target& t) const;
  static void AppendTitleLines(std::string& title, std::string_view lines, Charset charset);

  const meaning::Xref& xref_;
  MarkOptions options_;
  Charset charset_;
  std::unique_ptr<meaning::Colourer> colourer_;
  // The fragments as they come: offset, meaning and target.
  struct Raw {
    std::uint64_t offset;
    std::uint32_t target;
    meaning::Meaning meaning;
  };
  std::vector<Raw> raw_;
  std::vector<Target> targets_;
  std::vector<IndexEntry> index_;
  std::vector<LookItem> look_;
  std::vector<MarkTag> tags_;
  // Marks as variable-length numbers: the gap since the previous mark's
  // offset, then the tag's number.
  GrowableArray<char> marks_;
  struct Interned;
  std::unique_ptr<Interned> interned_;
};

// Appends the element id and link fragment of name/arity: bytes that an id
// or a URL fragment cannot hold as they are percent-encoded.
void AppendAnchor(std::string& out, std::string_view name, int arity);

// A name as the page shows it: the term reader hands names out in UTF-8; a
// page of a Latin-1 source shows them, and makes its anchors of them, in
// the source's own bytes.
std::string PageBytes(std::string_view name, Charset charset);

}  // namespace pl2html::prolog_page
