#!/usr/bin/env bash
# Time per frame of the LV2 build against Calf Monosynth, through lilv, with
# the same phrase, in interleaved rounds; prints the medians and the ratio.
#   bench/lv2_versus_calf.sh [ROUNDS] [BUNDLE]   (after a build in build/)
set -euo pipefail
cd "$(dirname "$0")/.."
exec build/bench/wobblytone_lv2_versus_calf "${1:-9}" ${2:+"$2"}
