#!/bin/sh
# Usage: check_exports.sh LIBRARY SYMBOL...
# Fails unless the library's dynamic symbol table defines exactly these
# symbols (besides the linker's own _init/_fini-style entries).
set -eu
lib=$1
shift
[ -f "$lib" ] || { echo "missing: $lib"; exit 1; }
actual=$(nm -D --defined-only "$lib" | awk '{print $3}' | grep -v '^_' | sort)
expected=$(printf '%s\n' "$@" | sort)
if [ "$actual" != "$expected" ]; then
  echo "$lib exports:"; echo "$actual"
  echo "expected:"; echo "$expected"
  exit 1
fi
