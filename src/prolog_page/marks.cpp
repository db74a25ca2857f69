#include "prolog_page/marks.hpp"

#include <array>
#include <charconv>
#include <unordered_map>

#include "meaning/docs.hpp"

namespace pl2html::prolog_page {

using meaning::Meaning;

namespace {

// The bytes an id or a URL fragment holds as they are.
constexpr std::array<bool, 256> kAnchorSafe = [] {
  std::array<bool, 256> safe{};
  for (int c = 0; c < 256; ++c)
    safe[c] = (c >= '0' && c <= '9') || ((c | 0x20) >= 'a' && (c | 0x20) <= 'z');
  for (char c : std::string_view("-._~!$'()*+,;=:@/?"))
    safe[static_cast<unsigned char>(c)] = true;
  return safe;
}();

constexpr char kHex[] = "0123456789ABCDEF";

void AppendDecimal(std::string& out, std::uint64_t n) {
  char digits[24];
  out.append(digits, std::to_chars(digits, digits + sizeof digits, n).ptr);
}

// NAME/ARITY as the query of a link to the manual: all but letters, digits
// and "-._~/" percent-encoded.
void AppendQuery(std::string& out, std::string_view name, int arity) {
  for (char c : name) {
    auto u = static_cast<unsigned char>(c);
    if ((u >= '0' && u <= '9') || ((u | 0x20) >= 'a' && (u | 0x20) <= 'z') || c == '-' ||
        c == '.' || c == '_' || c == '~') {
      out += c;
    } else {
      out += '%';
      out += kHex[u >> 4];
      out += kHex[u & 0xF];
    }
  }
  out += '/';
  AppendDecimal(out, static_cast<std::uint64_t>(arity));
}

bool IsHead(Meaning m) {
  return !meaning::IsGoal(m) && m != Meaning::kSingleton && m != Meaning::kFile;
}

// A head that defines the predicate on this page: a plain clause head, not
// the colon of M:Head nor a clause for another module.
bool DefiningHead(Meaning m) {
  return IsHead(m) && m != Meaning::kHeadMeta && m != Meaning::kHeadExtern;
}

// Goals of predicates that the file itself defines or declares.
bool Local(Meaning m) {
  switch (m) {
    case Meaning::kGoalLocal:
    case Meaning::kGoalRecursion:
    case Meaning::kGoalDynamic:
    case Meaning::kGoalThreadLocal:
    case Meaning::kGoalMultifile:
    case Meaning::kGoalConstraint:
    case Meaning::kGoalForeign:
      return true;
    default:
      return false;
  }
}

void AppendNumber(GrowableArray<char>& out, std::uint64_t n) {
  for (; n >= 0x80; n >>= 7)
    out.Append(static_cast<char>(0x80 | (n & 0x7F)));
  out.Append(static_cast<char>(n));
}

}  // namespace

std::string PageBytes(std::string_view name, Charset charset) {
  if (charset == Charset::kUtf8) return std::string(name);
  std::string bytes;
  for (std::size_t i = 0; i < name.size(); ++i) {
    auto c = static_cast<unsigned char>(name[i]);
    if (c >= 0xC0 && c < 0xC4 && i + 1 < name.size()) {
      bytes +=
          static_cast<char>(((c & 0x1F) << 6) | (static_cast<unsigned char>(name[++i]) & 0x3F));
    } else {
      bytes += static_cast<char>(c);
    }
  }
  return bytes;
}

void AppendAnchor(std::string& out, std::string_view name, int arity) {
  for (std::size_t i = 0; i < name.size(); ++i) {
    std::size_t safe = i;  // the run of bytes to copy as they are
    while (safe < name.size() && kAnchorSafe[static_cast<unsigned char>(name[safe])])
      ++safe;
    out.append(name.substr(i, safe - i));
    if (safe == name.size()) break;
    auto c = static_cast<unsigned char>(name[safe]);
    const char escaped[] = {'%', kHex[c >> 4], kHex[c & 0xF]};
    out.append(escaped, sizeof escaped);
    i = safe;
  }
  out += '/';
  AppendDecimal(out, static_cast<std::uint64_t>(arity));
}

// What a fragment names, once for all its fragments.
struct Marks::Target {
  Meaning meaning;
  std::string name;
  int arity = 0;
  std::string module;
  std::uint64_t line = 0;
  int file = -1;
  std::string library;
  std::string sourceName;  // UTF-8, as the meaning layer names it
};

struct Marks::Interned {
  std::unordered_map<std::string, std::uint32_t> targets;
  std::unordered_map<std::string, std::uint32_t> tags;
  std::string key;
};

Marks::Marks(const meaning::Xref& xref, const MarkOptions& options, Charset charset)
    : xref_(xref),
      options_(options),
      charset_(charset),
      colourer_(std::make_unique<meaning::Colourer>(
          xref, [this](const meaning::Fragment& f) { Take(f); },
          charset == Charset::kUtf8 ? prolog::Encoding::kUtf8 : prolog::Encoding::kLatin1)),
      interned_(std::make_unique<Interned>()) {}

Marks::~Marks() = default;

void Marks::Push(prolog::TokenClass cls, std::string_view text, std::uint64_t offset) {
  colourer_->Push(cls, text, offset);
}

void Marks::Finish() {
  colourer_->Finish();
  colourer_.reset();
  Build();
}

std::uint32_t Marks::TargetOf(const meaning::Fragment& f) {
  std::string& key = interned_->key;
  key.clear();
  key += static_cast<char>(f.meaning);
  key += f.name;
  key += '\0';
  AppendDecimal(key, static_cast<std::uint64_t>(f.arity));
  key += '\0';
  key += f.module;
  key += '\0';
  AppendDecimal(key, f.line);
  key += '\0';
  AppendDecimal(key, static_cast<std::uint64_t>(f.file + 1));
  key += '\0';
  key += f.library;
  auto [at, added] =
      interned_->targets.try_emplace(key, static_cast<std::uint32_t>(targets_.size()));
  if (added) {
    targets_.push_back({f.meaning, PageBytes(f.name, charset_), f.arity,
                        PageBytes(f.module, charset_), f.line, f.file, std::string(f.library),
                        std::string(f.name)});
  }
  return at->second;
}

void Marks::Take(const meaning::Fragment& f) {
  std::uint32_t target = TargetOf(f);
  raw_.push_back({f.from, target, f.meaning});
  if (DefiningHead(f.meaning)) {
    // The first clause of each predicate: its anchor and its entry in the
    // index. Heads come in the order of the source.
    const std::string& name = targets_[target].name;
    std::string& key = interned_->key;
    key.clear();
    key.push_back('h');
    key.append(name);
    key.push_back('\0');
    AppendDecimal(key, static_cast<std::uint64_t>(f.arity));
    if (interned_->targets.try_emplace(key, static_cast<std::uint32_t>(index_.size())).second)
      index_.push_back({name, f.arity, f.onLine, std::string(f.name),
                        meaning::DocumentationOf(xref_, f.name, f.arity).summary});
  }
  if (f.meaning == Meaning::kGoalUndefined || f.meaning == Meaning::kSingleton)
    look_.push_back({f.meaning == Meaning::kSingleton, targets_[target].name, f.arity, f.onLine});
}

std::string Marks::Title(const Target& t) const {
  std::string words;
  auto line = [&](std::string_view what) {
    words = what;
    if (t.line != 0) {
      words += ", line ";
      AppendDecimal(words, t.line);
    }
  };
  auto fileTitle = [&]() -> std::string {
    if (t.file < 0 || static_cast<std::size_t>(t.file) >= xref_.Loaded().size()) return "a file";
    return xref_.Loaded()[static_cast<std::size_t>(t.file)].title;
  };
  switch (t.meaning) {
    case Meaning::kGoalBuiltIn:
      words = "built-in";
      break;
    case Meaning::kGoalImported:
      words = "imported from " + fileTitle();
      break;
    case Meaning::kGoalAutoload:
      words = t.library.empty() ? "autoloaded" : "autoloaded from " + t.library;
      break;
    case Meaning::kGoalGlobal:
      words = "in module user";
      break;
    case Meaning::kGoalUndefined:
      words = "undefined";
      break;
    case Meaning::kGoalThreadLocal:
      line("thread-local");
      break;
    case Meaning::kGoalDynamic:
      line("dynamic");
      break;
    case Meaning::kGoalMultifile:
      line("multifile");
      break;
    case Meaning::kGoalExpanded:
      words = "expanded";
      break;
    case Meaning::kGoalExtern:
      words = t.module.empty() ? "in another module" : "in module " + t.module;
      break;
    case Meaning::kGoalRecursion:
      words = "recursive call";
      break;
    case Meaning::kGoalMeta:
      words = "meta-call";
      break;
    case Meaning::kGoalForeign:
      line("foreign");
      break;
    case Meaning::kGoalLocal:
      words = "defined at line ";
      AppendDecimal(words, t.line);
      break;
    case Meaning::kGoalConstraint:
      line("constraint");
      break;
    case Meaning::kGoalNotCallable:
      words = "not callable";
      break;
    case Meaning::kHeadExported:
      words = "exported";
      break;
    case Meaning::kHeadPublic:
      words = "public";
      break;
    case Meaning::kHeadExtern:
      words = t.module.empty() ? "clause of another module" : "clause of module " + t.module;
      break;
    case Meaning::kHeadDynamic:
      words = "dynamic";
      break;
    case Meaning::kHeadMultifile:
      words = "multifile";
      break;
    case Meaning::kHeadUnreferenced:
      words = "not called";
      break;
    case Meaning::kHeadHook:
      words = "hook";
      break;
    case Meaning::kHeadConstraint:
      words = "constraint";
      break;
    case Meaning::kHeadImported:
      words = "clause of a predicate imported from " + fileTitle();
      break;
    case Meaning::kHeadBuiltIn:
      words = "clause of a built-in predicate";
      break;
    case Meaning::kHeadIso:
      words = "clause of an ISO built-in predicate";
      break;
    case Meaning::kHeadDefIso:
    case Meaning::kHeadDefSwi:
      words = "defines a built-in predicate";
      break;
    case Meaning::kHeadTest:
      words = "test";
      break;
    case Meaning::kHeadThreadLocal:
      words = "thread-local";
      break;
    case Meaning::kHeadForeign:
      words = "foreign";
      break;
    case Meaning::kSingleton:
      words = "singleton variable";
      break;
    case Meaning::kFile:
      if (t.file >= 0 && static_cast<std::size_t>(t.file) < xref_.Loaded().size()) {
        const meaning::LoadedFile& file = xref_.Loaded()[static_cast<std::size_t>(t.file)];
        words = file.library.empty() ? "file " + file.title : "library(" + file.library + ")";
      }
      break;
    case Meaning::kHeadMeta:
    case Meaning::kHeadLocal:
    case Meaning::kHeadUndefined:
      break;
  }
  std::string escaped;
  AppendEscapingMarkupAndControls(escaped, words, charset_);
  // A call's card: what the predicate's documentation says, or its head.
  if (meaning::IsGoal(t.meaning)) {
    std::string doc;
    const bool ownModule =
        t.meaning == Meaning::kGoalExtern && !t.module.empty() && t.module == xref_.Module();
    if (Local(t.meaning) || ownModule) {
      doc = meaning::DocumentationOf(xref_, t.sourceName, t.arity).Text();
    } else if (options_.outsideDoc) {
      GoalTarget target{t.meaning, t.name, t.arity, t.module, nullptr};
      if (t.file >= 0 && static_cast<std::size_t>(t.file) < xref_.Loaded().size())
        target.file = &xref_.Loaded()[static_cast<std::size_t>(t.file)];
      doc = options_.outsideDoc(target);
    }
    AppendTitleLines(escaped, PageBytes(doc, charset_), charset_);
  }
  return escaped;
}

// Lines added to a title, each on a line of its own (&#10;: a title's
// line break).
void Marks::AppendTitleLines(std::string& title, std::string_view lines, Charset charset) {
  while (!lines.empty()) {
    std::size_t end = std::min(lines.find('\n'), lines.size());
    if (!title.empty()) title += "&#10;";
    AppendEscapingMarkupAndControls(title, lines.substr(0, end), charset);
    lines.remove_prefix(std::min(end + 1, lines.size()));
  }
}

std::string Marks::Href(const Target& t) const {
  if (t.meaning == Meaning::kFile) return FileHref(t);
  if (!meaning::IsGoal(t.meaning) || t.name.empty()) return {};
  const bool ownModule =
      t.meaning == Meaning::kGoalExtern && !t.module.empty() && t.module == xref_.Module();
  if (Local(t.meaning) || ownModule) {
    std::string key = "h" + t.name;
    key += '\0';
    AppendDecimal(key, static_cast<std::uint64_t>(t.arity));
    if (interned_->targets.count(key) != 0) {
      std::string href = "#";
      AppendAnchor(href, t.name, t.arity);
      return href;
    }
  }
  if (options_.outsideLinks) {
    GoalTarget target{t.meaning, t.name, t.arity, t.module, nullptr};
    if (t.file >= 0 && static_cast<std::size_t>(t.file) < xref_.Loaded().size())
      target.file = &xref_.Loaded()[static_cast<std::size_t>(t.file)];
    std::string href = options_.outsideLinks(target);
    if (!href.empty()) {
      std::string escaped;
      AppendEscapingMarkupAndControls(escaped, href, charset_);
      return escaped;
    }
  }
  if (options_.manualUrl.empty()) return {};
  bool library = t.meaning == Meaning::kGoalBuiltIn || t.meaning == Meaning::kGoalAutoload;
  if (t.meaning == Meaning::kGoalImported && t.file >= 0 &&
      static_cast<std::size_t>(t.file) < xref_.Loaded().size())
    library = !xref_.Loaded()[static_cast<std::size_t>(t.file)].library.empty();
  if (!library) return {};
  std::string href;
  AppendEscapingMarkupAndControls(href, options_.manualUrl, charset_);
  AppendQuery(href, t.name, t.arity);
  return href;
}

// A loaded file's page in a site, else a library's page in SWI-Prolog's
// manual: the manual's predicate URL ".../doc_for?object=" gives the way
// to its library pages, ".../doc/_SWI_/library/lists.pl".
std::string Marks::FileHref(const Target& t) const {
  if (t.file < 0 || static_cast<std::size_t>(t.file) >= xref_.Loaded().size()) return {};
  const meaning::LoadedFile& file = xref_.Loaded()[static_cast<std::size_t>(t.file)];
  std::string href;
  if (options_.outsideLinks) href = options_.outsideLinks(GoalTarget{t.meaning, {}, 0, {}, &file});
  constexpr std::string_view kPredicates = "doc_for?object=";
  if (href.empty() && !file.library.empty() && options_.manualUrl.ends_with(kPredicates)) {
    href = options_.manualUrl.substr(0, options_.manualUrl.size() - kPredicates.size());
    href += "doc/_SWI_/library/";
    for (char c : file.library) {
      if (static_cast<unsigned char>(c) < 0x80) href += c;  // library paths are ASCII
    }
    href += ".pl";
  }
  std::string escaped;
  AppendEscapingMarkupAndControls(escaped, href, charset_);
  return escaped;
}

std::size_t Marks::CallerCount(const Target& t) const {
  if (!options_.callerCount) return 0;
  std::string key = "h" + t.name;
  key += '\0';
  AppendDecimal(key, static_cast<std::uint64_t>(t.arity));
  auto found = interned_->targets.find(key);
  return found == interned_->targets.end()
             ? 0
             : options_.callerCount(found->second, index_[found->second]);
}

// The tags of the marks, each made once: fragments at one offset share a
// token.
void Marks::Build() {
  std::vector<std::string> titles(targets_.size()), hrefs(targets_.size());
  std::vector<char> done(targets_.size(), 0);
  auto prepare = [&](std::uint32_t t) {
    if (done[t]) return;
    done[t] = 1;
    titles[t] = Title(targets_[t]);
    hrefs[t] = Href(targets_[t]);
  };
  std::unordered_map<std::string, char> anchored;  // predicates whose anchor is written
  std::uint64_t last = 0;
  MarkTag tag;
  for (std::size_t i = 0; i < raw_.size();) {
    const std::uint64_t offset = raw_[i].offset;
    tag = MarkTag{};
    bool head = false;
    std::size_t callers = 0;
    for (; i < raw_.size() && raw_[i].offset == offset; ++i) {
      const Raw& r = raw_[i];
      const Target& t = targets_[r.target];
      prepare(r.target);
      if (DefiningHead(r.meaning) && !head) {
        head = true;
        tag.classes += " head";
        std::string key = t.name;
        key += '\0';
        AppendDecimal(key, static_cast<std::uint64_t>(t.arity));
        if (anchored.try_emplace(key, 1).second) {
          AppendAnchor(tag.id, t.name, t.arity);
          callers = CallerCount(t);
          if (callers != 0) tag.href = "#callers-" + tag.id;
        }
      }
      if (r.meaning != Meaning::kFile) {
        tag.classes += ' ';
        tag.classes += meaning::MeaningName(r.meaning);
      }
      if (tag.title.empty()) tag.title = titles[r.target];
      if (tag.href.empty()) tag.href = hrefs[r.target];
    }
    if (callers != 0) {
      if (!tag.title.empty()) tag.title += ", ";
      tag.title += "called by ";
      AppendDecimal(tag.title, static_cast<std::uint64_t>(callers));
    }
    std::string& key = interned_->key;
    key.assign(tag.classes).append(1, '\0').append(tag.title).append(1, '\0');
    key.append(tag.href).append(1, '\0').append(tag.id);
    auto [at, added] = interned_->tags.try_emplace(key, static_cast<std::uint32_t>(tags_.size()));
    if (added) tags_.push_back(std::move(tag));
    AppendNumber(marks_, offset - last);
    AppendNumber(marks_, at->second);
    last = offset;
  }
  std::vector<Raw>().swap(raw_);
  interned_.reset();
}

std::uint64_t Marks::Cursor::Number() {
  std::uint64_t n = 0;
  for (int shift = 0; at_ < marks_.marks_.Size(); shift += 7) {
    auto byte = static_cast<unsigned char>(marks_.marks_[at_++]);
    n |= std::uint64_t{byte & 0x7Fu} << shift;
    if (byte < 0x80) break;
  }
  return n;
}

void Marks::Cursor::Next() {
  if (at_ >= marks_.marks_.Size()) {
    offset_ = ~std::uint64_t{0};
    return;
  }
  offset_ += Number();
  tag_ = static_cast<std::uint32_t>(Number());
}

}  // namespace pl2html::prolog_page
