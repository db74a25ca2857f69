// The first pass over a source: what the page must know before it writes
// its first byte. The charset (the source is valid UTF-8 or not), the
// predicates the file defines, and where in the token stream each clause
// head and each call to a predicate stands, so that the second pass can
// mark them without looking ahead.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "prolog/clauses.hpp"
#include "prolog/lexer.hpp"
#include "prolog_page/charset.hpp"
#include "prolog_page/marks.hpp"
#include "runtime/growable.hpp"

namespace pl2html::prolog_page {

struct Predicate {
  std::string_view name;  // held by the survey
  int arity = 0;
  std::uint64_t line = 0;  // of its first clause, from 1
};

// How a name token is marked in the page.
enum class MarkKind : std::uint8_t { kCall, kHead, kFirstHead };

struct NameMark {
  std::uint64_t nameIndex = ~std::uint64_t{0};  // none left: no name has this index
  MarkKind kind = MarkKind::kCall;
  std::int32_t predicate = -1;  // index into Survey::predicates; -1 not defined in the file
  bool goal = false;            // a call where a goal stands (prolog::CallSite::goal)
  std::string_view href;        // where a call to a predicate defined elsewhere leads, if anywhere
};

// Numbers each distinct name/arity from 0 in the order first seen. One flat
// table of slots and blocks of names: a file can name hundreds of
// thousands of predicates, and a table of nodes would miss the cache on
// every call.
class KeyTable {
 public:
  // The number of name/arity; `added` tells whether it is new.
  std::uint32_t Find(std::string_view name, int arity, bool& added);
  std::uint32_t Size() const { return static_cast<std::uint32_t>(keys_.Size()); }
  // Valid as long as the table: names never move.
  std::string_view Name(std::uint32_t key) const { return {keys_[key].name, keys_[key].nameSize}; }
  int Arity(std::uint32_t key) const { return keys_[key].arity; }
  // Frees the slots, which only Find needs: the page pass asks by number.
  // A later Find builds them again.
  void LetGoOfSlots() {
    std::vector<std::uint8_t>().swap(tags_);
    std::vector<std::uint32_t>().swap(slotKeys_);
  }

 private:
  struct Key {
    const char* name = nullptr;
    std::uint32_t nameSize = 0;
    std::int32_t arity = 0;
  };
  void Grow();
  const char* Keep(std::string_view name);

  // The slots: a power of two of them, at most 7/8 full. A slot is a byte
  // of tag (0 empty, else 0x80 and seven bits of the hash) and, apart, the
  // number of its key. A lookup reads a key number, a key and a name only
  // where the tag matches, so a new name is nearly always settled by the
  // tags alone; and the tags of hundreds of thousands of keys stay in the
  // cache where slots holding the hash did not.
  std::vector<std::uint8_t> tags_;
  std::vector<std::uint32_t> slotKeys_;
  GrowableArray<Key> keys_;  // grows in place: no second copy while it grows
  // The names end to end in blocks, a long name in a block of its own, so
  // that a name stays where it is however many follow.
  static constexpr std::size_t kNameBlock = 64 * 1024;
  std::vector<std::unique_ptr<char[]>> nameBlocks_;
  char* nameFree_ = nullptr;
  std::size_t nameRoom_ = 0;  // bytes free at nameFree_
};

class Survey {
 public:
  // With kUtf8 the survey checks that the source is valid UTF-8 and stops
  // believing it (Utf8() false) at the first byte that is not.
  explicit Survey(prolog::Encoding encoding) : encoding_(encoding) {}

  // The tokens of the next piece of the source; `text` is that piece. False
  // when the source turned out not to be UTF-8: start again with Latin-1.
  bool Read(std::string_view text, std::span<const prolog::Token> tokens);
  // False when the end showed that the source is not UTF-8 after all.
  bool Finish();

  bool Utf8() const { return encoding_ == prolog::Encoding::kUtf8 && utf8_.Valid(); }
  Charset PageCharset() const { return Utf8() ? Charset::kUtf8 : Charset::kWindows1252; }
  std::span<const Predicate> Predicates() const { return {predicates_.Data(), predicates_.Size()}; }

  // The predicates called where a goal stands but not defined in the file,
  // as "name/arity", in byte order.
  std::vector<std::string> OutsideCalls() const;
  // Gives calls to predicates defined elsewhere a link: `hrefOf` answers,
  // for each "name/arity" of OutsideCalls, the URL of its definition or
  // nothing. Once the survey is finished.
  void LinkOutside(const std::function<std::string(std::string_view key)>& hrefOf);

  // The marks in order of their name tokens.
  class Marks {
   public:
    explicit Marks(const Survey& survey) : survey_(survey) { Next(); }
    const NameMark& Current() const { return current_; }
    void Next();

   private:
    std::uint64_t Number();
    const Survey& survey_;
    std::size_t at_ = 0;
    NameMark current_;
  };

 private:
  void Clause(const prolog::Clause& clause);
  std::string KeyText(std::uint32_t key) const;  // "name/arity"
  void TakeSettledCalls();
  static constexpr std::size_t kSettledCalls = 1024;
  void Mark(const prolog::CallSite& named, MarkKind kind);
  std::uint32_t KeyOf(const prolog::CallSite& named);
  std::uint64_t LineAt(std::string_view text, std::size_t offset);

  prolog::Encoding encoding_;
  Utf8Validator utf8_;
  prolog::ClauseReader reader_;
  bool headMarked_ = false;  // the current clause's head, taken before its end
  // Lines are counted up to the start of each clause.
  std::uint64_t line_ = 1;
  std::size_t lineScanned_ = 0;  // in the current piece
  bool afterCr_ = false;
  std::uint64_t clauseLine_ = 1;
  // Every name/arity seen as a head or a call, and the predicate it is.
  KeyTable keys_;
  GrowableArray<std::int32_t> keyPredicate_;
  std::vector<std::string> keyHref_;  // by key, when LinkOutside gave links
  GrowableArray<char> keyGoal_;       // by key: called where a goal stands
  GrowableArray<Predicate> predicates_;
  // Marks as variable-length numbers: the gap since the previous mark's
  // name index, then (key * 2 + goal) * 4 + kind. About three bytes a call.
  GrowableArray<char> marks_;
  std::uint64_t lastMarked_ = 0;
};



}  // namespace pl2html::prolog_page
