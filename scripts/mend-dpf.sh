#!/usr/bin/env bash
# Changes one of our mends to a DPF source (patches/dpf/<name>.patch).
#   scripts/mend-dpf.sh edit DistrhoPluginCLAP.cpp
#     writes build/dpf-edit/DistrhoPluginCLAP.cpp: DPF's file with the patch applied;
#   (edit that file; give each change a comment that says what it mends and why)
#   scripts/mend-dpf.sh save DistrhoPluginCLAP.cpp
#     writes the patch again from it, keeping the notes before the patch's first hunk.
# The next build configures again and compiles the new mend.
set -euo pipefail
cd "$(dirname "$0")/.."

dpf=${DPF_ROOT_DIR:-/usr/share/dpf}
action=${1:-}
name=${2:-}
if [[ "$action" != edit && "$action" != save || -z "$name" || "$name" == */* ]]; then
  echo "usage: scripts/mend-dpf.sh edit|save NAME (a file of $dpf/distrho/src)" >&2
  exit 2
fi
original=$dpf/distrho/src/$name
patch=patches/dpf/$name.patch
work=build/dpf-edit/$name
if [[ ! -f "$original" ]]; then
  echo "$original does not exist" >&2
  exit 2
fi

case "$action" in
  edit)
    mkdir -p build/dpf-edit
    cp "$original" "$work.new"
    if [[ -f "$patch" ]]; then
      patch --quiet --forward --no-backup-if-mismatch -r - "$work.new" "$patch"
    fi
    mv "$work.new" "$work"
    echo "$work"
    ;;
  save)
    if [[ ! -f "$work" ]]; then
      echo "$work does not exist: run scripts/mend-dpf.sh edit $name first" >&2
      exit 2
    fi
    notes=""
    if [[ -f "$patch" ]]; then
      # What comes before the first file header: the patch's own notes.
      # (the x keeps the blank lines at its end)
      notes=$(sed -n '/^--- /q;p' "$patch"; echo x)
      notes=${notes%x}
    fi
    {
      printf '%s' "$notes"
      diff -u --label "a/$name" --label "b/$name" "$original" "$work" || [[ $? == 1 ]]
    } > "$patch.new"
    mv "$patch.new" "$patch"
    echo "$patch"
    ;;
esac
