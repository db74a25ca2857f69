#!/usr/bin/env bash
# The Windows program under Wine against the Linux one: for the same sources
# the pages must be byte for byte the same, through files, standard output
# and standard input; the command line must fail where the Linux one does.
# Usage: tests/windows/pages_test.sh LINUX_PL2HTML WINDOWS_PL2HTML_EXE
# Needs a ready Wine prefix in WINEPREFIX.
set -euo pipefail
linux=$(realpath "$1")
windows=$(realpath "$2")
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'chmod -R u+w "$work"; rm -rf "$work"' EXIT

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# Sources with every kind of line end, byte 0, Latin-1 bytes, quoted text
# across lines, C-like declarations and a long line.
src=$work/sources
mkdir -p "$src"
printf 'a(X) :- b(X), c("txt").\r\n%% comment\r\n\r\n' >"$src/crlf.pl"
printf 'a.\rb.\r\rc.' >"$src/cr.pl"
printf 'a.\n\rb.\n' >"$src/lfcr.pl"
printf 'ab\0cd\n\0\0x' >"$src/zero-byte.pl"
printf '%% \xe9t\xe9 \xe0 \xff\r\nnom(\x27Fran\xe7ois\x27, "d\xe9j\xe0").\r\n' >"$src/latin1.pl"
printf 'x = "open\r\nstill open\r\nclosed", y = \x27a\r\nb\x27.\r\n/* c */ int f(char *s) { return 0x1F + 2; }\r\n#define N 10\r\nz < 3.\r\n' >"$src/mixed.pl"
printf 'typedef struct pt { int x; } Point;\nPoint p; unsigned long n = 42;\nPoint f(Point q);\n' >"$src/decl.pl"
printf "$(printf '\\%03o' $(seq 0 255))" >"$src/allbytes.pl"
{
  for _ in $(seq 2000); do printf 'foo(X, "y") :- bar(X), 12 < 3, '; done
  printf 'end.\r\n'
} >"$src/long.pl"
# The project's own sources: the examples, and the sources of the golden
# cases with their stand-ins for invisible bytes decoded.
n=0
while IFS= read -r -d '' found; do
  n=$((n + 1))
  cp "$found" "$src/project$n.pl"
