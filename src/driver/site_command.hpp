// pl2html --prolog -r SRC -d OUT: a whole tree to a site, with a progress
// line on a terminal and the failures listed at the end.
#pragma once

#include "driver/options.hpp"
#include "runtime/platform.hpp"

namespace pl2html {

int RunSite(const Options& options, FileSystem& fs);

}  // namespace pl2html
