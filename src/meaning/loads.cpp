#include "meaning/loads.hpp"

#include <mutex>

#include "meaning/clause_stream.hpp"
#include "meaning/knowledge.hpp"
#include "meaning/term_view.hpp"

namespace pl2html::meaning {

namespace {

std::shared_ptr<const ModuleHeader> HeaderOf(const KnownFile& file) {
  auto header = std::make_shared<ModuleHeader>();
  header->module = std::string(file.module);
  for (const KnownExport& e : file.exports)
    header->exports.push_back({std::string(e.name), e.arity, std::string(e.op)});
  for (const KnownExport& e : file.publics)
    header->publics.push_back({std::string(e.name), e.arity, std::string(e.op)});
  for (const KnownMeta& m : file.metas)
    header->metas.push_back({std::string(m.name), m.arity, std::string(m.meta)});
  header->loadsHtmlWrite = file.loadsHtmlWrite;
  return header;
}

// One header per library file, made at first use and shared by every
// thread of a site.
const std::vector<std::shared_ptr<const ModuleHeader>>& LibraryHeaders() {
  static std::once_flag once;
  static std::vector<std::shared_ptr<const ModuleHeader>> headers;
  std::call_once(once, [] {
    for (const KnownFile& file : swi::Library())
      headers.push_back(HeaderOf(file));
  });
  return headers;
}

}  // namespace

std::shared_ptr<const ModuleHeader> LibraryHeader(std::string_view libraryPath) {
  const KnownFile* file = FindLibraryFile(libraryPath);
  if (file == nullptr) return nullptr;
  return LibraryHeaders()[static_cast<std::size_t>(file - swi::Library().data())];
}

bool LibraryLoader::Find(std::string_view alias, std::string_view path, LoadedFile& file) {
  if (alias.empty()) return false;
  const KnownFile* known = ResolveAlias(alias, path);
  if (known == nullptr) return false;
  file.title = std::string(known->path);
  file.library = std::string(known->path);
  file.path.clear();
  file.header = LibraryHeader(known->path);
  return true;
}

namespace {

// Reads the directives at a source's start as public_list/6 does: the
// module/2 first (after an encoding/1), then reexport/1,2, meta_predicate/1
// and public/1 until the first clause that is no directive. Conditional
// compilation is not evaluated: every branch counts.
class HeaderReader {
 public:
  HeaderReader(ModuleHeader& header, Loader* loader) : header_(header), loader_(loader) {}

  bool Clause(const prolog::TermReader& reader, const Term* clause) {
    if (clause == nullptr) return !first_;  // a syntax error ends a header not yet begun
    Terms T(reader);
    if (!T.Is(*clause, ":-", 1)) return false;
    const Term& d = T.Arg(*clause, 0);
    if (first_) {
      if (T.Is(d, "encoding", 1)) return true;
      first_ = false;
      if (!T.Is(d, "module", 2) || !T.IsAtom(T.Arg(d, 0))) {
        failed_ = true;
        return false;
      }
      header_.module = std::string(T.Arg(d, 0).name);
      Entries(T, T.Arg(d, 1), header_.exports);
      return true;
    }
    if (T.Is(d, "reexport", 1) || T.Is(d, "reexport", 2)) Reexport(T, d);
    if (T.Is(d, "use_module", 1) || T.Is(d, "use_module", 2)) UseModule(T, d);
    if (T.Is(d, "meta_predicate", 1)) Metas(T, T.Arg(d, 0));
    if (T.Is(d, "public", 1)) Publics(T, T.Arg(d, 0));
    return true;
  }

  bool Failed() const { return failed_ || first_; }

 private:
  static bool Arity(const Term& a, int& value) {
    if (a.kind != TermKind::kNumber || a.name.empty() || a.name.size() > 4) return false;
    value = 0;
    for (char c : a.name) {
      if (c < '0' || c > '9') return false;
      value = value * 10 + (c - '0');
    }
    return true;
  }

