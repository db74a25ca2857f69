// Runs the numbered examples of tests/scan/examples/: colouring, declaration
// scans and whole pages. A failing example is reported by its file, number
// and first source line, with a unified diff of what was expected and what
// came.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "convert/convert.hpp"
#include "scan/colour.hpp"
#include "scan/declarations.hpp"
#include "support/memory_file_system.hpp"
#include "support/stand_ins.hpp"
#include "support/word_table_probe.hpp"

namespace pl2html {
namespace {

using Lines = std::vector<std::string>;

struct Example {
  int number = 0;
  std::size_t line = 0;  // where "== N" stands in its file
  Lines steps;           // the lines after it, stand-ins kept
};

std::vector<Example> Load(const std::string& name) {
  std::ifstream in(std::filesystem::path(PL2HTML_TEST_DATA) / "scan/examples" / name,
                   std::ios::binary);
  std::vector<Example> examples;
  std::size_t lineNumber = 0;
  for (std::string text; std::getline(in, text);) {
    ++lineNumber;
    if (text.empty() || text[0] == '#') continue;
    if (text.rfind("== ", 0) == 0) {
      examples.push_back({std::stoi(text.substr(3)), lineNumber, {}});
    } else if (!examples.empty()) {
      examples.back().steps.push_back(text);
    }
  }
  return examples;
}

bool StartsWith(const std::string& step, std::string_view mark) {
  return step.rfind(mark, 0) == 0;
}

// The bytes after a step's mark and its space: "< x" gives "x".
std::string Operand(const std::string& step, std::size_t markSize) {
  return DecodeStandIns(step.size() > markSize ? step.substr(markSize + 1) : std::string());
}

// Each line coloured in turn; each "> " step becomes the last line's colours.
Lines RunColouring(const Lines& steps) {
  Conversion conversion;
  Lines actual;
  std::string coloured;
  for (const std::string& step : steps) {
    if (StartsWith(step, "+")) {
      conversion.typeWords.Add(Operand(step, 1));
    } else if (StartsWith(step, "<")) {
      coloured.clear();
      ColourLine(conversion, Operand(step, 1), coloured);
    } else if (StartsWith(step, ">")) {
      actual.push_back("> " + EncodeStandIns(coloured));
      continue;
    }
    actual.push_back(step);
  }
  return actual;
}

// The source lines scanned; "learns:" becomes the words learned.
Lines RunDeclarations(const Lines& steps) {
  Conversion conversion;
  const std::size_t builtIn = WordTableProbe::Words(conversion.typeWords).size();
  DeclarationScan scan(conversion);
  Lines actual;
  for (const std::string& step : steps) {
    if (StartsWith(step, "<")) scan.ScanLine(Operand(step, 1));
    if (!StartsWith(step, "learns:")) {
      actual.push_back(step);
      continue;
    }
    scan.EndScan();
    std::string learned = "learns:";
    Lines words = WordTableProbe::Words(conversion.typeWords);
    for (std::size_t i = builtIn; i < words.size(); ++i)
      learned += " [" + EncodeStandIns(words[i]) + "]";
    actual.push_back(learned);
  }
  return actual;
}

// The source's page, to a file, a device or the source itself: its body
// lines, or the failure.
Lines RunPage(const Lines& steps) {
  MemoryFileSystem fs;
  std::string source;
  Lines actual;
  for (const std::string& step : steps) {
    if (StartsWith(step, "<")) source += Operand(step, 1) + "\n";
    if (StartsWith(step, "<") || StartsWith(step, "page to")) actual.push_back(step);
  }
  fs.files["case.pl"] = source;
  PageTarget target{"case.pl.html"};
  if (steps.front() == "page to a device") fs.devices[target.path = "device"];
  if (steps.front() == "page to its source") target.path = "case.pl";
  Outcome outcome = ConvertSource(fs, "case.pl", target, "case.pl");
  if (!outcome.Ok()) {
    actual.push_back("fails: " + Describe(outcome));
    return actual;
  }
  const std::string& page =
      fs.devices.count(target.path) != 0 ? fs.devices[target.path] : fs.files[target.path];
  std::size_t end = page.rfind("</pre>\r\n");
  for (std::size_t at = page.find("<pre>\r\n") + 7; at < end;) {
    std::size_t next = page.find("\r\n", at);
    actual.push_back("> " + EncodeStandIns(page.substr(at, next - at)));
    at = next + 2;
  }
  return actual;
}

Lines Run(const Example& example) {
  for (const std::string& step : example.steps) {
    if (StartsWith(step, "page to")) return RunPage(example.steps);
    if (StartsWith(step, "learns:")) return RunDeclarations(example.steps);
  }
  return RunColouring(example.steps);
}

// A unified diff of two short texts, as one hunk.
std::string UnifiedDiff(const Lines& expected, const Lines& actual) {
  const std::size_t n = expected.size(), m = actual.size();
  // common[i][j]: the longest common run of expected[i..] and actual[j..].
  std::vector<std::vector<std::size_t>> common(n + 1, std::vector<std::size_t>(m + 1, 0));
  for (std::size_t i = n; i-- > 0;) {
    for (std::size_t j = m; j-- > 0;) {
      common[i][j] = expected[i] == actual[j] ? common[i + 1][j + 1] + 1
                                              : std::max(common[i + 1][j], common[i][j + 1]);
    }
  }
  std::string diff =
      "--- expected\n+++ actual\n@@ -1," + std::to_string(n) + " +1," + std::to_string(m) + " @@\n";
  std::size_t i = 0, j = 0;
  while (i < n || j < m) {
    if (i < n && j < m && expected[i] == actual[j]) {
      diff += " " + expected[i++] + "\n";
      ++j;
    } else if (i < n && (j == m || common[i + 1][j] >= common[i][j + 1])) {
      diff += "-" + expected[i++] + "\n";
    } else {
      diff += "+" + actual[j++] + "\n";
    }
  }
  return diff;
}

void RunAll(const std::string& file) {
  std::vector<Example> examples = Load(file);
  ASSERT_FALSE(examples.empty()) << file << " has no examples";
  for (const Example& example : examples) {
    Lines actual = Run(example);
    if (actual == example.steps) continue;
    std::string first = example.steps.empty() ? std::string() : example.steps.front();
    ADD_FAILURE() << file << ", example " << example.number << " (line " << example.line
                  << "): " << first << "\n"
                  << UnifiedDiff(example.steps, actual);
  }
}

TEST(Examples, Colouring) {
  RunAll("colour.txt");
}

TEST(Examples, Declarations) {
  RunAll("declarations.txt");
}

TEST(Examples, Regressions) {
  RunAll("regressions.txt");
}

}  // namespace
}  // namespace pl2html
