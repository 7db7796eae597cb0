#!/usr/bin/env bash
# rainbow_render's time against the same step into a plain pixel array: the
# cost of the device-context path in a whole program.
#
# This machine's speed drifts by up to a tenth over minutes, so the two are
# measured in pairs, one right after the other, and each pair gives a ratio;
# the figure is the median of the pairs' ratios, with their range.
#
#   bench/render_ratio.sh [BIN_DIR] [STEPS] [PAIRS]   (default build/default/bin, 20000000, 7)
set -euo pipefail
bin=${1:-build/default/bin}
steps=${2:-20000000}
pairs=${3:-7}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

for _ in $(seq "$pairs"); do
  t=$( { /usr/bin/time -f %U "$bin/rainbow_render" --threads 1 --steps "$steps" --out "$out/r.png" >/dev/null; } 2>&1)
  ns=$(SDL_VIDEODRIVER=dummy "$bin/rainbow_bench_core" --benchmark_filter='PlainArray/640/480' \
    --benchmark_format=csv 2>/dev/null | awk -F, '/PlainArray\/640\/480"?,/ { print $4 }')
  echo "$t $ns"
done | awk -v n="$steps" '{ printf "%.4f %s %s\n", $1 / ($2 * n / 1e9), $1, $2 }' | sort -n |
  awk -v n="$steps" '
    { r[NR] = $1; t[NR] = $2; ns[NR] = $3 }
    END {
      tl = th = t[1]; nl = nh = ns[1]
      for (i = 2; i <= NR; i++) {
        if (t[i] < tl) tl = t[i]; if (t[i] > th) th = t[i]
        if (ns[i] < nl) nl = ns[i]; if (ns[i] > nh) nh = ns[i]
      }
      printf "rainbow_render %d steps: %.2f-%.2f s; plain-array loop %.1f-%.1f ns a step\n",
        n, tl, th, nl, nh
      printf "ratio %.3f (median of %d pairs; %.3f-%.3f)\n", r[int((NR + 1) / 2)], NR, r[1], r[NR]
    }'