  static bool Entry(const Terms& T, const Term& e, ExportEntry& out) {
    bool dcg = T.Is(e, "//", 2);
    if (dcg || T.Is(e, "/", 2)) {
      const Term& n = T.Arg(e, 0);
      int a = 0;
      if (!T.IsAtom(n) || !Arity(T.Arg(e, 1), a)) return false;
      out = {std::string(n.name), dcg ? a + 2 : a, {}};
      return true;
    }
    return false;
  }

  static void Entries(const Terms& T, const Term& list, std::vector<ExportEntry>& out) {
    if (list.kind != TermKind::kList) return;
    const std::uint32_t n = list.arity - (list.hasTail ? 1 : 0);
    for (std::uint32_t i = 0; i < n; ++i) {
      const Term& e = T.Child(list, i);
      ExportEntry entry;
      if (Entry(T, e, entry)) {
        out.push_back(std::move(entry));
      } else if (T.Is(e, "op", 3)) {
        const Term& names = T.Arg(e, 2);
        int p = 0;
        if (!Arity(T.Arg(e, 0), p) || !T.IsAtom(T.Arg(e, 1))) continue;
        if (T.IsAtom(names)) {
          out.push_back({std::string(names.name), p, std::string(T.Arg(e, 1).name)});
        } else if (names.kind == TermKind::kList) {
          for (std::uint32_t j = 0; j < names.arity; ++j) {
            const Term& name = T.Child(names, j);
            if (T.IsAtom(name))
              out.push_back({std::string(name.name), p, std::string(T.Arg(e, 1).name)});
          }
        }
      }
    }
  }

  // A use_module/1,2 of library(http/html_write) that imports its html/4.
  // Told by the name alone: reading that file's header would read more
  // headers, and files may use each other.
  void UseModule(const Terms& T, const Term& d) {
    std::string alias, path;
    if (!FileOf(T, T.Arg(d, 0), alias, path)) return;
    std::string_view base = path;
    if (std::size_t slash = base.rfind('/'); slash != std::string_view::npos)
      base = base.substr(slash + 1);
    if (base != "html_write" && base != "html_write.pl") return;
    if (d.arity == 2) {
      const Term& imports = T.Arg(d, 1);
      bool html4 = false;
      for (std::uint32_t i = 0; imports.kind == TermKind::kList && i < imports.arity; ++i) {
        ExportEntry e;
        if (Entry(T, T.Child(imports, i), e) && e.name == "html" && e.arity == 4) html4 = true;
      }
      if (!html4) return;
    }
    header_.loadsHtmlWrite = true;
  }

  void Reexport(const Terms& T, const Term& d) {
    const Term& request = T.Arg(d, 0);
    auto one = [&](const Term& s) {
      std::string alias, path;
      if (!FileOf(T, s, alias, path) || loader_ == nullptr || ++depth_ > 16) return;
      LoadedFile file;
      if (!loader_->Find(alias, path, file) || file.header == nullptr) return;
      const ModuleHeader& h = *file.header;
      if (h.loadsHtmlWrite) header_.loadsHtmlWrite = true;
      if (d.arity == 1) {
        header_.exports.insert(header_.exports.end(), h.exports.begin(), h.exports.end());
        header_.metas.insert(header_.metas.end(), h.metas.begin(), h.metas.end());
        header_.publics.insert(header_.publics.end(), h.publics.begin(), h.publics.end());
        return;
      }
      const Term& imports = T.Arg(d, 1);
      if (T.Is(imports, "except", 1)) {
        std::vector<ExportEntry> left = h.exports;
        const Term& list = T.Arg(imports, 0);
        for (std::uint32_t i = 0; list.kind == TermKind::kList && i < list.arity; ++i) {
          const Term& e = T.Child(list, i);
          ExportEntry x;
          if (T.Is(e, "as", 2) && Entry(T, T.Arg(e, 0), x)) {
            for (ExportEntry& l : left) {
              if (l.op.empty() && l.name == x.name && l.arity == x.arity)
                l.name = std::string(T.Arg(e, 1).name);
            }
          } else if (Entry(T, e, x)) {
            std::erase_if(left, [&](const ExportEntry& l) {
              return l.op.empty() && l.name == x.name && l.arity == x.arity;
            });
          }
        }
        header_.exports.insert(header_.exports.end(), left.begin(), left.end());
        return;
      }
      for (std::uint32_t i = 0; imports.kind == TermKind::kList && i < imports.arity; ++i) {
        const Term& e = T.Child(imports, i);
        ExportEntry x;
        if (T.Is(e, "as", 2) && Entry(T, T.Arg(e, 0), x)) {
          x.name = std::string(T.Arg(e, 1).name);
          header_.exports.push_back(x);
        } else if (Entry(T, e, x)) {
          header_.exports.push_back(x);
        }
      }
    };
    if (request.kind == TermKind::kList) {
      for (std::uint32_t i = 0; i < request.arity; ++i)
        one(T.Child(request, i));
    } else {
      one(request);
    }
  }

