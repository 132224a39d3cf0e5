#!/usr/bin/env bash
# bench.sh -- measures the intro against its performance targets and rewrites docs/PERFORMANCE.md.
#   tools/bench.sh     everything, about four minutes on two cores
# Raw results stay in bench-out/: the interposer's reports, the benchmark's JSON, the profile;
# bench/report.py turns them into the page.
# Settings: BENCH_SECONDS (length of each real-time run, 20), BENCH_STARTUP_RUNS (10),
# BENCH_CAPTURE_SECONDS (video length of every capture run; by default 20, 5 and 2 s by size),
# BENCH_WEB_RUNS (runs of each of the page's stories, 3),
# BENCH_OUT (the results folder) and BENCH_PAGE (the page written); CI runs a short smoke
# test with its own folder and page so the committed page stays a full run's.
set -euo pipefail
cd "$(dirname "$0")/.."

RUN_SECONDS=${BENCH_SECONDS:-20}
STARTUP_RUNS=${BENCH_STARTUP_RUNS:-10}
PROFILE_SECONDS=10
WHATIF_SETTING=LP_NUM_THREADS=4   # more rasteriser threads than cores: the runs that close the gap
OUT=${BENCH_OUT:-bench-out}
BUILD=build-bench
PYTHON=/usr/bin/python3   # Debian's, with the modules the tools use, whatever python3 comes first on PATH
LIB=$BUILD/tools/interpose/libinterpose.so
PAGE=${BENCH_PAGE:-docs/PERFORMANCE.md}
# size and seconds of video of each capture run: the larger sizes draw far more slowly
CAPTURES=(640x480:20 1920x1080:5 3840x2160:2)

# build first, then measure everything on a private X server, whose process is $XVFB_PID
if [ "${BENCH_STAGE:-}" != measure ]; then
  export BENCH_LOAD_BEFORE=$(cut -d' ' -f1-3 /proc/loadavg)
  bash tools/install-deps.sh
  cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$BUILD" -j "$(nproc)" --target intro facts frame_bench interpose web >/dev/null
  BENCH_STAGE=measure exec tools/with-xvfb.sh bash tools/bench.sh
fi

