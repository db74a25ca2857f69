#!/usr/bin/env bash
# The SWI-Prolog library as a site: every link across files lands where
# SWI-Prolog itself resolves the call (tests/site/swi_links.pl asks it).
# Usage: swi_links_test.sh PL2HTML
# Exit status 77 (skipped) without swipl, its library or python3.
set -euo pipefail
pl2html=$1
here=$(cd "$(dirname "$0")" && pwd)
library=/usr/lib/swi-prolog/library
command -v swipl >/dev/null && command -v python3 >/dev/null && [ -d "$library" ] ||
  { echo "skipped: needs swipl (swi-prolog-nox) and python3"; exit 77; }
work=$(mktemp -d "${TMPDIR:-/tmp}/pl2html-swi-links.XXXXXX")
trap 'rm -rf "$work"' EXIT

"$pl2html" --prolog -r "$library" -d "$work/site"
python3 "$here/site_links.py" "$library" "$work/site" >"$work/links.tsv"
# Loading the library prints its own complaints (optional packages, clashing
# imports): kept aside, shown only when the check fails.
if ! swipl "$here/swi_links.pl" "$work/links.tsv" 2>"$work/swipl.txt"; then
  tail -n 20 "$work/swipl.txt"
  exit 1
fi
