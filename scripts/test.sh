#!/usr/bin/env bash
# Installs what the build needs, builds everything and runs every test: once
# in an optimised build and once under AddressSanitizer and UndefinedBehaviorSanitizer.
# The parsers of outside data are then fuzzed briefly (WOBBLYTONE_FUZZ_SECONDS
# each, default 20; 0 skips). Set WOBBLYTONE_SKIP_SANITIZERS=1 to run the
# optimised build only.
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

fuzz_seconds=${WOBBLYTONE_FUZZ_SECONDS:-20}
if [ "$fuzz_seconds" != "0" ]; then
  CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DWOBBLYTONE_FUZZ=ON -DWOBBLYTONE_TESTS=OFF -DWOBBLYTONE_BENCH=OFF
  cmake --build build-fuzz --target midi_file_fuzz -j "$jobs"
  scratch=$(mktemp -d)
  ./build-fuzz/fuzz/midi_file_fuzz -max_total_time="$fuzz_seconds" -print_final_stats=1 \
    "$scratch" fuzz/corpus/midi 2>&1 | tail -n 3
  rm -rf "$scratch"
fi
