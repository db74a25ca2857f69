#!/bin/bash
# Compares a site's xref.json with SWI-Prolog's cross-referencer: the site
# of SWI-Prolog's library and that of tests/site/tree (or the folders
# given), each file cross-referenced by SWI-Prolog in a fresh process of
# its own (tests/site/xref_reference.pl):
#
#   xref_reference_test.sh PL2HTML XREF_COMPARE [FOLDER...]
#
# Prints, per tree, the files, edges, recall, precision and summaries
# equal; fails on any difference known_xref_differences.txt does not
# explain. Skipped (77) without swipl.
set -euo pipefail
pl2html=$1 tool=$2
here=$(cd "$(dirname "$0")" && pwd)
if ! command -v swipl >/dev/null; then
  echo "swipl not found: skipped"
  exit 77
fi
shift 2
if [ $# -eq 0 ]; then
  base=$(swipl --dump-runtime-variables 2>/dev/null | sed -n 's/^PLBASE="\(.*\)";$/\1/p')
  set -- "$base/library" "$here/tree"
fi
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
export REFERENCE="$here/xref_reference.pl"
status=0
for tree in "$@"; do
  tree=$(cd "$tree" && pwd -P)
  echo "== $tree"
  rm -rf "$tmp/site" "$tmp/ref"
  mkdir "$tmp/ref"
  "$pl2html" --prolog -r "$tree" -d "$tmp/site" -j2 --manual-url none || true
  export ROOT="$tree" OUT="$tmp/ref"
  (cd "$tree" && find . -name '*.pl' -print0) | sort -z |
    xargs -0 -P 2 -n 1 sh -c \
      'swipl "$REFERENCE" -- "$ROOT" "$ROOT/$1" >"$OUT/$(printf %s "$1" | md5sum | cut -c1-16).ref" 2>/dev/null' sh || true
  "$tool" --show 30 --known "$here/known_xref_differences.txt" "$tmp/site/xref.json" "$tmp"/ref/*.ref || status=1
done
exit "$status"
