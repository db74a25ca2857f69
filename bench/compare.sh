#!/usr/bin/env bash
# Times pl2html against other syntax highlighters on the same inputs and
# prints Markdown tables: MB/s of source, peak memory, and how many times
# faster pl2html is.
#
# 1. A realistic input of about 20 MB: the SWI-Prolog library (*.pl under
#    /usr/lib/swi-prolog), concatenated. pl2html, highlight, source-highlight,
#    pygmentize and cat (the floor: copying the bytes) take turns, round after
#    round, so that a slow moment of the machine hurts them all alike; each
#    one's best round counts.
# 2. The hostile inputs, each at two sizes: time per MB that stays the same
#    at both sizes shows that time grows linearly with the input. The other
#    highlighters run once on these, under a time limit.
#
# 3. A whole tree to a site: the SWI-Prolog library folder with
#    `pl2html --prolog -r -d` on one thread and on all cores, a second run
#    over the unchanged tree, and pygmentize on every file for reference.
#
# Usage: bench/compare.sh [--big] [--site]
#   --big     also converts a 1 GB file, to show that memory stays flat
#   --site    only the site (3.)
# Environment: ROUNDS (default 5), PEER_TIMEOUT in seconds (default 30),
#   PROLOG_ONLY=1 to skip the classic page's hostile inputs,
#   PEERS=0 to time pl2html and cat only, BUILD (default build-bench),
#   CMAKE_ARGS for the build (e.g. -DPL2HTML_GTK=OFF).
# Needs: swi-prolog-nox, highlight, source-highlight, python3-pygments, time,
#   libbenchmark-dev (for the input generator's build).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD:-$root/build-bench}
rounds=${ROUNDS:-5}
peer_timeout=${PEER_TIMEOUT:-30}
peers=${PEERS:-1}
big=0
site_only=0
for arg in "$@"; do
  case $arg in
    --big) big=1 ;;
    --site) site_only=1 ;;
    *) echo "usage: bench/compare.sh [--big] [--site]" >&2; exit 2 ;;
  esac
done

# shellcheck disable=SC2086 # CMAKE_ARGS holds several arguments
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DPL2HTML_BENCH=ON \
  -DPL2HTML_TESTS=OFF ${CMAKE_ARGS:-} >/dev/null
cmake --build "$build" -j"$(nproc)" --target pl2html pl2html_input >/dev/null
pl2html=$build/pl2html
make_input=$build/bench/pl2html_input

work=$(mktemp -d "${TMPDIR:-/tmp}/pl2html-compare.XXXXXX")
trap 'rm -rf "$work"' EXIT

cores=$(nproc --all)  # the machine's, whatever this shell may use

# One core for everybody: pl2html runs on one thread, and so must the
# others. The script pins itself, and the programs it starts inherit that.
if command -v taskset >/dev/null; then
  taskset -cp 0 $$ >/dev/null
fi

# command_for TOOL INPUT PAGE: sets cmd to the command that turns INPUT into
# an HTML page, written to PAGE or to standard output.
command_for() {
  case $1 in
    pl2html) cmd=("$pl2html" -o "$3" "$2") ;;
    prolog) cmd=("$pl2html" --prolog -o "$3" "$2") ;;  # the Prolog page
    highlight) cmd=(highlight --syntax=pro -i "$2" -o "$3") ;;  # "pro" is its Prolog
    source-highlight) cmd=(source-highlight -s prolog -f html -i "$2" -o "$3") ;;
    pygmentize) cmd=(pygmentize -l prolog -f html -o "$3" "$2") ;;
    cat) cmd=(cat "$2") ;;
    usual) cmd=("$pl2html" -o "$3" "$realistic") ;;  # pl2html on the realistic input
    usual-prolog) cmd=("$pl2html" --prolog -o "$3" "$realistic") ;;
  esac
}

tools=(pl2html prolog)
if [ "$peers" = 1 ]; then
  for t in highlight source-highlight pygmentize; do
    command -v "$t" >/dev/null && tools+=("$t") || echo "note: $t is missing, skipped" >&2
  done
