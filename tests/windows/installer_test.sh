#!/usr/bin/env bash
# The Windows installer under Wine, as a user without administrator rights
# meets it: a silent install, the program, its shortcut and its "Open with"
# entries where they belong, the installed program converting a file and
# running the desktop flow, then a silent uninstall that leaves nothing.
# Usage: tests/windows/installer_test.sh SETUP_EXE LINUX_PL2HTML
# Needs DISPLAY and a ready Wine prefix in WINEPREFIX (scripts/wine-session.sh).
set -uo pipefail
setup=$(realpath "$1")
linux=$(realpath "$2")
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# The Unix path of a folder the Windows way, e.g. %LOCALAPPDATA%.
folder_of() { winepath -u "$(wine cmd /c echo "%$1%" 2>/dev/null | tr -d '\r')" 2>/dev/null; }
install_dir=$(folder_of LOCALAPPDATA)/Programs/pl2html
shortcut=$(folder_of APPDATA)/Microsoft/Windows/Start\ Menu/Programs/pl2html.lnk
classes='HKCU\Software\Classes'
keys=("$classes\\Applications\\pl2html.exe" "$classes\\pl2html.PrologSource"
  'HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\pl2html')

# reg_value KEY NAME: the data of a value (NAME "" for the default value).
reg_value() {
  local how=(/v "$2")
  [ -n "$2" ] || how=(/ve)
  wine reg query "$1" "${how[@]}" 2>/dev/null | tr -d '\r' |
    sed -n 's/^ *[^ ].*REG_[A-Z_]* *//p' | head -n 1 | grep -vx '(value not set)'
}
reg_has() { wine reg query "$1" >/dev/null 2>&1; }

echo "-- silent install of $(basename "$setup")"
# Another program's claim on .pl must survive both the install and the
# uninstall.
wine reg add "$classes\\.pl\\OpenWithProgids" /v Other.Prolog /d "" /f >/dev/null 2>&1
wine "$setup" /S || fail "the installer failed with status $?"
[ -f "$install_dir/pl2html.exe" ] || fail "no $install_dir/pl2html.exe"
for file in README.md LICENSE Uninstall.exe; do
  [ -f "$install_dir/$file" ] || fail "no $file in $install_dir"
done
[ -f "$shortcut" ] || fail "no Start-menu shortcut $shortcut"
grep -qa 'pl2html.exe' "$shortcut" 2>/dev/null || fail "the shortcut does not start pl2html.exe"

windows_dir=$(winepath -w "$install_dir" 2>/dev/null | tr -d '\r')
command="\"$windows_dir\\pl2html.exe\" --open \"%1\""
for key in "$classes\\Applications\\pl2html.exe" "$classes\\pl2html.PrologSource"; do
  [ "$(reg_value "$key\\shell\\open\\command" "")" = "$command" ] ||
    fail "$key opens with \"$(reg_value "$key\\shell\\open\\command" "")\", not $command"
done
reg_has "$classes\\.pl\\OpenWithProgids" &&
  wine reg query "$classes\\.pl\\OpenWithProgids" /v pl2html.PrologSource >/dev/null 2>&1 ||
  fail ".pl\\OpenWithProgids does not list pl2html.PrologSource"
[ -z "$(reg_value "$classes\\.pl" "")" ] ||
  fail ".pl's default program was changed to $(reg_value "$classes\\.pl" "")"
[ "$(reg_value "${keys[2]}" QuietUninstallString)" = "\"$windows_dir\\Uninstall.exe\" /S" ] ||
  fail "the uninstall entry says \"$(reg_value "${keys[2]}" QuietUninstallString)\""

echo "-- the installed program"
printf '%% installed\r\nqueens(N, Qs) :- length(Qs, N), "txt".\r\n' >"$work/q.pl"
(cd "$work" && wine "$install_dir/pl2html.exe" q.pl && "$linux" -o expected.html q.pl) ||
  fail "the installed program could not convert a file"
cmp -s "$work/q.pl.html" "$work/expected.html" || fail "the installed program's page differs"
bash "$here/desktop_test.sh" "$install_dir/pl2html.exe" "$linux" || fail "the desktop flow failed"

# The shortcut starts the desktop flow: its dialog shows; it is then stopped.
wine start "$(winepath -w "$shortcut" 2>/dev/null)" >/dev/null 2>&1
dialog=
for _ in $(seq 100); do
  dialog=$(xdotool search --onlyvisible --name '^Fichier Prolog' 2>/dev/null | head -n 1 || true)
  [ -n "$dialog" ] && break
  sleep 0.2
done
[ -n "$dialog" ] || fail "the Start-menu shortcut showed no open-file dialog"
wine taskkill /f /im pl2html.exe >/dev/null 2>&1
for _ in $(seq 50); do
  xdotool search --onlyvisible --name '^Fichier Prolog' >/dev/null 2>&1 || break
  sleep 0.2
done

echo "-- silent uninstall"
# The uninstaller copies itself away and returns at once; the copy removes
# the folder, so wait for that.
wine "$install_dir/Uninstall.exe" /S || fail "the uninstaller failed with status $?"
for _ in $(seq 150); do
  [ -e "$install_dir" ] || break
  sleep 0.2
done
[ ! -e "$install_dir" ] || fail "$install_dir is left: $(ls -A "$install_dir" | tr '\n' ' ')"
[ ! -e "$shortcut" ] || fail "the Start-menu shortcut is left"
for key in "${keys[@]}"; do
  reg_has "$key" && fail "$key is left"
done
wine reg query "$classes\\.pl\\OpenWithProgids" /v pl2html.PrologSource >/dev/null 2>&1 &&
  fail ".pl\\OpenWithProgids still lists pl2html.PrologSource"
wine reg query "$classes\\.pl\\OpenWithProgids" /v Other.Prolog >/dev/null 2>&1 ||
  fail "the uninstall removed another program's entry under .pl"

if [ "$failures" -ne 0 ]; then
  echo "installer_test: $failures failure(s)" >&2
  exit 1
fi
echo "installer_test: installed, used and uninstalled silently"
