#!/usr/bin/env bash
# run.sh -- installs what the intro needs, builds it and starts it from the repository root.
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/install-deps.sh
cmake -S . -B build >/dev/null
cmake --build build -j "$(nproc)" --target intro
exec ./build/intro
