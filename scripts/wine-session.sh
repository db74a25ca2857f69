# Sourced by the stages that run Windows programs: a fresh Wine prefix and a
# virtual X display of their own, both removed when the sourcing script
# exits (this file sets the EXIT trap). Sets WINEPREFIX and DISPLAY, `work` (a
# scratch folder) and `drop` (a command prefix that runs without root's
# override of file permissions).
work=$(mktemp -d)
export WINEPREFIX=$work/prefix WINEDEBUG=-all
xvfb=
cleanup() {
  wineserver -k 2>/dev/null || true
  [ -z "$xvfb" ] || kill "$xvfb" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# As root every permission check passes, in Wine as well; dropping the
# override of file permissions lets the tests see a locked folder refused.
drop=()
if [ "$(id -u)" -eq 0 ]; then
  caps=-dac_override,-dac_read_search
  drop=(setpriv --bounding-set="$caps" --inh-caps="$caps")
fi

echo "== preparing Wine"
# Without a display, making the prefix shows no dialog; HTML support stays
# enabled so that .html files are associated (with winebrowser).
(unset DISPLAY && WINEDLLOVERRIDES=mscoree= "${drop[@]}" wineboot --init >/dev/null 2>&1)
wineserver --wait
# One server for the whole stage, started apart from ctest and with its
# output sent away: its service processes would otherwise hold ctest's pipes.
"${drop[@]}" wineserver --persistent >/dev/null 2>&1

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 100); do
  [ -s "$work/display" ] && break
  sleep 0.1
done
export DISPLAY=:$(head -n 1 "$work/display")
"${drop[@]}" wine reg query 'HKCU\Software\Wine' >/dev/null 2>&1
