#!/usr/bin/env bash
# The hardening stages: every test under AddressSanitizer and UBSan, then
# random trees built incrementally for a while (INCREMENTAL_SECONDS,
# default 60), then the fuzz target under libFuzzer for a while
# (FUZZ_SECONDS, default 60). Anything they find fails the run: fix it and
# add the input to fuzz/regressions/ (a tree: tests/site/build_test.cpp),
# which ctest replays.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
werror=${PL2HTML_WERROR:-OFF}

echo "== unit tests under AddressSanitizer and UBSan"
# GTK stays out: its own allocations are not ours to judge. The benchmarks
# are built here (not run) so that they keep compiling.
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPL2HTML_WERROR="$werror" \
  -DPL2HTML_SANITIZE=address,undefined -DPL2HTML_GTK=OFF -DPL2HTML_BENCH=ON >/dev/null
cmake --build build-asan -j"$jobs"
UBSAN_OPTIONS=print_stacktrace=1 ctest --test-dir build-asan --output-on-failure -j"$jobs"

echo "== incremental sites of random trees for ${INCREMENTAL_SECONDS:-60} seconds"
# A failure prints its seed and keeps its folder: replay it with
# PL2HTML_INCREMENTAL_SEED=S alone.
PL2HTML_INCREMENTAL_SECONDS="${INCREMENTAL_SECONDS:-60}" build-asan/tests/site_tests \
  --gtest_filter='IncrementalSite.*'

echo "== fuzzing the conversion for ${FUZZ_SECONDS:-60} seconds"
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DPL2HTML_WERROR="$werror" -DPL2HTML_FUZZ=ON -DPL2HTML_TESTS=OFF -DPL2HTML_GTK=OFF >/dev/null
cmake --build build-fuzz -j"$jobs" --target pl2html_fuzz
# New inputs go to fuzz/corpus-work (not kept in git); the seeds stay as
# they are. The progress lines go to a log; a failing input is written to
# build-fuzz/ and its report printed.
mkdir -p fuzz/corpus-work
log=build-fuzz/fuzz.log
if ! build-fuzz/fuzz/pl2html_fuzz -max_total_time="${FUZZ_SECONDS:-60}" -max_len=4096 \
  -len_control=20 -dict=fuzz/pl2html.dict -artifact_prefix=build-fuzz/ -print_final_stats=1 \
  fuzz/corpus-work fuzz/corpus >"$log" 2>&1; then
  grep -v -E '^#[0-9]+' "$log" >&2
  echo "the fuzzer found a failing input: build-fuzz/crash-* (replay it with" \
    "pl2html_fuzz_replay, then add it to fuzz/regressions/)" >&2
  exit 1
fi
grep -E '^(Done|stat::)' "$log"
