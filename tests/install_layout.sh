#!/bin/sh
# Usage: install_layout.sh BUILD-DIR
# Installs the build into a scratch DESTDIR and checks that every deliverable
# lands where hosts and users look for it, each bundle with its resources.
set -eu
build=$1
dest=$(mktemp -d)
trap 'rm -rf "$dest"' EXIT
DESTDIR="$dest" cmake --install "$build" >/dev/null
prefix=$(sed -n 's/^CMAKE_INSTALL_PREFIX:PATH=//p' "$build/CMakeCache.txt")
dir() { sed -n "s/^$1:PATH=//p" "$build/CMakeCache.txt"; }
under() { case "$1" in /*) echo "$dest$1" ;; *) echo "$dest$prefix/$1" ;; esac; }
clap=$(under "$(dir WOBBLYTONE_CLAP_DIR)")
lv2=$(under "$(dir WOBBLYTONE_LV2_DIR)")
vst3=$(under "$(dir WOBBLYTONE_VST3_DIR)")
for f in "$clap/Wobblytone.clap" "$clap/Wobblytone-resources/easy.bin" \
         "$lv2/Wobblytone.lv2/manifest.ttl" "$lv2/Wobblytone.lv2/Wobblytone.ttl" \
         "$lv2/Wobblytone.lv2/Wobblytone.so" "$lv2/Wobblytone.lv2/resources/easy.bin" \
         "$vst3/Wobblytone.vst3/Contents/x86_64-linux/Wobblytone.so" "$vst3/Wobblytone.vst3/resources/easy.bin" \
         "$dest$prefix/bin/wobblytone" "$dest$prefix/bin/wobblytone-render" "$dest$prefix/share/wobblytone/easy.bin"; do
  [ -e "$f" ] || { echo "not installed: $f"; exit 1; }
done
for f in "$dest$prefix/bin/wobblytone" "$dest$prefix/bin/wobblytone-render"; do
  [ -x "$f" ] || { echo "not executable: $f"; exit 1; }
done
echo "install layout ok"
