#include "html5/survey.hpp"

#include <algorithm>
#include <cstring>

namespace pl2html::html5 {

namespace {

void AppendNumber(std::string& out, std::uint64_t n) {
  while (n >= 0x80) {
    out += static_cast<char>(0x80 | (n & 0x7F));
    n >>= 7;
  }
  out += static_cast<char>(n);
}

bool Significant(prolog::TokenClass cls) {
  return cls != prolog::TokenClass::kLayout && cls != prolog::TokenClass::kComment;
}

}  // namespace

std::string AnchorOf(std::string_view name, int arity) {
  static constexpr std::string_view kSafe = "-._~!$'()*+,;=:@/?";
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string anchor;
  anchor.reserve(name.size() + 4);
  for (char ch : name) {
    auto c = static_cast<unsigned char>(ch);
    bool alnum = (c >= '0' && c <= '9') || ((c | 0x20) >= 'a' && (c | 0x20) <= 'z');
    if (alnum || kSafe.find(ch) != std::string_view::npos) {
      anchor += ch;
    } else {
      anchor += '%';
      anchor += kHex[c >> 4];
      anchor += kHex[c & 0xF];
    }
  }
  anchor += '/';
  anchor += std::to_string(arity);
  return anchor;
}

bool Survey::Read(std::string_view text, std::span<const prolog::Token> tokens) {
  if (encoding_ == prolog::Encoding::kUtf8) {
    for (std::size_t i = 0; i < text.size() && bomBytes_ == fed_ + i && bomBytes_ < 3; ++i) {
      if (text[i] == kByteOrderMark[bomBytes_]) ++bomBytes_;
    }
    fed_ += text.size();
    utf8_.Feed(text);
    if (!utf8_.Valid()) return false;
  }
  for (const prolog::Token& token : tokens) {
    if (reader_.AwaitsClause() && Significant(token.cls)) clauseLine_ = LineAt(text, token.begin);
    if (reader_.Push(token.cls, text.substr(token.begin, token.end - token.begin))) {
      Clause(reader_.Last());
    }
  }
  LineAt(text, text.size());
  lineScanned_ = 0;
  return true;
}

bool Survey::Finish() {
  if (reader_.Finish()) Clause(reader_.Last());
  return encoding_ != prolog::Encoding::kUtf8 || utf8_.Finish();
}

std::uint64_t Survey::LineAt(std::string_view text, std::size_t offset) {
  const char* p = text.data() + lineScanned_;
  const char* end = text.data() + offset;
  if (p < end) {
    // A line ends at LF, at CR LF and at a CR alone.
    if (afterCr_ && *p == '\n') ++p;
    line_ += static_cast<std::uint64_t>(std::count(p, end, '\n'));
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
  if (clause.hasHead) Mark(clause.head, SiteKind::kHead);
  for (const prolog::Site& call : clause.calls)
    Mark(call, SiteKind::kCall);
}

std::vector<std::string> Survey::OutsideCalls() const {
  std::vector<std::string> calls;
  for (const auto& [key, index] : keys_) {
    if (keyPredicate_[index] < 0) calls.push_back(key);
  }
  std::sort(calls.begin(), calls.end());
  return calls;
}

void Survey::LinkOutside(const std::function<std::string(std::string_view key)>& hrefOf) {
  keyHref_.assign(keyPredicate_.size(), {});
  for (const auto& [key, index] : keys_) {
    if (keyPredicate_[index] < 0) keyHref_[index] = hrefOf(key);
  }
}

std::uint32_t Survey::KeyOf(const prolog::Site& site) {
  key_.assign(site.name);
  key_ += '/';
  key_ += std::to_string(site.arity);
  auto [it, added] = keys_.try_emplace(key_, static_cast<std::uint32_t>(keyPredicate_.size()));
  if (added) keyPredicate_.push_back(-1);
  return it->second;
}

void Survey::Mark(const prolog::Site& site, SiteKind kind) {
  std::uint32_t key = KeyOf(site);
  if (kind == SiteKind::kHead && keyPredicate_[key] < 0) {
    keyPredicate_[key] = static_cast<std::int32_t>(predicates_.size());
    predicates_.push_back({site.name, site.arity, clauseLine_, AnchorOf(site.name, site.arity)});
    kind = SiteKind::kFirstHead;
  }
  AppendNumber(marks_, site.nameIndex - lastMarked_);
  AppendNumber(marks_, std::uint64_t{key} * 4 + static_cast<std::uint64_t>(kind));
  lastMarked_ = site.nameIndex;
}

std::uint64_t Survey::Marks::Number() {
  std::uint64_t n = 0;
  for (int shift = 0; at_ < survey_.marks_.size(); shift += 7) {
    auto byte = static_cast<unsigned char>(survey_.marks_[at_++]);
    n |= std::uint64_t{byte & 0x7Fu} << shift;
    if (byte < 0x80) break;
  }
  return n;
}

void Survey::Marks::Next() {
  if (at_ >= survey_.marks_.size()) {
    current_ = SiteMark{};
    return;
  }
  std::uint64_t previous = at_ == 0 ? 0 : current_.nameIndex;
  current_.nameIndex = previous + Number();
  std::uint64_t code = Number();
  current_.kind = static_cast<SiteKind>(code & 3);
  current_.predicate = survey_.keyPredicate_[code >> 2];
  current_.href = (code >> 2) < survey_.keyHref_.size()
                      ? std::string_view(survey_.keyHref_[code >> 2])
                      : std::string_view();
}

}  // namespace pl2html::html5
