#!/bin/bash
# Compares the lexer with SWI-Prolog's own reader, byte by byte, over every
# .pl file of SWI-Prolog's library and boot folders, the examples of
# tests/prolog/ and random terms as SWI-Prolog writes them:
#
#   reference_test.sh PROLOG_LEX [FOLDER...]
#
# Skipped (77) without swipl. Fails on any byte classed differently.
set -euo pipefail
tool=$1
here=$(cd "$(dirname "$0")" && pwd)
if ! command -v swipl >/dev/null; then
  echo "swipl not found: skipped"
  exit 77
fi
shift
if [ $# -eq 0 ]; then
  base=$(swipl --dump-runtime-variables 2>/dev/null | sed -n 's/^PLBASE="\(.*\)";$/\1/p')
  set -- "$base/library" "$base/boot"
fi
if [ ! -d "$1" ]; then
  echo "no SWI-Prolog library at $1: skipped"
  exit 77
fi
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
"$tool" split "$here/examples.txt" "$tmp"
for seed in 1 2 3 4; do
  swipl "$here/random_terms.pl" -- "$seed" 2500 >"$tmp/random-terms-$seed.pl"
done
{ find "$@" -name '*.pl' -print0 | sort -z; find "$tmp" -name '*.pl' -print0 | sort -z; } |
  xargs -0 "$tool" list >"$tmp/list"
swipl "$here/reference.pl" -- "$tmp/list" >"$tmp/reference"
"$tool" compare "$tmp/reference"
