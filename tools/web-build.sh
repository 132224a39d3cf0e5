#!/usr/bin/env bash
# web-build.sh -- builds the unchanged intro for a browser with Debian's emscripten: one folder of static files
#   tools/web-build.sh [FOLDER]    default build-web; the page lands in FOLDER/www
# Serve FOLDER/www with any static server, for example: python3 -m http.server -d build-web/www
# The intro's sources are compiled as they are; src/web supplies what a browser lacks (GL 1.x
# immediate mode, SDL's streams and surfaces, the music) and the page. Emscripten's ports are
# downloads, so none is used: SDL 1.2 is emscripten's own built-in library.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=$(realpath -m "${1:-$root/build-web}")
objects=$out/obj
www=$out/www
mkdir -p "$objects" "$www"

# -O2 and above run emscripten's JavaScript optimiser, which fails under Debian's node
cxxflags=(-std=c++17 -O1 -Wall -Wextra "-I$root/src")

# the intro's endless loop stays as it is: ASYNCIFY lets its SDL_Delay give the browser its turn;
# the 32 MiB soundtrack buffer needs the larger memory; Escape's exit reaches the page's onExit
linkflags=(
  -O1 -sENVIRONMENT=web -sASYNCIFY -sASYNCIFY_IGNORE_INDIRECT=1 -sEXIT_RUNTIME=1
  -sINITIAL_MEMORY=64MB --preload-file "$root/data@data"
)

sources=("$root"/src/shell/*.cpp "$root"/src/gfx/*.cpp "$root"/src/fx/*.cpp "$root"/src/web/*.cpp)
objectOf() { local rel=${1#"$root"/src/}; echo "$objects/${rel//\//_}.o"; }

# each object is rebuilt when its source or any header is newer
newestHeader=$(ls -t "$root"/src/*/*.h | head -n 1)
stale=()
for src in "${sources[@]}"; do
  obj=$(objectOf "$src")
  if [ ! -e "$obj" ] || [ "$src" -nt "$obj" ] || [ "$newestHeader" -nt "$obj" ]; then
    stale+=("$src")
  fi
done
if [ ${#stale[@]} -gt 0 ]; then
  export -f objectOf
  export root objects
  printf '%s\n' "${stale[@]}" |
    xargs -P 2 -I{} bash -c 'em++ "$@" -c "{}" -o "$(objectOf "{}")"' _ "${cxxflags[@]}"
fi

objs=()
for src in "${sources[@]}"; do objs+=("$(objectOf "$src")"); done
em++ "${objs[@]}" "${linkflags[@]}" -o "$www/intro.js"
# the page's title, preview and party line come from the release's info file; the preview picture beside it
python3 "$root/tools/web-page.py" "$root/src/web/index.html" "$root/cmake/release/neonfjord.nfo" "$www/index.html"
cp "$root/docs/screenshot.png" "$www/screenshot.png"
echo "web-build: $www ($(du -sh "$www" | cut -f1))"
