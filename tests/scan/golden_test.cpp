// Runs every case in tests/scan/golden/ through the whole conversion and
// compares the page body line by line with the expected one.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "convert/convert.hpp"
#include "support/memory_file_system.hpp"
#include "support/stand_ins.hpp"

namespace pl2html {
namespace {

namespace fs = std::filesystem;

struct GoldenCase {
  std::string name, description, source;
  std::vector<std::string> page;
};

GoldenCase Load(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream whole;
  whole << in.rdbuf();
  std::string text = whole.str();
  GoldenCase c;
  c.name = path.filename().string();
  std::size_t source = text.find("--- source\n");
  std::size_t page = text.find("--- page\n");
  if (source == std::string::npos || page == std::string::npos) return c;
  c.description = text.substr(0, source);
  c.source = DecodeStandIns(std::string_view(text).substr(source + 11, page - source - 11), true);
  std::istringstream lines(text.substr(page + 9));
  for (std::string line; std::getline(lines, line);)
    c.page.push_back(DecodeStandIns(line));
  return c;
}

std::vector<std::string> BodyOf(const std::string& page) {
  std::vector<std::string> lines;
  std::size_t start = page.find("<pre>\r\n");
  std::size_t end = page.rfind("</pre>\r\n");
  if (start == std::string::npos || end == std::string::npos) return lines;
  for (std::size_t at = start + 7; at < end;) {
    std::size_t next = page.find("\r\n", at);
    lines.push_back(page.substr(at, next - at));
    at = next + 2;
  }
  return lines;
}

TEST(Golden, EveryCaseGivesItsPage) {
  std::vector<fs::path> paths;
  for (const auto& entry : fs::directory_iterator(fs::path(PL2HTML_TEST_DATA) / "scan/golden")) {
    if (entry.path().extension() == ".txt") paths.push_back(entry.path());
  }
  std::sort(paths.begin(), paths.end());
  ASSERT_GE(paths.size(), 3u);
  for (const fs::path& path : paths) {
    GoldenCase c = Load(path);
    ASSERT_FALSE(c.page.empty()) << c.name << " has no page section";
    MemoryFileSystem memory;
    memory.files["case.pl"] = c.source;
    ASSERT_TRUE(ConvertSource(memory, "case.pl", {"case.pl.html", false}, "case.pl").Ok());
    std::vector<std::string> got = BodyOf(memory.files["case.pl.html"]);
    for (std::size_t i = 0; i < std::max(got.size(), c.page.size()); ++i) {
      std::string expected = i < c.page.size() ? c.page[i] : "(no line)";
      std::string actual = i < got.size() ? got[i] : "(no line)";
      EXPECT_EQ(actual, expected) << c.name << ", page line " << i + 1 << "\n" << c.description;
    }
  }
}

}  // namespace
}  // namespace pl2html
