#!/usr/bin/env bash
# Installs what the build needs, builds everything and runs every test: once
# in an optimised build and once under AddressSanitizer and UndefinedBehaviorSanitizer.
# Set WOBBLYTONE_SKIP_SANITIZERS=1 to run the optimised build only.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/deps.sh
jobs=$(nproc)

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs"

if [ "${WOBBLYTONE_SKIP_SANITIZERS:-0}" != "1" ]; then
  cmake -S . -B build-sanitize -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DWOBBLYTONE_SANITIZE=ON -DWOBBLYTONE_BENCH=OFF
  cmake --build build-sanitize -j "$jobs"
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir build-sanitize --output-on-failure -j "$jobs"
fi
