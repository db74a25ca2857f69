#!/usr/bin/env bash
# End-to-end checks of the built program in a temporary folder: the command
# line's successes, failures and exit statuses, the terminal desktop flow fed
# on standard input, and file permissions (as an unprivileged user, since
# root ignores them).
set -u
pl2html=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
failures=0
checks=0

check() {  # check DESCRIPTION COMMAND...
  local what=$1
  shift
  checks=$((checks + 1))
  if ! "$@"; then
    echo "FAILED: $what"
    failures=$((failures + 1))
  fi
}
status_is() {  # status_is EXPECTED COMMAND...
  local expected=$1
  shift
  "$@" >out.txt 2>err.txt </dev/null
  local got=$?
  [ "$got" -eq "$expected" ] || { echo "  exit status $got, expected $expected: $*"; cat err.txt; return 1; }
}
lines_of() { tr -cd '\n' <"$1" | wc -c; }

printf 'foo(X) :- bar(X, 12).\r\n%% done\r\n' >prog.pl
check "a file converts" status_is 0 "$pl2html" prog.pl
check "the page has 36 lines" [ "$(lines_of prog.pl.html)" -eq 36 ]
check "the page ends with CR LF" [ "$(tail -c 9 prog.pl.html | od -An -c | tr -d ' \n')" = '</html>\r\n' ]
check "the page colours routine names" grep -q "<font class='fonction'>foo</font>(X" prog.pl.html
check "no scratch file is left" [ "$(ls | grep -c tmp)" -eq 0 ]

cp prog.pl.html first.html
"$pl2html" -o missing/out.html prog.pl 2>err.txt
check "a page that cannot be written is named by its own path" \
  grep -qx "pl2html: missing/out.html: page cannot be written (No such file or directory)" err.txt
check "-o - writes the same page to standard output" \
  bash -c "'$pl2html' -o - prog.pl | cmp -s - first.html"
check "standard input converts to standard output" \
  bash -c "'$pl2html' - <prog.pl | grep -q '<title>stdin</title>'"
check "-o OUT writes OUT" status_is 0 "$pl2html" -o other.html prog.pl
check "-o OUT gives the same body" cmp -s other.html prog.pl.html
ln -s prog.pl alias.pl
check "a page is never written over its source" status_is 1 "$pl2html" -o alias.pl prog.pl
check "the source survives" cmp -s prog.pl <(printf 'foo(X) :- bar(X, 12).\r\n%% done\r\n')

