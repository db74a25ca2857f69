#!/usr/bin/env bash
# Builds pl2html and converts the bundled sample into examples/sample.pl.html.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh build
cmake -S . -B build -DPL2HTML_TESTS=OFF >/dev/null
cmake --build build -j"$(nproc)" >/dev/null
./build/pl2html examples/sample.pl
echo "wrote examples/sample.pl.html"
