#!/bin/bash
# Compares the Prolog page's classes with SWI-Prolog's source view over
# every .pl file of SWI-Prolog's library and of tests/meaning/cases (or
# the folders given), each file coloured by SWI-Prolog in a fresh process
# of its own:
#
#   reference_test.sh MEANING_COMPARE [FOLDER...]
#
# Prints the files, the fragments compared, recall, precision and the
# commonest confusions; fails on any difference known_differences.txt
# does not explain. Skipped (77) without swipl.
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
  set -- "$base/library" "$here/cases"
fi
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
export REFERENCE="$here/reference.pl" OUT="$tmp"
find "$@" -name '*.pl' -print0 | sort -z |
  xargs -0 -P "$(nproc)" -n 1 sh -c \
    'swipl "$REFERENCE" -- "$1" >"$OUT/$(printf %s "$1" | md5sum | cut -c1-16).ref" 2>/dev/null' sh || true
"$tool" --show 40 --known "$here/known_differences.txt" "$tmp"/*.ref
