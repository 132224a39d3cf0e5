#!/usr/bin/env bash
# valgrind_test.sh -- the real intro under valgrind memcheck for a hundred frames, then Escape
#   valgrind_test.sh INTRO INTERPOSER DATA_PARENT SUPPRESSIONS
# Runs under the caller's X display. Fails on any invalid read or write, any
# use of uninitialised memory, any definite leak not suppressed in
# SUPPRESSIONS (library noise only), a status other than 0, or fewer frames
# than asked for.
set -euo pipefail

intro=$(realpath "$1")
lib=$(realpath "$2")
supp=$(realpath "$4")
cd "$3"

FRAMES=100
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

set +e
printf '1\n' | timeout 600 env SDL_AUDIODRIVER=dummy LIBGL_ALWAYS_SOFTWARE=1 \
  LD_PRELOAD="$lib" INTERPOSE_QUIT_FRAMES=$FRAMES INTERPOSE_REPORT="$tmp/report" \
  valgrind --tool=memcheck --leak-check=full --show-leak-kinds=definite --errors-for-leak-kinds=definite \
           --keep-debuginfo=yes --num-callers=30 --suppressions="$supp" --error-exitcode=99 \
           --log-file="$tmp/memcheck.log" "$intro" >"$tmp/out" 2>&1
status=$?
set -e

frames=$(cat "$tmp/report" 2>/dev/null | grep -c '^frame ' || true)
grep -E "ERROR SUMMARY|definitely lost|indirectly lost|suppressed:" "$tmp/memcheck.log" || true
echo "frames drawn under memcheck: $frames; status $status"
if [ "$status" -ne 0 ]; then
  cat "$tmp/memcheck.log"
  exit 1
fi
[ "$frames" -ge "$FRAMES" ] || { echo "too few frames under memcheck"; exit 1; }