rm -rf "$OUT"
mkdir -p "$OUT"
cp "$BUILD/facts.json" "$OUT/"   # the intro's menu and pace, for the report
fact() { PYTHONPATH=tools $PYTHON -c "import harness, sys; print($1)" "$BUILD"; }
answers=$(fact '*harness.menu(sys.argv[1])')                # every answer of the intro's own menu
STARTUP_ANSWER=$(fact 'harness.facts(sys.argv[1])["preset_answer"]')   # start-ups at the preset size
PROFILE_ANSWER=${answers##* }                              # the menu's last, largest size: the most pixels
commands="$OUT/commands.txt"
echo "tools/bench.sh" >"$commands"
echo "# which runs, in this order:" >>"$commands"
logged() {   # logged DESCRIPTION COMMAND...: notes the command for the page, then runs it
  printf '# %s\n' "$1" >>"$commands"
  shift
  printf '%q ' "$@" | sed 's/ $//' >>"$commands"
  echo >>"$commands"
  "$@"
}

# --- our own code, against the recording GL stand-in
echo "bench: frame benchmark"
logged "the CPU cost of each pass and of the whole frame, median of five repetitions" \
  "$BUILD/bench/frame_bench" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
  --benchmark_out="$OUT/frame.json" --benchmark_out_format=json >/dev/null 2>"$OUT/frame_bench.log"

# --- the real intro on the private display
screen=$(xdpyinfo | awk '/dimensions:/ { size = $2 } /depth of root window:/ { print size "x" $5 }')
cat >>"$commands" <<DESCRIBE
# on a private Xvfb $screen (tools/with-xvfb.sh), each run of the intro under the interposer is
#   printf 'ANSWER\n' | env [SETTING] SDL_AUDIODRIVER=dummy LIBGL_ALWAYS_SOFTWARE=1 \\
#     INTERPOSE_REPORT=REPORT INTERPOSE_QUIT_SECONDS=SECONDS INTERPOSE_EXEC_TIME=<the exec's time> \\
#     LD_PRELOAD=$LIB $BUILD/intro
# written below as: intro_run ANSWER SECONDS REPORT [SETTING]
DESCRIBE

xvfb_cpu_ticks() { awk '{print $14 + $15}' "/proc/$XVFB_PID/stat"; }

# intro_run ANSWER SECONDS REPORT [VAR=VALUE...]: the intro under the interposer, Escape after SECONDS;
# the shell that execs the intro notes the time, so start-up counts from the exec itself
intro_run() {
  local answer=$1 seconds=$2 report=$3 before after
  shift 3
  before=$(xvfb_cpu_ticks)
  printf '%s\n' "$answer" | timeout $((RUN_SECONDS + 60)) env "$@" LC_ALL=C SDL_AUDIODRIVER=dummy \
    LIBGL_ALWAYS_SOFTWARE=1 INTERPOSE_REPORT="$report" INTERPOSE_QUIT_SECONDS="$seconds" \
    bash -c 'INTERPOSE_EXEC_TIME=$EPOCHREALTIME LD_PRELOAD=$1 exec "$0"' "$BUILD/intro" "$PWD/$LIB" >/dev/null
  after=$(xvfb_cpu_ticks)
  echo "xvfb_cpu_ns $(( (after - before) * 1000000000 / $(getconf CLK_TCK) ))" >>"$report"
}

for answer in $answers; do
  echo "bench: ${RUN_SECONDS} s at menu answer $answer"
  logged "${RUN_SECONDS} s at menu answer $answer" \
    intro_run "$answer" "$RUN_SECONDS" "$OUT/run-$answer.txt"
done

for answer in $STARTUP_ANSWER $PROFILE_ANSWER; do
  echo "bench: ${RUN_SECONDS} s at menu answer $answer with $WHATIF_SETTING"
  logged "the same with the renderer's thread count changed" \
    intro_run "$answer" "$RUN_SECONDS" "$OUT/whatif-$answer.txt" "$WHATIF_SETTING"
  echo "$WHATIF_SETTING" >"$OUT/whatif-$answer.label"
done

echo "bench: $STARTUP_RUNS start-ups"
for n in $(seq "$STARTUP_RUNS"); do
  intro_run "$STARTUP_ANSWER" 0.2 "$OUT/startup-$n.txt"
done
printf '# %s\n%s\n' "start-up: $STARTUP_RUNS runs like this, Escape 0.2 s after the first frame" \
  "intro_run $STARTUP_ANSWER 0.2 $OUT/startup-N.txt" >>"$commands"

# --- the capture tool at three sizes, each under its own Xvfb; every process's CPU is counted
# once the capture has waited for it, in this shell's children's times
children_cpu_ticks() { awk '{print $16 + $17}' "/proc/$$/stat"; }
capture_run() {   # capture_run SIZE SECONDS: the video, its report and its cost into $OUT/capture-SIZE.*
  local size=$1 seconds=$2 load begin cpu_before
  load=$(cut -d' ' -f1 /proc/loadavg)
  cpu_before=$(children_cpu_ticks)
  begin=$EPOCHREALTIME
  tools/capture.py --build "$BUILD" --size "$size" -d "$seconds" -o "$OUT/capture-$size.mp4" \
    --report "$OUT/capture-$size.txt" >/dev/null
  {
    echo "wall_s $(awk -v b="$begin" -v e="$EPOCHREALTIME" 'BEGIN { print e - b }')"
    echo "cpu_s $(awk -v t=$(( $(children_cpu_ticks) - cpu_before )) -v hz="$(getconf CLK_TCK)" 'BEGIN { print t / hz }')"
    echo "load $load"
  } >"$OUT/capture-$size.run"
}
for entry in "${CAPTURES[@]}"; do
  size=${entry%:*}
  echo "bench: capture at $size"
  logged "the capture tool at $size: the video, its frames' read-back and the CPU of every process" \
    capture_run "$size" "${BENCH_CAPTURE_SECONDS:-${entry#*:}}"
done

# --- a profile of the whole machine, on a run of its own so it does not touch the figures
if perf --version >/dev/null 2>&1; then
  echo "bench: profile"
  intro_run "$PROFILE_ANSWER" $((PROFILE_SECONDS + 5)) "$OUT/profile-run.txt" &
  profiled=$!
  # the profile starts once the run draws its frames
  until grep -q '^frame ' "$OUT/profile-run.txt" 2>/dev/null || ! kill -0 "$profiled" 2>/dev/null; do sleep 0.1; done
  if logged "a profile of the whole machine during a run at menu answer $PROFILE_ANSWER" \
       perf record -q -a -F 499 -o "$OUT/perf.data" -- sleep "$PROFILE_SECONDS" 2>"$OUT/perf.log"; then
    perf report -i "$OUT/perf.data" --sort comm,dso --stdio 2>/dev/null |
      grep -v '^#' | grep '%' | head -20 >"$OUT/profile.txt" || true
    echo "perf report -i $OUT/perf.data --sort comm,dso --stdio" >>"$commands"
  fi
  wait "$profiled"
fi

# --- the browser build, its page in headless chromium at each menu answer
echo "bench: the browser page, ${RUN_SECONDS} s at each menu answer, and its stories"
logged "the browser build's page in headless chromium for ${RUN_SECONDS} s past start-up at each answer, then its stories on throttled networks" \
  tools/web_bench.py "$BUILD" "$RUN_SECONDS" "$OUT/web.txt" --runs "${BENCH_WEB_RUNS:-3}"

# --- sizes and the machine
strip -o "$OUT/intro.stripped" "$BUILD/intro"
{
  echo "intro_stripped_bytes $(stat -c %s "$OUT/intro.stripped")"
  echo "data_bytes $(find data -type f -printf '%s\n' | awk '{s += $1} END {print s}')"
} >"$OUT/sizes.txt"

{
  echo "Date: $(date -u '+%Y-%m-%d %H:%M UTC')"
  hypervisor=$(lscpu | sed -n 's/^Hypervisor vendor: *//p')
  echo "CPU: $(lscpu | sed -n 's/^Model name: *//p')${hypervisor:+, a $hypervisor virtual machine}"
  echo "Cores: $(nproc)"
  echo "Memory: $(awk '/MemTotal/ {printf "%.1f GiB", $2 / 1048576}' /proc/meminfo)"
  echo "System: $(. /etc/os-release && echo "$PRETTY_NAME"), kernel $(uname -r)"
  echo "Compiler: $(c++ --version | head -1), CMake Release build"
  echo "Display: Xvfb $screen, no GPU; the intro's window is centred in it"
  echo "Load average before the runs: $BENCH_LOAD_BEFORE"
} >"$OUT/machine.txt"

PYTHONPATH=tools $PYTHON bench/report.py "$OUT" "$PAGE"
echo "bench: wrote $PAGE"
