#include "driver/run.hpp"

#include <string_view>

#include "convert/convert.hpp"
#include "driver/options.hpp"
#include "driver/site_command.hpp"

namespace pl2html {

namespace {

// The dialog's texts are Windows-1252 bytes: 0xE0 is "à".
constexpr char kDialogTitle[] = "Fichier Prolog \xE0 ouvrir";
constexpr char kDialogPattern[] = "Fichiers Prolog (*.pl)|*.pl";
constexpr char kErrorTitle[] = "Erreur";
constexpr char kErrorText[] = "An error as occured";
constexpr int kPlainMessage = 0;  // one OK button, no icon

// The title of a page made from standard input.
constexpr std::string_view kStandardInputTitle = "stdin";
// A page for standard output, in messages.
const std::string kStandardOutputName = "standard output";

constexpr std::string_view kUsage =
    "usage: pl2html [--open]         choose a Prolog file, convert it and show its page\n"
    "       pl2html [--open] FILE... convert each FILE into FILE.html\n"
    "       pl2html -o OUT FILE      convert FILE into OUT (\"-\": standard output)\n"
    "       pl2html --prolog [--fragment] [--no-line-numbers] [--manual-url URL] [-o OUT] FILE...\n"
    "       pl2html --prolog -r SRC -d OUT [-j N] [--include GLOB]... [--manual-url URL]\n"
    "                        [--tags FILE]\n"
    "FILE \"-\" reads standard input; its page goes to standard output unless -o says otherwise.\n"
    "  --open             show each page with the desktop's program for HTML files\n"
    "  --prolog           write the Prolog page: HTML5, tokens as the Prolog reader reads\n"
    "                     them, every goal and head classed as SWI-Prolog's source view\n"
    "                     classes it, linked predicates, line numbers, light and dark colours\n"
    "  --fragment         with --prolog: only the code element and its style sheet\n"
    "  --no-line-numbers  with --prolog: no line numbers\n"
    "  --manual-url URL   with --prolog: link built-in and library predicates to URL followed\n"
    "                     by NAME/ARITY (default: SWI-Prolog's online manual); none: no links\n"
    "  -r SRC -d OUT      with --prolog: every Prolog file under SRC to OUT/PATH.html, with\n"
    "                     OUT/index.html, OUT/xref.json and links between files; again,\n"
    "                     only what changed\n"
    "  -j N               with -r: N threads (default: one per core); no space needed\n"
    "  --include GLOB     with -r: the files to convert (default: *.pl, *.pro, *.plt)\n"
    "  --tags FILE        with -r: also write a tags file (ctags format) of every predicate\n"
    "  --help             show this text\n"
    "  --version          show the version\n";

void Print(FileSystem& fs, FileHandle stream, std::string_view text) {
  fs.Write(stream, text.data(), text.size());
}

PageTarget TargetFor(const Options& options, const std::string& file) {
  if (options.haveOutput) return {options.output, options.output == "-"};
  if (file == "-") return {{}, true};
  return {file + ".html", false};
}

int RunCommandLine(const Options& options, FileSystem& fs, const DesktopProvider& desktop) {
  int status = kSuccess;
  for (const std::string& file : options.files) {
    PageTarget target = TargetFor(options, file);
    PageKind kind;
    kind.prolog = options.prolog;
    kind.fragment = options.fragment;
    kind.lineNumbers = options.lineNumbers;
    kind.manualUrl = options.manualUrl;
    // Standard input is read from a scratch copy: what it loads is looked
    // for from the current folder.
    if (file == "-") kind.loadsFrom = ".";
    Outcome outcome =
        file == "-" ? ConvertStandardInput(fs, target, kStandardInputTitle, kind)
                    : ConvertSource(fs, file, target, FilePartOf(file, fs.PathSeparator()), kind);
    if (!outcome.Ok()) {
      // A page that cannot be written is named by its own path.
      const std::string& named = outcome.failure != Failure::kCannotWrite ? file
                                 : target.toStandardOutput                ? kStandardOutputName
                                                                          : target.path;
      Print(fs, fs.StandardError(), "pl2html: " + named + ": " + Describe(outcome) + "\n");
      status = kFailure;
      continue;
    }
    if (options.open && !target.toStandardOutput && desktop().OpenWithShell(target.path) == 0) {
      Print(fs, fs.StandardError(), "pl2html: " + target.path + ": cannot be shown\n");
      status = kFailure;
    }
  }
  return status;
}

}  // namespace

int RunDesktopFlow(FileSystem& fs, Desktop& desktop) {
  std::string inputPath = desktop.ChooseFileToOpen(kDialogTitle, "", kDialogPattern, 0);
  // A cancelled dialog leaves the path empty, and the size test then fails.
  PageTarget target{inputPath + ".html", false};
  Outcome outcome = ConvertSource(fs, inputPath, target, FilePartOf(inputPath, fs.PathSeparator()));
  if (!outcome.Ok()) {
    desktop.ShowMessage(kErrorTitle, kErrorText, kPlainMessage);
    return kFailure;
  }
  // A page that cannot be shown is not reported: it is written all the same.
  desktop.OpenWithShell(target.path);
  return kSuccess;
}

int Main(const std::vector<std::string>& args, FileSystem& fs, const DesktopProvider& desktop) {
  // A desktop launcher starts "pl2html --open %F" with no file at all when
  // the program is picked from a menu rather than for a file: that is the
  // desktop flow too.
  if (args.empty() || (args.size() == 1 && args[0] == "--open")) {
    return RunDesktopFlow(fs, desktop());
  }
  Options options = ParseOptions(args);
  switch (options.request) {
    case Options::Request::kHelp:
      Print(fs, fs.StandardOutput(), kUsage);
      return kSuccess;
    case Options::Request::kVersion:
      Print(fs, fs.StandardOutput(), "pl2html " PL2HTML_VERSION "\n");
      return kSuccess;
    case Options::Request::kConvert:
      break;
  }
  if (!options.problem.empty()) {
    Print(fs, fs.StandardError(), "pl2html: " + options.problem + "\n");
    Print(fs, fs.StandardError(), kUsage);
    return kUsageError;
  }
  if (options.site) return RunSite(options, fs);
  return RunCommandLine(options, fs, desktop);
}

}  // namespace pl2html
