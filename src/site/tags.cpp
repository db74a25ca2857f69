#include "site/tags.hpp"

#include <algorithm>

namespace pl2html::site {

namespace {

bool Taggable(std::string_view name) {
  if (name.empty() || name[0] == ' ' || name[0] == '!') return false;
  return std::none_of(name.begin(), name.end(), [](char c) {
    auto b = static_cast<unsigned char>(c);
    return b < 0x20 || b == 0x7F;
  });
}

std::vector<std::string_view> Parts(std::string_view path, char separator) {
  std::vector<std::string_view> parts;
  for (std::size_t start = 0; start < path.size();) {
    std::size_t end = std::min(path.find(separator, start), path.size());
    if (end > start) parts.push_back(path.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

}  // namespace

std::string RelativePath(std::string_view from, std::string_view to, char separator) {
  std::vector<std::string_view> a = Parts(from, separator), b = Parts(to, separator);
  // "C:" and "D:", or "\\server" and another: no way from one to the other.
  if (!a.empty() && !b.empty() && a[0] != b[0] && (a[0].back() == ':' || b[0].back() == ':'))
    return std::string(to);
  std::size_t common = 0;
  while (common < a.size() && common < b.size() && a[common] == b[common])
    ++common;
  std::vector<std::string_view> parts(a.size() - common, "..");
  parts.insert(parts.end(), b.begin() + static_cast<std::ptrdiff_t>(common), b.end());
  std::string path;
  for (std::string_view part : parts) {
    if (!path.empty()) path += separator;
    path += part;
  }
  if (!path.empty() && to.back() == separator) path += separator;
  return path;
}

std::string TagsText(const std::vector<SourceFile>& files, const std::vector<FileFacts>& facts,
                     std::string_view prefix, char separator) {
  std::vector<std::string> lines;
  for (std::size_t i = 0; i < files.size(); ++i) {
    std::string path(prefix);
    for (char c : files[i].relative)
      path += c == '/' ? separator : c;
    if (!Taggable(path)) continue;
    for (const Definition& definition : facts[i].definitions) {
      std::size_t slash = definition.key.rfind('/');
      std::string_view name = std::string_view(definition.key).substr(0, slash);
      if (!Taggable(name)) continue;
      std::string line(name);
      line += '\t';
      line += path;
      line += '\t';
      line += std::to_string(definition.line);
      line += ";\"\tkind:predicate\tarity:";
      line += definition.key.substr(slash + 1);
      if (facts[i].isModule && !definition.exported) line += "\tfile:";
      line += '\n';
      lines.push_back(std::move(line));
    }
  }
  std::sort(lines.begin(), lines.end());
  std::string text =
      "!_TAG_FILE_FORMAT\t2\t/extended format; --format=1 will not append ;\" to lines/\n"
      "!_TAG_FILE_SORTED\t1\t/0=unsorted, 1=sorted, 2=foldcase/\n"
      "!_TAG_KIND_DESCRIPTION!Prolog\tp,predicate\t/predicates/\n";
  text += separator == '/' ? "!_TAG_OUTPUT_FILESEP\tslash\t/slash or backslash/\n"
                           : "!_TAG_OUTPUT_FILESEP\tbackslash\t/slash or backslash/\n";
  text +=
      "!_TAG_PROGRAM_NAME\tpl2html\t//\n"
      "!_TAG_PROGRAM_VERSION\t" PL2HTML_VERSION "\t//\n";
  for (const std::string& line : lines)
    text += line;
  return text;
}

}  // namespace pl2html::site
