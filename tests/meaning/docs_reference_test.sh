#!/bin/bash
# Compares the documentation reader with SWI-Prolog's cross-referencer over
# every .pl file of SWI-Prolog's library and docs_examples.pl (or the
# folders and files given), each file read by SWI-Prolog in a fresh process
# of its own:
#
#   docs_reference_test.sh DOCS_COMPARE [FOLDER...]
#
# Prints the files, the comments, the predicates documented, the summaries
# and modes compared and the first differences. Skipped (77) without swipl.
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
  set -- "$base/library" "$here/docs_examples.pl"
fi
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
export REFERENCE="$here/docs_reference.pl" OUT="$tmp"
find "$@" -name '*.pl' -print0 | sort -z |
  xargs -0 -P "$(nproc)" -n 1 sh -c \
    'swipl "$REFERENCE" -- "$1" >"$OUT/$(printf %s "$1" | md5sum | cut -c1-16).ref" 2>/dev/null' sh || true
"$tool" --show 20 "$tmp"/*.ref
