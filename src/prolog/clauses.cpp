#include "prolog/clauses.hpp"

namespace pl2html::prolog {

namespace {

bool IsName(TokenClass cls) {
  return cls == TokenClass::kAtom || cls == TokenClass::kQuoted;
}

bool IsPunct(TokenClass cls, std::string_view text, char c) {
  return cls == TokenClass::kPunct && text.size() == 1 && text[0] == c;
}

// Operators after which another goal starts: disjunction, if-then and
// negation. (A "," is punctuation and handled with the brackets.)
bool StartsGoal(TokenClass cls, std::string_view text) {
  return cls == TokenClass::kAtom &&
         (text == ";" || text == "->" || text == "*->" || text == "\\+");
}

// What may follow a goal: its separators and the end of its group or clause.
bool EndsGoal(TokenClass cls, std::string_view text) {
  if (cls == TokenClass::kEnd) return true;
  if (cls == TokenClass::kPunct) return text == "," || text == "|" || text == ")" || text == "}";
  return cls == TokenClass::kAtom && (text == ";" || text == "->" || text == "*->");
}

}  // namespace

void AssignNameOf(std::string& name, TokenClass cls, std::string_view text) {
  if (cls != TokenClass::kQuoted || text.size() < 2 || text.back() != text.front()) {
    name.assign(text);
    return;
  }
  name.clear();
  const char quote = text.front();
  const std::string_view inner = text.substr(1, text.size() - 2);
  // Copied in runs up to each quote; the second of a doubled quote is left out.
  for (std::size_t i = 0; i < inner.size();) {
    const std::size_t at = inner.find(quote, i);
    if (at == std::string_view::npos) {
      name.append(inner.substr(i));
      break;
    }
    name.append(inner.substr(i, at + 1 - i));
    i = at + 1;
    if (i < inner.size() && inner[i] == quote) ++i;
  }
}

std::string NameOf(TokenClass cls, std::string_view text) {
  std::string name;
  AssignNameOf(name, cls, text);
  return name;
}

bool ClauseReader::InGoals() const {
  return frames_.empty() ? phase_ == Phase::kBody : frames_.back().goals;
}

bool ClauseReader::InGrammar() const {
  return frames_.empty() ? grammarBody_ : frames_.back().grammar;
}

bool ClauseReader::PushToken(TokenClass cls, std::string_view text) {
  if (finished_) {
    // Cleared rather than replaced: the calls keep their memory.
    clause_.directive = clause_.grammarRule = clause_.hasHead = false;
    clause_.calls.clear();
    finished_ = false;
  }
  bool name = IsName(cls);
  if (nameBefore_) {
    nameBefore_ = false;
    if (IsPunct(cls, text, '(')) {
      // The name's arguments: a call, or the head.
      bareGoal_ = false;
      Frame frame;
      frame.owner =
          pendingIsHead_ ? -2 : dropped_ + static_cast<std::int64_t>(clause_.calls.size());
      if (pendingIsHead_) {
        clause_.head = pending_;
      } else {
        clause_.calls.push_back(pending_);
        openCalls_.push_back(frame.owner);
      }
      frames_.push_back(frame);
      return false;
    }
    if (pendingIsHead_) {
      clause_.head = pending_;
      phase_ = Phase::kAfterHead;
    }
  }
  if (name) ++names_;
  if (cls == TokenClass::kLayout || cls == TokenClass::kComment) return false;
  if (bareGoal_) {
    bareGoal_ = false;
    if (EndsGoal(cls, text)) clause_.calls.push_back(pending_);
  }
  if (cls == TokenClass::kEnd) return EndClause();
  if (phase_ == Phase::kAfterHead) {
    AfterHead(cls, text);
  } else if (phase_ == Phase::kStart) {
    if (cls == TokenClass::kAtom && (text == ":-" || text == "?-")) {
      clause_.directive = true;
      StartBody(false);
    } else if (name) {
      phase_ = Phase::kHead;
      pendingIsHead_ = true;
      Name(cls, text);
    } else {
      phase_ = Phase::kSkip;
    }
  } else if (phase_ != Phase::kSkip) {
    Significant(cls, text);
  }
  return false;
}

void ClauseReader::Name(TokenClass cls, std::string_view text) {
  pending_.nameIndex = names_ - 1;
  AssignNameOf(pending_.name, cls, text);  // into the memory it already has
  pending_.arity = InGrammar() ? 2 : 0;
  nameBefore_ = true;
}

void ClauseReader::Significant(TokenClass cls, std::string_view text) {
  bool mayStart = goalMayStart_;
  goalMayStart_ = false;
  if (cls == TokenClass::kPunct && text.size() == 1) {
    switch (text[0]) {
      case '(':
      case '[':
      case '{': {
        if (!frames_.empty()) frames_.back().empty = false;
        Frame frame;
        frame.close = text[0] == '(' ? ')' : text[0] == '[' ? ']' : '}';
        // A bracket that opens where a goal may start holds goals; in a
        // grammar rule's body "{ }" holds plain goals.
        bool goals = mayStart && InGoals();
        frame.goals = goals && text[0] != '[';
        frame.grammar = text[0] == '(' && InGrammar();
        frames_.push_back(frame);
        goalMayStart_ = frame.goals;
        return;
      }
      case ')':
      case ']':
      case '}':
        CloseBracket();
        return;
      case ',':
        if (!frames_.empty()) ++frames_.back().commas;
        goalMayStart_ = InGoals();
        return;
      case '|':
        goalMayStart_ = InGoals();
        return;
      default:
        break;
    }
  }
  if (!frames_.empty()) frames_.back().empty = false;
  if (phase_ != Phase::kBody) return;  // names in the head are arguments
  if (InGoals() && StartsGoal(cls, text)) {
    goalMayStart_ = true;
    return;
  }
  if (IsName(cls)) {
    pendingIsHead_ = false;
    Name(cls, text);
    pending_.goal = mayStart && InGoals();
    // Not followed by "(", a name is a goal when it stands alone between
    // a goal's start and its end.
    bareGoal_ = pending_.goal;
  }
}

void ClauseReader::CloseBracket() {
  if (frames_.empty()) return;
  Frame frame = frames_.back();
  frames_.pop_back();
  int arity = frame.empty ? 0 : frame.commas + 1;
  if (frame.owner == -2) {
    clause_.head.arity = arity;
    phase_ = Phase::kAfterHead;
  } else if (frame.owner >= 0) {
    clause_.calls[static_cast<std::size_t>(frame.owner - dropped_)].arity += arity;
    openCalls_.pop_back();
  }
}

void ClauseReader::DropSettledCalls() {
  std::size_t settled = SettledCalls().size();
  clause_.calls.erase(clause_.calls.begin(),
                      clause_.calls.begin() + static_cast<std::ptrdiff_t>(settled));
  dropped_ += static_cast<std::int64_t>(settled);
}

void ClauseReader::AfterHead(TokenClass cls, std::string_view text) {
  if (cls == TokenClass::kAtom && text == ":-") {
    clause_.hasHead = true;
    StartBody(false);
  } else if (cls == TokenClass::kAtom && text == "-->") {
    clause_.hasHead = true;
    clause_.grammarRule = true;
    clause_.head.arity += 2;
    StartBody(true);
  } else {
    // "a = b.", "m:h(X) :- ...": not a plain predicate head.
    clause_.head = CallSite{};
    phase_ = Phase::kSkip;
  }
}

void ClauseReader::StartBody(bool grammar) {
  phase_ = Phase::kBody;
  grammarBody_ = grammar;
  goalMayStart_ = true;
}

bool ClauseReader::EndClause() {
  if (phase_ == Phase::kAfterHead) clause_.hasHead = true;
  if (!clause_.hasHead) clause_.head = CallSite{};
  // Calls whose arguments never closed have no arity.
  for (std::int64_t call : openCalls_)
    clause_.calls[static_cast<std::size_t>(call - dropped_)].arity = -1;
  std::erase_if(clause_.calls, [](const CallSite& call) { return call.arity < 0; });
  phase_ = Phase::kStart;
  frames_.clear();
  openCalls_.clear();
  dropped_ = 0;
  nameBefore_ = bareGoal_ = goalMayStart_ = grammarBody_ = false;
  finished_ = true;
  return true;
}

bool ClauseReader::Finish() {
  if (finished_) return false;
  if (nameBefore_ && pendingIsHead_) {
    clause_.head = pending_;
    phase_ = Phase::kAfterHead;
  }
  if (bareGoal_) clause_.calls.push_back(pending_);
  nameBefore_ = bareGoal_ = false;
  if (phase_ == Phase::kStart) return false;
  return EndClause();
}

}  // namespace pl2html::prolog
