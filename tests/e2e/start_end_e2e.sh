#!/usr/bin/env bash
# End-to-end: how a program starts and ends when things go wrong.
#  - no display (DISPLAY unset, empty, or naming no server): one line saying
#    so and exit 1 (the time it took is reported, not judged: a busy machine
#    may take longer);
#  - the close box pressed as soon as the window appears is never lost: 20
#    launches, each ends with exit code 0;
#  - a window destroyed by another program, or a display connection killed,
#    ends the program with a one-line reason and exit 1, never an abort.
#
#   start_end_e2e.sh PROGRAM X_CLOSE
set -uo pipefail
source "$(dirname "$0")/lib.sh"
e2e_init start_end_e2e

prog=${1:?usage: start_end_e2e.sh PROGRAM X_CLOSE}
x_close=${2:?usage: start_end_e2e.sh PROGRAM X_CLOSE}
name=$(basename "$prog")
title='draw simulated rainbow'

need_tools xdotool import convert

# ---- no display
for display in unset "" ":97"; do
  started=$(date +%s%N)
  if [ "$display" = unset ]; then
    (unset DISPLAY WAYLAND_DISPLAY; exec timeout 30 "$prog") >"$work/nodisplay.log" 2>&1
  else
    (unset WAYLAND_DISPLAY; DISPLAY=$display exec timeout 30 "$prog") >"$work/nodisplay.log" 2>&1
  fi
  code=$?
  elapsed_ms=$((($(date +%s%N) - started) / 1000000))
  lines=$(wc -l <"$work/nodisplay.log")
  [ "$code" -eq 1 ] || fail "DISPLAY=$display: exit code $code, not 1"
  [ "$lines" -eq 1 ] || fail "DISPLAY=$display: $lines lines of output, not 1"
  grep -q "^$name: no display" "$work/nodisplay.log" || fail "DISPLAY=$display: $(cat "$work/nodisplay.log")"
  echo "ok: DISPLAY=$display: '$(cat "$work/nodisplay.log")' in $elapsed_ms ms"
done

ensure_display

# ---- the close box, as early as the window can be found
for i in $(seq 1 20); do
  start_program "$prog" "$work"
  find_window "$title" || fail "launch $i: no window"
  "$x_close" "$window" || fail "launch $i: cannot send the close request"
  wait_exit 300 || fail "launch $i: still running 30 s after the close box"
  [ "$status" -eq 0 ] || fail "launch $i: exit code $status after the close box"
done
echo "ok: 20 early closes, each ended with exit code 0"

# ---- the window or the connection taken away

# Some pixel of the window is lit: the program is in its loop.
drawing() {
  import -window "$window" "png:$work/shot.png" 2>/dev/null &&
    [ "$(convert "$work/shot.png" -format '%[fx:maxima.intensity]' info:)" != 0 ]
}
for how in windowclose windowkill; do
  start_program "$prog" "$work"
  find_window "$title" || fail "$how: no window"
  within 300 drawing || fail "$how: nothing drawn"  # well past its start-up
  xdotool "$how" "$window"
  wait_exit 300 || fail "$how: still running 30 s later"
  [ "$status" -eq 1 ] || fail "$how: exit code $status, not 1"
  lines=$(wc -l <"$work/program.log")
  [ "$lines" -eq 1 ] || fail "$how: $lines lines of output, not 1"
  echo "ok: $how: '$(cat "$work/program.log")', exit code 1"
done
echo "start_end_e2e: PASS"