: >empty.pl
mkdir folder.pl
check "failures give status 1" status_is 1 "$pl2html" missing.pl empty.pl folder.pl prog.pl
check "each failure has its line" [ "$(cat err.txt)" = "pl2html: missing.pl: no such file
pl2html: empty.pl: is empty
pl2html: folder.pl: is a directory" ]
check "a missing source is not created" [ ! -e missing.pl ]
check "usage errors give status 2" status_is 2 "$pl2html" --no-such-option
check "-o with two files is a usage error" status_is 2 "$pl2html" -o x prog.pl empty.pl
check "--version answers" status_is 0 "$pl2html" --version

# The desktop flow in a terminal: the path comes on standard input.
rm -f prog.pl.html
echo "$work/prog.pl" | env -u DISPLAY -u WAYLAND_DISPLAY "$pl2html" >out.txt 2>err.txt
check "the terminal flow succeeds" [ $? -eq 0 ]
check "the terminal flow prints the page it shows" [ "$(cat out.txt)" = "$work/prog.pl.html" ]
check "the terminal flow prompts with the dialog title" grep -q "^Fichier Prolog à ouvrir: " err.txt
check "the terminal flow writes the same page" cmp -s prog.pl.html first.html
env -u DISPLAY -u WAYLAND_DISPLAY "$pl2html" </dev/null >out.txt 2>err.txt
check "a cancelled terminal flow fails" [ $? -eq 1 ]
check "a cancelled terminal flow shows the error once" \
  [ "$(grep -c 'Erreur: An error as occured' err.txt)" -eq 1 ]

# Permissions, as a user that root's privileges do not cover.
if [ "$(id -u)" -eq 0 ] && id nobody >/dev/null 2>&1; then
  as_user() { setpriv --reuid=nobody --regid=nogroup --clear-groups "$@"; }
else
  as_user() { "$@"; }
fi
chmod 755 "$work"
mkdir -p ro && cp prog.pl ro/prog.pl && printf 'earlier' >ro/prog.pl.html
chmod 444 ro/prog.pl
chmod 555 ro
chmod 777 "$work"
mkdir rw && cp prog.pl rw/ && chmod 444 rw/prog.pl && chmod 777 rw
check "a read-only source converts" as_user "$pl2html" rw/prog.pl
check "its page is complete" cmp -s rw/prog.pl.html first.html
as_user "$pl2html" ro/prog.pl >out.txt 2>err.txt
check "an unwritable folder fails with status 1" [ $? -eq 1 ]
check "an unwritable folder says so" grep -q "ro/prog.pl.html: page cannot be written" err.txt
check "the earlier page is kept" [ "$(cat ro/prog.pl.html)" = earlier ]
chmod 755 ro

# A device or a named pipe as the page: written into, never replaced. (As
# root, a page renamed over /dev/null would put a plain file in its place for
# the whole machine, so /dev/null is only tried as the user; the pipe shows
# the same as root.)
check "a page goes into /dev/null" as_user "$pl2html" -o /dev/null prog.pl
check "/dev/null stays a device" [ -c /dev/null ]
mkfifo page.fifo
timeout 30 cat page.fifo >from-fifo.html &  # not forever, should the pipe be replaced
reader=$!
check "a page goes into a named pipe" "$pl2html" -o page.fifo prog.pl
wait "$reader"
check "the pipe stays a pipe" [ -p page.fifo ]
check "the pipe carries the whole page" cmp -s from-fifo.html first.html
check "no scratch page is left beside them" [ -z "$(ls -a | grep '\.tmp$')" ]

# An interrupted conversion leaves nothing but the earlier page: the page is
# written into a file without a name until complete, and the copy of
# standard input is a scratch file that the signal removes. (The signals are
# given back their default first: a background job's SIGINT is ignored.
# Call it in the background only: it replaces the shell that runs it.)
interruptible() { exec perl -e '$SIG{INT} = $SIG{TERM} = "DEFAULT"; exec @ARGV' "$@"; }
mkdir cut && cd cut
awk 'BEGIN { for (i = 0; i < 800000; i++) printf "t%d f%d(u%d a, v%d b) %% <x> \"q\"\n", i, i, i, i }' >big.pl
printf 'earlier' >big.pl.html
for signal in INT TERM; do
  interruptible "$pl2html" big.pl &
  pid=$!
  # Until the page is being written (its file open), then the signal.
  for _ in $(seq 5000); do ls -l /proc/$pid/fd 2>/dev/null | grep -qE "$PWD/(#|.*\.tmp)" && break; sleep 0.001; done
  kill -$signal $pid
  wait $pid
  check "SIG$signal ends a conversion mid-way" [ $? -gt 128 ]
  check "SIG$signal leaves nothing but the earlier page" [ "$(ls | tr '\n' ' ')" = "big.pl big.pl.html " ]
  check "the earlier page is whole" [ "$(cat big.pl.html)" = earlier ]
done
mkdir spool && mkfifo input.fifo
(printf 'a.\n'; sleep 10) >input.fifo &
writer=$!
TMPDIR=$PWD/spool interruptible "$pl2html" - <input.fifo >/dev/null &
pid=$!
for _ in $(seq 500); do [ -n "$(ls spool)" ] && break; sleep 0.01; done
kill -TERM $pid
wait $pid
check "SIGTERM ends a conversion of standard input" [ $? -gt 128 ]
check "and removes its copy of standard input" [ -z "$(ls spool)" ]
kill $writer 2>/dev/null
cd ..

# The Prolog page: the same file handling and statuses, its own options.
check "--prolog converts" status_is 0 "$pl2html" --prolog -o prolog.html prog.pl
check "--prolog writes an HTML5 page" grep -q '^<!DOCTYPE html>' prolog.html
check "--prolog links lines" grep -q '<span id="L2">' prolog.html
check "--prolog - reads standard input" \
  bash -c "'$pl2html' --prolog - <prog.pl | grep -q '<title>stdin</title>'"
check "--fragment writes the code element only" \
  bash -c "'$pl2html' --prolog --fragment -o - prog.pl | head -1 | grep -qx '<style>'"
check "--no-line-numbers drops the line elements" \
  bash -c "! '$pl2html' --prolog --no-line-numbers -o - prog.pl | grep -q 'id=\"L1\"'"
check "--prolog failures give status 1" status_is 1 "$pl2html" --prolog missing.pl empty.pl prog.pl
check "an empty file is a valid Prolog file: its page is made" \
  bash -c "'$pl2html' --prolog empty.pl && grep -q '<pre class=\"pl2html\"><code></code></pre>' empty.pl.html"
check "a built-in and a library link to SWI-Prolog's manual" \
  bash -c "printf ':- use_module(library(lists)).\\np :- write(x).\\n' >manual.pl &&
           '$pl2html' --prolog -o - manual.pl >manual.html &&
           grep -q 'href=\"https://www.swi-prolog.org/pldoc/doc_for?object=write/1\"' manual.html &&
           grep -q 'href=\"https://www.swi-prolog.org/pldoc/doc/_SWI_/library/lists.pl\"' manual.html"
check "--manual-url none leaves built-ins unlinked, a URL takes the manual's place" \
  bash -c "printf 'p :- write(x).\\n' >manual.pl &&
           ! '$pl2html' --prolog --manual-url none -o - manual.pl | grep -q 'href=\"http' &&
           '$pl2html' --prolog --manual-url 'https://example.org/?o=' -o - manual.pl |
             grep -q 'href=\"https://example.org/?o=write/1\"'"
check "--prolog never writes over its source" status_is 1 "$pl2html" --prolog -o alias.pl prog.pl
check "--fragment without --prolog is a usage error" status_is 2 "$pl2html" --fragment prog.pl

# A tree to a site. The progress line shows only on a terminal (script gives
# the program one) and is erased at the end; failures come at the end.
mkdir -p tree/sub && printf 'p :- q.\n' >tree/a.pl && printf 'q.\n' >tree/sub/b.pl
check "a tree becomes a site, silently when standard error is no terminal" \
  bash -c "'$pl2html' --prolog -r tree -d site 2>err.txt && [ ! -s err.txt ] && [ -f site/index.html ] &&
           grep -q 'href=\"sub/b.pl.html#q/0\"' site/a.pl.html"
if script -qec true /dev/null >/dev/null 2>&1; then
  # The last thing on the terminal: the line, then blanks over it.
  check "on a terminal the progress line is drawn and erased" \
    bash -c "script -qec \"'$pl2html' --prolog -r tree -d site2 -j 1\" /dev/null >progress.txt &&
             perl -0777 -ne 'exit !m{files, [0-9.]+ MB/s\r +\r\z}' progress.txt"
fi
check "-r without --prolog is a usage error" status_is 2 "$pl2html" -r tree -d site
# A file that cannot be read is named at the end and the others still
# converted. As root, permissions are checked only with the override dropped.
drop=()
[ "$(id -u)" -ne 0 ] || drop=(setpriv --bounding-set=-dac_override,-dac_read_search
  --inh-caps=-dac_override,-dac_read_search)
printf 'r.\n' >tree/locked.pl && chmod 000 tree/locked.pl
check "an unreadable source is named at the end, the rest converted, status 1" \
  bash -c "rm -rf site3; ! ${drop[*]} '$pl2html' --prolog -r tree -d site3 2>err.txt &&
           grep -qx 'pl2html: tree/locked.pl: cannot be read (Permission denied)' err.txt &&
           [ -f site3/sub/b.pl.html ] && [ ! -e site3/locked.pl.html ]"
chmod 644 tree/locked.pl

# A real library, as a new user would try it: every file converts, and its
# page has one line per source line besides the 34 of the frame.
library=/usr/lib/swi-prolog/library
if [ -d "$library" ]; then
  converted=0
  wrong=0
  while IFS= read -r -d '' source; do
    if "$pl2html" -o page.html "$source" 2>>err.txt; then
      converted=$((converted + 1))
      expected=$(($(perl -0777 -ne '$n = () = /\r\n|\r|\n|\0/g; $n++ unless /[\r\n\0]\z/; print $n' "$source") + 34))
      [ "$(lines_of page.html)" -eq "$expected" ] || { echo "  wrong line count: $source"; wrong=$((wrong + 1)); }
    else
      echo "  failed: $source"
      wrong=$((wrong + 1))
    fi
  done < <(find "$library" -name '*.pl' -size +0 -print0)
  check "the Prolog library converts ($converted files)" [ "$wrong" -eq 0 -a "$converted" -gt 100 ]
fi

echo "$((checks - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
