#!/bin/sh
# Usage: ardour_session.sh WORK-DIR lv2|vst3 PLUGIN-DIR [--cutoff-ramp] [--preset NAME]
#
# Drives Ardour 7 (Debian's ardour package: ardour7-lua, ardour7-export and
# ardour-vst3-scanner) headlessly on the Dummy backend:
#
#   1. copies Wobblytone.<format> from PLUGIN-DIR (or PLUGIN-DIR itself, when
#      it is the bundle) to WORK-DIR/plugins/<format>/, so a rebuild cannot
#      change it half way and the search paths hold nothing else;
#   2. for VST3, runs ardour-vst3-scanner on it, since Ardour lists a VST3
#      only when its scan cache exists and is newer than the module;
#   3. builds WORK-DIR/session (make_session.lua): one MIDI track with the
#      instrument, A4 from 0 s to 3 s, session range 0 s .. 4 s; with
#      --cutoff-ramp also a Cutoff lane in Play from 1.0 down to 0.1 at 3 s;
#      with --preset NAME the plug-in's preset of that name (one of its
#      factory programs, as Ardour lists them) is loaded after the settings;
#   4. exports it to WORK-DIR/first.wav (48 kHz, 24 bit, stereo);
#   5. reopens it, checks what came back and saves it again
#      (reopen_session.lua), then closes it;
#   6. exports it again to WORK-DIR/reopened.wav.
#
# HOME and the XDG folders point into WORK-DIR/home, so Ardour's
# configuration and caches (and the plug-in's own settings) start empty and
# nothing outside WORK-DIR is touched. Each step's output is kept in
# WORK-DIR/logs/; on failure the script says which step failed, shows the end
# of its log on stderr and exits non-zero. Lines in which the plug-in (or a
# failed assertion) speaks are repeated on stderr even when all went well.
# Step times go to stdout and WORK-DIR/timings.txt.
#
# ARDOUR_STEP_TIMEOUT (seconds, default 300) ends a step that hangs.
# ardour7-export itself sometimes never finishes: its main thread waits for
# the butler inside Session::start_audio_export while the butler waits for a
# process cycle (seen about once in twenty exports on a busy machine, with no
# plug-in code on any thread's stack). An export is therefore given
# ARDOUR_EXPORT_TIMEOUT seconds (default 60; one takes about 3) and tried up
# to three times. An export that aborts ("double free or corruption", seen
# twice in some sixty exports under load, not again in thirty more under a
# debugger) is tried again too; its log is kept as logs/STEP.crashed.N.err.
set -u

me=ardour_session.sh
die() { echo "$me: $*" >&2; exit 1; }

[ $# -ge 3 ] || die "usage: $me WORK-DIR lv2|vst3 PLUGIN-DIR [--cutoff-ramp] [--preset NAME]"
work=$1
format=$2
plugins=$3
shift 3
ramp=0
preset=
while [ $# -gt 0 ]; do
  case $1 in
    --cutoff-ramp) ramp=1 ;;
    --preset) [ $# -ge 2 ] || die "--preset needs a name"; preset=$2; shift ;;
    *) die "unknown option '$1'" ;;
  esac
  shift
done
case $format in lv2|vst3) ;; *) die "format must be lv2 or vst3, not '$format'" ;; esac

here=$(cd "$(dirname "$0")" && pwd) || die "cannot find the scripts' folder"
libdir=/usr/lib/ardour7
scanner=$libdir/ardour-vst3-scanner
for tool in ardour7-lua ardour7-export timeout; do
  command -v $tool >/dev/null 2>&1 || die "$tool not found (install the ardour package)"
done
[ -x "$scanner" ] || die "$scanner not found (install the ardour package)"
for f in session_common.lua make_session.lua reopen_session.lua; do
  [ -f "$here/$f" ] || die "missing $here/$f"
done

case $plugins in
  *.lv2|*.vst3|*.lv2/|*.vst3/) bundle_src=${plugins%/} ;;
  *) bundle_src=${plugins%/}/Wobblytone.$format ;;
esac
[ -d "$bundle_src" ] || die "no plug-in bundle at $bundle_src"

mkdir -p "$work" || die "cannot create $work"
work=$(cd "$work" && pwd) || die "cannot enter $work"
# Only what this script makes is cleared, so reruns start from scratch.
rm -rf "${work:?}/home" "$work/plugins" "$work/session" "$work/logs" \
       "$work/first.wav" "$work/reopened.wav" "$work/timings.txt"
mkdir -p "$work/home/.config" "$work/home/.cache" "$work/home/.local/share" \
         "$work/home/runtime" "$work/plugins/lv2" "$work/plugins/vst3" "$work/logs" \
  || die "cannot lay out $work"
chmod 700 "$work/home/runtime"

export HOME="$work/home"
export XDG_CONFIG_HOME="$HOME/.config"
export XDG_CACHE_HOME="$HOME/.cache"
export XDG_DATA_HOME="$HOME/.local/share"
export XDG_RUNTIME_DIR="$HOME/runtime"
export LV2_PATH="$work/plugins/lv2"
export VST3_PATH="$work/plugins/vst3"
# Ardour names undo operations in the user's language, and the session range
# follows an "insert region" operation only under its English name.
export LC_ALL=C LANG=C
unset LANGUAGE

timeout_s=${ARDOUR_STEP_TIMEOUT:-300}
export_timeout_s=${ARDOUR_EXPORT_TIMEOUT:-60}
session_dir="$work/session"
name=wobblytone

now() { date +%s.%N; }
elapsed() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", b - a }'; }

