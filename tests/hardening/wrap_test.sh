#!/usr/bin/env bash
# wrap_test.sh -- the frame pace through the tick counter's wrap points
#   wrap_test.sh INTRO INTERPOSER DATA_PARENT
# Runs the real intro (under the caller's X display) twice with libinterpose
# preloaded: once with the counter starting 4 s below 2^31 (where a signed
# reading turns negative), once 4 s below 2^32 (where it wraps to 0). Each run
# lasts 9 s from its first frame and ends with an Escape. The frames of every whole second are
# counted by the shifted clock; the seconds after the wrap must keep the pace
# of the seconds before it, the pacing never exceeds one frame per 21 ms,
# and no gap between two frames across the wrap is longer than a quarter second.
set -euo pipefail

intro=$(realpath "$1")
lib=$(realpath "$2")
cd "$3"

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

LEAD_MS=4000
RUN_SECONDS=9
failed=0
for wrap in 2147483648 4294967296; do
  start=$((wrap - LEAD_MS))
  log=$tmp/report-$wrap
  set +e
  printf '1\n' | timeout 60 env SDL_AUDIODRIVER=dummy LD_PRELOAD="${LD_PRELOAD:+$LD_PRELOAD:}$lib" \
      INTERPOSE_TICKS=$start INTERPOSE_QUIT_SECONDS=$RUN_SECONDS INTERPOSE_REPORT="$log" \
      "$intro" >"$tmp/out" 2>"$tmp/err"
  status=$?
  set -e
  if [ $status -ne 0 ]; then
    echo "wrap $wrap: the intro ended with status $status"; cat "$tmp/out" "$tmp/err"; failed=1; continue
  fi
  python3 - "$log" "$start" "$LEAD_MS" "$wrap" <<'PY' || failed=1
import sys
log, start, lead, wrap = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4])
# the tick reading that started each frame
ticks = [int(line.split()[1]) for line in open(log) if line.startswith("frame ")]
elapsed = [(t - start) % 2**32 for t in ticks]
bins = {}
for e in elapsed:
    bins[e // 1000] = bins.get(e // 1000, 0) + 1
# second 0 holds the start-up; the last second is cut short by the Escape
before = [bins.get(s, 0) for s in range(1, lead // 1000)]
after = [bins.get(s, 0) for s in range(lead // 1000, lead // 1000 + 4)]
gaps = [b - a for a, b in zip(elapsed, elapsed[1:])]
around = [g for a, g in zip(elapsed, gaps) if lead - 1000 <= a <= lead + 1000]
print(f"wrap {wrap}: {len(ticks)} frames; per second before {before}, after {after}; "
      f"longest gap across the wrap {max(around) if around else None} ms; first reading {ticks[0]}, last {ticks[-1]}")
ok = True
if min(before) < 5:
    print("  too few frames before the wrap to compare"); ok = False
if min(after) < 0.6 * (sum(before) / len(before)):
    print("  the pace dropped after the wrap"); ok = False
if max(before + after) > 48:
    print("  more than 48 frames in one second: the pacing broke"); ok = False
if not around or max(around) > 250:
    print("  a gap of more than 250 ms across the wrap"); ok = False
# frames start more than 20 ms apart
if min(gaps) < 21:
    print(f"  two frames {min(gaps)} ms apart: the pacing broke"); ok = False
if not any(t < 1 << 20 for t in ticks) and wrap == 2**32:
    print("  no frame after the counter wrapped to 0"); ok = False
if wrap == 2**31 and not any(t >= 2**31 for t in ticks):
    print("  no frame past 2^31"); ok = False
sys.exit(0 if ok else 1)
PY
done
exit $failed
