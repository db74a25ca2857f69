#include "driver/site_command.hpp"

#include <chrono>
#include <string>
#include <thread>

#include "runtime/outcome.hpp"
#include "site/build.hpp"

namespace pl2html {

namespace {

// One line on a terminal, drawn again at most ten times a second and erased
// at the end, so that it never stays among what else the terminal shows.
class ProgressLine final : public site::Progress {
 public:
  explicit ProgressLine(FileSystem& fs) : fs_(fs), start_(Clock::now()), drawn_(start_) {}

  void Update(site::Pass pass, std::size_t done, std::size_t total, std::uint64_t bytes) override {
    Clock::time_point now = Clock::now();
    if (pass != pass_) {
      // Each pass's speed on its own, first drawn once it means something.
      pass_ = pass;
      start_ = drawn_ = now;
    }
    if (now - drawn_ < std::chrono::milliseconds(100) && done != total) return;
    drawn_ = now;
    double seconds = std::chrono::duration<double>(now - start_).count();
    double megabytes = static_cast<double>(bytes) / 1e6;
    long tenths = seconds > 0 ? static_cast<long>(megabytes / seconds * 10 + 0.5) : 0;
    Draw(std::string("pl2html: ") + (pass == site::Pass::kReading ? "reading " : "writing ") +
         std::to_string(done) + "/" + std::to_string(total) + " files, " +
         std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) + " MB/s");
  }

  void Erase() { Draw(""); }

 private:
  using Clock = std::chrono::steady_clock;

  // Over the line drawn before, from its start: blanks cover what the new
  // text leaves of the old, so no terminal needs to know an escape code.
  void Draw(const std::string& text) {
    if (text.empty() && shown_ == 0) return;
    std::string line = "\r" + text;
    if (text.size() < shown_) line += std::string(shown_ - text.size(), ' ') + "\r" + text;
    fs_.Write(fs_.StandardError(), line.data(), line.size());
    shown_ = text.size();
  }

  FileSystem& fs_;
  Clock::time_point start_;
  Clock::time_point drawn_;
  site::Pass pass_ = site::Pass::kReading;
  std::size_t shown_ = 0;  // length of the line on the terminal
};

}  // namespace

int RunSite(const Options& options, FileSystem& fs) {
  site::SiteOptions siteOptions;
  siteOptions.source = options.siteSource;
  siteOptions.output = options.siteOutput;
  siteOptions.patterns = options.include;
  siteOptions.lineNumbers = options.lineNumbers;
  siteOptions.manualUrl = options.manualUrl;
  siteOptions.tags = options.tags;
  siteOptions.jobs =
      options.jobs != 0 ? options.jobs : std::max(1u, std::thread::hardware_concurrency());
  ProgressLine progress(fs);
  bool terminal = fs.IsTerminal(fs.StandardError());
  site::SiteResult result = site::BuildSite(fs, siteOptions, terminal ? &progress : nullptr);
  progress.Erase();
  std::string report;
  for (const site::Problem& problem : result.problems)
    report += "pl2html: " + problem.path + ": " + problem.reason + "\n";
  fs.Write(fs.StandardError(), report.data(), report.size());
  return result.problems.empty() ? kSuccess : kFailure;
}

}  // namespace pl2html
