#!/usr/bin/env bash
# End-to-end test of rainbow_threaded under X: the bows appear, Escape leaves
# the program running, Alt+F4 ends it with exit code 0 within a second.
#
#   threaded_e2e.sh path/to/rainbow_threaded
#
# Uses $DISPLAY if set; otherwise starts Xvfb on a free display and stops it
# afterwards.  Needs xdotool and ImageMagick (import, convert).
set -euo pipefail

program=${1:?usage: threaded_e2e.sh path/to/rainbow_threaded}
title="draw simulated rainbow"
work=$(mktemp -d)
xvfb_pid=""
program_pid=""

cleanup() {
  if [ -n "$program_pid" ] && kill -0 "$program_pid" 2>/dev/null; then kill "$program_pid"; fi
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "threaded_e2e: FAIL: $*" >&2
  if [ -s "$work/program.log" ]; then
    echo "--- program output" >&2
    cat "$work/program.log" >&2
  fi
  exit 1
}

start_xvfb() {
  local n
  for n in $(seq 90 199); do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
    xvfb_pid=$!
    export DISPLAY=":$n"
    local i
    for i in $(seq 1 50); do
      if xdpyinfo >/dev/null 2>&1; then return 0; fi
      kill -0 "$xvfb_pid" 2>/dev/null || break  # display taken meanwhile: try the next
      sleep 0.1
    done
    kill "$xvfb_pid" 2>/dev/null || true
    xvfb_pid=""
  done
  fail "cannot start Xvfb"
}

# Pixels of one exact colour (#RRGGBB) in a screenshot.
count_colour() {
  convert "$1" -format %c histogram:info:- |
    awk -v c=" $2 " 'index($0, c) { sub(":", "", $1); n += $1 } END { print n + 0 }'
}

running() {
  kill -0 "$program_pid" 2>/dev/null
}

[ -x "$program" ] || fail "no program at $program"
if [ -z "${DISPLAY:-}" ]; then start_xvfb; fi
unset SDL_VIDEODRIVER  # a real X window, even under a headless test environment

"$program" >"$work/program.log" 2>&1 &
program_pid=$!

window=$(timeout 10 xdotool search --sync --onlyvisible --name "^$title\$" | head -n 1) ||
  fail "no visible window titled \"$title\""
sleep 1  # the worker draws meanwhile

import -window "$window" "$work/shot.png" || fail "cannot take a screenshot"
red=$(count_colour "$work/shot.png" "#AA0000")
green=$(count_colour "$work/shot.png" "#00AA00")
echo "bow pixels after 1 s: red $red, green $green"
[ "$red" -ge 100 ] && [ "$green" -ge 100 ] || fail "too few bow pixels (red $red, green $green)"

xdotool windowfocus --sync "$window"
xdotool key Escape
sleep 0.5
running || fail "Escape ended the program"

xdotool key alt+F4
for _ in $(seq 1 20); do
  running || break
  sleep 0.05
done
running && fail "still running 1 s after Alt+F4"
status=0
wait "$program_pid" || status=$?
program_pid=""
[ "$status" -eq 0 ] || fail "exit code $status after Alt+F4"
echo "threaded_e2e: PASS"
