#!/usr/bin/env bash
# test.sh -- builds the intro with its tools and tests, then runs the whole suite.
#   tools/test.sh              normal build in build/
#   tools/test.sh --sanitize   AddressSanitizer + UndefinedBehaviorSanitizer build in build-sanitize/
#   tools/test.sh --stress     the suite beside a CPU hog (stress-ng, four workers), as on a loaded machine
#   tools/test.sh --one-core   the suite on one core (taskset -c 0), still two tests at a time
# The last two are for whoever changes a test: every test waits for the events it needs, so it holds on a
# quiet machine, a busy one and a single core alike. Labels soak (ten minutes) and valgrind (memcheck,
# about a minute) are left out: .ci/run runs valgrind with ctest -L valgrind; the soak runs by hand.
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/install-deps.sh

build=build
options=()
runner=()
stress=no
for arg in "$@"; do
  case $arg in
    --sanitize) build=build-sanitize; options+=(-DINTRO_SANITIZE=ON) ;;
    --stress)   stress=yes ;;
    --one-core) runner=(taskset -c 0) ;;
    *)          echo "usage: tools/test.sh [--sanitize] [--stress] [--one-core]" >&2; exit 2 ;;
  esac
done

cmake -S . -B "$build" "${options[@]}" >/dev/null
cmake --build "$build" -j "$(nproc)"

if [ "$build" = build-sanitize ]; then
  # library noise (X11, Mesa, SDL) is suppressed in one documented file; see tests/hardening/lsan.supp
  export ASAN_OPTIONS="detect_leaks=1:verify_asan_link_order=0"
  export LSAN_OPTIONS="suppressions=$PWD/tests/hardening/lsan.supp:print_suppressions=0"
  export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
  export LD_PRELOAD="$PWD/$build/tests/hardening/libkeepdri.so"
fi

cd "$build"
if [ $stress = yes ]; then
  stress-ng --cpu 4 --quiet &
  trap "kill $!; wait $! || true" EXIT
fi
"${runner[@]}" ctest --output-on-failure -LE "soak|valgrind" -j "$(nproc)"
