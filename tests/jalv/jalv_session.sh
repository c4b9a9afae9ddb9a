#!/bin/sh
# Usage: jalv_session.sh WORK-DIR COMMAND [ARGUMENTS...]
#
# Runs the LV2 plug-in in jalv 1.6.6 (Debian's jalv package: jalv and
# jalv.gtk3) on a JACK server of its own with the dummy driver, headless, so
# that a test can play it, change its controls, save its state in one jalv
# and load that state in another. The test is a JACK client of that server:
# it sends the MIDI and records the audio itself; this script starts and
# stops the programs, sends them commands and reads back what they print.
#
# Commands (each waits, up to JALV_SESSION_TIMEOUT seconds (default 30), until
# its step is done, and exits non-zero with a message on stderr if it is not):
#
#   init BUNDLE                 copies BUNDLE (Wobblytone.lv2) into
#                               WORK-DIR/lv2/, the only folder on LV2_PATH,
#                               so a rebuild cannot change it half way;
#                               clears what an earlier run left in WORK-DIR
#   start-jack [NAME]           starts `jackd --no-realtime -n NAME -d dummy
#                               -r 48000 -p 256` (JALV_SESSION_RATE and
#                               JALV_SESSION_PERIOD change the last two) and
#                               prints NAME (default wobblytone-jalv-PID)
#   env                         prints the variables a JACK client of the
#                               test needs to reach that server, one
#                               NAME=VALUE a line
#   start ID [--load DIR] [SYM=VAL...]
#                               jalv (console) as JACK client ID, with its
#                               commands read from a FIFO
#   start-editor ID [SYM=VAL...]
#                               jalv.gtk3 showing the plug-in's own editor
#                               embedded in its window (as a user sees it),
#                               on the same virtual display; prints nothing,
#                               the editor's toplevel window is in
#                               run/ID.window and the display in run/display
#   start-gui ID [--load DIR] [SYM=VAL...]
#                               jalv.gtk3 with jalv's own generic controls
#                               (not the plug-in's editor) on a virtual X
#                               display of the session's own; the only jalv
#                               1.6.6 that can save state
#   ports ID                    prints ID's JACK ports, one a line:
#                               ID:lv2_events_in (MIDI in), ID:lv2_audio_out_1
#                               (left), ID:lv2_audio_out_2 (right)
#   send ID LINE                console only: sends one command line (`set
#                               SYM VAL`, `SYM = VAL`, `set INDEX VAL`,
#                               `controls`, `monitors`, `presets`, `preset
#                               URI`) and returns once jalv has carried it out
#   get ID SYM                  prints SYM's value as jalv holds it (console:
#                               inputs and outputs; gtk: outputs only). An
#                               output follows a change one JACK period or
#                               more later: use wait for it
#   wait ID SYM VAL             waits until get ID SYM reads VAL (within
#                               1e-4)
#   gui-set ID SYM VAL          gtk only: types VAL into SYM's spin button
#                               with the keyboard, as a user would, and waits
#                               until the plug-in's SYM_out port shows it
#   save ID DIR                 gtk only: File > Save (Ctrl+S), types DIR
#                               (absolute, must not exist yet) into the
#                               "Save State" folder chooser and waits for
#                               DIR/state.ttl
#   saved DIR SYM               prints SYM's port value in DIR/state.ttl
#   stop ID                     ends that jalv the way its user would
#   stop-all                    ends every jalv, the display and the server
#
# How jalv 1.6.6 does each step (read from its source, src/jalv.c,
# src/jalv_console.c, src/jalv_gtk.c, src/state.c, and checked here):
#
#   - Controls at start: `-c SYM=VAL`, once per control, in both programs;
#     applied after a state loaded with -l, so they win over it.
#   - At run time, the console reads commands from stdin: the lines listed
#     under `send`. `controls` prints every input control as "SYM = %f",
#     `monitors` every output control; `set` prints "SYM = %f" back. Errors
#     ("error: no control named `SYM'") and `help` go to stderr. At end of
#     input it exits cleanly, so the FIFO is held open by a `sleep` of the
#     script's own until `stop`.
#   - The console cannot save: jalv_save() is only reached from jalv.gtk3's
#     File > Save menu, whose Ctrl+S opens a folder chooser ("Save State"),
#     and the chosen folder gets state.ttl and manifest.ttl: every input port
#     value and the plug-in's own state (its urn:distrho:chunk). Presets
#     (Presets > Save Preset) would work too but land in ~/.lv2, which is not
#     on our LV2_PATH; the folder save is what -l DIR reads back.
#   - `-l DIR` (both programs) loads DIR/state.ttl; the plug-in URI comes
#     from the state, so none is given then.
#   - `-p` in the console prints nothing here: it reports output changes
#     only while a plug-in UI runs. jalv.gtk3 --print-controls prints every
#     output port ~30 times a second, changed or not; `get` and `gui-set`
#     read the latest of those lines.
#   - jalv's stdout is a plain stdio stream (no fflush): into a file it is
#     block-buffered, so the console runs under `stdbuf -o0` (its prompt "> "
#     has no line feed and shows when it is ready) and jalv.gtk3 under
#     `stdbuf -oL`.
#   - jalv.gtk3 gives two options the short name -p (--preset and
#     --print-controls) and two -n (--no-menu and --jack-name): this script
#     uses the long names. `jalv -h` prints its usage and then crashes, and
#     so does a jalv that cannot read the state given with -l.
#   - JACK ports: jalv names them after the port symbols; lv2_events_out has
#     no JACK port (it carries no MIDI). -x makes jalv exit rather than take
#     another client name. jalv connects nothing itself.
#
# How this script gets each answer:
#
#   - `send` writes the line and then `help` to the FIFO and waits until the
#     help text shows on stderr; `get` sends `controls` or `monitors` that way
#     and reads its line from stdout. One caller at a time per jalv.
#   - `gui-set` presses Tab from the control that has the focus (GTK focuses
#     the first one, Power, when the window maps; the script keeps count in
#     run/ID.focus): jalv lays out one row per control port in index order,
#     and each input is one stop (check box, list) or two (spin button, then
#     slider). It then selects the spin button's text, types the value and
#     Return. Only sliders; the spin button keeps 7 decimals. It fails unless
#     SYM_out shows the value, and warns if another output changed meanwhile.
#   - `save` waits for the dialog, types the path, and presses Escape while
#     the chooser's list of matching names is up (Return would only close
#     that list), Return otherwise. A name that begins another name in the
#     same folder is refused, since the chooser would complete it.
#   - Values are saved as floats: 0.8 reads back as 0.80000001.
#
# Traps met on the way: each jalv makes /tmp/jalv-XXXXXX (its path is fixed
# in jalv) and removes it at a clean exit if empty (not after a crash);
# processes whose parent has gone may stay as zombies (PID 1 may not reap
# them), which `kill -0` would count as running; with the dummy driver out of
# real time a busy machine makes xruns, in which a late client's cycle is
# lost (stop-all counts them); jalv.gtk3 --print-controls writes ~30 KB/s to
# logs/ID.out. jalv offers no way for the plug-in to change an input port,
# so a value the engine changes itself (a blown fuse) shows on SYM_out while
# jalv's input, and the port value it saves, keep the old one; writing that
# old value again is no change (write another value first).
#
# Example, as the test runs it (each line one call; VAL a number):
#
#   jalv_session.sh W init build/bin/Wobblytone.lv2
#   jalv_session.sh W start-jack               -> prints the server's name
#   jalv_session.sh W start-gui first power=1 voltage=1 warm_up=2
#     (connect to first:lv2_events_in, first:lv2_audio_out_1 and _2, play)
#   jalv_session.sh W gui-set first cutoff 0.37
#   jalv_session.sh W save first W/saved
#   jalv_session.sh W stop first
#   jalv_session.sh W start second --load W/saved
#   jalv_session.sh W get second cutoff        -> 0.370000
#   jalv_session.sh W wait second cutoff_out 0.37
#     (connect to second:..., play, compare)
#   jalv_session.sh W stop-all
#
# Each call exits 0 when its step is done. A jalv that exits with a status
# other than 0 (a crash at exit, say) makes `stop` fail.
#
# Everything lives in WORK-DIR: lv2/ (the bundle), home/ (HOME and the XDG
# folders, so no settings from outside are read or written), run/ (process
# ids, FIFOs, the server's name, the display), logs/ (ID.out and ID.err for
# each jalv, jackd.log, xvfb.log, timings.txt). LC_ALL=C, so "0.5" parses
# everywhere. Process ids are checked against the program before any signal,
# and a process that has ended but not been reaped counts as ended. Lines in
# which the plug-in or a host speaks of DPF, assertions, missing host
# features, errors or warnings are repeated on stderr at `stop`.
set -u

