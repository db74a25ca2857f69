#include <string>
#include <vector>

#include "driver/run.hpp"
#include "runtime/platform.hpp"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  pl2html::FileSystem& fs = pl2html::SystemFileSystem();
  return pl2html::Main(args, fs,
                       [&fs]() -> pl2html::Desktop& { return pl2html::SystemDesktop(fs); });
}
