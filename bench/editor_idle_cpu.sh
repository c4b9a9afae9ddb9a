#!/usr/bin/env bash
# Usage: bench/editor_idle_cpu.sh [BUILD-DIR] [SECONDS]
# How much of one core the standalone app uses with its editor open and
# nothing changing: it runs on a virtual X display under a JACK dummy server
# of its own, and its CPU time is read from /proc before and after.
set -euo pipefail
build=${1:-build}
seconds=${2:-10}
app="$build/bin/wobblytone"
[ -x "$app" ] || { echo "no $app: build first"; exit 2; }
work=$(mktemp -d)
cleanup() { kill "${app_pid:-}" "${jack_pid:-}" "${x_pid:-}" 2>/dev/null || true; rm -rf "$work"; }
trap cleanup EXIT

exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
x_pid=$!
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(tr -d '\n' <"$work/display")"
export JACK_DEFAULT_SERVER="wobblytone-idle-$$" JACK_NO_AUDIO_RESERVATION=1
jackd --no-realtime -n "$JACK_DEFAULT_SERVER" -d dummy -r 48000 -p 256 >"$work/jackd.log" 2>&1 &
jack_pid=$!
sleep 2
HOME="$work" "$app" >"$work/app.log" 2>&1 &
app_pid=$!
sleep 3  # the window opens and settles

ticks() { awk '{print $14 + $15}' "/proc/$app_pid/stat"; }
hz=$(getconf CLK_TCK)
before=$(ticks)
sleep "$seconds"
after=$(ticks)
awk -v t=$((after - before)) -v hz="$hz" -v s="$seconds" \
  'BEGIN { printf "editor open, idle: %.2f %% of one core over %d s\n", 100 * t / hz / s, s }'