fi
tools+=(cat)

# time_one TOOL INPUT LIMIT MEMORY: prints "microseconds peak-KiB
# page-bytes", or "timeout" or "failed". The program is timed with nothing
# around it (EPOCHREALTIME starts no process); when MEMORY is 1 it runs once
# more under /usr/bin/time for its peak memory (else the peak is 0). Only
# the other highlighters run under `timeout`.
time_one() {
  local tool=$1 input=$2 limit=$3 memory=$4 page=$work/page.html stats=$work/stats
  local cmd start end status=0 guard=() bytes=0
  command_for "$tool" "$input" "$page"
  case $tool in pl2html | prolog | usual | usual-prolog | cat) ;; *) guard=(timeout "$limit") ;; esac
  rm -f "$page"
  start=${EPOCHREALTIME/[.,]/}
  "${guard[@]}" "${cmd[@]}" >"$work/stdout" 2>/dev/null || status=$?
  end=${EPOCHREALTIME/[.,]/}
  if [ -f "$page" ]; then bytes=$(stat -c %s "$page"); else bytes=$(stat -c %s "$work/stdout"); fi
  rm -f "$page" "$work/stdout"
  if [ "$status" = 124 ]; then echo timeout; return; fi
  if [ "$status" != 0 ]; then echo failed; return; fi
  local kb=0
  if [ "$memory" = 1 ]; then
    /usr/bin/time -f %M -o "$stats" "${cmd[@]}" >"$work/stdout" 2>/dev/null || true
    rm -f "$page" "$work/stdout"
    kb=$(tail -n 1 "$stats")
  fi
  echo "$((end - start)) $kb $bytes"
}

declare -A best peak page
# measure INPUT ROUNDS TOOL...: fills best[TOOL] (microseconds, or a word),
# peak[TOOL] and page[TOOL] (the size of what it wrote).
measure() {
  local input=$1 count=$2
  shift 2
  local tool result us kb bytes round
  for tool in "$@"; do best[$tool]=; peak[$tool]=0; page[$tool]=0; done
  for ((round = 1; round <= count; round++)); do
    for tool in "$@"; do
      case ${best[$tool]} in timeout | failed) continue ;; esac
      local limit=$peer_timeout
      case $tool in pl2html | prolog | usual | usual-prolog | cat) limit=600 ;; esac
      result=$(time_one "$tool" "$input" "$limit" $((round == 1)))
      case $result in
        timeout | failed) best[$tool]=$result; continue ;;
      esac
      read -r us kb bytes <<<"$result"
      page[$tool]=$bytes
      if [ -z "${best[$tool]}" ] || [ "$us" -lt "${best[$tool]}" ]; then best[$tool]=$us; fi
      if [ "$kb" -gt "${peak[$tool]}" ]; then peak[$tool]=$kb; fi
    done
  done
}

# Formatting: MB are 10^6 bytes.
mbps() { awk -v b="$1" -v us="$2" 'BEGIN { printf "%.1f", b / us }'; }
ms_per_mb() { awk -v b="$1" -v us="$2" 'BEGIN { printf "%.2f", (us / 1e3) / (b / 1e6) }'; }
mib() { awk -v kb="$1" 'BEGIN { printf "%.1f MiB", kb / 1024 }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.1f×", b / a }'; }
size_of() { stat -c %s "$1"; }
mb() { awk -v b="$1" 'BEGIN { printf "%.1f MB", b / 1e6 }'; }
times() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.1f", a / b }'; }
speed_cell() {  # speed_cell TOOL BYTES
  case ${best[$1]} in
    timeout) echo "over ${peer_timeout} s" ;;
    failed) echo "failed" ;;
    *) echo "$(mbps "$2" "${best[$1]}") MB/s" ;;
  esac
}

# --- The realistic input -------------------------------------------------
library=/usr/lib/swi-prolog
if [ ! -d "$library" ]; then
  echo "$library is missing: apt-get install swi-prolog-nox" >&2
  exit 1
fi

