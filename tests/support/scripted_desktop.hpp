// The fake desktop of the tests.
#pragma once

#include <string>
#include <vector>

#include "runtime/platform.hpp"

namespace pl2html {

// A desktop that answers the dialog with a fixed path and records the rest.
class ScriptedDesktop : public Desktop {
 public:
  std::string answer;
  std::vector<std::string> dialogs;
  std::vector<std::string> messages;
  std::vector<std::string> launched;

  std::string ChooseFileToOpen(const std::string& title, const std::string& defaultName,
                               const std::string& pattern, int patternIndex) override {
    dialogs.push_back(title + "|" + defaultName + "|" + pattern + "|" +
                      std::to_string(patternIndex));
    return answer;
  }
  int ShowMessage(const std::string& title, const std::string& text, int flags) override {
    messages.push_back(title + ": " + text + " " + std::to_string(flags));
    return 1;
  }
  std::intptr_t OpenWithShell(const std::string& path) override {
    launched.push_back(path);
    return 1;
  }
};

}  // namespace pl2html