me=jalv_session.sh
die() { echo "$me: $*" >&2; exit 1; }
note() { echo "$me: $*" >&2; }

[ $# -ge 2 ] || die "usage: $me WORK-DIR COMMAND [ARGUMENTS...] (see the comment at the top)"
work=$1
command=$2
shift 2

uri=${JALV_SESSION_URI:-https://marlpitmusic.com/plugins/wobblytone}
limit=${JALV_SESSION_TIMEOUT:-30}
rate=${JALV_SESSION_RATE:-48000}
period=${JALV_SESSION_PERIOD:-256}
case $limit in ''|*[!0-9]*) die "JALV_SESSION_TIMEOUT must be whole seconds, not '$limit'" ;; esac

mkdir -p "$work" || die "cannot create $work"
work=$(cd "$work" && pwd) || die "cannot enter $work"
run=$work/run
logs=$work/logs
home=$work/home

export HOME="$home"
export XDG_CONFIG_HOME="$home/.config"
export XDG_CACHE_HOME="$home/.cache"
export XDG_DATA_HOME="$home/.local/share"
export XDG_RUNTIME_DIR="$home/runtime"
export LV2_PATH="$work/lv2"
export LC_ALL=C
export JACK_NO_START_SERVER=1
export JACK_NO_AUDIO_RESERVATION=1
# GTK's file chooser keeps its settings through GSettings; without a session
# bus dconf warns on every change. Nor is there an accessibility bus.
export GSETTINGS_BACKEND=memory
export NO_AT_BRIDGE=1
[ -f "$run/server" ] && JACK_DEFAULT_SERVER=$(cat "$run/server") && export JACK_DEFAULT_SERVER
[ -f "$run/display" ] && DISPLAY=:$(cat "$run/display") && export DISPLAY

now() { date +%s.%N; }
started=$(now)
# Appends "STEP SECONDS" to logs/timings.txt.
timing() {
  [ -d "$logs" ] || return 0
  echo "$1 $(echo "$started $(now)" | awk '{ printf "%.2f", $2 - $1 }')" >>"$logs/timings.txt"
}

# True while PID runs: a zombie (ended, parent has not reaped it) has ended.
alive() {
  [ -n "${1:-}" ] || return 1
  state=$(ps -o stat= -p "$1" 2>/dev/null) || return 1
  case $state in ''|Z*) return 1 ;; esac
  return 0
}

