// What SWI-Prolog knows that a source file does not say: its built-in
// predicates, the predicates its autoloader can find, the predicates of
// module user, the meta-arguments the cross-referencer reads goals from,
// the hooks it knows, and the module header of every file of its library.
// The tables are generated from SWI-Prolog itself by
// scripts/swi_knowledge.pl into swi_knowledge.cpp.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace pl2html::meaning {

// A predicate SWI-Prolog knows of before it reads a file.
struct KnownPredicate {
  enum Flag : std::uint8_t {
    kBuiltIn = 1,      // a system predicate: predicate_property(system:P, built_in)
    kIso = 2,          // and an ISO one
    kUser = 4,         // defined in module user of a fresh process
    kAutoload = 8,     // the autoloader finds it (predicate_property(P, autoload(File)))
    kHook = 16,        // a clause for it (unqualified) is a hook the cross-referencer knows
    kDynamic = 32,     // a dynamic system predicate
    kXrefTable = 64,   // in the cross-referencer's own table of meta-predicates
    kSomewhere = 128,  // defined in some module of a fresh process
  };
  std::string_view name;
  std::int32_t arity = 0;
  std::uint8_t flags = 0;
  // The library file it is autoloaded from: an index into Library(), or -1.
  std::int16_t library = -1;
  // Its meta-arguments as the cross-referencer reads them from a goal whose
  // arguments are all unbound: one character an argument, "0" to "9" a
  // goal with that many more arguments, "/" a grammar body, "-" no goal.
  // Empty: not a meta-predicate.
  std::string_view meta;
};

// A predicate indicator or an operator of a module's export list.
struct KnownExport {
  std::string_view name;
  std::int32_t arity = 0;  // for an operator, its priority
  std::string_view op;     // an operator's type ("xfx"...); empty for a predicate
};

// A meta_predicate declaration of a library file: name, arity and the
// arguments as above.
struct KnownMeta {
  std::string_view name;
  std::int32_t arity = 0;
  std::string_view meta;
};

// A file of SWI-Prolog's library as the cross-referencer reads its header.
struct KnownFile {
  std::string_view path;    // relative to the library folder, without ".pl": "lists", "clp/clpfd"
  std::string_view module;  // empty: not a module file
  std::span<const KnownExport> exports;  // reexports included, as SWI lists them
  std::span<const KnownExport> publics;  // public/1 declarations
  std::span<const KnownMeta> metas;
  // Reading its header makes SWI-Prolog load library(http/html_write),
  // which brings its hooks (see HtmlWrite in colour.cpp).
  bool loadsHtmlWrite = false;
  // Loaded in a fresh SWI-Prolog (library(prolog_xref) and
  // library(prolog_colour) need it).
  bool initiallyLoaded = false;
  // The library files that loading this one loads too, by index into
  // Library(), for a file SWI-Prolog may autoload.
  std::span<const std::int16_t> brings;
  // Its html_meta/1 declarations ("h" an HTML argument), which
  // library(http/html_write) reads once the file is loaded.
  std::span<const KnownMeta> htmlMetas;
};

// A hook the cross-referencer knows: a clause for module:name/arity is a
// hook ("head-hook"). Module empty: any module.
struct KnownHook {
  std::string_view module;
  std::string_view name;
  std::int32_t arity = 0;
};

// A file search path alias into the library: library(x) is looked for in
// each of its folders in turn ("" the library folder itself, "clp").
struct KnownAlias {
  std::string_view alias;
  std::string_view folder;
};

namespace swi {
extern const std::string_view kVersion;        // of the SWI-Prolog the tables came from
std::span<const KnownPredicate> Predicates();  // by name, then arity
std::span<const KnownFile> Library();          // by path
std::span<const KnownHook> Hooks();
// The built-in predicates of the system's own modules ('$messages'...),
// by module, name and arity.
std::span<const KnownHook> SystemModulePredicates();
std::span<const KnownAlias> Aliases();
}  // namespace swi

// Lookups in the tables.
const KnownPredicate* FindKnown(std::string_view name, int arity);
const KnownFile* FindLibraryFile(std::string_view path);
// library(Request) and the like: the library file an alias and a path name,
// looked for in the alias's folders in their order.
const KnownFile* ResolveAlias(std::string_view alias, std::string_view path);
// swi(library/lists): SWI-Prolog's home holds its library, so the path
// under it is "lists". Empty: the alias is not swi, or the path is not in
// the library folder.
std::string_view SwiHomeLibraryPath(std::string_view alias, std::string_view path);
bool IsKnownHook(std::string_view module, std::string_view name, int arity);
// module:name/arity is a built-in predicate of that system module (of any,
// with an empty module).
bool IsSystemModulePredicate(std::string_view module, std::string_view name, int arity);

}  // namespace pl2html::meaning
