// OUT/xref.json: the site's cross-reference for other programs. Every
// predicate a source defines, at its first clause, with its summary and
// mode lines and every call of it in the tree, one predicate a line:
//
//   {"generator": "pl2html VERSION", "predicates": [
//   {"file": "lists.pl", "module": "lists", "name": "append", "arity": 3,
//    "line": 123, "exported": true, "summary": "...", "modes": ["..."],
//    "callers": [{"file": "x.pl", "name": "p", "arity": 2, "line": 45},
//                {"file": "y.pl", "directive": true, "line": 3},
//                {"file": "z.pl", "module": "prolog", "name": "message",
//                 "arity": 3, "line": 9}]},
//   ...
//   ]}
//
// A predicate the module exports but defines by no clause (a foreign
// library's) comes first, at "line": 0. ("module" only for a module file, and for a caller that is
// a clause for another module, such as a hook's.) Clauses for another module make an entry of their
// own, with that "module" and "qualified": true ("prolog:message/3"); the page has no "Called by"
// card for it. Predicates are sorted by file (its path under
// SRC, '/' between folders, in byte order), then line, name and arity; callers as the "Called by"
// cards list them. Text is UTF-8: names of a Latin-1 source are decoded from Latin-1, and each byte
// of a path or summary that is not part of valid UTF-8 becomes U+FFFD.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "site/callers.hpp"
#include "site/facts.hpp"
#include "site/walk.hpp"

namespace pl2html::site {

// The file's name in OUT. It names no page: pages end in ".html".
inline constexpr char kXrefJsonName[] = "xref.json";

// `files` and `facts` run in parallel.
std::string XrefJson(const std::vector<SourceFile>& files, const std::vector<FileFacts>& facts,
                     const Callers& callers);

// Appends `bytes` as a JSON string, quotes included: invalid UTF-8 as
// U+FFFD, one for each byte; `latin1`: every byte is a Latin-1 character.
void AppendJsonString(std::string& out, std::string_view bytes, bool latin1 = false);

}  // namespace pl2html::site