# True when PID is still the program we started (pids get reused).
is_program() {
  [ -r "/proc/$1/cmdline" ] || return 1
  tr '\0' ' ' <"/proc/$1/cmdline" | grep -q -- "$2"
}

# Ends PID (if it still runs PROGRAM): SIGTERM, then SIGKILL after the
# time limit.
end_process() {
  ending=$1
  ending_program=$2
  alive "$ending" && is_program "$ending" "$ending_program" || return 0
  kill -TERM "$ending" 2>/dev/null
  wait_for "$ending_program (pid $ending) to end after SIGTERM" not_alive "$ending" || {
    note "$ending_program (pid $ending) ignored SIGTERM; killing it"
    kill -KILL "$ending" 2>/dev/null
  }
}
not_alive() { ! alive "$1"; }

# wait_for WHAT COMMAND...: runs COMMAND every 0.1 s until it succeeds or the
# time limit passes (then says so and fails).
wait_for() {
  what=$1
  shift
  tries=$((limit * 10))
  while [ "$tries" -gt 0 ]; do
    "$@" && return 0
    sleep 0.1
    tries=$((tries - 1))
  done
  note "timed out after ${limit}s waiting for $what"
  return 1
}

# The last lines of a log, for failure messages.
show_log() {
  [ -s "$1" ] || return 0
  echo "--- end of $1:" >&2
  grep -v '^$' "$1" | tail -n 25 >&2
}

# Repeats the lines of a log in which someone speaks of trouble.
notable_lines() {
  [ -f "$1" ] || return 0
  grep -n -i -E 'dpf|assert|does not provide|not supported|error|warning|critical|fail|segmentation|overflow|missing' "$1" |
    sed "s|^|$me: $(basename "$1"):|" >&2
  return 0
}

need_session() { [ -f "$run/server" ] || die "no JACK server in $work (run start-jack first)"; }
need_id() {
  case ${1:-} in ''|*[!A-Za-z0-9_-]*) die "jalv ids are letters, digits, '-' and '_', not '${1:-}'" ;; esac
}
need_running() {
  need_id "$1"
  [ -f "$run/$1.pid" ] || die "no jalv '$1' in this session"
  alive "$(cat "$run/$1.pid")" || {
    show_log "$logs/$1.err"
    die "jalv '$1' has ended"
  }
}
kind_of() { cat "$run/$1.kind"; }

