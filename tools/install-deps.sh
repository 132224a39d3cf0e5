#!/usr/bin/env bash
# install-deps.sh -- every Debian package the intro, its tools and its tests need.
# The single place that knows the package list: the README and CI both call it.
# Asks for root only when a package is missing.
set -euo pipefail

packages=(
  # build: compilers, CMake and its pkg-config lookups, the libraries the intro links
  build-essential cmake pkg-config
  libsdl1.2-dev libsdl-mixer1.2-dev libgl1-mesa-dev libglu1-mesa-dev
  # unit tests (the invitation's words are checked against a word list) and the frame benchmark
  libgtest-dev libbenchmark-dev wbritish
  # end-to-end and capture runs: Mesa's software GL, a virtual display, xdpyinfo to wait for it,
  # and Python's Xlib with XTest for the suite that presses keys and reads pixels
  libgl1-mesa-dri xvfb x11-utils python3-xlib
  # the soundtrack encoder, loudness checks and captures
  lame ffmpeg
  # sanitizers, fuzzing (libFuzzer's runtime) and memory checks
  clang libclang-rt-14-dev valgrind
  # the performance run: a system-wide profile, and the reporter
  linux-perf python3
  # the browser build and its page test: emscripten (its own SDL 1.2, no ports), headless chromium
  # driven over the DevTools protocol
  emscripten chromium python3-websocket
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all packages present"
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  echo "install-deps: missing ${missing[*]}; installing them as root"
  exec sudo bash "$0" "$@"
fi

export DEBIAN_FRONTEND=noninteractive
apt-get update -q
apt-get install -y -q --no-install-recommends "${missing[@]}"
