#!/usr/bin/env bash
# The Windows stage: cross-builds pl2html.exe for 64 and 32 bits with
# MinGW-w64, then runs the 64-bit build under Wine (32-bit Wine is not
# available here): the unit tests through ctest, the command line against the
# Linux build, and the desktop flow on a virtual X display.
# Usage: scripts/test-windows.sh [LINUX_PL2HTML]   (default build-test/pl2html)
# PL2HTML_DESKTOP_RUNS repeats the desktop scenarios (default 1).
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
werror=${PL2HTML_WERROR:-OFF}
linux=${1:-build-test/pl2html}

if [ ! -x "$linux" ]; then
  cmake -S . -B build-test -DPL2HTML_WERROR="$werror" >/dev/null
  cmake --build build-test -j"$jobs" --target pl2html
  linux=build-test/pl2html
fi

# Only the Windows backends and entry know the platform.
leaks=$(grep -rlE '#include <(windows|commdlg|commctrl|shellapi|objbase)\.h>' src |
  grep -vE '(/runtime/win32/[a-z_]+|_win32)\.cpp$' || true)
if [ -n "$leaks" ]; then
  echo "Windows headers outside the Windows backends: $leaks" >&2
  exit 1
fi

echo "== cross-building for Windows"
cmake -S . -B build-win64 --toolchain cmake/mingw-w64-x86_64.cmake --no-warn-unused-cli \
  -DPL2HTML_WERROR="$werror" >/dev/null
cmake --build build-win64 -j"$jobs"
cmake -S . -B build-win32 --toolchain cmake/mingw-w64-i686.cmake --no-warn-unused-cli \
  -DPL2HTML_WERROR="$werror" -DPL2HTML_TESTS=OFF >/dev/null
cmake --build build-win32 -j"$jobs"

# A fresh Wine prefix and X display of our own, removed at the end.
source scripts/wine-session.sh

echo "== unit tests under Wine"
"${drop[@]}" ctest --test-dir build-win64 --output-on-failure -j"$jobs"

echo "== pages: Windows against Linux"
"${drop[@]}" tests/windows/pages_test.sh "$linux" build-win64/pl2html.exe

echo "== desktop flow"
"${drop[@]}" tests/windows/desktop_test.sh build-win64/pl2html.exe "$linux" \
  "${PL2HTML_DESKTOP_RUNS:-1}"
