#include "prolog/operators.hpp"

#include <algorithm>
#include <array>

namespace pl2html::prolog {

namespace {

constexpr std::array<std::string_view, 7> kTypeNames = {"xfx", "xfy", "yfx", "fx",
                                                        "fy",  "xf",  "yf"};

// Operator names are short and most names looked up are no operator: the
// length and the first and last bytes tell most apart.
std::uint32_t Hash(std::string_view name) {
  if (name.empty()) return 0;
  const std::uint32_t ends =
      static_cast<unsigned char>(name.front()) * 31u + static_cast<unsigned char>(name.back());
  return (ends ^ static_cast<std::uint32_t>(name.size()) * 0x9E3779B1u) * 0x85EBCA6Bu >> 7;
}

bool SameBytes(const char* a, std::string_view b) {
  for (char c : b)
    if (*a++ != c) return false;
  return true;
}

struct Initial {
  std::uint16_t priority;
  OpType type;
  std::string_view name;
};

// current_op/3 in module user of a fresh SWI-Prolog 9.0.4.
constexpr Initial kSwiInitial[] = {
    {1, OpType::kFx, "$"},
    {100, OpType::kYfx, "."},
    {200, OpType::kFy, "+"},
    {200, OpType::kFy, "-"},
    {200, OpType::kFy, "\\"},
    {200, OpType::kXfx, "**"},
    {200, OpType::kXfy, "^"},
    {400, OpType::kYfx, "*"},
    {400, OpType::kYfx, "/"},
    {400, OpType::kYfx, "//"},
    {400, OpType::kYfx, "<<"},
    {400, OpType::kYfx, ">>"},
    {400, OpType::kYfx, "div"},
    {400, OpType::kYfx, "mod"},
    {400, OpType::kYfx, "rdiv"},
    {400, OpType::kYfx, "rem"},
    {400, OpType::kYfx, "xor"},
    {500, OpType::kYfx, "+"},
    {500, OpType::kYfx, "-"},
    {500, OpType::kYfx, "/\\"},
    {500, OpType::kYfx, "\\/"},
    {600, OpType::kXfy, ":"},
    {700, OpType::kXfx, ":<"},
    {700, OpType::kXfx, "<"},
    {700, OpType::kXfx, "="},
    {700, OpType::kXfx, "=.."},
    {700, OpType::kXfx, "=:="},
    {700, OpType::kXfx, "=<"},
    {700, OpType::kXfx, "=="},
    {700, OpType::kXfx, "=@="},
    {700, OpType::kXfx, "=\\="},
    {700, OpType::kXfx, ">"},
    {700, OpType::kXfx, ">:<"},
    {700, OpType::kXfx, ">="},
    {700, OpType::kXfx, "@<"},
    {700, OpType::kXfx, "@=<"},
    {700, OpType::kXfx, "@>"},
    {700, OpType::kXfx, "@>="},
    {700, OpType::kXfx, "\\="},
    {700, OpType::kXfx, "\\=="},
    {700, OpType::kXfx, "\\=@="},
    {700, OpType::kXfx, "as"},
    {700, OpType::kXfx, "is"},
    {800, OpType::kXfx, ":="},
    {900, OpType::kFy, "\\+"},
    {1000, OpType::kXfy, ","},
    {1050, OpType::kXfy, "*->"},
    {1050, OpType::kXfy, "->"},
    {1100, OpType::kXfy, ";"},
    {1105, OpType::kXfy, "|"},
    {1150, OpType::kFx, "discontiguous"},
    {1150, OpType::kFx, "dynamic"},
    {1150, OpType::kFx, "initialization"},
    {1150, OpType::kFx, "meta_predicate"},
    {1150, OpType::kFx, "module_transparent"},
    {1150, OpType::kFx, "multifile"},
    {1150, OpType::kFx, "public"},
    {1150, OpType::kFx, "table"},
    {1150, OpType::kFx, "thread_initialization"},
    {1150, OpType::kFx, "thread_local"},
    {1150, OpType::kFx, "volatile"},
    {1200, OpType::kFx, ":-"},
    {1200, OpType::kFx, "?-"},
    {1200, OpType::kXfx, "-->"},
    {1200, OpType::kXfx, ":-"},
    {1200, OpType::kXfx, "=>"},
};

}  // namespace

OpKind KindOf(OpType type) {
  switch (type) {
    case OpType::kFx:
    case OpType::kFy:
      return OpKind::kPrefix;
    case OpType::kXf:
    case OpType::kYf:
      return OpKind::kPostfix;
    default:
      return OpKind::kInfix;
  }
}

std::string_view TypeName(OpType type) {
  return kTypeNames[static_cast<std::size_t>(type)];
}

std::optional<OpType> ParseOpType(std::string_view name) {
  for (std::size_t i = 0; i < kTypeNames.size(); ++i)
    if (kTypeNames[i] == name) return static_cast<OpType>(i);
  return std::nullopt;
}

const Operators& Operators::SwiInitial() {
  static const Operators table = [] {
    Operators t;
    for (const Initial& op : kSwiInitial)
      t.Add(op.name, op.priority, op.type);
    return t;
  }();
  return table;
}

std::uint32_t Operators::Slot(std::string_view name) const {
  const std::uint32_t mask = static_cast<std::uint32_t>(slots_.size()) - 1;
  for (std::uint32_t i = Hash(name) & mask;; i = (i + 1) & mask) {
    const std::uint32_t e = slots_[i];
    if (e == 0) return i;
    const Entry& entry = entries_[e - 1];
    if (entry.length == name.size() && SameBytes(names_.data() + entry.name, name)) return i;
  }
}

void Operators::Grow() {
  slots_.assign(slots_.empty() ? 128 : slots_.size() * 2, 0);
  for (std::uint32_t k = 0; k < entries_.size(); ++k) {
    const Entry& e = entries_[k];
    slots_[Slot(std::string_view(names_).substr(e.name, e.length))] = k + 1;
  }
}

void Operators::Add(std::string_view name, int priority, OpType type) {
  if (slots_.size() < 2 * (entries_.size() + 1)) Grow();
  std::uint32_t& slot = slots_[Slot(name)];
  if (slot == 0) {
    if (priority <= 0) return;
    if (!name.empty())
      lengths_[static_cast<unsigned char>(name[0])] |= std::uint64_t{1}
                                                       << std::min<std::size_t>(name.size(), 63);
    entries_.push_back(Entry{
        static_cast<std::uint32_t>(names_.size()), static_cast<std::uint32_t>(name.size()), {}});
    names_ += name;
    slot = static_cast<std::uint32_t>(entries_.size());
  }
  OpDefs& defs = entries_[slot - 1].defs;
  OpDef& def = defs.kind[static_cast<int>(KindOf(type))];
  def.priority = static_cast<std::uint16_t>(priority > 0 ? priority : 0);
  def.type = type;
}

const OpDefs* Operators::Find(std::string_view name) const {
  if (slots_.empty()) return nullptr;
  if (!name.empty() &&
      !((lengths_[static_cast<unsigned char>(name[0])] >> std::min<std::size_t>(name.size(), 63)) &
        1))
    return nullptr;
  const std::uint32_t e = slots_[Slot(name)];
  if (e == 0) return nullptr;
  const OpDefs& defs = entries_[e - 1].defs;
  for (const OpDef& d : defs.kind)
    if (d.priority != 0) return &defs;
  return nullptr;
}

}  // namespace pl2html::prolog
