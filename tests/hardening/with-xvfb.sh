#!/usr/bin/env bash
# with-xvfb.sh -- runs a command against a private Xvfb and ends the server afterwards
#   with-xvfb.sh COMMAND [ARGS...]
# The server picks a free display itself (-displayfd); the command's status is ours.
set -euo pipefail

tmp=$(mktemp -d)
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$tmp/display" 2>"$tmp/xvfb.log" &
xvfb_pid=$!
cleanup() {
  kill "$xvfb_pid" 2>/dev/null || true
  wait "$xvfb_pid" 2>/dev/null || true
  rm -rf "$tmp"
}
trap cleanup EXIT

for _ in $(seq 100); do
  [ -s "$tmp/display" ] && break
  kill -0 "$xvfb_pid" 2>/dev/null || { cat "$tmp/xvfb.log" >&2; echo "with-xvfb: Xvfb did not start" >&2; exit 1; }
  sleep 0.1
done
[ -s "$tmp/display" ] || { echo "with-xvfb: Xvfb named no display" >&2; exit 1; }
export DISPLAY=:$(head -n1 "$tmp/display")
for _ in $(seq 50); do
  xdpyinfo >/dev/null 2>&1 && break
  sleep 0.1
done

set +e
"$@"
status=$?
set -e
exit $status