done < <(find "$root/examples" "$root/tests" -name '*.pl' -type f -size +0 -print0 2>/dev/null)
n=0
for case in "$root"/tests/scan/golden/*.txt; do
  [ -f "$case" ] || continue
  n=$((n + 1))
  perl -0777 -ne '
    /^--- source\n(.*?)^--- page\n/ms or exit;
    my $s = $1;
    $s =~ s/\n//g;
    $s =~ s/\xE2\x90\x8D/\r/g; $s =~ s/\xE2\x90\x8A/\n/g; $s =~ s/\xE2\x90\x80/\0/g;
    $s =~ s/\xE2\x86\x92/\t/g;
    $s =~ s/\\(\\|x([0-9A-Fa-f]{2}))/defined $2 ? chr(hex $2) : "\\"/ge;
    print $s;' "$case" >"$src/golden$n.pl"
done
# A real Prolog library, when it is installed.
n=0
while IFS= read -r -d '' found; do
  n=$((n + 1))
  cp "$found" "$src/library$n.pl"
done < <(find /usr/lib/swi-prolog/library -name '*.pl' -type f -size +0 -print0 2>/dev/null)

names=()
for f in "$src"/*.pl; do names+=("$(basename "$f")"); done
mkdir -p "$work/lin/sub" "$work/win/sub"
cp "$src"/*.pl "$work/lin/"
cp "$src"/*.pl "$work/win/"
cp "$src/mixed.pl" "$work/lin/sub/x.pl"
cp "$src/mixed.pl" "$work/win/sub/x.pl"

# One run of each program converts every source, so Wine starts once.
(cd "$work/lin" && "$linux" "${names[@]}" sub/x.pl) || fail "the Linux program failed"
(cd "$work/win" && wine "$windows" "${names[@]}" 'sub\x.pl' >"$work/win.out" 2>"$work/win.err") ||
  fail "the Windows program failed: $(cat "$work/win.err")"
for name in "${names[@]}" sub/x.pl; do
  if [ ! -f "$work/win/$name.html" ]; then
    fail "$name: no page from the Windows program"
  elif ! cmp -s "$work/lin/$name.html" "$work/win/$name.html"; then
    fail "$name: the pages differ"
    cmp "$work/lin/$name.html" "$work/win/$name.html" >&2 || true
  fi
done
leftovers=$(find "$work/win" -name '*.tmp')
[ -z "$leftovers" ] || fail "scratch files left behind: $leftovers"

# The Prolog page: the same pages from both programs, files and standard
# input alike.
mkdir -p "$work/lin-prolog" "$work/win-prolog"
prolog_names=(crlf.pl cr.pl latin1.pl mixed.pl zero-byte.pl allbytes.pl long.pl project1.pl)
for name in "${prolog_names[@]}"; do
  cp "$src/$name" "$work/lin-prolog/"
  cp "$src/$name" "$work/win-prolog/"
done
(cd "$work/lin-prolog" && "$linux" --prolog "${prolog_names[@]}") || fail "the Linux program failed on --prolog"
(cd "$work/win-prolog" && wine "$windows" --prolog "${prolog_names[@]}" >/dev/null 2>"$work/win.err") ||
  fail "the Windows program failed on --prolog: $(cat "$work/win.err")"
for name in "${prolog_names[@]}"; do
  cmp -s "$work/lin-prolog/$name.html" "$work/win-prolog/$name.html" ||
    fail "--prolog $name: the pages differ"
done
"$linux" --prolog --fragment - <"$src/latin1.pl" >"$work/lin-prolog/stdin.html"
wine "$windows" --prolog --fragment - <"$src/latin1.pl" >"$work/win-prolog/stdin.html" 2>/dev/null ||
  fail "--prolog standard input failed"
cmp -s "$work/lin-prolog/stdin.html" "$work/win-prolog/stdin.html" ||
  fail "--prolog standard input: the pages differ"

# Standard output and standard input, redirected as a script would.
cd "$work/win"
"$linux" -o - mixed.pl >"$work/lin-stdout.html"
wine "$windows" -o - mixed.pl >"$work/win-stdout.html" 2>/dev/null || fail "-o - failed"
cmp -s "$work/lin-stdout.html" "$work/win-stdout.html" || fail "-o -: the pages differ"
"$linux" - <latin1.pl >"$work/lin-stdin.html"
wine "$windows" - <latin1.pl >"$work/win-stdin.html" 2>/dev/null || fail "standard input failed"
cmp -s "$work/lin-stdin.html" "$work/win-stdin.html" || fail "standard input: the pages differ"

# Failures: a message on standard error and the status the Linux program gives.
expect_failure() { # STATUS MESSAGE ARGS...
  local want=$1 message=$2 status=0
  shift 2
  wine "$windows" "$@" >"$work/out" 2>"$work/err" || status=$?
  [ "$status" -eq "$want" ] || fail "$*: exit status $status, not $want"
  grep -q -- "$message" "$work/err" || fail "$*: no \"$message\" in: $(cat "$work/err")"
}
: >empty.pl
mkdir -p folder.pl
expect_failure 1 "missing.pl: no such file" missing.pl
expect_failure 1 "empty.pl: is empty" empty.pl
expect_failure 1 "folder.pl: is a directory" folder.pl
expect_failure 2 "unknown option --bogus" --bogus crlf.pl
[ ! -e missing.pl ] || fail "converting a missing file created it"
# Names differing only in case name one file on Windows: never the page.
cp crlf.pl keep.pl
expect_failure 1 "it is the source itself" -o KEEP.PL keep.pl
cmp -s keep.pl crlf.pl || fail "-o KEEP.PL keep.pl wrote over the source"

# A folder the program may not write into (not as root with every privilege:
# the test stage drops the override of file permissions).
mkdir -p locked
cp crlf.pl locked/a.pl
chmod a-w locked
if touch locked/probe 2>/dev/null; then
  rm -f locked/probe
  echo "note: permissions are not enforced here; the locked-folder case is skipped" >&2
else
  expect_failure 1 "page cannot be written" 'locked\a.pl'
  [ -z "$(ls locked | grep -v '^a\.pl$')" ] || fail "a page was left in the locked folder"
fi

# A tree as a site: the same pages, index and manifest from both programs
# (the walk, folder listing and page paths of the Win32 backend).
cp -r "$root/tests/site/tree" "$work/tree"
(cd "$work" && "$linux" --prolog -r tree -d site-lin) || fail "the Linux program failed on -r"
(cd "$work" && wine "$windows" --prolog -r tree -d site-win >/dev/null 2>"$work/win.err") ||
  fail "the Windows program failed on -r: $(cat "$work/win.err")"
diff -r "$work/site-lin" "$work/site-win" >/dev/null || fail "-r: the sites differ"

if [ "$failures" -ne 0 ]; then
  echo "pages_test: $failures failure(s)" >&2
  exit 1
fi
echo "pages_test: ${#names[@]} sources, Windows pages identical to Linux pages"