# The plug-in's control ports in index order, one "SYMBOL in|out toggle|enum|slider"
# a line, from lv2info (what jalv's generic controls are built from).
write_port_table() {
  lv2info "$uri" | awk '
    function flush() {
      if (sym != "" && type ~ /#ControlPort/ && props !~ /#notOnGUI/) {
        dir = (type ~ /#InputPort/) ? "in" : "out"
        kind = (props ~ /#toggled/) ? "toggle" : (props ~ /#enumeration/) ? "enum" : "slider"
        print sym, dir, kind
      }
      sym = ""; type = ""; props = ""; field = ""
    }
    /^\tPort [0-9]+:$/ { flush(); inport = 1; next }
    inport && /^\t\t[A-Z][A-Za-z ]*:/ {
      line = $0; sub(/^\t\t/, "", line)
      field = line; sub(/:.*/, "", field)
      value = line; sub(/^[^:]*:[ \t]*/, "", value)
      if (field == "Type") type = type " " value
      else if (field == "Properties") props = props " " value
      else if (field == "Symbol") sym = value
      next
    }
    inport && /^\t\t[ \t]+[^ \t]/ {
      value = $0; gsub(/^[ \t]+/, "", value)
      if (field == "Type") type = type " " value
      else if (field == "Properties") props = props " " value
      next
    }
    END { flush() }
  ' >"$run/controls.txt"
  [ -s "$run/controls.txt" ] || die "lv2info lists no control ports for $uri"
}
port_direction() { awk -v s="$1" '$1 == s { print $2 }' "$run/controls.txt"; }

# The newest "SYM = VALUE" value printed to FILE after byte OFFSET.
printed_after() {
  tail -c +"$(($2 + 1))" "$1" | sed 's/^\(> \)*//' |
    awk -v s="$3" '$1 == s && $2 == "=" && NF == 3 { v = $3 } END { if (v != "") print v }'
}
size_of() { wc -c <"$1" | tr -d ' '; }
close_enough() { awk -v a="$1" -v b="$2" 'BEGIN { d = a - b; if (d < 0) d = -d; exit !(d <= 1e-4 + 1e-5 * (b < 0 ? -b : b)) }'; }

# --- the steps ---

do_init() {
  [ $# -eq 1 ] || die "usage: $me WORK-DIR init BUNDLE"
  bundle=${1%/}
  [ -d "$bundle" ] || die "no plug-in bundle at $bundle"
  ls "$bundle"/*.ttl >/dev/null 2>&1 || die "$bundle has no .ttl files"
  if [ -f "$run/jackd.pid" ] && alive "$(cat "$run/jackd.pid")"; then
    die "a session still runs in $work (stop-all first)"
  fi
  for tool in jalv jalv.gtk3 jackd jack_wait jack_lsp lv2ls lv2info stdbuf Xvfb xdotool; do
    command -v $tool >/dev/null 2>&1 || die "$tool not found (Debian packages jalv, jackd2, lilv-utils, coreutils, xvfb, xdotool)"
  done
  rm -rf "${work:?}/home" "$work/lv2" "$run" "$logs"
  mkdir -p "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME" "$XDG_DATA_HOME" "$XDG_RUNTIME_DIR" \
    "$work/lv2" "$run" "$logs" || die "cannot lay out $work"
  chmod 700 "$XDG_RUNTIME_DIR"
  cp -R "$bundle" "$work/lv2/" || die "cannot copy $bundle"
  found=$(lv2ls)
  [ "$found" = "$uri" ] || die "LV2_PATH=$LV2_PATH lists '$found', not just $uri"
  write_port_table
  timing init
}

do_start_jack() {
  [ $# -le 1 ] || die "usage: $me WORK-DIR start-jack [NAME]"
  [ -d "$run" ] || die "run init first"
  server=${1:-wobblytone-jalv-$$}
  if [ -f "$run/jackd.pid" ] && alive "$(cat "$run/jackd.pid")"; then
    die "this session's JACK server still runs"
  fi
  [ "$(jack_wait -s "$server" -c 2>/dev/null)" = "not running" ] ||
    die "a JACK server named '$server' already runs"
  jackd --no-realtime -n "$server" -d dummy -r "$rate" -p "$period" \
    </dev/null >"$logs/jackd.log" 2>&1 &
  echo $! >"$run/jackd.pid"
  echo "$server" >"$run/server"
  export JACK_DEFAULT_SERVER="$server"
  jack_up() {
    alive "$(cat "$run/jackd.pid")" || return 0
    [ "$(jack_wait -s "$server" -c 2>/dev/null)" = running ]
  }
  wait_for "the JACK server" jack_up || { show_log "$logs/jackd.log"; die "JACK did not start"; }
  alive "$(cat "$run/jackd.pid")" || { show_log "$logs/jackd.log"; die "jackd exited"; }
  timing "start-jack $server"
  echo "$server"
}

do_env() {
  need_session
  echo "JACK_DEFAULT_SERVER=$JACK_DEFAULT_SERVER"
  echo "JACK_NO_START_SERVER=1"
  echo "JACK_NO_AUDIO_RESERVATION=1"
}

# Checks that a SYM=VAL argument names an input control of the plug-in.
check_assignment() {
  case $1 in
    ?*=?*) ;;
    *) die "expected SYM=VAL, not '$1'" ;;
  esac
  [ "$(port_direction "${1%%=*}")" = in ] || die "the plug-in has no input control '${1%%=*}'"
}

check_new_id() {
  need_id "$1"
  if [ -f "$run/$1.pid" ] && alive "$(cat "$run/$1.pid")"; then
    die "jalv '$1' already runs"
  fi
  rm -f "$run/$1".* "$logs/$1.out" "$logs/$1.err"
}

absolute() {
  case $1 in
    /*) echo "${1%/}" ;;
    *) echo "$(pwd)/${1%/}" ;;
  esac
}

# Runs COMMAND (in WORK-DIR) in the background of this subshell, writes its
# pid to run/ID.pid and, when it ends, its exit status to run/ID.status; stdin
# is passed on as fd 3 (a background command's own stdin would be /dev/null).
# The caller sets the subshell's files with exec: redirections on a function
# call would keep a copy of the caller's stdout open (to restore it), and a
# caller reading that stdout to its end, e.g. $(...) or popen(), would wait
# as long as jalv runs.
run_recorded() {
  recorded_id=$1
  shift
  # In WORK-DIR, where the folder chooser opens.
  cd "$work" || exit 1
  "$@" <&3 3<&- &
  echo $! >"$run/$recorded_id.pid"
  wait $!
  echo $? >"$run/$recorded_id.status"
}

ports_ready() {
  listed=$(jack_lsp 2>/dev/null) || return 1
  for p in lv2_events_in lv2_audio_out_1 lv2_audio_out_2; do
    echo "$listed" | grep -q -x "$1:$p" || return 1
  done
}

# Ends a jalv that did not start properly, then fails with its log.
failed_start() {
  show_log "$logs/$1.err"
  show_log "$logs/$1.out"
  [ -f "$run/$1.holder" ] && end_process "$(cat "$run/$1.holder")" sleep
  [ -f "$run/$1.pid" ] && end_process "$(cat "$run/$1.pid")" jalv
  # Nothing left for stop-all to stop.
  rm -f "$run/$1.kind" "$run/$1.in" "$run/$1.holder"
  die "$2"
}

check_control_warnings() {
  if grep -q 'warning: Ignoring' "$logs/$1.err"; then
    failed_start "$1" "jalv '$1' did not take every control"
  fi
}

pid_known() { [ -s "$run/$1.pid" ]; }

do_start() {
  [ $# -ge 1 ] || die "usage: $me WORK-DIR start ID [--load DIR] [SYM=VAL...]"
  need_session
  id=$1
  shift
  check_new_id "$id"
  load=
  if [ $# -ge 1 ] && [ "$1" = --load ]; then
    [ $# -ge 2 ] || die "--load needs a folder"
    load=$(absolute "$2")
    shift 2
    [ -f "$load/state.ttl" ] || die "no state.ttl in $load"
  fi
  for a in "$@"; do
    check_assignment "$a"
    shift
    set -- "$@" -c "$a"
  done
  # jalv reads options up to the first argument without a dash; with -l the
  # plug-in comes from the state.
  if [ -n "$load" ]; then
    set -- -l "$load" "$@"
  else
    set -- "$@" "$uri"
  fi
  fifo=$run/$id.in
  mkfifo "$fifo" || die "cannot make $fifo"
  echo console >"$run/$id.kind"
  echo "stdbuf -o0 jalv -x -n $id $*" >"$run/$id.command"
  (
    exec 3<"$fifo" </dev/null >"$logs/$id.out" 2>"$logs/$id.err"
    run_recorded "$id" stdbuf -o0 jalv -x -n "$id" "$@"
  ) &
  # The FIFO's writing end stays open in this sleep between commands;
  # stopping the sleep is jalv's end of input.
  sleep 1000000000 >"$fifo" 2>/dev/null &
  echo $! >"$run/$id.holder"
  wait_for "jalv '$id' to start" pid_known "$id" || failed_start "$id" "jalv '$id' did not start"
  pid=$(cat "$run/$id.pid")
  console_ready() {
    alive "$pid" || return 0
    grep -q '> ' "$logs/$id.out" && ports_ready "$id"
  }
  wait_for "jalv '$id' to show its prompt and JACK ports" console_ready ||
    failed_start "$id" "jalv '$id' did not get ready"
  alive "$pid" || failed_start "$id" "jalv '$id' exited at start"
  check_control_warnings "$id"
  timing "start $id"
}

# A virtual display of the session's own; Xvfb picks a free number and
# writes it to the file on fd 3.
ensure_display() {
  if [ -f "$run/xvfb.pid" ] && alive "$(cat "$run/xvfb.pid")"; then
    return 0
  fi
  rm -f "$run/display" "$run/display.fd"
  Xvfb -displayfd 3 -screen 0 1280x3072x24 -nolisten tcp \
    3>"$run/display.fd" </dev/null >"$logs/xvfb.log" 2>&1 &
  echo $! >"$run/xvfb.pid"
  display_known() {
    alive "$(cat "$run/xvfb.pid")" || return 0
    grep -q '^[0-9][0-9]*$' "$run/display.fd" 2>/dev/null
  }
  wait_for "Xvfb to pick a display" display_known || { show_log "$logs/xvfb.log"; die "no virtual display"; }
  alive "$(cat "$run/xvfb.pid")" || { show_log "$logs/xvfb.log"; die "Xvfb exited"; }
  tr -d '\n' <"$run/display.fd" >"$run/display"
  DISPLAY=:$(cat "$run/display")
  export DISPLAY
  display_answers() { xdotool getdisplaygeometry >/dev/null 2>&1; }
  wait_for "display $DISPLAY to answer" display_answers || die "display $DISPLAY does not answer"
}

do_start_gui() {
  ui_option=--generic-ui
  if [ "${1:-}" = --plugin-ui ]; then
    ui_option=
    shift
  fi
  [ $# -ge 1 ] || die "usage: $me WORK-DIR start-gui ID [--load DIR] [SYM=VAL...]"
  need_session
  id=$1
  shift
  check_new_id "$id"
  load=
  if [ $# -ge 1 ] && [ "$1" = --load ]; then
    [ $# -ge 2 ] || die "--load needs a folder"
    load=$(absolute "$2")
    shift 2
    [ -f "$load/state.ttl" ] || die "no state.ttl in $load"
  fi
  for a in "$@"; do
    check_assignment "$a"
    shift
    set -- "$@" -c "$a"
  done
  if [ -n "$load" ]; then
    set -- --load "$load" "$@"
  else
    set -- "$@" "$uri"
  fi
  ensure_display
  echo gui >"$run/$id.kind"
  # shellcheck disable=SC2086 # no option at all for the plug-in's own editor
  set -- jalv.gtk3 $ui_option --print-controls --jack-name "$id" -x "$@"
  echo "DISPLAY=$DISPLAY stdbuf -oL $*" >"$run/$id.command"
  (
    exec 3</dev/null </dev/null >"$logs/$id.out" 2>"$logs/$id.err"
    run_recorded "$id" stdbuf -oL "$@"
  ) &
  wait_for "jalv.gtk3 '$id' to start" pid_known "$id" || failed_start "$id" "jalv.gtk3 '$id' did not start"
  pid=$(cat "$run/$id.pid")
  gui_ready() {
    alive "$pid" || return 0
    window=$(xdotool search --onlyvisible --pid "$pid" 2>/dev/null | head -n 1)
    [ -n "$window" ] && ports_ready "$id"
  }
  wait_for "jalv.gtk3 '$id' to show its window and JACK ports" gui_ready ||
    failed_start "$id" "jalv.gtk3 '$id' did not get ready"
  alive "$pid" || failed_start "$id" "jalv.gtk3 '$id' exited at start"
  echo "$window" >"$run/$id.window"
  # GTK gives the keyboard focus to the first control (Power) when the
  # window maps; gui-set counts Tab presses from there.
  echo 1 >"$run/$id.focus"
  check_control_warnings "$id"
  timing "start-gui $id"
}

do_ports() {
  [ $# -eq 1 ] || die "usage: $me WORK-DIR ports ID"
  need_session
  need_running "$1"
  ports_ready "$1" || die "jalv '$1' has not all its JACK ports"
  for p in lv2_events_in lv2_audio_out_1 lv2_audio_out_2; do echo "$1:$p"; done
}

# Sends LINE to console jalv ID, then `help`, and waits until help's text
# reaches stderr: jalv runs its commands in order, so LINE is done by then.
# Fails on any "error:" jalv printed meanwhile.
send_line() {
  send_id=$1
  err_log=$logs/$send_id.err
  err_before=$(size_of "$err_log")
  helps=$(grep -c '^Commands:$' "$err_log")
  # Opening the FIFO would block for good if jalv had gone meanwhile.
  # shellcheck disable=SC2016 # the inner shell expands $1 and $2
  timeout "$limit" sh -c 'printf "%s\nhelp\n" "$1" >"$2"' sh "$2" "$run/$send_id.in" ||
    die "could not write to jalv '$send_id'"
  send_pid=$(cat "$run/$send_id.pid")
  carried_out() {
    alive "$send_pid" || return 0
    [ "$(grep -c '^Commands:$' "$err_log")" -gt "$helps" ]
  }
  wait_for "jalv '$send_id' to carry out '$2'" carried_out || die "jalv '$send_id' did not answer"
  alive "$send_pid" || { show_log "$err_log"; die "jalv '$send_id' ended on '$2'"; }
  complaints=$(tail -c +"$((err_before + 1))" "$err_log" | grep '^error:')
  [ -z "$complaints" ] || die "jalv '$send_id' on '$2': $complaints"
}

do_send() {
  [ $# -ge 2 ] || die "usage: $me WORK-DIR send ID LINE"
  id=$1
  shift
  need_running "$id"
  [ "$(kind_of "$id")" = console ] || die "jalv.gtk3 reads no commands: use gui-set, or -c at start"
  case $* in *"
"*) die "send one line at a time" ;; esac
  send_line "$id" "$*"
  timing "send $id $*"
}

do_get() {
  [ $# -eq 2 ] || die "usage: $me WORK-DIR get ID SYM"
  id=$1
  sym=$2
  need_running "$id"
  direction=$(port_direction "$sym")
  [ -n "$direction" ] || die "the plug-in has no control port '$sym'"
  out_log=$logs/$id.out
  out_before=$(size_of "$out_log")
  if [ "$(kind_of "$id")" = console ]; then
    if [ "$direction" = in ]; then send_line "$id" controls; else send_line "$id" monitors; fi
    value=$(printed_after "$out_log" "$out_before" "$sym")
    [ -n "$value" ] || die "jalv '$id' did not print '$sym'"
  else
    [ "$direction" = out ] ||
      die "jalv.gtk3 prints output ports only; read '$sym' from a saved state, or its output port"
    pid=$(cat "$run/$id.pid")
    fresh_value() {
      alive "$pid" || return 0
      value=$(printed_after "$out_log" "$out_before" "$sym")
      [ -n "$value" ]
    }
    if ! wait_for "jalv.gtk3 '$id' to print '$sym'" fresh_value || ! alive "$pid"; then
      die "jalv.gtk3 '$id' did not print '$sym'"
    fi
  fi
  echo "$value"
}

do_wait() {
  [ $# -eq 3 ] || die "usage: $me WORK-DIR wait ID SYM VALUE"
  wait_id=$1
  wait_sym=$2
  wait_value=$3
  need_running "$wait_id"
  awk 'BEGIN { exit !(ARGV[1] ~ /^-?([0-9]+\.?[0-9]*|\.[0-9]+)([eE][-+]?[0-9]+)?$/) }' "$wait_value" ||
    die "'$wait_value' is not a number"
  # A first reading outside the loop, so that a symbol get cannot read
  # fails once, with get's own message.
  seen=$(do_get "$wait_id" "$wait_sym") || exit 1
  shows_value() {
    close_enough "$seen" "$wait_value" && return 0
    seen=$(do_get "$wait_id" "$wait_sym") || return 1
    close_enough "$seen" "$wait_value"
  }
  wait_for "'$wait_sym' of '$wait_id' to read $wait_value" shows_value ||
    die "'$wait_sym' of '$wait_id' reads '$seen', not $wait_value"
  timing "wait $wait_id $wait_sym $wait_value"
}

# Latest "SYM VALUE" of every symbol printed in FILE between two byte offsets.
latest_values() {
  tail -c +"$(($2 + 1))" "$1" | head -c "$(($3 - $2))" | sed 's/^\(> \)*//' |
    awk '$2 == "=" && NF == 3 { v[$1] = $3 } END { for (s in v) print s, v[s] }' | sort
}

do_gui_set() {
  [ $# -eq 3 ] || die "usage: $me WORK-DIR gui-set ID SYM VALUE"
  id=$1
  sym=$2
  value=$3
  need_running "$id"
  [ "$(kind_of "$id")" = gui ] || die "'$id' is a console jalv: use send $id set $sym $value"
  awk 'BEGIN { exit !(ARGV[1] ~ /^-?([0-9]+\.?[0-9]*|\.[0-9]+)([eE][-+]?[0-9]+)?$/) }' "$value" ||
    die "'$value' is not a number"
  kind=$(awk -v s="$sym" '$1 == s && $2 == "in" { print $3 }' "$run/controls.txt")
  [ -n "$kind" ] || die "the plug-in has no input control '$sym'"
  case $kind in
    toggle) die "jalv shows '$sym' as a check box, which gui-set does not type into: give it with -c at start" ;;
    enum) die "jalv shows '$sym' as a list, which gui-set does not type into: give it with -c at start" ;;
  esac
  # Every input control is one stop in GTK's Tab order, row by row: a check
  # box, a list, or a spin button followed by its slider.
  target=$(awk -v s="$sym" '$2 == "in" { here = n + 1; n += ($3 == "slider") ? 2 : 1; if ($1 == s) { print here; exit } }' \
    "$run/controls.txt")
  current=$(cat "$run/$id.focus")
  window=$(cat "$run/$id.window")
  pid=$(cat "$run/$id.pid")
  if [ "$target" -ge "$current" ]; then
    presses=$((target - current))
    key=Tab
  else
    presses=$((current - target))
    key=shift+Tab
  fi
  set --
  while [ "$presses" -gt 0 ]; do
    set -- "$@" "$key"
    presses=$((presses - 1))
  done
  out_log=$logs/$id.out
  out_before=$(size_of "$out_log")
  xdotool windowfocus --sync "$window" || die "cannot focus the window of '$id'"
  [ $# -eq 0 ] || xdotool key --delay 20 "$@" || die "xdotool could not press Tab"
  echo "$target" >"$run/$id.focus"
  typed_at=$(size_of "$out_log")
  if ! { xdotool key ctrl+a && xdotool type --delay 20 "$value" && xdotool key Return; }; then
    die "xdotool could not type into '$id'"
  fi
  shown=${sym}_out
  if [ "$(port_direction "$shown")" != out ]; then
    note "no output port '$shown' to confirm that '$sym' took $value"
    timing "gui-set $id $sym $value"
    return 0
  fi
  took_value() {
    alive "$pid" || return 0
    now_shown=$(printed_after "$out_log" "$typed_at" "$shown")
    [ -n "$now_shown" ] && close_enough "$now_shown" "$value"
  }
  wait_for "'$shown' of '$id' to show $value" took_value ||
    die "'$shown' of '$id' shows '$now_shown', not $value: the keys reached another control, or the value is out of range"
  alive "$pid" || die "jalv.gtk3 '$id' ended"
  # One more full round of outputs, then every other output should read as
  # before the keys.
  confirmed_at=$(size_of "$out_log")
  last_port=$(awk '$2 == "out" { s = $1 } END { print s }' "$run/controls.txt")
  full_round() {
    alive "$pid" || return 0
    [ -n "$(printed_after "$out_log" "$confirmed_at" "$last_port")" ]
  }
  wait_for "a full round of outputs of '$id'" full_round || die "jalv.gtk3 '$id' stopped printing its outputs"
  start_at=$((out_before > 65536 ? out_before - 65536 : 0))
  latest_values "$out_log" "$start_at" "$out_before" >"$run/$id.before"
  latest_values "$out_log" "$confirmed_at" "$(size_of "$out_log")" >"$run/$id.after"
  changed=$(join "$run/$id.before" "$run/$id.after" | awk -v s="$shown" '$1 != s && $2 != $3 { printf " %s %s->%s", $1, $2, $3 }')
  [ -z "$changed" ] || note "while '$sym' was typed, other outputs of '$id' changed:$changed"
  timing "gui-set $id $sym $value"
}

do_save() {
  [ $# -eq 2 ] || die "usage: $me WORK-DIR save ID DIR"
  id=$1
  need_running "$id"
  [ "$(kind_of "$id")" = gui ] ||
    die "the console jalv 1.6.6 has no way to save state: start the jalv to be saved with start-gui"
  dir=$(absolute "$2")
  [ ! -e "$dir" ] || die "$dir exists: the folder chooser would open it instead of saving into it"
  [ -d "$(dirname "$dir")" ] || die "no folder $(dirname "$dir")"
  case $dir in *[!A-Za-z0-9/._+-]*) die "the save folder's path is typed: keep it to letters, digits and / . _ + -" ;; esac
  # The chooser would complete a name that begins another one in the same
  # folder (and might save there).
  for sibling in "$(dirname "$dir")/$(basename "$dir")"*; do
    [ -e "$sibling" ] && die "$sibling begins with the name $(basename "$dir"): the chooser would complete it; pick another name"
  done
  window=$(cat "$run/$id.window")
  pid=$(cat "$run/$id.pid")
  xdotool windowfocus --sync "$window" || die "cannot focus the window of '$id'"
  xdotool key ctrl+s || die "xdotool could not press Ctrl+S"
  # Without --all, xdotool takes a window with that pid *or* that name.
  dialog_up() {
    alive "$pid" || return 0
    dialog=$(xdotool search --all --onlyvisible --pid "$pid" --name '^Save State$' 2>/dev/null | head -n 1)
    [ -n "$dialog" ]
  }
  wait_for "the Save State dialog of '$id'" dialog_up || die "Ctrl+S opened no Save State dialog in '$id'"
  alive "$pid" || die "jalv.gtk3 '$id' ended"
  xdotool windowfocus --sync "$dialog" || die "cannot focus the Save State dialog"
  # The chooser puts the focus into its name field once it is shown.
  sleep 0.5
  # A path typed into the name field is taken whole. While it matches names
  # in a folder, the chooser shows a list of them that takes Return and
  # Escape for itself: Escape closes that list (not the dialog), Return in
  # the field saves. Delete drops a completion the chooser may have appended
  # (selected) after the last letter.
  if ! { xdotool type --delay 15 "$dir" && xdotool key Delete; }; then
    die "xdotool could not type into the Save State dialog"
  fi
  dialog_shown() { [ -n "$(xdotool search --all --onlyvisible --pid "$pid" --name '^Save State$' 2>/dev/null)" ]; }
  completions_shown() {
    xdotool search --onlyvisible --pid "$pid" 2>/dev/null | grep -v -x -e "$window" -e "$dialog" | grep -q .
  }
  tenths=$((limit * 10))
  since_return=-1
  while [ "$tenths" -gt 0 ] && alive "$pid" && dialog_shown; do
    if completions_shown; then
      xdotool key Escape
      since_return=-1
    elif [ "$since_return" -lt 0 ] || [ "$since_return" -ge 30 ]; then
      # Return again if one was taken by a list that has gone since.
      xdotool key Return
      since_return=0
    fi
    sleep 0.1
    tenths=$((tenths - 1))
    [ "$since_return" -lt 0 ] || since_return=$((since_return + 1))
  done
  if dialog_shown; then
    xdotool key Escape
    die "the Save State dialog of '$id' did not close within ${limit}s"
  fi
  [ -s "$dir/state.ttl" ] ||
    die "the Save State dialog of '$id' closed without writing $dir/state.ttl"
  alive "$pid" || die "jalv.gtk3 '$id' ended while saving"
  grep -q "$uri" "$dir/state.ttl" || die "$dir/state.ttl does not name $uri"
  timing "save $id"
}

do_saved() {
  [ $# -eq 2 ] || die "usage: $me WORK-DIR saved DIR SYM"
  file=$1/state.ttl
  [ -f "$file" ] || die "no $file"
  awk -v s="$2" '
    index($0, "lv2:symbol \"" s "\"") { want = 1; next }
    want && /pset:value/ { v = $0; sub(/.*pset:value[ \t]*/, "", v); sub(/[ \t;,\]].*$/, "", v); print v; found = 1; exit }
    want && /\]/ { exit }
    END { exit !found }
  ' "$file" || die "$file has no value for '$2'"
}

# Ends jalv ID the way its user would: the console at the end of its input,
# jalv.gtk3 on SIGTERM (its handler quits the GTK main loop). Fails when jalv
# did not exit with status 0.
do_stop() {
  [ $# -eq 1 ] || die "usage: $me WORK-DIR stop ID"
  id=$1
  need_id "$id"
  [ -f "$run/$id.pid" ] || die "no jalv '$id' in this session"
  pid=$(cat "$run/$id.pid")
  if [ "$(kind_of "$id")" = console ]; then
    [ -f "$run/$id.holder" ] && end_process "$(cat "$run/$id.holder")" sleep
    wait_for "jalv '$id' to end at the end of its input" not_alive "$pid" || end_process "$pid" jalv
  else
    end_process "$pid" jalv
  fi
  has_status() { [ -s "$run/$id.status" ]; }
  wait_for "the exit status of '$id'" has_status || die "no exit status for jalv '$id'"
  status=$(cat "$run/$id.status")
  notable_lines "$logs/$id.err"
  rm -f "$run/$id.pid" "$run/$id.holder" "$run/$id.in" "$run/$id.window" "$run/$id.focus" "$run/$id.kind"
  timing "stop $id"
  if [ "$status" -ne 0 ]; then
    show_log "$logs/$id.err"
    [ "$status" -gt 128 ] && die "jalv '$id' was ended by signal $((status - 128)) (status $status)"
    die "jalv '$id' exited with status $status"
  fi
  grep -q '^Exiting\.\.\.$' "$logs/$id.err" || note "jalv '$id' ended without saying 'Exiting...'"
}

do_stop_all() {
  [ $# -eq 0 ] || die "usage: $me WORK-DIR stop-all"
  failed=0
  for kind_file in "$run"/*.kind; do
    [ -f "$kind_file" ] || continue
    stop_id=$(basename "$kind_file" .kind)
    (do_stop "$stop_id") || failed=1
  done
  [ -f "$run/xvfb.pid" ] && end_process "$(cat "$run/xvfb.pid")" Xvfb
  [ -f "$run/jackd.pid" ] && end_process "$(cat "$run/jackd.pid")" jackd
  rm -f "$run/xvfb.pid" "$run/display" "$run/display.fd" "$run/jackd.pid" "$run/server"
  # With the dummy driver out of real time, a busy machine makes xruns:
  # a client that misses a cycle gives silence for it.
  xruns=$(grep -c 'XRun' "$logs/jackd.log" 2>/dev/null)
  [ "${xruns:-0}" -eq 0 ] || note "jackd reported ${xruns} xruns (see $logs/jackd.log)"
  timing stop-all
  [ "$failed" -eq 0 ] || die "not every jalv ended well (see above)"
}

case $command in
  init) do_init "$@" ;;
  start-jack) do_start_jack "$@" ;;
  env) do_env ;;
  start) do_start "$@" ;;
  start-gui) do_start_gui "$@" ;;
  start-editor) do_start_gui --plugin-ui "$@" ;;
  ports) do_ports "$@" ;;
  send) do_send "$@" ;;
  get) do_get "$@" ;;
  wait) do_wait "$@" ;;
  gui-set) do_gui_set "$@" ;;
  save) do_save "$@" ;;
  saved) do_saved "$@" ;;
  stop) do_stop "$@" ;;
  stop-all) do_stop_all "$@" ;;
  *) die "unknown command '$command' (see the comment at the top of $0)" ;;
esac