# --- A whole tree to a site ----------------------------------------------
# Wall time, as a user waits for it, best of the rounds; the runs take all
# cores again (the script pinned itself to one). Peak memory from one more
# run of each under /usr/bin/time.
site_wall() {  # site_wall JOBS OUT: microseconds of one run
  local start end
  start=${EPOCHREALTIME/[.,]/}
  taskset -c "0-$((cores - 1))" "$pl2html" --prolog -r "$tree" -d "$2" -j "$1" 2>/dev/null || true
  end=${EPOCHREALTIME/[.,]/}
  echo $((end - start))
}
tree=$library/library
mapfile -d '' -t tree_files < <(find "$tree" -type f \( -name '*.pl' -o -name '*.pro' -o -name '*.plt' \) -print0)
tree_bytes=$(cat "${tree_files[@]}" | wc -c)
declare -A site_best site_peak
for jobs in 1 "$cores"; do
  for ((round = 1; round <= rounds; round++)); do
    rm -rf "$work/site"
    us=$(site_wall "$jobs" "$work/site")
    if [ -z "${site_best[$jobs]:-}" ] || [ "$us" -lt "${site_best[$jobs]}" ]; then site_best[$jobs]=$us; fi
  done
  rm -rf "$work/site"
  /usr/bin/time -f %M -o "$work/stats" taskset -c "0-$((cores - 1))" \
    "$pl2html" --prolog -r "$tree" -d "$work/site" -j "$jobs" 2>/dev/null || true
  site_peak[$jobs]=$(tail -n 1 "$work/stats")
done
again=
for ((round = 1; round <= rounds; round++)); do
  us=$(site_wall "$cores" "$work/site")
  if [ -z "$again" ] || [ "$us" -lt "$again" ]; then again=$us; fi
done
pages=$(find "$work/site" -name '*.html' | wc -l)
echo "## A whole tree to a site"
echo
echo "The SWI-Prolog library folder ($tree): ${#tree_files[@]} files, $(mb "$tree_bytes"), to $pages pages"
echo "with \`pl2html --prolog -r -d\`; wall time, best of $rounds rounds; $cores cores."
echo
echo "| Run | Wall time | Speed | Peak memory |"
echo "|---|---:|---:|---:|"
for jobs in 1 "$cores"; do
  echo "| -j $jobs | $(awk -v us="${site_best[$jobs]}" 'BEGIN { printf "%.3f s", us / 1e6 }') |" \
    "$(mbps "$tree_bytes" "${site_best[$jobs]}") MB/s | $(mib "${site_peak[$jobs]}") |"
done
echo "| again, nothing changed (-j $cores) | $(awk -v us="$again" 'BEGIN { printf "%.3f s", us / 1e6 }') | | |"
if [ "$peers" = 1 ] && command -v pygmentize >/dev/null; then
  # pygmentize on every file, as many at once as there are cores.
  start=${EPOCHREALTIME/[.,]/}
  printf '%s\0' "${tree_files[@]}" | taskset -c "0-$((cores - 1))" \
    xargs -0 -P "$cores" -I{} pygmentize -l prolog -f html -o /dev/null {} 2>/dev/null || true
  end=${EPOCHREALTIME/[.,]/}
  echo "| pygmentize on every file, $cores at a time | $(awk -v us="$((end - start))" 'BEGIN { printf "%.3f s", us / 1e6 }') |" \
    "$(mbps "$tree_bytes" "$((end - start))") MB/s | |"
fi
echo
echo "$cores cores are $(times "${site_best[1]}" "${site_best[$cores]}") times as fast as one."
echo
rm -rf "$work/site"
[ "$site_only" = 1 ] && exit 0

mapfile -t sources < <(find "$library" -name '*.pl' -type f | LC_ALL=C sort)
realistic=$work/library.pl
: >"$realistic"
# The library is about 9 MB; take it again from the start until 20 MB.
while [ "$(size_of "$realistic")" -lt 20000000 ]; do
  for f in "${sources[@]}"; do
    cat "$f" >>"$realistic"
    [ "$(size_of "$realistic")" -ge 20000000 ] && break
  done
