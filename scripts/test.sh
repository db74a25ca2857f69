#!/usr/bin/env bash
# Builds pl2html with every test and runs them all. PL2HTML_WERROR=ON turns
# warnings into errors, as CI does.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh test
jobs=$(nproc)

cmake -S . -B build-test -DPL2HTML_WERROR="${PL2HTML_WERROR:-OFF}" >/dev/null
cmake --build build-test -j"$jobs"
ctest --test-dir build-test --output-on-failure -j"$jobs"

# The Windows program: cross-built with MinGW-w64 and run under Wine.
scripts/test-windows.sh build-test/pl2html
