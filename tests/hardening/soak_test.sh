#!/usr/bin/env bash
# soak_test.sh -- the real intro under the caller's X display for a long run; resident memory stays flat
#   soak_test.sh INTRO INTERPOSER DATA_PARENT [SECONDS]   (default 600)
# Samples VmRSS every 10 s. After the first 30 s (textures, GL driver and
# audio set up) it may not grow by more than 2 MiB, the frame count must keep
# up with the 21 ms pacing within wide bounds, and Escape must end the run
# with status 0.
set -euo pipefail

intro=$(realpath "$1")
lib=$(realpath "$2")
cd "$3"
seconds=${4:-600}

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

printf '1\n' | env SDL_AUDIODRIVER=dummy LD_PRELOAD="${LD_PRELOAD:+$LD_PRELOAD:}$lib" \
  INTERPOSE_QUIT_SECONDS=$seconds INTERPOSE_REPORT="$tmp/report" \
  "$intro" >"$tmp/out" 2>"$tmp/err" &
pid=$!

echo "second rss_kib"
samples=()
elapsed=0
while kill -0 "$pid" 2>/dev/null && [ $elapsed -le $((seconds + 60)) ]; do
  rss=$(awk '/^VmRSS:/ { print $2 }' "/proc/$pid/status" 2>/dev/null || true)
  if [ -n "$rss" ]; then
    echo "$elapsed $rss"
    samples+=("$elapsed:$rss")
  fi
  sleep 10
  elapsed=$((elapsed + 10))
done
if kill -0 "$pid" 2>/dev/null; then
  echo "the intro did not end after its Escape"; kill "$pid"; exit 1
fi
set +e
wait "$pid"
status=$?
set -e

frames=$(cat "$tmp/report" 2>/dev/null | grep -c '^frame ' || true)
echo "frames $frames in $seconds s; status $status"
[ "$status" -eq 0 ] || { cat "$tmp/out" "$tmp/err"; exit 1; }
[ -z "$(cat "$tmp/err")" ] || { echo "stderr:"; cat "$tmp/err"; exit 1; }

python3 - "$frames" "$seconds" "${samples[@]}" <<'PY'
import sys
frames, seconds = int(sys.argv[1]), int(sys.argv[2])
samples = [tuple(map(int, s.split(":"))) for s in sys.argv[3:]]
settled = [rss for t, rss in samples if t >= 30]
ok = True
if len(settled) < 2:
    print("too few memory samples"); ok = False
else:
    growth = max(settled) - settled[0]
    print(f"rss after 30 s: first {settled[0]} KiB, min {min(settled)}, max {max(settled)}, growth {growth} KiB")
    if growth > 2048:
        print("resident memory grew by more than 2 MiB"); ok = False
# at most one frame per 21 ms; at least a fifth of that on a busy machine
if frames > seconds * 1000 / 21 + 50 or frames < seconds * 1000 / 21 / 5:
    print(f"{frames} frames is off the 21 ms pace"); ok = False
sys.exit(0 if ok else 1)
PY
