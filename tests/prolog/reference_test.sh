#!/bin/bash
# Compares the lexer with SWI-Prolog's own reader, byte by byte, over every
# .pl file of SWI-Prolog's library and the examples of tests/prolog/:
#
#   reference_test.sh PROLOG_LEX [LIBRARY]
#
# Skipped (77) without swipl. Fails on any byte classed differently.
set -euo pipefail
tool=$1
here=$(cd "$(dirname "$0")" && pwd)
if ! command -v swipl >/dev/null; then
  echo "swipl not found: skipped"
  exit 77
fi
library=${2:-$(swipl --dump-runtime-variables 2>/dev/null | sed -n 's/^PLBASE="\(.*\)";$/\1/p')/library}
if [ ! -d "$library" ]; then
  echo "no SWI-Prolog library at $library: skipped"
  exit 77
fi
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
"$tool" split "$here/examples.txt" "$tmp"
{ find "$library" -name '*.pl' -print0 | sort -z; find "$tmp" -name '*.pl' -print0 | sort -z; } |
  xargs -0 "$tool" list >"$tmp/list"
swipl "$here/reference.pl" -- "$tmp/list" >"$tmp/reference"
"$tool" compare "$tmp/reference"
