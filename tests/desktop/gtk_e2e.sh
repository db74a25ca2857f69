#!/usr/bin/env bash
# The desktop program with its GTK backend, driven as a user would drive it,
# on a private virtual X server: the open-file dialog, the error box, the
# launch of the page, the terminal flow without a display or without the GTK
# module, a command line that loads no GTK, and the installed program and
# desktop entry.
#
# Usage: gtk_e2e.sh PROGRAM BACKEND BUILD_DIR CMAKE
#   BACKEND is the desktop backend the build chose; anything but "gtk" skips.
#   BUILD_DIR "-" says PROGRAM is installed already (from a package): its
#   desktop entry is tried where it was installed, not in a fresh install.
#   With PL2HTML_SCREENSHOTS=FOLDER set, pictures of the dialog and of the
#   error box are saved there (needs imagemagick's "import").
# First, in every build, a fence: GTK headers only in the GTK backend. Then
# exits 77 (skipped) when the build has no GTK backend or Xvfb, xdotool or
# the MIME database are missing.
set -uo pipefail

program=$1 backend=$2 build=$3 cmake=$4
shots=${PL2HTML_SCREENSHOTS:-}

skip() {
  echo "SKIP: $*"
  exit 77
}

# Only the GTK backend knows GTK: the core builds and is tested without it.
src=$(dirname "$0")/../../src
leaks=$(grep -rlE '#include <(gtk|gdk|glib|gio)/' "$src" | grep -v '/gtk/desktop\.cpp$')
if [ -n "$leaks" ]; then
  echo "FAIL: GTK headers outside the GTK backend: $leaks" >&2
  exit 1
fi

[ "$backend" = gtk ] || skip "pl2html was built without the GTK backend"
for tool in Xvfb xdotool; do
  command -v "$tool" >/dev/null || skip "$tool is not installed (scripts/install-deps.sh test)"
done
# gio finds the program for text/html through the MIME database.
[ -e /usr/share/mime/globs2 ] || skip "the MIME database (shared-mime-info) is not installed"
if [ -n "$shots" ] && ! command -v import >/dev/null; then
  echo "PL2HTML_SCREENSHOTS needs imagemagick's import" >&2
  exit 1
fi

program=$(realpath "$program")
tmp=$(mktemp -d)
work=$tmp/work
failures=0
pids=()   # every process this suite starts, stopped by PID at the end

