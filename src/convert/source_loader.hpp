// The files a single page's source loads, found as SWI-Prolog finds them:
// library(...) and the other aliases in SWI-Prolog's library (the
// generated tables), a plain path beside the source, with or without its
// ".pl". The page learns their module headers, and an included file's
// clauses, from them.
#pragma once

#include <string>

#include "meaning/loads.hpp"
#include "runtime/platform.hpp"

namespace pl2html {

class SourceLoader final : public meaning::Loader {
 public:
  // `folder`: the source's own, "" for the current folder.
  SourceLoader(FileSystem& fs, std::string folder) : fs_(fs), folder_(std::move(folder)) {}

  bool Find(std::string_view alias, std::string_view path, meaning::LoadedFile& file) override;
  bool Text(const meaning::LoadedFile& file, std::string& text) override;

 private:
  FileSystem& fs_;
  std::string folder_;
  meaning::LibraryLoader library_;
};

}  // namespace pl2html
