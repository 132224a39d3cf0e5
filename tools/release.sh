#!/usr/bin/env bash
# release.sh -- builds the intro in Release mode and packs the party release into release/neonfjord-intro.tar.gz,
# with the browser build beside it in web/: the folder to put on any static web host
#   tools/release.sh [-DINTRO_PAGE_URL=https://...]   (the page's address, for absolute link previews)
set -euo pipefail
cd "$(dirname "$0")/.."
name=neonfjord-intro

cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF "$@" >/dev/null
cmake --build build-release -j "$(nproc)" --target release
cmake --build build-release -j "$(nproc)" --target web >/dev/null
rm -rf "release/$name/web"
cp -r build-release/web/www "release/$name/web"
tar czf "release/$name.tar.gz" -C release "$name"
echo "release: $(pwd)/release/$name.tar.gz"
tar tzf "release/$name.tar.gz"
