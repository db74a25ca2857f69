#include "runtime/desktop/paths.hpp"

#include <vector>

namespace pl2html {

std::string FilterList(std::string_view pattern) {
  std::vector<std::string_view> pieces;
  for (;;) {
    std::size_t bar = pattern.find('|');
    pieces.push_back(pattern.substr(0, bar));
    if (bar == std::string_view::npos) break;
    pattern.remove_prefix(bar + 1);
  }
  std::string list;
  for (std::size_t i = 0; i + 1 < pieces.size(); i += 2) {
    if (pieces[i].empty() || pieces[i + 1].empty()) continue;
    list.append(pieces[i]).push_back('\0');
    list.append(pieces[i + 1]).push_back('\0');
  }
  if (!list.empty()) list.push_back('\0');
  return list;
}

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
