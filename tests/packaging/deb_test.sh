#!/usr/bin/env bash
# The Debian package as a user gets it: installed with apt-get (so that its
# dependencies resolve), used, then purged. Needs root (or sudo) and changes
# the machine: CI only. The package is purged again on the way out, whatever
# happened.
# Usage: tests/packaging/deb_test.sh PACKAGE.deb REFERENCE_PL2HTML
#   REFERENCE_PL2HTML: a built program whose pages the installed one must match.
set -uo pipefail
deb=$(realpath "$1")
reference=$(realpath "$2")
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
purge() { $sudo apt-get purge -y -q pl2html >"$work/purge.log" 2>&1; }
cleanup() {
  dpkg-query -W -f='${Status}' pl2html 2>/dev/null | grep -q installed && purge
  rm -rf "$work"
}
trap cleanup EXIT

# Docker-style images may tell dpkg to leave out every manual page; ours is
# then kept explicitly, and the note says so.
keep_man=()
if grep -qs '^path-exclude=/usr/share/man' /etc/dpkg/dpkg.cfg.d/*; then
  echo "note: this machine's dpkg leaves out manual pages; pl2html's is included explicitly"
  keep_man=(-o "Dpkg::Options::=--path-include=/usr/share/man/man1/pl2html.1.gz")
fi

echo "-- install $(basename "$deb")"
dpkg-query -W -f='${Status}' pl2html 2>/dev/null | grep -q installed && purge
if ! $sudo apt-get install -y -q "${keep_man[@]}" "$deb" >"$work/install.log" 2>&1; then
  cat "$work/install.log" >&2
  echo "FAIL: apt-get could not install the package" >&2
  exit 1
fi
mapfile -t files < <(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { sub(/^\./, "", $6); print $6 }')

echo "-- the installed program"
[ "$(command -v pl2html)" = /usr/bin/pl2html ] || fail "pl2html is $(command -v pl2html)"
version=$(dpkg-deb -f "$deb" Version)
[ "$(pl2html --version)" = "pl2html $version" ] ||
  fail "--version says \"$(pl2html --version)\", the package is $version"
printf ':- module(queens, [queens/2]).\n%% N queens\nqueens(N, Qs) :- length(Qs, N).\n' \
  >"$work/queens.pl"
printf '#!/usr/bin/perl\nprint "hello\\n";\n' >"$work/hello.pl"
(cd "$work" && pl2html queens.pl && "$reference" -o expected.html queens.pl) ||
  fail "the installed program could not convert a file"
cmp -s "$work/queens.pl.html" "$work/expected.html" || fail "the installed program's page differs"

echo "-- manual page, desktop entry, MIME type"
[ "$(man -w pl2html 2>&1)" = /usr/share/man/man1/pl2html.1.gz ] ||
  fail "man -w pl2html says \"$(man -w pl2html 2>&1)\""
desktop-file-validate /usr/share/applications/pl2html.desktop ||
  fail "the installed desktop entry is not valid"
# The system's MIME database only: the package's trigger rebuilt it.
content_type() {
  XDG_DATA_HOME=$work/no-data XDG_DATA_DIRS=/usr/local/share:/usr/share \
    gio info -a standard::content-type "$1" | sed -n 's/^ *standard::content-type: //p'
}
[ "$(content_type "$work/queens.pl")" = text/x-prolog ] ||
  fail "a Prolog module is $(content_type "$work/queens.pl"), not text/x-prolog"
[ "$(content_type "$work/hello.pl")" = application/x-perl ] ||
  fail "a Perl script is $(content_type "$work/hello.pl"), not application/x-perl"

echo "-- the desktop flow of the installed program"
bash "$here/../desktop/gtk_e2e.sh" /usr/bin/pl2html gtk - cmake || fail "the desktop flow failed"

echo "-- purge"
purge || fail "apt-get purge failed: $(cat "$work/purge.log")"
for file in "${files[@]}"; do
  [ ! -e "$file" ] || fail "$file is left after the purge"
done
for folder in /usr/lib/*/pl2html /usr/share/doc/pl2html; do
  [ ! -e "$folder" ] || fail "$folder is left after the purge"
done
[ "$(content_type "$work/queens.pl")" = application/x-perl ] ||
  fail "after the purge a Prolog module is still $(content_type "$work/queens.pl")"

if [ "$failures" -ne 0 ]; then
  echo "deb_test: $failures failure(s)" >&2
  exit 1
fi
echo "deb_test: installed, used and purged"
