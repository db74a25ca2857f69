#!/usr/bin/env bash
# The Prolog page checked from outside: html-validate over pages made from
# examples/ (one as a fragment placed in a minimal page, one without line
# numbers), or headless chromium over the features and meaning examples.
# Usage: tests/browser/run.sh validate|browser|site PL2HTML EXAMPLES_DIR
# (site: a site of tests/site/tree, validated and followed in chromium)
# Exit status 77 (skipped) without node, chromium or the npm packages, which
# scripts/install-deps.sh test installs.
set -euo pipefail
what=$1 pl2html=$2 examples=$3
here=$(cd "$(dirname "$0")" && pwd)

command -v node >/dev/null || { echo "skipped: no node"; exit 77; }
[ -d "$here/node_modules/html-validate" ] && [ -d "$here/node_modules/puppeteer-core" ] ||
  { echo "skipped: run npm ci in $here"; exit 77; }
work=$(mktemp -d "${TMPDIR:-/tmp}/pl2html-browser.XXXXXX")
trap 'rm -rf "$work"' EXIT

case $what in
  validate)
    pages=()
    for source in "$examples"/*.pl; do
      name=$(basename "$source")
      "$pl2html" --prolog -o "$work/$name.html" "$source"
      pages+=("$work/$name.html")
    done
    # A source that is not UTF-8, with controls: its page says windows-1252,
    # which HTML5 calls a legacy encoding. The page must not transcode, so
    # elements.json lets the validator accept that one value beside utf-8.
    printf '%% caf\xe9 \x81\x01\x7f\r\nnom(\x27Fran\xe7ois\x27) :- nom(\x27a b\x27).\r\n' >"$work/latin1.pl"
    "$pl2html" --prolog -o "$work/latin1.html" "$work/latin1.pl"
    grep -q '<meta charset="windows-1252">' "$work/latin1.html"
    "$pl2html" --prolog --no-line-numbers -o "$work/plain.html" "$examples/features.pl"
    # A fragment goes into another page: its style sheet into the head.
    "$pl2html" --prolog --fragment -o "$work/fragment.part" "$examples/features.pl"
    {
      echo '<!DOCTYPE html><html lang="en"><head><meta charset="utf-8"><title>fragment</title>'
      sed -n '/^<style>/,/^<\/style>/p' "$work/fragment.part"
      echo '</head><body>'
      sed '/^<style>/,/^<\/style>/d' "$work/fragment.part"
      echo '</body></html>'
    } >"$work/fragment.html"
    pages+=("$work/latin1.html" "$work/plain.html" "$work/fragment.html")
    "$here/node_modules/.bin/html-validate" --config "$here/.htmlvalidate.json" "${pages[@]}"
    echo "html-validate: ${#pages[@]} pages, no errors"
    ;;
  browser)
    chromium=${CHROMIUM:-/usr/bin/chromium}
    [ -x "$chromium" ] || { echo "skipped: no $chromium"; exit 77; }
    "$pl2html" --prolog -o "$work/features.pl.html" "$examples/features.pl"
    "$pl2html" --prolog -o "$work/meaning.pl.html" "$examples/meaning.pl"
    status=0
    node "$here/page_test.mjs" "$work/features.pl.html" "$examples/features.pl" || status=1
    node "$here/meaning_test.mjs" "$work/meaning.pl.html" ${SCREENSHOTS:+"$SCREENSHOTS"} || status=1
    exit $status
    ;;
  site)
    # The example tree of tests/site as a site: its index and a page with
    # links to other files validate, and the links work in chromium. A tree
    # made here adds a predicate of 25 callers, whose card starts closed.
    "$pl2html" --prolog -r "$here/../site/tree" -d "$work/site"
    mkdir -p "$work/long"
    {
      echo '%! target is det.'
      echo '%  Called from everywhere, with </script> and "quotes" in its summary.'
      echo 'target.'
      for n in $(seq 1 25); do echo "caller_$n :- target."; done
    } >"$work/long/many.pl"
    "$pl2html" --prolog -r "$work/long" -d "$work/long-site"
    grep -q '<details><summary>many.pl <span class="n">25</span>' "$work/long-site/many.pl.html"
    "$here/node_modules/.bin/html-validate" --config "$here/.htmlvalidate.json" \
      "$work/site/index.html" "$work/site/app/main.pl.html" "$work/site/shared/common.pl.html" \
      "$work/long-site/index.html" "$work/long-site/many.pl.html"
    echo "html-validate: the sites' indexes and pages (one of 25 callers), no errors"
    chromium=${CHROMIUM:-/usr/bin/chromium}
    [ -x "$chromium" ] || { echo "skipped: no $chromium"; exit 77; }
    node "$here/site_test.mjs" "$work/site" ${SCREENSHOTS:+"$SCREENSHOTS"}
    ;;
  *)
    echo "usage: $0 validate|browser|site PL2HTML EXAMPLES_DIR" >&2
    exit 2
    ;;
esac
