#include "driver/options.hpp"

namespace pl2html {

namespace {

void Complain(Options& options, std::string problem) {
  if (options.problem.empty()) options.problem = std::move(problem);
}

void Ask(Options& options, Options::Request request) {
  if (options.request == Options::Request::kConvert) options.request = request;
}

}  // namespace

Options ParseOptions(const std::vector<std::string>& args) {
  Options options;
  bool optionsEnded = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (optionsEnded || arg == "-" || arg.empty() || arg[0] != '-') {
      options.files.push_back(arg);
    } else if (arg == "--") {
      optionsEnded = true;
    } else if (arg == "--help" || arg == "-h") {
      Ask(options, Options::Request::kHelp);
    } else if (arg == "--version") {
      Ask(options, Options::Request::kVersion);
    } else if (arg == "--open") {
      options.open = true;
    } else if (arg == "--prolog") {
      options.prolog = true;
    } else if (arg == "--fragment") {
      options.fragment = true;
    } else if (arg == "--no-line-numbers") {
      options.lineNumbers = false;
    } else if (arg == "-o") {
      if (options.haveOutput) {
        Complain(options, "-o given twice");
        ++i;
      } else if (i + 1 == args.size()) {
        Complain(options, "-o needs a file name");
      } else {
        options.haveOutput = true;
        options.output = args[++i];
      }
    } else {
      Complain(options, "unknown option " + arg);
    }
  }
  if (options.files.empty()) Complain(options, "no input file");
  // The classic page has neither: asking for them without --prolog is a slip.
  if (!options.prolog && (options.fragment || !options.lineNumbers)) {
    Complain(options, std::string(options.fragment ? "--fragment" : "--no-line-numbers") +
                          " needs --prolog");
  }
  if (options.haveOutput && options.files.size() != 1) {
    Complain(options, "-o takes exactly one input file");
  }
  return options;
}

}  // namespace pl2html
