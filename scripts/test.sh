#!/usr/bin/env bash
# Builds pl2html with every test and runs them all. PL2HTML_WERROR=ON turns
# warnings into errors, as CI does. Every stage runs even when an earlier one
# failed; the native test run comes last, so its summary ends the output.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh test
jobs=$(nproc)

# Under /usr, as the Debian package installs it: the packages stage packs
# this very build.
cmake -S . -B build-test -DPL2HTML_WERROR="${PL2HTML_WERROR:-OFF}" -DCMAKE_INSTALL_PREFIX=/usr \
  >/dev/null
cmake --build build-test -j"$jobs"

failed_stages=()
stage() {  # stage NAME COMMAND...
  local name=$1
  shift
  echo "== stage: $name"
  "$@" || failed_stages+=("$name")
}

# Every test under AddressSanitizer and UBSan, then the fuzz target.
stage sanitizers scripts/test-sanitize.sh

# The Windows program: cross-built with MinGW-w64 and run under Wine.
stage windows scripts/test-windows.sh build-test/pl2html

# The Debian package and the Windows installer, installed and removed for real.
stage packages scripts/test-packages.sh build-test

# The Prolog lexer against SWI-Prolog's reader, on its own so that its counts
# (files, bytes compared, clauses left out, mismatched bytes) are printed.
stage "prolog reference" ctest --test-dir build-test --verbose -R '^prolog_reference$'

# The page's classes against SWI-Prolog's source view, printing its counts
# (files, fragments, recall, precision, differences explained and not).
stage "meaning reference" ctest --test-dir build-test --verbose -R '^meaning_reference$'

# A site's xref.json against SWI-Prolog's cross-referencer (files, edges,
# recall, precision, summaries equal, differences explained and not).
stage "xref reference" ctest --test-dir build-test --verbose -R '^xref_reference$'

echo "== stage: native tests"
native=0
ctest --test-dir build-test --output-on-failure -j"$jobs" -E '^(prolog|meaning|xref)_reference$' || native=$?
if [ ${#failed_stages[@]} -ne 0 ]; then
  echo "failed stages: ${failed_stages[*]}"
  exit 1
fi
exit "$native"
