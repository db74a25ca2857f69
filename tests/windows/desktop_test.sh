#!/usr/bin/env bash
# The desktop flow of the Windows program under Wine, driven like a user
# would with xdotool on an X display (Xvfb): open a file, cancel the dialog,
# type the name of a missing file.
# Usage: tests/windows/desktop_test.sh WINDOWS_PL2HTML_EXE LINUX_PL2HTML [RUNS]
# Needs DISPLAY and a ready Wine prefix in WINEPREFIX, whose .html files open
# through winebrowser (a prefix made with HTML support). RUNS (default 1)
# repeats the open and cancel scenarios.
set -euo pipefail
windows=$(realpath "$1")
linux=$(realpath "$2")
runs=${3:-1}
work=$(mktemp -d)
pid=
trap '[ -z "$pid" ] || kill "$pid" 2>/dev/null || true; rm -rf "$work"' EXIT

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
  echo "  windows on the display:" $(xdotool search --name . getwindowname %@ 2>/dev/null | sort -u) >&2
}

# The launch of a page is recorded: winebrowser hands it to this program
# instead of a web browser.
launches=$work/launches
cat >"$work/browser.sh" <<EOF
#!/bin/sh
printf '%s\n' "\$@" >>"$launches"
EOF
chmod +x "$work/browser.sh"
wine reg add 'HKCU\Software\Wine\WineBrowser' /v Browsers /t REG_SZ /d "$work/browser.sh" /f \
  >/dev/null 2>&1

# The Windows name of a folder of this machine: Wine's drive Z: is "/".
windows_path() { printf 'Z:%s' "${1//\//\\}"; }

# Prints the id of the visible window whose title matches $1, waiting for it.
wait_window() {
  local deadline=$((SECONDS + 30)) id
  while [ "$SECONDS" -lt "$deadline" ]; do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1 || true)
    if [ -n "$id" ]; then
      echo "$id"
      return 0
    fi
    sleep 0.2
  done
  return 1
}

# Gives the keyboard to the window titled $1 and presses the keys that follow
# ("type:TEXT" types TEXT).
keys_to() {
  local title=$1 id tries
  shift
  id=$(wait_window "$title") || return 1
  for tries in 1 2 3 4 5; do
    xdotool windowfocus --sync "$id" 2>/dev/null && break
    sleep 0.2
  done
  sleep 0.3  # let Wine put the keyboard focus in the window's control
  for key in "$@"; do
    case $key in
      type:*) xdotool type --delay 10 "${key#type:}" ;;
      *) xdotool key "$key" ;;
    esac
  done
}

# Starts the program without arguments, as from the desktop, in folder $1.
start_program() {
  (cd "$1" && exec wine "$windows" >"$work/out" 2>"$work/err") &
  pid=$!
}

# Waits for the program to end and sets `status` to its exit status.
finish_program() {
  local deadline=$((SECONDS + 30)) code=0
  while kill -0 "$pid" 2>/dev/null && [ "$SECONDS" -lt "$deadline" ]; do sleep 0.2; done
  status=0
  if kill -0 "$pid" 2>/dev/null; then
    kill "$pid" 2>/dev/null || true
    status=timeout
  fi
  wait "$pid" || code=$?
  [ "$status" = timeout ] || status=$code
  pid=
}

# Choosing a file writes its page beside it and hands the page to the browser.
open_scenario() {
  local run=$1 dir=$work/open$1
  mkdir -p "$dir"
  printf '%% run %s\r\nx = "a\r\nb" ; f(\xe9t\xe9).\rint n = 1;\n' "$run" >"$dir/a.pl"
  (cd "$dir" && "$linux" -o "$work/expected.html" a.pl)
  : >"$launches"
  start_program "$work"
  keys_to "Fichier Prolog" "type:$(windows_path "$dir/a.pl")" Return ||
    fail "open #$run: no open-file dialog"
  finish_program
  [ "$status" = 0 ] || fail "open #$run: exit status $status: $(cat "$work/err")"
  if ! cmp -s "$dir/a.pl.html" "$work/expected.html"; then
    fail "open #$run: the page is not the Linux program's"
  fi
  [ "$(ls "$dir" | tr '\n' ' ')" = "a.pl a.pl.html " ] ||
    fail "open #$run: the folder holds $(ls "$dir" | tr '\n' ' ')"
  local deadline=$((SECONDS + 15))
  while ! grep -q "a.pl.html" "$launches" && [ "$SECONDS" -lt "$deadline" ]; do sleep 0.2; done
  grep -q "^file://$dir/a.pl.html\$" "$launches" ||
    fail "open #$run: the page was not launched (launches: $(cat "$launches"))"
}

# A dialog closed without a choice, or a typed name of a missing file: one
# message box "Erreur", dismissed; nothing written; exit status 1.
error_scenario() {
  local label=$1 dir=$work/$2
  shift 2
  mkdir -p "$dir"
  printf 'a.\r\n' >"$dir/a.pl"
  : >"$launches"
  start_program "$dir"
  keys_to "Fichier Prolog" "$@" || fail "$label: no open-file dialog"
  keys_to '^Erreur$' Return || fail "$label: no message box"
  finish_program
  [ "$status" = 1 ] || fail "$label: exit status $status, not 1"
  [ "$(ls "$dir")" = a.pl ] || fail "$label: the folder holds $(ls "$dir" | tr '\n' ' ')"
  [ ! -s "$launches" ] || fail "$label: something was launched: $(cat "$launches")"
}

for run in $(seq "$runs"); do
  open_scenario "$run"
  error_scenario "cancel #$run" "cancel$run" Escape
done
error_scenario "missing file" missing "type:$(windows_path "$work/missing")\\missing.pl" Return

if [ "$failures" -ne 0 ]; then
  echo "desktop_test: $failures failure(s)" >&2
  exit 1
fi
echo "desktop_test: open and cancel passed $runs time(s), the missing file too"
