#!/usr/bin/env bash
# fuzz.sh -- builds the image fuzz target with clang and runs it for a bounded time.
#   tools/fuzz.sh [SECONDS]      default 60
# The committed seeds (tests/hardening/corpus) are read, never written: what the
# fuzzer finds goes to build-fuzz/corpus, crash inputs to build-fuzz/artifacts.
# A crash ends the run with a non-zero status; turn its input into a test case in
# tests/hardening/image_hardening_test.cpp and a file in the corpus.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-60}"
build=build-fuzz

CC=clang CXX=clang++ cmake -S . -B "$build" -DINTRO_FUZZ=ON >/dev/null
cmake --build "$build" -j "$(nproc)" --target fuzz_image

mkdir -p "$build/corpus" "$build/artifacts"
log="$build/fuzz.log"
status=0
"$build/tests/hardening/fuzz_image" \
  -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=65536 \
  -print_final_stats=1 -artifact_prefix="$build/artifacts/" \
  "$build/corpus" tests/hardening/corpus >"$log" 2>&1 || status=$?

# the last progress line carries coverage; the final stats carry executions and speed
grep -E '^#[0-9]+' "$log" | tail -n 1 || true
grep -E 'stat::(number_of_executed_units|average_exec_per_sec|peak_rss_mb)' "$log" || true
if [ "$status" -ne 0 ]; then
  echo "fuzz.sh: the fuzzer stopped with status $status; see $log and $build/artifacts/" >&2
  tail -n 40 "$log" >&2
fi
exit "$status"
