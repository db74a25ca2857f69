#include "convert/source_loader.hpp"

#include "prolog_page/charset.hpp"
#include "runtime/files.hpp"

namespace pl2html {

namespace {

// absolute_file_name/3 with file_type(prolog): the name with ".pl" or
// ".prolog" added, or as given when it has one of them.
bool IsPrologFile(FileSystem& fs, const std::string& path) {
  return fs.Stat(path).kind == PathKind::File;
}

}  // namespace

bool SourceLoader::Find(std::string_view alias, std::string_view path, meaning::LoadedFile& file) {
  if (!alias.empty()) return library_.Find(alias, path, file);
  const char separator = fs_.PathSeparator();
  std::string base(path);
  if (separator != '/') {
    for (char& c : base) {
      if (c == '/') c = separator;
    }
  }
  const bool absolute = !base.empty() && (base[0] == separator || base[0] == '/' ||
                                          (base.size() > 1 && base[1] == ':'));
  if (!absolute && !folder_.empty()) base = folder_ + separator + base;
  for (std::string_view extension : {".pl", ".prolog", ""}) {
    if (extension.empty() && !(base.ends_with(".pl") || base.ends_with(".prolog"))) continue;
    std::string candidate = base + std::string(extension);
    if (!IsPrologFile(fs_, candidate)) continue;
    std::string bytes, error;
    if (!ReadWholeFile(fs_, candidate, bytes, error)) return false;
    file.path = candidate;
    std::string_view name = FilePartOf(candidate, separator);
    file.title = std::string(name.substr(0, name.rfind('.')));
    file.library.clear();
    SourceLoader nested(fs_, std::string(FolderOf(candidate, separator)));
    file.header = meaning::ReadHeader(
        bytes,
        prolog_page::IsValidUtf8(bytes) ? prolog::Encoding::kUtf8 : prolog::Encoding::kLatin1,
        &nested);
    return true;
  }
  return false;
}

bool SourceLoader::Text(const meaning::LoadedFile& file, std::string& text) {
  std::string error;
  return !file.path.empty() && ReadWholeFile(fs_, file.path, text, error);
}

}  // namespace pl2html
