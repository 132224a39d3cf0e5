#!/usr/bin/env bash
# web-bench.sh -- the browser build's frame rate in headless chromium and its weight, for the performance page
#   tools/web-bench.sh FOLDER SECONDS RESULTS
# Builds the web folder into FOLDER, serves FOLDER/www on a free local port and opens the page at
# each menu answer for SECONDS more than the page's first report, which holds start-up. The page
# logs its frame rate every 5 s of page time; RESULTS gets "fps ANSWER RATE" for every later
# report and "size FILE BYTES GZIP_BYTES" for each file of the folder.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
folder=$1
seconds=$2
results=$3
REPORT_S=5          # the page's report window
START_S=5           # loading the page and compiling its WebAssembly, on a busy machine

bash "$root/tools/web-build.sh" "$folder" >/dev/null
scratch=$(mktemp -d)
server=
trap '[ -n "$server" ] && kill "$server"; rm -rf "$scratch"' EXIT
: >"$scratch/server"   # there before the server's own redirection, which may come after the first look
python3 -u -m http.server 0 --bind 127.0.0.1 --directory "$folder/www" >>"$scratch/server" 2>/dev/null &
server=$!
for _ in $(seq 100); do
  port=$(sed -n 's/.* port \([0-9]*\) .*/\1/p' "$scratch/server")
  [ -n "$port" ] && break
  sleep 0.1
done

: >"$results"
for answer in 1 2 3; do
  timeout -s TERM $((START_S + REPORT_S + seconds)) chromium --headless=new --no-sandbox \
    --use-angle=swiftshader --enable-unsafe-swiftshader --no-first-run --disable-background-networking \
    --disable-component-update --disable-sync --user-data-dir="$scratch/profile-$answer" \
    --window-size=1100,800 --enable-logging=stderr --v=0 \
    "http://127.0.0.1:$port/index.html?res=$answer" 2>"$scratch/chromium-$answer" || true
  sed -n 's/.*"frame rate: \([0-9.]*\) .*/\1/p' "$scratch/chromium-$answer" | tail -n +2 |
    sed "s/^/fps $answer /" >>"$results"
done
for file in "$folder"/www/*; do
  echo "size $(basename "$file") $(stat -c %s "$file") $(gzip -9c "$file" | wc -c)"
done >>"$results"
