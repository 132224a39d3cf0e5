#!/usr/bin/env bash
# with-xvfb.sh -- runs a command against a private Xvfb and ends the server afterwards
#   tools/with-xvfb.sh COMMAND [ARGS...]
# The server picks a free display itself (-displayfd); the command gets it in DISPLAY and the
# server's process id in XVFB_PID, and its status is ours. The command inherits every file
# descriptor but the server's own, so it can sit in a pipeline.
set -euo pipefail

SCREEN=1280x1024x24

tmp=$(mktemp -d)
# -noreset: a server that resets when its last client leaves refuses the next one for a moment
Xvfb -displayfd 3 -screen 0 $SCREEN -nolisten tcp -noreset 3>"$tmp/display" 2>"$tmp/xvfb.log" &
xvfb_pid=$!
cleanup() {
  kill "$xvfb_pid" 2>/dev/null || true
  wait "$xvfb_pid" 2>/dev/null || true
  rm -rf "$tmp"
}
trap cleanup EXIT
trap 'exit 130' INT TERM
fail() { cat "$tmp/xvfb.log" >&2; echo "with-xvfb: $*" >&2; exit 1; }

for _ in $(seq 100); do
  [ -s "$tmp/display" ] && break
  kill -0 "$xvfb_pid" 2>/dev/null || fail "Xvfb did not start"
  sleep 0.1
done
[ -s "$tmp/display" ] || fail "Xvfb named no display within 10 s"
export DISPLAY=:$(head -n1 "$tmp/display") XVFB_PID=$xvfb_pid
# a display number can be named while another server's leftovers still sit on it
for _ in $(seq 50); do
  xdpyinfo >/dev/null 2>&1 && break
  sleep 0.1
done
xdpyinfo >/dev/null 2>&1 || fail "Xvfb on $DISPLAY takes no connection"

set +e
"$@"
status=$?
set -e
exit $status
