#!/usr/bin/env bash
# rainbow_render on several threads against one: wall time at a web size
# and a poster size, the PNG's share of a poster, and peak memory.
#
# Other work on the machine shifts both runs of a pair alike when they run
# back to back, so each size is measured in pairs (one thread, then N) and
# the figure is the median of the pairs' ratios, with their range.  Check
# that the machine is otherwise idle (uptime) before trusting the times;
# the CPU time (user + system, summed over threads) shows what the threads
# cost under any load.
#
#   bench/render_threads.sh [BIN_DIR] [THREADS] [PAIRS]   (default build/default/bin, 2, 5)
set -euo pipefail
bin=${1:-build/default/bin}
threads=${2:-2}
pairs=${3:-5}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

wall() {  # wall and CPU seconds for one run of rainbow_render with the given arguments
  { /usr/bin/time -f '%e %U %S' "$bin/rainbow_render" "$@" --out "$out/r.png" >/dev/null; } 2>&1 |
    awk '{ printf "%s %.2f", $1, $2 + $3 }'
}

peak() {  # peak resident memory in MiB
  { /usr/bin/time -f %M "$bin/rainbow_render" "$@" --out "$out/r.png" >/dev/null; } 2>&1 |
    awk '{ printf "%.0f", $1 / 1024 }'
}

echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
for case in "640x480 40000000" "3840x2160 100000000"; do
  set -- $case
  for _ in $(seq "$pairs"); do
    one=$(wall --size "$1" --steps "$2" --threads 1)
    many=$(wall --size "$1" --steps "$2" --threads "$threads")
    echo "$one $many"
  done | awk '{ printf "%.4f %s %s %s %s\n", $3 / $1, $1, $3, $2, $4 }' | sort -n |
    awk -v size="$1" -v steps="$2" -v n="$threads" '
      NR == 1 { al = ah = $2; bl = bh = $3; cl = ch = $4; dl = dh = $5 }
      { r[NR] = $1; if ($2 < al) al = $2; if ($2 > ah) ah = $2; if ($3 < bl) bl = $3; if ($3 > bh) bh = $3
        if ($4 < cl) cl = $4; if ($4 > ch) ch = $4; if ($5 < dl) dl = $5; if ($5 > dh) dh = $5 }
      END {
        printf "%s, %d steps: 1 thread %s-%s s, %d threads %s-%s s\n", size, steps, al, ah, n, bl, bh
        printf "  time ratio %.3f (median of %d pairs; %.3f-%.3f)\n", r[int((NR + 1) / 2)], NR,
          r[1], r[NR]
        printf "  CPU time: 1 thread %s-%s s, %d threads %s-%s s\n", cl, ch, n, dl, dh
      }'
done
png=$(wall --size 3840x2160 --steps 0 --threads 1 | cut -d' ' -f1)
echo "3840x2160 with no steps (window, first paint and PNG): $png s"
for n in 1 "$threads"; do
  echo "8192x8192, 10000000 steps, $n thread(s): peak $(peak --size 8192x8192 --steps 10000000 --threads "$n") MiB"
done
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
