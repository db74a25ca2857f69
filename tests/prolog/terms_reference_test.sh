#!/bin/bash
# The term reader against SWI-Prolog's read_term/3, clause by clause: every
# .pl file of SWI-Prolog's library and boot folders (or of the folders
# given), the hard cases of terms_examples.pl, random terms as SWI-Prolog
# writes them and random clauses, most of them syntax errors.
#
#   terms_reference_test.sh PROLOG_TERMS [FOLDER...]
#
# Exits 77 (skipped) without swipl, 1 on any clause read otherwise.
set -euo pipefail
tool=$1
shift
here=$(cd "$(dirname "$0")" && pwd)
home=$(swipl -g 'current_prolog_flag(home, H), write(H)' -t halt 2>/dev/null) || {
  echo "swipl not found: skipped"
  exit 77
}
[ $# -gt 0 ] || set -- "$home/library" "$home/boot"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for seed in 1 2 3 4; do
  swipl "$here/random_terms.pl" -- "$seed" 2500 >"$work/random-terms-$seed.pl"
  swipl "$here/random_clauses.pl" -- "$seed" 3000 >"$work/random-clauses-$seed.pl"
done
find "$@" "$work" -name '*.pl' -print0 | sort -z |
  xargs -0 "$tool" list "$here/terms_examples.pl" >"$work/files"
swipl "$here/terms_reference.pl" -- "$work/files" >"$work/reference"
"$tool" compare "$work/reference"
