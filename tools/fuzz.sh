#!/usr/bin/env bash
# fuzz.sh -- builds the fuzz targets with clang and runs each for a bounded time.
#   tools/fuzz.sh [SECONDS [TARGET...]]    default 60 seconds each for fuzz_image, fuzz_image_web
#                                          (the browser build's decoder) and fuzz_soundtrack
# The committed seeds are read, never written: tests/hardening/corpus holds a small picture at
# every BMP depth and layout and the crash inputs found so far; corpus-mp3 holds a fifth of a
# second encoded by lame (layer III at all nine rates, mono, stereo, joint and dual channel) and
# ffmpeg (layer II at its six rates), two silent layer I streams, a tagged file with a Xing frame,
# two rates glued together (also past tags), a file cut short, the tails and tags the check leaves
# out (a newline, zeros, three bytes, Lyrics3, ID3v2 behind or twice in front), random bytes, and
# the 32 kHz lame file damaged as the check's table damages it (50 random bytes after frame 2, in
# the middle and before the last frame; a false header in them; frame 3's header broken; a tag
# between two runs; a 44.1 kHz file after damage; two frames amid garbage). What the fuzzer finds goes to
# build-fuzz/corpus-TARGET, crash inputs to build-fuzz/artifacts.
# A crash ends the run with a non-zero status; turn its input into a test case and a corpus file.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-60}"
shift || true
targets=("${@:-fuzz_image}")
[ $# -eq 0 ] && targets=(fuzz_image fuzz_image_web fuzz_soundtrack)
build=build-fuzz

declare -A seeds=([fuzz_image]=tests/hardening/corpus [fuzz_image_web]=tests/hardening/corpus
                  [fuzz_soundtrack]=tests/hardening/corpus-mp3)
declare -A max_len=([fuzz_image]=65536 [fuzz_image_web]=65536 [fuzz_soundtrack]=131072)

CC=clang CXX=clang++ cmake -S . -B "$build" -DINTRO_FUZZ=ON >/dev/null
cmake --build "$build" -j "$(nproc)" --target "${targets[@]}"

status=0
for target in "${targets[@]}"; do
  mkdir -p "$build/corpus-$target" "$build/artifacts"
  log="$build/$target.log"
  echo "fuzz.sh: $target for $seconds s"
  "$build/tests/hardening/$target" \
    -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 -max_len="${max_len[$target]}" \
    -print_final_stats=1 -artifact_prefix="$build/artifacts/$target-" \
    "$build/corpus-$target" "${seeds[$target]}" >"$log" 2>&1 || status=$?
  # the last progress line carries coverage; the final stats carry executions and speed
  grep -E '^#[0-9]+' "$log" | tail -n 1 || true
  grep -E 'stat::(number_of_executed_units|average_exec_per_sec|peak_rss_mb)' "$log" || true
  if [ "$status" -ne 0 ]; then
    echo "fuzz.sh: $target stopped with status $status; see $log and $build/artifacts/" >&2
    tail -n 40 "$log" >&2
    exit "$status"
  fi
done
