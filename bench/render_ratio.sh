#!/usr/bin/env bash
# rainbow_render's time against the same step into a plain pixel array: the
# cost of the device-context path in a whole program.  Each side is the
# best of five runs, so a busy moment of the machine counts for neither.
#
#   bench/render_ratio.sh [BIN_DIR] [STEPS]     (default build/default/bin, 20000000)
set -euo pipefail
bin=${1:-build/default/bin}
steps=${2:-20000000}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

best=
for _ in 1 2 3 4 5; do
  t=$( { /usr/bin/time -f %U "$bin/rainbow_render" --steps "$steps" --out "$out/r.png" >/dev/null; } 2>&1)
  best=$(awk -v a="$t" -v b="${best:-$t}" 'BEGIN { print (a < b ? a : b) }')
done
ns=$(SDL_VIDEODRIVER=dummy "$bin/rainbow_bench_core" --benchmark_filter='PlainArray/640/480' \
  --benchmark_repetitions=5 --benchmark_format=csv 2>/dev/null |
  awk -F, '/PlainArray\/640\/480"?,/ && !/_mean|_median|_stddev|_cv/ { print $4 }' | sort -n | head -1)
awk -v t="$best" -v ns="$ns" -v n="$steps" 'BEGIN {
  printf "rainbow_render %d steps: %.2f s; plain-array loop %.1f ns a step (%.2f s); ratio %.3f\n",
    n, t, ns, ns * n / 1e9, t / (ns * n / 1e9) }'
