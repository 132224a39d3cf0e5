#!/usr/bin/env bash
# install-deps.sh -- every Debian package the intro, its tools and its tests need, and SDL 1.2
# as most distributions now ship it (sdl12-compat over SDL2) unpacked into .deps/sdl12-compat/.
# The single place that knows the package list: the README and CI both call it.
# Asks for root only when a package is missing.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)

packages=(
  # build: compilers, CMake and its pkg-config lookups, the libraries the intro links
  build-essential cmake pkg-config
  libsdl1.2-dev libsdl-mixer1.2-dev libgl1-mesa-dev libglu1-mesa-dev
  # unit tests (the invitation's words are checked against a word list) and the frame benchmark
  libgtest-dev libbenchmark-dev wbritish
  # end-to-end and capture runs: Mesa's software GL, a virtual display, xdpyinfo to wait for it,
  # and Python's Xlib with XTest for the suite that presses keys and reads pixels
  libgl1-mesa-dri xvfb x11-utils python3-xlib
  # the runs on sdl12-compat: a window manager on the X server, a Wayland compositor inside it,
  # and what SDL2 links (its own library is unpacked below, never installed)
  openbox weston libasound2 libdecor-0-0 libdrm2 libgbm1 libpulse0 libsamplerate0 libwayland-client0
  libwayland-cursor0 libwayland-egl1 libx11-6 libxcursor1 libxext6 libxfixes3 libxi6 libxkbcommon0
  libxrandr2 libxss1 libegl1
  # the soundtrack encoder, loudness checks and captures
  lame ffmpeg
  # tools/test.sh --stress: a CPU hog beside the suite
  stress-ng
  # sanitizers, fuzzing (libFuzzer's runtime) and memory checks
  clang libclang-rt-14-dev valgrind
  # the performance run: a system-wide profile, and the reporter
  linux-perf python3
  # the browser build and its page test: emscripten (its own SDL 1.2, no ports), headless chromium
  # driven over the DevTools protocol
  emscripten chromium python3-websocket
  # the page test reads the party's calendar file with a real calendar parser
  python3-icalendar
  # the party release: built in a bare Debian 11 root, and tried in bare roots of Debian 11 to unstable
  debootstrap
)

# sdl12-compat and SDL2 from Debian's archive, unpacked where only the runs that ask for them
# (LD_LIBRARY_PATH=.deps/sdl12-compat) find them: the system keeps its classic SDL 1.2
unpack_sdl12_compat() {
  local compat=$repo/.deps/sdl12-compat
  [ -e "$compat/libSDL-1.2.so.0" ] && [ -e "$compat/libSDL2-2.0.so.0" ] && return
  local tmp
  tmp=$(mktemp -d)
  chmod a+rwx "$tmp"   # apt's download user writes there
  (cd "$tmp" && apt-get download -q libsdl1.2-compat libsdl2-2.0-0 >/dev/null)
  for deb in "$tmp"/*.deb; do dpkg -x "$deb" "$tmp/root"; done
  mkdir -p "$compat"
  find "$tmp/root" \( -name 'libSDL-1.2.so*' -o -name 'libSDL2-2.0.so*' \) -exec cp -P {} "$compat" \;
  rm -rf "$tmp"
  echo "install-deps: sdl12-compat unpacked into $compat"
}

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all packages present"
  unpack_sdl12_compat
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  echo "install-deps: missing ${missing[*]}; installing them as root"
  exec sudo bash "$0" "$@"
fi

export DEBIAN_FRONTEND=noninteractive
apt-get update -q
apt-get install -y -q --no-install-recommends "${missing[@]}"
unpack_sdl12_compat
