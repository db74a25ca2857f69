#include "runtime/desktop/paths.hpp"

namespace pl2html {

DialogStart SplitDefaultName(std::string_view defaultName, char separator) {
  std::size_t cut = defaultName.rfind(separator);
  if (cut == std::string_view::npos || cut == 0) return {{}, std::string(defaultName)};
  DialogStart start{std::string(defaultName.substr(0, cut)),
                    std::string(defaultName.substr(cut + 1))};
  if (start.folder.size() == 2 && start.folder[1] == ':') start.folder.push_back(separator);
  return start;
}

std::string WorkingFolderOf(std::string_view path, char separator) {
  std::size_t cut = path.rfind(separator);
  if (cut == std::string_view::npos || cut == 0) return {};
  return std::string(path.substr(0, cut + 1));
}

}  // namespace pl2html
