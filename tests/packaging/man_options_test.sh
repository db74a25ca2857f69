#!/usr/bin/env bash
# The manual page documents every option that --help lists, and no other:
# the options of the help text against the tags of the page's OPTIONS list.
# Usage: man_options_test.sh PROGRAM MANUAL_PAGE
set -euo pipefail
program=$1 page=$2

# An option is a dash and a letter, or two dashes and a word, wherever the
# help text names it ("[--open]", "-o OUT", "  --help").
from_help=$("$program" --help | grep -oE '(^|[][ |,])--?[A-Za-z][A-Za-z0-9-]*' |
  sed 's/^[^-]*//' | sort -u)
# The tag of each entry is the line after ".TP"; roff writes a dash "\-".
from_page=$(awk '/^\.SH / { section = $2 } section == "OPTIONS" && previous == ".TP" { print }
  { previous = $0 }' "$page" | sed 's/\\-/-/g' |
  grep -oE '(^|[ ,])--?[A-Za-z][A-Za-z0-9-]*' | sed 's/^[^-]*//' | sort -u)

status=0
for option in $(comm -23 <(echo "$from_help") <(echo "$from_page")); do
  echo "FAIL: $option is in pl2html --help but has no entry under OPTIONS in $page" >&2
  status=1
done
for option in $(comm -13 <(echo "$from_help") <(echo "$from_page")); do
  echo "FAIL: $option has an entry under OPTIONS in $page but is not in pl2html --help" >&2
  status=1
done
[ -n "$from_help" ] || { echo "FAIL: no option found in pl2html --help" >&2; status=1; }
[ "$status" -ne 0 ] || echo "the help and the manual page list the same options:" $from_help
exit "$status"
