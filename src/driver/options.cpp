#include "driver/options.hpp"

namespace pl2html {

namespace {

void Complain(Options& options, std::string problem) {
  if (options.problem.empty()) options.problem = std::move(problem);
}

void Ask(Options& options, Options::Request request) {
  if (options.request == Options::Request::kConvert) options.request = request;
}

// The value after the option at `i`, which is taken whatever it looks like.
bool TakeValue(Options& options, const std::vector<std::string>& args, std::size_t& i,
               std::string& value) {
  if (i + 1 == args.size()) {
    Complain(options, args[i] + " needs a value");
    return false;
  }
  value = args[++i];
  return true;
}

void ParseJobs(Options& options, const std::string& text) {
  constexpr unsigned kMostJobs = 1024;
  unsigned jobs = 0;
  for (char c : text) {
    if (c < '0' || c > '9' || jobs > kMostJobs) {
      jobs = 0;
      break;
    }
    jobs = jobs * 10 + static_cast<unsigned>(c - '0');
  }
  if (jobs == 0 || jobs > kMostJobs) {
    Complain(options, "-j needs a number of threads from 1 to " + std::to_string(kMostJobs));
  }
  options.jobs = jobs;
}

// -r and -d make a site of a tree; they go with --prolog and with nothing
// that names single files.
void CheckSite(Options& options, bool haveSource, bool haveOutput) {
  bool siteOnly = options.jobs != 0 || !options.include.empty() || !options.tags.empty();
  if (!haveSource && !haveOutput) {
    if (siteOnly) {
      Complain(options, std::string(options.jobs != 0          ? "-j"
                                    : !options.include.empty() ? "--include"
                                                               : "--tags") +
                            " needs -r");
    }
    return;
  }
  options.site = true;
  if (!haveSource || !haveOutput)
    Complain(options, haveSource ? "-r needs -d OUT" : "-d needs -r SRC");
  if (!options.prolog) Complain(options, "-r needs --prolog");
  if (!options.files.empty()) Complain(options, "-r takes no FILE arguments");
  if (options.haveOutput || options.fragment || options.open) {
    Complain(options, std::string(options.haveOutput ? "-o"
                                  : options.fragment ? "--fragment"
                                                     : "--open") +
                          " cannot be used with -r");
  }
}

}  // namespace

Options ParseOptions(const std::vector<std::string>& args) {
  Options options;
  bool optionsEnded = false;
  bool haveSource = false, haveSiteOutput = false;
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
    } else if (arg == "-r") {
      haveSource = TakeValue(options, args, i, options.siteSource) || haveSource;
    } else if (arg == "-d") {
      haveSiteOutput = TakeValue(options, args, i, options.siteOutput) || haveSiteOutput;
    } else if (arg == "-j") {
      std::string jobs;
      if (TakeValue(options, args, i, jobs)) ParseJobs(options, jobs);
    } else if (arg.starts_with("-j") && arg.size() > 2) {
      ParseJobs(options, arg.substr(2));  // -j2, as make takes it
    } else if (arg == "--manual-url") {
      std::string url;
      if (TakeValue(options, args, i, url)) {
        options.manualUrl = url == "none" ? std::string() : url;
        options.haveManualUrl = true;
      }
    } else if (arg == "--include") {
      std::string pattern;
      if (TakeValue(options, args, i, pattern)) options.include.push_back(pattern);
    } else if (arg == "--tags") {
      std::string tags;
      if (TakeValue(options, args, i, tags)) {
        if (tags.empty()) {
          Complain(options, "--tags needs a file name");
        } else {
          options.tags = tags;
        }
      }
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
  CheckSite(options, haveSource, haveSiteOutput);
  if (options.files.empty() && !options.site) Complain(options, "no input file");
  // The classic page has none of them: asking for them without --prolog is
  // a slip.
  if (!options.prolog && (options.fragment || !options.lineNumbers || options.haveManualUrl)) {
    Complain(options, std::string(options.fragment       ? "--fragment"
                                  : !options.lineNumbers ? "--no-line-numbers"
                                                         : "--manual-url") +
                          " needs --prolog");
  }
  if (options.haveOutput && options.files.size() != 1) {
    Complain(options, "-o takes exactly one input file");
  }
  return options;
}

}  // namespace pl2html
