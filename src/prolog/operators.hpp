// The operator table the term reader parses with: each name's prefix, infix
// and postfix definition, as op/3 sets them. A source's directives change it
// as the source is read, so every source starts from a copy of SwiInitial():
// the table is a few flat arrays, cheap to copy.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pl2html::prolog {

// The types op/3 knows. Each is of one kind: prefix (fx, fy), infix (xfx,
// xfy, yfx) or postfix (xf, yf).
enum class OpType : std::uint8_t { kXfx, kXfy, kYfx, kFx, kFy, kXf, kYf };
enum class OpKind : std::uint8_t { kPrefix, kInfix, kPostfix };

OpKind KindOf(OpType type);
std::string_view TypeName(OpType type);  // "xfx", ...
std::optional<OpType> ParseOpType(std::string_view name);

// One kind of definition of a name; priority 0 means none.
struct OpDef {
  std::uint16_t priority = 0;
  OpType type = OpType::kXfx;
};

// A name's three definitions, by OpKind.
struct OpDefs {
  OpDef kind[3];
  const OpDef& operator[](OpKind k) const { return kind[static_cast<int>(k)]; }
};

class Operators {
 public:
  Operators() = default;  // no operators at all

  // The operators a fresh SWI-Prolog 9.0.4 has in module user, the system's
  // included: what current_op/3 lists there.
  static const Operators& SwiInitial();

  // op(Priority, Type, Name) for one name (UTF-8 bytes; "[]" stands for the
  // empty list, which shares the name with the atom '[]'). Priority 0
  // removes the name's definition of the type's kind.
  void Add(std::string_view name, int priority, OpType type);

  // The name's definitions, or nullptr when it has none of any kind.
  const OpDefs* Find(std::string_view name) const;

  // Every name with a definition, with its definitions, in no set order.
  template <typename Visit>
  void ForEach(Visit visit) const {
    for (const Entry& e : entries_)
      if (e.defs.kind[0].priority | e.defs.kind[1].priority | e.defs.kind[2].priority)
        visit(std::string_view(names_).substr(e.name, e.length), e.defs);
  }

 private:
  struct Entry {
    std::uint32_t name;    // offset in names_
    std::uint32_t length;  // of the name
    OpDefs defs;
  };
  std::uint32_t Slot(std::string_view name) const;  // where the name is, or its free slot
  void Grow();

  // Bit min(length, 63) of lengths_[first byte] is set when some name of that
  // length starts with that byte: most names are no operator, known at one look.
  std::array<std::uint64_t, 256> lengths_{};
  std::string names_;
  std::vector<Entry> entries_;
  std::vector<std::uint32_t> slots_;  // open addressing: entry index + 1, 0 for free
};

}  // namespace pl2html::prolog
