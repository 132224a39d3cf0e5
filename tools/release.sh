#!/usr/bin/env bash
# release.sh -- builds the intro in Release mode and packs the party release into release/neonfjord-intro.tar.gz
set -euo pipefail
cd "$(dirname "$0")/.."

cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build build-release -j "$(nproc)" --target release
echo "release: $(pwd)/release/neonfjord-intro.tar.gz"
tar tzf release/neonfjord-intro.tar.gz
