#!/usr/bin/env bash
# install-deps.sh -- every Debian package the intro, its tools and its tests need.
# The single place that knows the package list: the README and CI both call it.
set -euo pipefail

packages=(
  # build
  build-essential cmake pkg-config
  libsdl1.2-dev libsdl-mixer1.2-dev libgl1-mesa-dev libglu1-mesa-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  # software GL, a virtual display and the tools that poke at it
  libgl1-mesa-dri xvfb xauth xdotool x11-utils x11-xserver-utils
  # media tools for the soundtrack and captures
  lame ffmpeg imagemagick
  # sanitizers, fuzzing and memory checks
  clang libclang-rt-14-dev valgrind
  # the performance run: a system-wide profile
  linux-perf
  # end-to-end harness: talks to the X server directly
  libx11-dev libxtst-dev
  python3
)

if [ "$(id -u)" -ne 0 ]; then
  exec sudo "$0" "$@"
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all packages present"
  exit 0
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -q
apt-get install -y -q --no-install-recommends "${missing[@]}"
