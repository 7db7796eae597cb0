#!/usr/bin/env bash
# How long a program's window takes to show 99% of the finished bows, on an
# X display with no GPU (its own Xvfb unless DISPLAY is set).
#
#   bench/time_to_bows.sh PROGRAM WIDTH HEIGHT [RENDER]     (INTERVAL=seconds)
#
# Timed from the start, or for another size than the first 640 x 480 from
# the resize (which wipes the window and starts the picture again); the
# window is dumped with xwd (x11-apps) every INTERVAL seconds (default 0.05,
# 0.25 when large: each dump makes the X server copy the whole window, which
# takes the machine from the program too).  "Finished" is what rainbow_render draws at that
# size with 200 M steps; each dump's lit pixels are counted against it
# afterwards, so counting costs the program nothing.
#
# The time is where the line between the last dump under 99% and the first
# at or over it crosses 99%, each dump taken at the time it ended (the first
# dump's own time when it is already over).  The lit count grows ever more
# slowly, so that line lies under the true count and the figure errs late,
# never early.
set -euo pipefail
source "$(dirname "$0")/../tests/e2e/lib.sh"
e2e_init time_to_bows

prog=${1:?usage: time_to_bows.sh PROGRAM WIDTH HEIGHT [RENDER]}
width=${2:?} height=${3:?}
render=${4:-$(dirname "$prog")/rainbow_render}
need_tools xdotool xwd convert
ensure_display 2000x1300

"$render" --size "${width}x${height}" --steps 200000000 --out "$work/final.png" >/dev/null
lit() { convert "$1" -fill white +opaque black -fill black -opaque black -format '%[fx:mean*w*h]' info:; }
final=$(lit "$work/final.png")

start=$(date +%s%N)
start_program "$prog" "$(dirname "$prog")"
find_window_now 'draw simulated rainbow' || fail "no window"
xdotool windowmove "$window" 0 0
if [ "$width" -ne 640 ] || [ "$height" -ne 480 ]; then
  xdotool windowsize "$window" "$width" "$height"
  start=$(date +%s%N)
fi
interval=${INTERVAL:-0.25}
[ -z "${INTERVAL:-}" ] && [ $((width * height)) -le 1000000 ] && interval=0.05
for i in $(seq -w 0 399); do
  xwd -id "$window" -silent >"$work/dump$i.xwd" 2>/dev/null || break
  echo "$(($(date +%s%N) - start))" >"$work/dump$i.ns"
  [ "$(awk -v i="$i" -v t="$interval" 'BEGIN { print (i * t >= 8) }')" = 1 ] && break
  sleep "$interval"
done
kill "$program_pid"
prev_n= prev_ns=
for dump in "$work"/dump*.xwd; do
  n=$(lit "xwd:$dump")
  ns=$(cat "${dump%.xwd}.ns")
  if awk -v n="$n" -v f="$final" 'BEGIN { exit !(n >= 0.99 * f) }'; then
    awk -v ns="$ns" -v n="$n" -v pn="$prev_n" -v pns="$prev_ns" -v f="$final" -v w="$width" \
      -v h="$height" -v p="$(basename "$prog")" 'BEGIN {
        t = ns; before = ""
        if (pns != "" && n > pn) {
          t = pns + (ns - pns) * (0.99 * f - pn) / (n - pn)
          before = sprintf("%.2f s: %d, ", pns / 1e9, pn)
        }
        printf "%s %dx%d: 99%% of the bows after %.2f s (dumps at %s%.2f s: %d of %d pixels)\n",
          p, w, h, t / 1e9, before, ns / 1e9, n, f }'
    exit 0
  fi
  prev_n=$n prev_ns=$ns
done
echo "$(basename "$prog") ${width}x${height}: under 99% after 8 s ($n of $final pixels)"
