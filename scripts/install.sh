#!/usr/bin/env bash
# Builds Wobblytone and installs it for the current user:
#   ~/.clap/Wobblytone.clap (+ Wobblytone-resources/), ~/.lv2/Wobblytone.lv2,
#   ~/.vst3/Wobblytone.vst3, ~/.local/bin/wobblytone and wobblytone-render,
#   ~/.local/share/wobblytone (the resources of the app and the renderer).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
build=build-install
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$HOME/.local" \
  -DWOBBLYTONE_TESTS=OFF -DWOBBLYTONE_BENCH=OFF -DWOBBLYTONE_PLUGINS=ON
cmake --build "$build"
cmake --install "$build"
echo "Installed. Rescan plug-ins in your host; run the app with: wobblytone"
