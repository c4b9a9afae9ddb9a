#!/usr/bin/env bash
# Medians over fresh processes of what loading the CLAP build costs a host:
# dlopen, clap_entry.init with the descriptor (a scan), the first instance.
#   bench/plugin_load.sh [RUNS]   (after a build in build/)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-15}
for _ in $(seq "$runs"); do build/bench/wobblytone_plugin_load; done | awk '
  { d[NR] = $2; s[NR] = $5; f[NR] = $9 }
  function median(a, n,   i, j, t) {
    for (i = 1; i <= n; i++) for (j = i + 1; j <= n; j++) if (a[j] < a[i]) { t = a[i]; a[i] = a[j]; a[j] = t }
    return a[int((n + 1) / 2)]
  }
  END { printf "median of %d runs: dlopen %.2f ms, init+descriptor %.2f ms, first instance %.2f ms\n", NR, median(d, NR), median(s, NR), median(f, NR) }'
