#!/usr/bin/env bash
# run.sh -- installs what the intro needs, builds it and starts it from the repository root;
# on a machine with no display it records a short capture instead, so the intro can still be seen.
set -euo pipefail
cd "$(dirname "$0")/.."

CAPTURE_DIR=capture-out
CAPTURE_SECONDS=10

bash tools/install-deps.sh
cmake -S . -B build >/dev/null

if [ -z "${DISPLAY:-}" ] || ! xdpyinfo >/dev/null 2>&1; then
  why="DISPLAY is not set"
  [ -z "${DISPLAY:-}" ] || why="the X server at $DISPLAY cannot be reached"
  echo "run.sh: no display ($why): recording ${CAPTURE_SECONDS} s of the intro into $CAPTURE_DIR/ instead"
  cmake --build build -j "$(nproc)" --target intro facts interpose >/dev/null
  exec tools/capture.py -d "$CAPTURE_SECONDS" -s 3 \
    -o "$CAPTURE_DIR/intro.mp4" -p "$CAPTURE_DIR/intro.png"
fi

cmake --build build -j "$(nproc)" --target intro
exec ./build/intro
