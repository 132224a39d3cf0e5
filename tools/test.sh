#!/usr/bin/env bash
# test.sh -- builds the intro with its tools and tests, then runs the whole suite.
#   tools/test.sh              normal build in build/
#   tools/test.sh --sanitize   AddressSanitizer + UndefinedBehaviorSanitizer build in build-sanitize/
# Labels soak (ten minutes) and valgrind (memcheck, about a minute) are left out: .ci/run
# runs valgrind with ctest -L valgrind; the soak runs by hand with ctest -L soak.
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/install-deps.sh

build=build
options=()
if [ "${1:-}" = "--sanitize" ]; then
  build=build-sanitize
  options+=(-DINTRO_SANITIZE=ON)
fi

cmake -S . -B "$build" "${options[@]}" >/dev/null
cmake --build "$build" -j "$(nproc)"

if [ "${1:-}" = "--sanitize" ]; then
  # library noise (X11, Mesa, SDL) is suppressed in one documented file; see tests/hardening/lsan.supp
  export ASAN_OPTIONS="detect_leaks=1:verify_asan_link_order=0"
  export LSAN_OPTIONS="suppressions=$PWD/tests/hardening/lsan.supp:print_suppressions=0"
  export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
  export LD_PRELOAD="$PWD/$build/tests/hardening/libkeepdri.so"
fi

cd "$build"
ctest --output-on-failure -LE "soak|valgrind" -j "$(nproc)"
