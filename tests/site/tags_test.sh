#!/usr/bin/env bash
# The tags file of a site, read by Universal Ctags' readtags as an editor
# would: written inside the source folder, beside it and elsewhere, named
# by relative and absolute paths, each tag's path leads from the tags
# file's folder to the predicate's first clause; the lines are sorted.
# Usage: tags_test.sh PL2HTML TREE
# Exit status 77 (skipped) without readtags.
set -euo pipefail
pl2html=$(realpath "$1")
tree=$2
command -v readtags >/dev/null || { echo "skipped: needs readtags (universal-ctags)"; exit 77; }
work=$(mktemp -d "${TMPDIR:-/tmp}/pl2html-tags.XXXXXX")
trap 'rm -rf "$work"' EXIT
cp -R "$tree" "$work/src"
mkdir -p "$work/x/y"

status=0
# check CWD SRC TAGS: a site of SRC with --tags TAGS, both as seen from CWD.
check() {
  local cwd=$1 src=$2 tags=$3
  (cd "$cwd" && "$pl2html" --prolog -r "$src" -d "$work/site" -j2 --tags "$tags")
  local file=$tags
  [[ $file = /* ]] || file=$cwd/$tags
  local folder line path
  folder=$(dirname "$file")
  # twice/2 of lists_util.pl, and greet/1 of shared/common.pl.
  for name in twice greet; do
    line=$(readtags -t "$file" "$name")
    path=$(cut -f2 <<<"$line")
    number=$(cut -f3 <<<"$line" | sed 's/;"$//')
    if [ -z "$line" ] || ! sed -n "${number}p" "$folder/$path" | grep -q "^$name("; then
      echo "FAIL: --tags $tags from $cwd: $name gives \"$line\"" >&2
      status=1
    fi
  done
  if ! grep -v '^!_TAG_' "$file" | LC_ALL=C sort -c; then
    echo "FAIL: --tags $tags: lines out of order" >&2
    status=1
  fi
}
check "$work" src src/tags              # inside SRC
check "$work/src" . ../tags             # beside it, SRC named "."
check "$work/x" ../src "$work/x/y/tags" # elsewhere, one absolute
check / "$work/src" "${work#/}/tags2"   # from the root
[ "$status" -ne 0 ] || echo "readtags finds each predicate at its first clause"
exit "$status"