  static bool FileOf(const Terms& T, const Term& s, std::string& alias, std::string& path) {
    auto pathOf = [&](auto&& self, const Term& t, std::string& out) -> bool {
      if (T.IsAtom(t)) {
        out += t.name;
        return true;
      }
      if (T.Is(t, "/", 2)) {
        if (!self(self, T.Arg(t, 0), out)) return false;
        out += '/';
        return self(self, T.Arg(t, 1), out);
      }
      return false;
    };
    if (s.kind == TermKind::kCompound && s.arity == 1) {
      alias = std::string(s.name);
      return pathOf(pathOf, T.Arg(s, 0), path);
    }
    return pathOf(pathOf, s, path);
  }

  void Metas(const Terms& T, const Term& t) {
    if (T.Is(t, ",", 2)) {
      Metas(T, T.Arg(t, 0));
      Metas(T, T.Arg(t, 1));
      return;
    }
    if (t.kind != TermKind::kCompound) return;
    std::string request;
    for (std::uint32_t i = 0; i < t.arity; ++i) {
      const Term& a = T.Arg(t, i);
      int n = 0;
      if (Arity(a, n) && n <= 9) {
        request += static_cast<char>('0' + n);
      } else if (T.IsAtom(a, "//")) {
        request += '/';
      } else if (T.IsAtom(a, "^")) {
        request += '^';
      } else {
        request += '-';
      }
    }
    header_.metas.push_back({std::string(t.name), static_cast<int>(t.arity), request});
  }

  void Publics(const Terms& T, const Term& t) {
    if (T.Is(t, ",", 2)) {
      Publics(T, T.Arg(t, 0));
      Publics(T, T.Arg(t, 1));
      return;
    }
    if (t.kind == TermKind::kList) return Entries(T, t, header_.publics);
    ExportEntry e;
    if (Entry(T, t, e)) header_.publics.push_back(e);
  }

  ModuleHeader& header_;
  Loader* loader_;
  bool first_ = true;
  bool failed_ = false;
  int depth_ = 0;
};

}  // namespace

std::shared_ptr<const ModuleHeader> ReadHeader(std::string_view text, prolog::Encoding encoding,
                                               Loader* loader) {
  // Reexports are followed through the loader, which reads their headers
  // in turn: a bound on the depth ends any cycle of files.
  static thread_local int depth = 0;
  struct Deeper {
    Deeper() { ++depth; }
    ~Deeper() { --depth; }
  } deeper;
  if (depth > 8) loader = nullptr;
  auto header = std::make_shared<ModuleHeader>();
  HeaderReader reader(*header, loader);
  prolog::Operators ops = prolog::Operators::SwiInitial();
  ReadClauses(text, encoding, &ops,
              [&](const prolog::TermReader& r, const Term* clause, std::uint64_t) {
                return reader.Clause(r, clause);
              });
  if (reader.Failed()) header->module.clear();
  return header;
}

}  // namespace pl2html::meaning
