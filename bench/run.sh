#!/usr/bin/env bash
# Every figure of the README's benchmark tables, on an X display with no GPU
# (an Xvfb of its own unless DISPLAY is set).  Run it on a quiet machine.
#
#   bench/run.sh [BUILD_DIR]        (default build/default; needs x11-apps for xwd)
set -euo pipefail
cd "$(dirname "$0")/.."
source tests/e2e/lib.sh
e2e_init bench

bin=$(realpath "${1:-build/default}")/bin
need_tools xdotool xwd convert cjpeg
ensure_display 2000x1300
echo "display $DISPLAY"

for name in core threaded bmp jpeg; do
  "$bin/rainbow_bench_$name" --benchmark_counters_tabular=true
done
bench/render_ratio.sh "$bin"
bench/memory.sh "$bin"
for prog in rainbow_plain rainbow_threaded; do
  bench/time_to_bows.sh "$bin/$prog" 640 480
  bench/time_to_bows.sh "$bin/$prog" 1600 1200
done
bench/time_to_backdrop.sh "$bin"
bench/picture_memory.sh "$bin"
