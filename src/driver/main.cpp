#include <string>
#include <vector>

#include "driver/run.hpp"
#include "runtime/growable.hpp"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  pl2html::FileSystem& fs = pl2html::SystemFileSystem();
  pl2html::largeMemory = &pl2html::SystemLargeMemory();
  return pl2html::Main(args, fs,
                       [&fs]() -> pl2html::Desktop& { return pl2html::SystemDesktop(fs); });
}