done
bytes=$(size_of "$realistic")
realistic_bytes=$bytes

echo "## pl2html and its peers"
echo
echo "$(uname -m), $cores cores, $(awk -F': ' '/model name/ { print $2; exit }' /proc/cpuinfo); one core each; best of $rounds rounds."
libraries=$(ldd "$pl2html" 2>/dev/null || true)
desktop="no desktop backend"
# The GTK backend is a module that only the desktop flow loads, so the
# program's own libraries do not show it; the loader holds the name of the
# module's entry point.
grep -qa pl2html_gtk_desktop "$pl2html" &&
  desktop="the GTK desktop backend as a module"
echo "pl2html $("$pl2html" --version | cut -d' ' -f2), built with $desktop" \
  "($(grep -c . <<<"$libraries") shared libraries)."
echo "Input: the SWI-Prolog library (${#sources[@]} files) concatenated, $(awk -v b="$bytes" 'BEGIN { printf "%.1f", b / 1e6 }') MB."
echo
measure "$realistic" "$rounds" "${tools[@]}"
ours=${best[pl2html]}
echo "| Program | Speed | Peak memory | pl2html is faster by |"
echo "|---|---:|---:|---:|"
fastest_peer=
for tool in "${tools[@]}"; do
  case ${best[$tool]} in
    timeout | failed) echo "| $tool | $(speed_cell "$tool" "$bytes") | | |"; continue ;;
  esac
  name=$tool
  [ "$tool" = prolog ] && name="pl2html --prolog"
  echo "| $name | $(speed_cell "$tool" "$bytes") | $(mib "${peak[$tool]}") | $(ratio "$ours" "${best[$tool]}") |"
  if [ "$tool" != pl2html ] && [ "$tool" != prolog ] && [ "$tool" != cat ]; then
    if [ -z "$fastest_peer" ] || [ "${best[$tool]}" -lt "${best[$fastest_peer]}" ]; then
      fastest_peer=$tool
    fi
  fi
done
realistic_ms_per_mb=$(ms_per_mb "$bytes" "$ours")
realistic_ms_per_page_mb=$(ms_per_mb "${page[pl2html]}" "$ours")
echo
echo "pl2html: $(mbps "$bytes" "$ours") MB/s, $realistic_ms_per_mb ms per MB of source," \
  "$realistic_ms_per_page_mb ms per MB of page ($(mb "${page[pl2html]}"))."
if [ -n "$fastest_peer" ]; then
  echo "Fastest peer: $fastest_peer; pl2html is $(ratio "$ours" "${best[$fastest_peer]}") faster."
fi
prolog_line="pl2html --prolog: $(speed_cell prolog "$bytes"), peak $(mib "${peak[prolog]}")"
case ${best[pygmentize]:-} in
  '' | timeout | failed) ;;
  *) prolog_line+=", $(ratio "${best[prolog]}" "${best[pygmentize]}") faster than pygmentize" ;;
esac
echo "$prolog_line."
echo

# --- Hostile inputs ------------------------------------------------------
if [ "${PROLOG_ONLY:-0}" != 1 ]; then
echo "## Hostile inputs"
echo
echo "Each at two sizes. \"× usual\" compares the time per MB of source, then per MB"
echo "of page written, with the realistic input's, timed in the same rounds (so a"
echo "slow spell of the machine counts on both sides); some inputs make pages many"
echo "times their size."
echo
header="| Input | Source | Page | pl2html | ms per MB | × usual | ms per MB of page | × usual | Peak memory |"
rule="|---|---:|---:|---:|---:|---:|---:|---:|---:|"
hostile_peers=()
for tool in "${tools[@]}"; do
  case $tool in pl2html | cat) ;; *) hostile_peers+=("$tool"); header+=" $tool |"; rule+="---:|" ;; esac