# Lines worth a reader's attention: the plug-in's own messages and anything
# that reports a failed assertion or a crash. Ardour's routine chatter
# (lilv's complaints about non-bundles, the Butler's goodbye) is left out.
noteworthy() {
  grep -a -E 'DPF|[Aa]ssert|Wobblytone.*(error|fail)|[Ss]egmentation|\[ERROR\]|\[FATAL\]|[Ee]xception' "$@" 2>/dev/null
}

fail_step() {
  step=$1
  shift
  echo "$me: step '$step' failed: $*" >&2
  for f in "$work/logs/$step.out" "$work/logs/$step.err"; do
    [ -s "$f" ] || continue
    echo "---- end of $f ----" >&2
    tr '\r' '\n' < "$f" | grep -a -v -E 'manifest\.ttl|lilv_world_load' | tail -n 40 >&2
  done
  exit 1
}

# run_step NAME COMMAND...: runs it with its output in logs/NAME.{out,err}
# and records how long it took. STEP_TIMEOUT (seconds) overrides the limit,
# and STEP_ATTEMPTS lets a step that timed out start again.
run_step() {
  step=$1
  shift
  limit=${STEP_TIMEOUT:-$timeout_s}
  attempts=${STEP_ATTEMPTS:-1}
  t0=$(now)
  while :; do
    timeout -k 10 "$limit" "$@" >"$work/logs/$step.out" 2>"$work/logs/$step.err" </dev/null
    rc=$?
    attempts=$((attempts - 1))
    case $rc in
      124|137) [ "$attempts" -gt 0 ] || break
               echo "$me: $step: no end after ${limit} s, trying again" ;;
      134|139) [ "$attempts" -gt 0 ] || break
               cp "$work/logs/$step.err" "$work/logs/$step.crashed.$attempts.err"
               echo "$me: $step: crashed (exit $rc, see logs/$step.crashed.$attempts.err), trying again" ;;
      *) break ;;
    esac
  done
  t1=$(now)
  secs=$(elapsed "$t0" "$t1")
  echo "$step $secs" >> "$work/timings.txt"
  echo "$me: $step: ${secs} s (exit $rc)"
  if noteworthy "$work/logs/$step.out" "$work/logs/$step.err" > "$work/logs/$step.noteworthy"; then
    sed "s|^|$me: $step says: |" "$work/logs/$step.noteworthy" >&2
  fi
  case $rc in
    0) ;;
    124|137) fail_step "$step" "timed out after ${limit} s" ;;
    *) fail_step "$step" "exit status $rc" ;;
  esac
}

# ardour7-export exits 0 even when it could not render, so the file is
# checked: a 48 kHz, 24-bit stereo WAV of the whole 4 s session range.
check_export() {
  step=$1
  wav=$2
  grep -a -q '^\* Done\.' "$work/logs/$step.out" || fail_step "$step" "ardour7-export did not finish"
  [ -f "$wav" ] || fail_step "$step" "no $wav was written"
  size=$(wc -c < "$wav")
  want=$((4 * 48000 * 2 * 3))
  [ "$size" -ge "$want" ] || fail_step "$step" "$wav holds $size bytes, less than 4 s of 24-bit stereo audio ($want bytes)"
}

t_all=$(now)

# 1. A private copy of the bundle.
bundle="$work/plugins/$format/Wobblytone.$format"
cp -R "$bundle_src" "$bundle" || die "cannot copy $bundle_src"
if [ "$format" = vst3 ]; then
  module="$bundle/Contents/x86_64-linux/Wobblytone.so"
  [ -f "$module" ] || die "no VST3 module at $module"
  # Ardour trusts a scan cache only when it is strictly newer than the module,
  # in whole seconds, and the scanner stamps the cache with the later of the
  # two times. A module copied (or built) in the same second as the scan would
  # leave a cache that Ardour ignores, and the plug-in would not be listed.
  touch -m -d '2000-01-01 00:00:00 UTC' "$module" || die "cannot set the time of $module"
fi

# 2. The VST3 scan cache.
if [ "$format" = vst3 ]; then
  run_step scan env LD_LIBRARY_PATH="$libdir" "$scanner" -f -v "$bundle"
  cache=$(find "$XDG_CACHE_HOME/ardour7/vst" -name '*.v3i' 2>/dev/null | head -n 1)
  [ -n "$cache" ] || fail_step scan "the scanner wrote no cache file in $XDG_CACHE_HOME/ardour7/vst"
  grep -q "module=\"$module\"" "$cache" || fail_step scan "the cache file $cache is not for $module"
  [ "$(stat -c %Y "$cache")" -gt "$(stat -c %Y "$module")" ] || fail_step scan "the cache file is not newer than the module"
fi

# 3. The session.
run_step make_session ardour7-lua "$here/make_session.lua" \
  dir="$session_dir" name=$name format="$format" bundle="$bundle" cutoff_ramp=$ramp preset="$preset"

# 4. First export.
STEP_TIMEOUT=$export_timeout_s
STEP_ATTEMPTS=3
run_step export_first ardour7-export -s 48000 -b 24 -o "$work/first.wav" "$session_dir" $name
unset STEP_TIMEOUT STEP_ATTEMPTS
check_export export_first "$work/first.wav"

# 5. Reopen, check, save again, close.
run_step reopen_session ardour7-lua "$here/reopen_session.lua" \
  dir="$session_dir" name=$name format="$format" cutoff_ramp=$ramp save=1

# 6. Export again.
STEP_TIMEOUT=$export_timeout_s
STEP_ATTEMPTS=3
run_step export_reopened ardour7-export -s 48000 -b 24 -o "$work/reopened.wav" "$session_dir" $name
unset STEP_TIMEOUT STEP_ATTEMPTS
check_export export_reopened "$work/reopened.wav"

secs=$(elapsed "$t_all" "$(now)")
echo "total $secs" >> "$work/timings.txt"
echo "$me: $format done in ${secs} s: $work/first.wav $work/reopened.wav"
