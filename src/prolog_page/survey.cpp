#include "prolog_page/survey.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>

#include "runtime/text.hpp"

namespace pl2html::prolog_page {

namespace {

void AppendNumber(GrowableArray<char>& out, std::uint64_t n) {
  for (; n >= 0x80; n >>= 7)
    out.Append(static_cast<char>(0x80 | (n & 0x7F)));
  out.Append(static_cast<char>(n));
}

bool Significant(prolog::TokenClass cls) {
  return cls != prolog::TokenClass::kLayout && cls != prolog::TokenClass::kComment;
}

}  // namespace

bool Survey::Read(std::string_view text, std::span<const prolog::Token> tokens) {
  if (encoding_ == prolog::Encoding::kUtf8) {
    utf8_.Feed(text);
    if (!utf8_.Valid()) return false;
  }
  for (const prolog::Token& token : tokens) {
    if (reader_.AwaitsClause() && Significant(token.cls)) clauseLine_ = LineAt(text, token.begin);
    if (reader_.Push(token.cls, text.substr(token.begin, token.end - token.begin))) {
      Clause(reader_.Last());
    } else if (reader_.Last().calls.size() >= kSettledCalls &&
               reader_.SettledCalls().size() >= kSettledCalls) {
      TakeSettledCalls();
    }
  }
  LineAt(text, text.size());
  lineScanned_ = 0;
  return true;
}

bool Survey::Finish() {
  if (reader_.Finish()) Clause(reader_.Last());
  keys_.LetGoOfSlots();
  return encoding_ != prolog::Encoding::kUtf8 || utf8_.Finish();
}

std::uint64_t Survey::LineAt(std::string_view text, std::size_t offset) {
  const char* p = text.data() + lineScanned_;
  const char* end = text.data() + offset;
  if (p < end) {
    // A line ends at LF, at CR LF and at a CR alone.
    if (afterCr_ && *p == '\n') ++p;
    for (const char* lf = p; (lf = static_cast<const char*>(std::memchr(lf, '\n', end - lf)));) {
      ++lf;
      ++line_;
    }
    for (const char* cr = p; (cr = static_cast<const char*>(std::memchr(cr, '\r', end - cr)));) {
      ++cr;
      if (cr == end || *cr != '\n') ++line_;
    }
    afterCr_ = end[-1] == '\r';
    lineScanned_ = offset;
  }
  return line_;
}

void Survey::Clause(const prolog::Clause& clause) {
  if (clause.hasHead && !headMarked_) Mark(clause.head, MarkKind::kHead);
  for (const prolog::CallSite& call : clause.calls)
    Mark(call, MarkKind::kCall);
  headMarked_ = false;
}

// A clause with thousands of calls (a file that is one long clause) is not
// kept whole: its head and its settled calls are marked as they come.
void Survey::TakeSettledCalls() {
  if (!reader_.InBody()) return;
  const prolog::Clause& clause = reader_.Last();
  if (clause.hasHead && !headMarked_) Mark(clause.head, MarkKind::kHead);
  headMarked_ = true;
  for (const prolog::CallSite& call : reader_.SettledCalls())
    Mark(call, MarkKind::kCall);
  reader_.DropSettledCalls();
}

std::string Survey::KeyText(std::uint32_t key) const {
  return std::string(keys_.Name(key)) + '/' + std::to_string(keys_.Arity(key));
}

std::vector<std::string> Survey::OutsideCalls() const {
  std::vector<std::string> calls;
  for (std::uint32_t key = 0; key < keys_.Size(); ++key) {
    if (keyPredicate_[key] < 0 && keyGoal_[key] != 0) calls.push_back(KeyText(key));
  }
  std::sort(calls.begin(), calls.end());
  return calls;
}

void Survey::LinkOutside(const std::function<std::string(std::string_view key)>& hrefOf) {
  keyHref_.assign(keyPredicate_.Size(), {});
  for (std::uint32_t key = 0; key < keys_.Size(); ++key) {
    if (keyPredicate_[key] < 0 && keyGoal_[key] != 0) keyHref_[key] = hrefOf(KeyText(key));
  }
}

std::uint32_t Survey::KeyOf(const prolog::CallSite& named) {
  bool added = false;
  std::uint32_t key = keys_.Find(named.name, named.arity, added);
  if (added) {
    keyPredicate_.Append(-1);
    keyGoal_.Append(0);
  }
  return key;
}

namespace {

// FNV-1a over the name, then the arity.
std::uint32_t HashOf(std::string_view name, int arity) {
  std::uint64_t h = 0xCBF29CE484222325ULL;
  for (char c : name)
    h = (h ^ static_cast<unsigned char>(c)) * 0x100000001B3ULL;
  h = (h ^ static_cast<std::uint32_t>(arity)) * 0x100000001B3ULL;
  return static_cast<std::uint32_t>(h ^ (h >> 32));
}

}  // namespace

std::uint32_t KeyTable::Find(std::string_view name, int arity, bool& added) {
  if (Size() * 8 >= tags_.size() * 7) Grow();
  std::uint32_t hash = HashOf(name, arity);
  auto tag = static_cast<std::uint8_t>(0x80 | hash >> 25);
  std::size_t mask = tags_.size() - 1;
  for (std::size_t at = hash & mask;; at = (at + 1) & mask) {
    if (tags_[at] == 0) {
      tags_[at] = tag;
      slotKeys_[at] = Size();
      keys_.Append({Keep(name), static_cast<std::uint32_t>(name.size()), arity});
      added = true;
      return slotKeys_[at];
    }
    if (tags_[at] != tag) continue;
    const Key& key = keys_[slotKeys_[at]];
    if (key.arity == arity && std::string_view(key.name, key.nameSize) == name) {
      added = false;
      return slotKeys_[at];
    }
  }
}

const char* KeyTable::Keep(std::string_view name) {
  if (name.size() > kNameBlock / 8) {
    nameBlocks_.push_back(std::make_unique_for_overwrite<char[]>(name.size()));
    return static_cast<const char*>(
        std::memcpy(nameBlocks_.back().get(), name.data(), name.size()));
  }
  if (name.size() > nameRoom_) {
    nameBlocks_.push_back(std::make_unique_for_overwrite<char[]>(kNameBlock));
    nameFree_ = nameBlocks_.back().get();
    nameRoom_ = kNameBlock;
  }
  const char* kept = nameFree_;
  if (!name.empty()) std::memcpy(nameFree_, name.data(), name.size());
  nameFree_ += name.size();
  nameRoom_ -= name.size();
  return kept;
}

// Places every key again in twice the slots (or as many as it needs, after
// LetGoOfSlots): the slots keep no hash, and hashing the names again in
// the order they were kept reads them once from start to end.
void KeyTable::Grow() {
  std::size_t size = std::max<std::size_t>(tags_.size() * 2, 1024);
  while (Size() * 8 >= size * 7)
    size *= 2;
  LetGoOfSlots();
  tags_.assign(size, 0);
  slotKeys_.resize(size);
  std::size_t mask = size - 1;
  for (std::uint32_t key = 0; key < Size(); ++key) {
    std::uint32_t hash = HashOf(Name(key), Arity(key));
    std::size_t at = hash & mask;
    while (tags_[at] != 0)
      at = (at + 1) & mask;
    tags_[at] = static_cast<std::uint8_t>(0x80 | hash >> 25);
    slotKeys_[at] = key;
  }
}

void Survey::Mark(const prolog::CallSite& named, MarkKind kind) {
  std::uint32_t key = KeyOf(named);
  if (kind == MarkKind::kHead && keyPredicate_[key] < 0) {
    keyPredicate_[key] = static_cast<std::int32_t>(predicates_.Size());
    predicates_.Append({keys_.Name(key), named.arity, clauseLine_});
    kind = MarkKind::kFirstHead;
  }
  AppendNumber(marks_, named.nameIndex - lastMarked_);
  if (named.goal) keyGoal_[key] = 1;
  AppendNumber(marks_,
               (std::uint64_t{key} * 2 + named.goal) * 4 + static_cast<std::uint64_t>(kind));
  lastMarked_ = named.nameIndex;
}

std::uint64_t Survey::Marks::Number() {
  std::uint64_t n = 0;
  for (int shift = 0; at_ < survey_.marks_.Size(); shift += 7) {
    auto byte = static_cast<unsigned char>(survey_.marks_[at_++]);
    n |= std::uint64_t{byte & 0x7Fu} << shift;
    if (byte < 0x80) break;
  }
  return n;
}

void Survey::Marks::Next() {
  if (at_ >= survey_.marks_.Size()) {
    current_ = NameMark{};
    return;
  }
  std::uint64_t previous = at_ == 0 ? 0 : current_.nameIndex;
  current_.nameIndex = previous + Number();
  std::uint64_t code = Number();
  current_.kind = static_cast<MarkKind>(code & 3);
  current_.goal = (code & 4) != 0;
  std::uint64_t key = code >> 3;
  current_.predicate = survey_.keyPredicate_[key];
  current_.href =
      key < survey_.keyHref_.size() ? std::string_view(survey_.keyHref_[key]) : std::string_view();
}

}  // namespace pl2html::prolog_page
