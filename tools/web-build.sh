#!/usr/bin/env bash
# web-build.sh -- the browser build through CMake and Debian's emscripten: one folder of static files
#   tools/web-build.sh [FOLDER]    default build-web; the page lands in FOLDER/www
# The same as: emcmake cmake -S . -B build-web && cmake --build build-web
# Serve FOLDER/www with any static server, for example: python3 -m http.server -d build-web/www
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=$(realpath -m "${1:-$root/build-web}")

emcmake cmake -S "$root" -B "$out" >/dev/null
cmake --build "$out" -j 2 >/dev/null
echo "web-build: $out/www ($(du -sh "$out/www" | cut -f1))"
