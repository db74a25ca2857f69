// The desktop in a terminal: used when the build has no desktop backend or no
// display can be reached, so `echo /path/prog.pl | pl2html` runs the whole
// desktop flow.
#include "runtime/desktop/codepage.hpp"
#include "runtime/platform.hpp"

namespace pl2html {

namespace {

class TerminalDesktopImpl final : public Desktop {
 public:
  explicit TerminalDesktopImpl(FileSystem& fs) : fs_(fs) {}

  std::string ChooseFileToOpen(const std::string& title, const std::string& /*defaultName*/,
                               const std::string& /*pattern*/, int /*patternIndex*/) override {
    Say(fs_.StandardError(), Cp1252ToUtf8(title) + ": ");
    return ReadAnswer();
  }

  int ShowMessage(const std::string& title, const std::string& text, int /*flags*/) override {
    Say(fs_.StandardError(), Cp1252ToUtf8(title) + ": " + Cp1252ToUtf8(text) + "\n");
    return kOkButton;
  }

  std::intptr_t OpenWithShell(const std::string& path) override {
    return Say(fs_.StandardOutput(), path + "\n") ? 1 : 0;
  }

 private:
  static constexpr int kOkButton = 1;  // the id Windows gives the OK button

  bool Say(FileHandle stream, const std::string& text) {
    return fs_.Write(stream, text.data(), text.size());
  }

  // One line from standard input, read a byte at a time so that nothing after
  // it is consumed. End of input and an empty line both mean "cancel".
  std::string ReadAnswer() {
    std::string line;
    char byte = 0;
    while (fs_.Read(fs_.StandardInput(), &byte, 1) == 1 && byte != '\n')
      line += byte;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
  }

  FileSystem& fs_;
};

}  // namespace

std::unique_ptr<Desktop> MakeTerminalDesktop(FileSystem& fs) {
  return std::make_unique<TerminalDesktopImpl>(fs);
}

}  // namespace pl2html
