#!/usr/bin/env bash
# Installs what the build needs, builds everything and runs every test: once
# in an optimised build and once under AddressSanitizer and UndefinedBehaviorSanitizer;
# then the two-thread test under ThreadSanitizer.
# The parsers of outside data are then fuzzed briefly (WOBBLYTONE_FUZZ_SECONDS
# each, default 30; 0 skips). Set WOBBLYTONE_SKIP_SANITIZERS=1 to run the
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
    LSAN_OPTIONS=suppressions="$PWD/tests/lsan.supp" \
    ctest --test-dir build-sanitize --output-on-failure -j "$jobs"
fi

if [ "${WOBBLYTONE_SKIP_SANITIZERS:-0}" != "1" ]; then
  # The editor and the audio thread on one instance. No suppressions: any
  # report is a race of ours, and fails the run.
  cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DWOBBLYTONE_TSAN=ON -DWOBBLYTONE_PLUGINS=OFF -DWOBBLYTONE_BENCH=OFF
  cmake --build build-tsan --target wobblytone_thread_test -j "$jobs"
  TSAN_OPTIONS=halt_on_error=1:exitcode=66 ./build-tsan/tests/wobblytone_thread_test
fi

fuzz_seconds=${WOBBLYTONE_FUZZ_SECONDS:-30}
if [ "$fuzz_seconds" != "0" ]; then
  CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DWOBBLYTONE_FUZZ=ON -DWOBBLYTONE_TESTS=OFF -DWOBBLYTONE_BENCH=OFF -DWOBBLYTONE_PLUGINS=ON
  # target:seed folder; new finds go to a scratch folder, the seeds stay as they are.
  # The plug-in state targets load the CLAP and VST3 files built here, with coverage.
  targets="midi_file_fuzz:midi version_reply_fuzz:version state_fuzz:state ini_fuzz:ini
    render_command_line_fuzz:render clap_state_fuzz:plugin_state vst3_state_fuzz:plugin_state"
  for entry in $targets; do
    cmake --build build-fuzz --target "${entry%%:*}" -j "$jobs"
  done
  for entry in $targets; do
    scratch=$(mktemp -d)
    log=$(mktemp)
    echo "fuzzing ${entry%%:*} for $fuzz_seconds s"
    status=0
    ./build-fuzz/fuzz/"${entry%%:*}" -max_total_time="$fuzz_seconds" -print_final_stats=1 \
      -artifact_prefix="$scratch/" "$scratch" "tests/corpus/${entry#*:}" > "$log" 2>&1 || status=$?
    grep -E "stat::number_of_executed_units" "$log" || true
    if [ "$status" != "0" ]; then
      tail -n 40 "$log"
      echo "fuzzing ${entry%%:*} found a fault"
      exit 1
    fi
    rm -rf "$scratch" "$log"
  done
fi
