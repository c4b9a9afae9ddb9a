#!/usr/bin/env bash
# Installs what the build needs, builds the offline renderer and renders the
# demo to wobblytone.wav (or to the file given as the first argument).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build --target wobblytone-render -j "$(nproc)"
./build/wobblytone-render -o "${1:-wobblytone.wav}"
