#!/usr/bin/env bash
# with-xvfb.sh -- runs a command against a private Xvfb and ends the server afterwards
#   tools/with-xvfb.sh [--wm] [--wayland] COMMAND [ARGS...]
#   --wm       openbox manages the windows, as on a desktop
#   --wayland  a Wayland compositor (weston) runs in a window on the server; the command gets its
#              socket in WAYLAND_DISPLAY and XDG_RUNTIME_DIR
# The server picks a free display itself (-displayfd); the command gets it in DISPLAY and the
# server's process id in XVFB_PID, and its status is ours. The command inherits every file
# descriptor but the server's own, so it can sit in a pipeline.
set -euo pipefail

SCREEN=1280x1024x24
wm=no wayland=no
while [ $# -gt 0 ]; do
  case $1 in
    --wm)      wm=yes; shift ;;
    --wayland) wayland=yes; shift ;;
    *)         break ;;
  esac
done

# every wait below polls for its event; the bound is for a start that never comes, one busy core included
BOUND=600   # tenths of a second

tmp=$(mktemp -d)
# -noreset: a server that resets when its last client leaves refuses the next one for a moment
Xvfb -displayfd 3 -screen 0 $SCREEN -nolisten tcp -noreset 3>"$tmp/display" 2>"$tmp/xvfb.log" &
xvfb_pid=$!
helpers=()   # the window manager and the compositor, ended before the server
cleanup() {
  for pid in "${helpers[@]}" "$xvfb_pid"; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  rm -rf "$tmp"
}
trap cleanup EXIT
trap 'exit 130' INT TERM
fail() { cat "$tmp/xvfb.log" >&2; echo "with-xvfb: $*" >&2; exit 1; }
# await TENTHS COMMAND...: whether the command succeeds within TENTHS tenths of a second
await() {
  for _ in $(seq "$1"); do "${@:2}" && return 0; sleep 0.1; done
  "${@:2}"
}
named() { [ -s "$tmp/display" ] || { kill -0 "$xvfb_pid" 2>/dev/null || fail "Xvfb did not start"; false; }; }
announced() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"; }

await $BOUND named || fail "Xvfb named no display within $((BOUND / 10)) s"
export DISPLAY=:$(head -n1 "$tmp/display") XVFB_PID=$xvfb_pid
# a display number can be named while another server's leftovers still sit on it
await $BOUND xdpyinfo >/dev/null 2>&1 || fail "Xvfb on $DISPLAY takes no connection"

if [ $wm = yes ]; then
  openbox >"$tmp/openbox.log" 2>&1 &
  helpers+=($!)
  # a window manager announces itself on the root window
  await $BOUND announced || fail "openbox did not start: $(cat "$tmp/openbox.log")"
fi

if [ $wayland = yes ]; then
  export XDG_RUNTIME_DIR=$tmp/runtime WAYLAND_DISPLAY=wayland-intro
  mkdir -m 700 "$XDG_RUNTIME_DIR"
  weston --backend=x11-backend.so --socket=$WAYLAND_DISPLAY --width=1280 --height=1024 --idle-time=0 \
    >"$tmp/weston.log" 2>&1 &
  helpers+=($!)
  await $BOUND test -S "$XDG_RUNTIME_DIR/$WAYLAND_DISPLAY" || fail "weston did not start: $(cat "$tmp/weston.log")"
fi

set +e
"$@"
status=$?
set -e
exit $status
