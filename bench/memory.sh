#!/usr/bin/env bash
# Resident memory of each program with a 1920 x 1080 window on an X display
# with no GPU (its own Xvfb unless DISPLAY is set), after 3 s of drawing.
#
#   bench/memory.sh BIN_DIR
set -euo pipefail
source "$(dirname "$0")/../tests/e2e/lib.sh"
e2e_init memory

bin=${1:?usage: memory.sh BIN_DIR}
need_tools xdotool
ensure_display 2000x1300
for name in rainbow_plain rainbow_threaded rainbow_bitmap rainbow_photo; do
  [ -x "$bin/$name" ] || continue
  start_program "$bin/$name" "$bin"
  find_window 'draw simulated rainbow' || fail "$name: no window"
  xdotool windowmove "$window" 0 0
  xdotool windowsize "$window" 1920 1080
  sleep 3
  rss=$(awk '/^VmRSS/ { print $2 }' "/proc/$program_pid/status")
  peak=$(awk '/^VmHWM/ { print $2 }' "/proc/$program_pid/status")
  echo "$name 1920x1080: resident $((rss / 1024)) MB (peak $((peak / 1024)) MB)"
  kill "$program_pid"
  wait "$program_pid" 2>/dev/null || true
  program_pid=""
done