done
echo "$header"
echo "$rule"
# kind, unit, two sizes, what it is
cases=(
  "long-line|bytes|2500000 5000000|one line of Prolog code"
  "declarations|declarations|100000 200000|distinct \`tN fN(uN a, vN b)\`"
  "unclosed|bytes|5000000 10000000|\`void g(int a\` never closed, lines of commas"
  "diese-slash|pairs|500000 1000000|one line of \`#/\`"
  "quotes|bytes|5000000 10000000|quoted text never closed"
  "random|bytes|5000000 10000000|random bytes"
)
for entry in "${cases[@]}"; do
  IFS='|' read -r kind unit sizes what <<<"$entry"
  for size in $sizes; do
    input=$work/$kind-$size.pl
    "$make_input" "$kind" "$size" >"$input"
    bytes=$(size_of "$input")
    # The realistic input takes turns with this one: "usual" is pl2html on it.
    measure "$input" "$rounds" pl2html usual
    ours=${best[pl2html]}
    per_mb=$(ms_per_mb "$bytes" "$ours")
    per_page_mb=$(ms_per_mb "${page[pl2html]}" "$ours")
    usual_per_mb=$(ms_per_mb "$realistic_bytes" "${best[usual]}")
    usual_per_page_mb=$(ms_per_mb "${page[usual]}" "${best[usual]}")
    line="| $kind: $what | $(mb "$bytes") | $(mb "${page[pl2html]}") | $(speed_cell pl2html "$bytes")"
    line+=" | $per_mb | $(times "$per_mb" "$usual_per_mb")"
    line+=" | $per_page_mb | $(times "$per_page_mb" "$usual_per_page_mb")"
    line+=" | $(mib "${peak[pl2html]}") |"
    if [ ${#hostile_peers[@]} -gt 0 ]; then
      measure "$input" 1 "${hostile_peers[@]}"
      for tool in "${hostile_peers[@]}"; do line+=" $(speed_cell "$tool" "$bytes") |"; done
    fi
    echo "$line"
    rm -f "$input"
  done
done
echo
fi

# --- Hostile inputs for the Prolog page ------------------------------------
echo "## Hostile inputs for --prolog"
echo
echo "Each at two sizes; \"× usual\" compares the time per MB of source with that of"
echo "--prolog on the realistic input, timed in the same rounds."
echo
echo "| Input | Source | Page | pl2html --prolog | ms per MB | × usual | Peak memory |"
echo "|---|---:|---:|---:|---:|---:|---:|"
prolog_cases=(
  "long-line|2500000 5000000|one line of Prolog code"
  "quotes|5000000 10000000|a quote never closed"
  "comment|5000000 10000000|a block comment never closed"
  "clauses|100000 200000|clauses, each its own predicate"
  "char-codes|5000000 10000000|\`0'\` forms"
  "binary|5000000 10000000|runs of zero and 0xFF bytes"
)
for entry in "${prolog_cases[@]}"; do
  IFS='|' read -r kind sizes what <<<"$entry"
  for size in $sizes; do
    input=$work/$kind-$size.pl
    "$make_input" "$kind" "$size" >"$input"
    bytes=$(size_of "$input")
    measure "$input" "$rounds" prolog usual-prolog
    per_mb=$(ms_per_mb "$bytes" "${best[prolog]}")
    usual_per_mb=$(ms_per_mb "$realistic_bytes" "${best[usual-prolog]}")
    echo "| $kind: $what | $(mb "$bytes") | $(mb "${page[prolog]}") | $(speed_cell prolog "$bytes")" \
      "| $per_mb | $(times "$per_mb" "$usual_per_mb") | $(mib "${peak[prolog]}") |"
    rm -f "$input"
  done
done
echo

# --- Memory on a very large file -----------------------------------------
if [ "$big" = 1 ]; then
  huge=$work/huge.pl
  : >"$huge"
  while [ "$(size_of "$huge")" -lt 1000000000 ]; do cat "$realistic" >>"$huge"; done
  bytes=$(size_of "$huge")
  rm -f "$realistic"
  measure "$huge" 1 pl2html
  echo "## A 1 GB file"
  echo
  echo "$(awk -v b="$bytes" 'BEGIN { printf "%.0f", b / 1e6 }') MB: $(speed_cell pl2html "$bytes"), peak memory $(mib "${peak[pl2html]}")."
  echo
fi
