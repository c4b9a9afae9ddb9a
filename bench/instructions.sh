#!/usr/bin/env bash
# Instructions per output frame of ProcessBlock for the plain and the busy
# patch, counted by callgrind (stable on a busy machine, unlike seconds).
set -euo pipefail
bin=${1:-build/bench/wobblytone_instructions}
for patch in plain busy; do
  out=$(mktemp)
  valgrind --tool=callgrind --callgrind-out-file="$out" --toggle-collect='Wobblytone::ProcessBlock*' \
    "$bin" "$patch" > /dev/null 2>&1
  ir=$(grep -E '^(summary|totals):' "$out" | head -1 | awk '{print $2}')
  rm -f "$out"
  # 1875 measured blocks of 256 frames (the warm-up blocks are measured too: 188 more).
  echo "$patch: $(( ir / ((1875 + 188) * 256) )) instructions per frame"
done
