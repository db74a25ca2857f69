// The sources of a site: the Prolog files under a root folder, found by a
// walk that stays inside the root. A symbolic link is followed only when
// what it leads to lies inside the root, a folder is entered once however
// many links lead to it (so loops end), and the output folder is never a
// source, wherever it lies.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/platform.hpp"

namespace pl2html::site {

// The Prolog files a walk takes when no pattern is given.
inline constexpr std::string_view kDefaultPatterns[] = {"*.pl", "*.pro", "*.plt"};

struct SourceFile {
  std::string relative;  // from the root, components joined by "/"
  std::int64_t size = 0;
};

struct Problem {
  std::string path;  // as the platform names it
  std::string reason;
};

struct Tree {
  // Depth first, each folder's entries in byte order of their names, so
  // that the same tree gives the same list on every run and platform.
  std::vector<SourceFile> files;
  std::vector<Problem> problems;  // folders that could not be listed
};

// Whether `name` matches a pattern of "*" (any run of bytes but "/"), "?"
// (one byte) and plain bytes. A pattern with a "/" is matched against the
// relative path, one without against the file's name.
bool MatchesPattern(std::string_view pattern, std::string_view relative);

// `skip`: the output folder, left out of the walk when it lies inside.
Tree WalkTree(FileSystem& fs, const std::string& root, const std::string& skip,
              const std::vector<std::string>& patterns);

// The platform path of `relative` under `root`.
std::string JoinPath(const FileSystem& fs, const std::string& root, std::string_view relative);

}  // namespace pl2html::site