stop_all() {
  local pid
  for pid in "${pids[@]}" $(cat "$tmp"/*.pids 2>/dev/null); do
    kill "$pid" 2>/dev/null
  done
  for pid in "${pids[@]}"; do
    wait "$pid" 2>/dev/null
  done
  rm -rf "$tmp"
}
trap stop_all EXIT
trap 'exit 143' TERM INT HUP # so that stopping the suite stops what it started

fail() {
  echo "FAIL: $scenario: $*" >&2
  failures=$((failures + 1))
}

# --- A private X server and a private desktop ---------------------------------

# -displayfd picks a free display number and writes it once the server is up;
# -noreset keeps the server from resetting, and refusing connections for a
# moment, each time its last client leaves.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$tmp/display" \
  2>"$tmp/xvfb.log" &
pids+=($!)
for _ in $(seq 100); do
  [ -s "$tmp/display" ] && break
  sleep 0.1
done
[ -s "$tmp/display" ] || {
  cat "$tmp/xvfb.log" >&2
  echo "FAIL: Xvfb did not start" >&2
  exit 1
}
export DISPLAY=:$(head -1 "$tmp/display")

mkdir -p "$tmp/home" "$tmp/data/applications" "$tmp/config" "$tmp/cache" "$tmp/bin" "$work"
mkdir -m 700 "$tmp/run"
export HOME=$tmp/home XDG_DATA_HOME=$tmp/data XDG_CONFIG_HOME=$tmp/config
export XDG_CACHE_HOME=$tmp/cache XDG_RUNTIME_DIR=$tmp/run
export LC_ALL=C.UTF-8
# No settings daemon, accessibility bus, portal or virtual file system: GTK
# and GIO on their own, the same on every machine. The session bus address
# leads nowhere, so nothing tries to start a bus either.
export GSETTINGS_BACKEND=memory NO_AT_BRIDGE=1 GIO_USE_VFS=local GIO_USE_VOLUME_MONITOR=unix
export DBUS_SESSION_BUS_ADDRESS=unix:path=$tmp/no-bus
unset GTK_USE_PORTAL GTK_MODULES GTK_THEME GDK_BACKEND WAYLAND_DISPLAY SESSION_MANAGER
# Pictures: without a window manager no window has a title bar, so the
# dialog puts its title in a header bar, as GNOME's dialogs do.
if [ -n "$shots" ]; then
  mkdir -p "$tmp/config/gtk-3.0"
  printf '[Settings]\ngtk-dialogs-use-header=true\n' >"$tmp/config/gtk-3.0/settings.ini"
fi

# The desktop's program for HTML pages is a recorder: it notes what it was
# given, so a launch can be checked without a browser. gio ignores BROWSER and
# programs on PATH; it follows mimeapps.list to a desktop entry.
cat >"$tmp/bin/recorder" <<EOF
#!/bin/sh
echo \$\$ >>"$tmp/recorder.pids"
printf '%s\n' "\$@" >>"$tmp/launched"
EOF
chmod +x "$tmp/bin/recorder"
cat >"$tmp/data/applications/recorder.desktop" <<EOF
[Desktop Entry]
Type=Application
Name=Recorder
Exec=$tmp/bin/recorder %u
MimeType=text/html;
NoDisplay=true
EOF
printf '[Default Applications]\ntext/html=recorder.desktop\n' >"$tmp/config/mimeapps.list"

# --- Helpers --------------------------------------------------------------------

dialog_title='Fichier Prolog à ouvrir'
boxes=0   # error boxes seen in the current scenario

# Beside the source, a file the filter lists only when it ignores case, and
# one it hides.
others=(LISTS.PL notes.txt)

# new_scenario NAME: a work folder holding prog.pl and the others, nothing
# launched yet.
new_scenario() {
  scenario=$1
  echo "-- $scenario ($SECONDS s)"
  boxes=0
  rm -rf "$work" "$tmp/launched"
  mkdir -p "$work"
  printf '%% A comment\r\nhello(X) :- write("hi"), X is 42.\r\n' >"$work/prog.pl"
  printf 'append([], L, L).\n' >"$work/LISTS.PL"
  printf 'notes\n' >"$work/notes.txt"
}

# start [ARG...]: runs the program in the work folder, in the background.
start() {
  (cd "$work" && exec "$program" "$@") </dev/null >"$tmp/out" 2>"$tmp/err" &
  app=$!
  pids+=("$app")
}

# find_window TITLE_REGEX: prints the id of the program's visible window with
# that title, waiting up to 20 s; fails when none shows or the program ended.
find_window() {
  local id
  for _ in $(seq 200); do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1)
    if [ -n "$id" ]; then
      echo "$id"
      return 0
    fi
    if ! kill -0 "$app" 2>/dev/null; then
      echo "the program ended; it said: $(cat "$tmp/err")" >&2
      return 1
    fi
    sleep 0.1
  done
  return 1
}

focus() {
  timeout 5 xdotool windowfocus --sync "$1" 2>/dev/null || xdotool windowfocus "$1"
}

# screenshot WINDOW FILE: the screen cut to the window, when pictures are
# asked for; the first picture of each name is kept.
screenshot() {
  [ -n "$shots" ] && [ ! -e "$shots/$2" ] || return 0
  local X Y WIDTH HEIGHT SCREEN WINDOW
  sleep 0.5 # let GTK finish drawing
  eval "$(xdotool getwindowgeometry --shell "$1")"
  mkdir -p "$shots"
  import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$shots/$2"
}

# choose PATH: types PATH into the open-file dialog as a user does and confirms.
choose() {
  local dialog
  dialog=$(find_window "^$dialog_title\$") || {
    fail "no window titled \"$dialog_title\""
    return 1
  }
  screenshot "$dialog" gtk-open-dialog.png
  focus "$dialog"
  xdotool key ctrl+l
  xdotool type --delay 20 "$1"
  sleep 0.3
  xdotool key Return
}

# visible WINDOW: the program still shows WINDOW.
visible() {
  xdotool search --onlyvisible --pid "$app" 2>/dev/null | grep -qx "$1"
}

# press_until_gone WINDOW KEY: presses KEY in WINDOW until the window goes,
# again every second: a key can go astray before a window takes the focus,
# and after a box of its own GTK can let the first Escape go by.
press_until_gone() {
  for _ in 1 2 3 4 5; do
    focus "$1"
    xdotool key "$2"
    for _ in $(seq 10); do
      visible "$1" || return 0
      sleep 0.1
    done
  done
  fail "$(xdotool getwindowname "$1" 2>/dev/null) stays open after $2"
}

# cancel_dialog: closes the open-file dialog with Escape.
cancel_dialog() {
  local dialog
  dialog=$(find_window "^$dialog_title\$") || {
    fail "no window titled \"$dialog_title\""
    return 1
  }
  press_until_gone "$dialog" Escape
}

# dismiss_box: waits for the error box, counts it, and presses its OK button.
dismiss_box() {
  local box
  box=$(find_window '^Erreur$') || {
    fail "no error box"
    return 1
  }
  boxes=$((boxes + 1))
  screenshot "$box" gtk-error-box.png
  press_until_gone "$box" Return
}

# dismiss_gtk_box: GTK's own message box over the dialog, which has no title.
dismiss_gtk_box() {
  local window
  for _ in $(seq 100); do
    for window in $(xdotool search --onlyvisible --pid "$app" 2>/dev/null); do
      if [ -z "$(xdotool getwindowname "$window")" ]; then
        press_until_gone "$window" Return
        return 0
      fi
    done
    sleep 0.1
  done
  fail "GTK showed no box of its own"
}

# finish: waits up to 30 s for the program to end and sets `status`. A window
# still open after 2 s gets Return again (a key can go astray before a window
# takes the focus); an error box met there counts as one more box.
finish() {
  local tick=0 window
  while kill -0 "$app" 2>/dev/null; do
    sleep 0.1
    tick=$((tick + 1))
    if [ $((tick % 20)) -eq 0 ]; then
      if [ "$tick" -ge 300 ]; then
        fail "still running after 30 s"
        kill "$app"
        break
      fi
      for window in $(xdotool search --onlyvisible --pid "$app" 2>/dev/null); do
        echo "   Return again on \"$(xdotool getwindowname "$window")\""
        [ "$(xdotool getwindowname "$window")" = Erreur ] && boxes=$((boxes + 1))
        focus "$window"
        xdotool key Return
      done
    fi
  done
  wait "$app"
  status=$?
}

# expect_launched PATH: the recorder was given exactly PATH; gio hands a
# local file URI to a "%u" entry as its path. The recorder may start just
# after the program ended: the launch does not wait for it.
expect_launched() {
  for _ in $(seq 50); do
    [ -s "$tmp/launched" ] && break
    sleep 0.1
  done
  sleep 0.2
  [ "$(cat "$tmp/launched" 2>/dev/null)" = "$1" ] ||
    fail "launched \"$(cat "$tmp/launched" 2>/dev/null)\", expected \"$1\""
}

# wait_gone PID: waits up to 30 s for a process this shell did not start.
wait_gone() {
  for _ in $(seq 300); do
    kill -0 "$1" 2>/dev/null || return 0
    sleep 0.1
  done
  fail "process $1 still running after 30 s"
}

expect_not_launched() {
  sleep 0.5
  [ ! -e "$tmp/launched" ] || fail "launched \"$(cat "$tmp/launched")\""
}

# expect_page [SOURCE]: SOURCE.html is the page the command line makes of
# SOURCE (a name in the work folder, prog.pl by default).
expect_page() {
  local source=$work/${1:-prog.pl} expected=$tmp/expected.html
  rm -f "$expected"
  "$program" -o "$expected" "$source" || fail "the command line could not convert $source"
  if ! cmp -s "$source.html" "$expected"; then
    fail "$source.html differs from the command line's page"
  elif ! grep -q "<font class='comment'>% A comment</font>" "$expected"; then
    fail "the page does not show the source's comment"
  fi
}

# expect_files NAME...: the work folder holds exactly these files and the others.
expect_files() {
  local have want
  have=$(cd "$work" && ls -A | sort | tr '\n' ' ')
  want=$(printf '%s\n' "$@" "${others[@]}" | sort | tr '\n' ' ')
  [ "$have" = "$want" ] || fail "the work folder holds \"$have\", expected \"$want\""
}

expect_status() {
  [ "$status" -eq "$1" ] || fail "exit status $status, expected $1 (stderr: $(cat "$tmp/err"))"
}

expect_boxes() {
  [ "$boxes" -eq "$1" ] || fail "$boxes error boxes, expected $1"
}

# --- Scenarios ------------------------------------------------------------------

# A name without a folder: the dialog starts in the current folder.
new_scenario "open a file"
start
choose prog.pl
finish
expect_status 0
expect_boxes 0
expect_files prog.pl prog.pl.html
expect_page
expect_launched "$work/prog.pl.html"

# A refused run: status 1, one error box, nothing written or launched.
expect_refused() {
  expect_status 1
  expect_boxes 1
  expect_files prog.pl
  expect_not_launched
}

new_scenario "cancel the dialog"
start
cancel_dialog
dismiss_box
finish
expect_refused

new_scenario "type the name of a missing file"
start
choose "$work/missing.pl"
dismiss_box
finish
expect_refused

# The folder of a typed name must exist: GTK says so in a box of its own,
# without a title, and the dialog stays open.
new_scenario "type a name in a missing folder"
start
choose "$work/nowhere/x.pl"
dismiss_gtk_box
cancel_dialog
dismiss_box
finish
expect_refused

# What a desktop flow in the terminal leaves: the prompt on standard error,
# the page made and its path printed, no browser started.
expect_terminal_flow() {
  expect_status 0
  expect_files prog.pl prog.pl.html
  expect_page
  [ "$(cat "$tmp/out")" = "$work/prog.pl.html" ] || fail "printed \"$(cat "$tmp/out")\""
  grep -q "^$dialog_title: " "$tmp/err" || fail "no prompt: \"$(cat "$tmp/err")\""
  expect_not_launched
}

new_scenario "no display: the terminal serves"
(cd "$work" && echo "$work/prog.pl" | env -u DISPLAY "$program" >"$tmp/out" 2>"$tmp/err")
status=$?
expect_terminal_flow

# GTK is a module that the desktop flow loads: a conversion on the command
# line maps none of it. The run without a display shows that the check sees
# the module when it is loaded.
new_scenario "the command line does not load GTK"
if ldd "$program" | grep -q libgtk; then
  fail "the program links GTK: $(ldd "$program" | grep libgtk)"
fi
(cd "$work" && LD_DEBUG=libs timeout 30 "$program" -o "$tmp/page.html" prog.pl) 2>"$tmp/libs" ||
  fail "the conversion failed"
if grep -qE 'pl2html-gtk|libgtk' "$tmp/libs"; then
  fail "a conversion loaded $(grep -oE '[^ /]*(pl2html-gtk|libgtk)[^ ]*' "$tmp/libs" | sort -u | tr '\n' ' ')"
fi
(cd "$work" && echo "$work/prog.pl" | env -u DISPLAY LD_DEBUG=libs timeout 30 "$program" \
  >/dev/null) 2>"$tmp/libs"
grep -q 'pl2html-gtk\.so' "$tmp/libs" && grep -q 'libgtk-3' "$tmp/libs" ||
  fail "the desktop flow did not load the module and GTK"

# Without its module (a program copied on its own), or with one that does not
# load, the program still runs the desktop flow, in the terminal, and says
# once why. A program that shows the dialog instead is stopped after 30 s.
new_scenario "no module: the terminal serves and says why"
mkdir -p "$tmp/alone"
cp "$program" "$tmp/alone/pl2html"
no_module() {  # no_module REASON_REGEX
  (cd "$work" && echo "$work/prog.pl" | timeout 30 "$tmp/alone/pl2html" >"$tmp/out" 2>"$tmp/err")
  status=$?
  expect_terminal_flow
  [ "$(grep -c 'GTK desktop' "$tmp/err")" -eq 1 ] &&
    grep -qE "^pl2html: the GTK desktop could not be loaded \($1\); the terminal serves instead\$" \
      "$tmp/err" || fail "said \"$(cat "$tmp/err")\""
}
no_module "no $tmp/alone/pl2html-gtk.so nor .*/pl2html-gtk.so"
rm -f "$work/prog.pl.html"
printf 'not a library\n' >"$tmp/alone/pl2html-gtk.so"
no_module "$tmp/alone/pl2html-gtk.so: .+"
# A module left from another version shares no interface with this program:
# it is refused before its entry point could be called.
if command -v cc >/dev/null; then
  rm -f "$work/prog.pl.html"
  printf '%s\n' 'const char* pl2html_gtk_module_version(void) { return "0.1"; }' \
    'void* pl2html_gtk_desktop(void* files) { return files; }' |
    cc -shared -fPIC -x c -o "$tmp/alone/pl2html-gtk.so" - &&
    no_module "$tmp/alone/pl2html-gtk.so is from pl2html 0.1, not [0-9.]+"
fi

# The installed desktop entry, started the way a file manager ("Open with")
# and a menu start it. A stand-in named pl2html first on PATH notes the
# arguments and the PID, then becomes the installed program.
if [ "$build" = - ]; then
  prefix=$(dirname "$(dirname "$program")")
elif "$cmake" --install "$build" --prefix "$tmp/prefix" >/dev/null; then
  prefix=$tmp/prefix
else
  prefix=
fi
if command -v gio >/dev/null && [ -n "$prefix" ]; then
  entry=$prefix/share/applications/pl2html.desktop
  if command -v desktop-file-validate >/dev/null && ! desktop-file-validate "$entry"; then
    scenario="desktop entry" fail "pl2html.desktop is not valid"
  fi
  mkdir -p "$tmp/spy"
  cat >"$tmp/spy/pl2html" <<EOF
#!/bin/sh
echo \$\$ >>"$tmp/entry.pids"
printf '%s\n' "\$@" >"$tmp/entry-args"
exec "$prefix/bin/pl2html" "\$@"
EOF
  chmod +x "$tmp/spy/pl2html"
  export PATH=$tmp/spy:$PATH

  # The installed program finds its module where the installation put it,
  # not beside itself.
  new_scenario "the installed program loads its module"
  [ "$build" = - ] || [ "$(ls "$prefix/bin")" = pl2html ] ||
    fail "bin/ holds $(ls "$prefix/bin" | tr '\n' ' ')"
  build_program=$program
  program=$prefix/bin/pl2html
  start
  choose prog.pl
  finish
  program=$build_program
  expect_status 0
  expect_boxes 0
  expect_files prog.pl prog.pl.html
  expect_launched "$work/prog.pl.html"
  [ ! -s "$tmp/err" ] || fail "said \"$(cat "$tmp/err")\""

  # The name is not UTF-8 and has a space: paths pass as raw bytes.
  new_scenario "open with pl2html"
  odd=$'caf\xe9 1.pl'
  mv "$work/prog.pl" "$work/$odd"
  (cd "$work" && gio launch "$entry" "$work/$odd") >"$tmp/out" 2>"$tmp/err" ||
    fail "gio launch failed: $(cat "$tmp/err")"
  expect_launched "$work/$odd.html"
  wait_gone "$(tail -1 "$tmp/entry.pids")"
  [ "$(cat "$tmp/entry-args")" = "$(printf -- '--open\n%s' "$work/$odd")" ] ||
    fail "started with \"$(cat "$tmp/entry-args")\""
  expect_files "$odd" "$odd.html"
  expect_page "$odd"

  new_scenario "start pl2html from a menu"
  rm -f "$tmp/entry-args"
  (cd "$work" && gio launch "$entry") >"$tmp/out" 2>"$tmp/err" ||
    fail "gio launch failed: $(cat "$tmp/err")"
  for _ in $(seq 100); do
    [ -s "$tmp/entry-args" ] && break
    sleep 0.1
  done
  app=$(tail -1 "$tmp/entry.pids")
  [ "$(cat "$tmp/entry-args")" = "--open" ] || fail "started with \"$(cat "$tmp/entry-args")\""
  choose "$work/prog.pl"
  wait_gone "$app"
  expect_launched "$work/prog.pl.html"
  expect_files prog.pl prog.pl.html
else
  echo "note: gio or the install is missing, the desktop entry is not tried"
fi

if [ "$failures" -ne 0 ]; then
  echo "$failures failures" >&2
  exit 1
fi
echo "all desktop scenarios passed"
