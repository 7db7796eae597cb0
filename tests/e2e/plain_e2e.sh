#!/usr/bin/env bash
# End-to-end: rainbow_plain on an X display (its own Xvfb when DISPLAY is
# unset).  Finds the window by title, checks the bows after a second, that a
# key other than Escape changes nothing, and that Escape ends the program
# with exit code 0.
#
#   plain_e2e.sh RAINBOW_PLAIN RAINBOW_CHECK_BOWS
#
# Exit 0 passed, 1 failed, 77 skipped (a tool is missing).
set -uo pipefail

prog=${1:?usage: plain_e2e.sh RAINBOW_PLAIN RAINBOW_CHECK_BOWS}
check=${2:?usage: plain_e2e.sh RAINBOW_PLAIN RAINBOW_CHECK_BOWS}
title='draw simulated rainbow'

skip() {
  echo "SKIPPED: $*"
  exit 77
}
fail() {
  echo "FAILED: $*"
  for log in "$work"/*.log; do
    [ -s "$log" ] && { echo "---- $(basename "$log")"; tail -n 20 "$log"; }
  done
  exit 1
}

for tool in xdotool import; do
  command -v "$tool" >/dev/null || skip "$tool is not installed"
done

work=$(mktemp -d)
xvfb_pid=""
prog_pid=""
cleanup() {
  [ -n "$prog_pid" ] && kill "$prog_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# Polls a command for up to $1 tenths of a second.
within() {
  local tenths=$1
  shift
  for ((i = 0; i < tenths; i++)); do
    "$@" && return 0
    sleep 0.1
  done
  return 1
}

if [ -z "${DISPLAY:-}" ]; then
  command -v Xvfb >/dev/null || skip "Xvfb is not installed and DISPLAY is unset"
  # Xvfb picks a free display itself and writes its number to fd 3.
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
  xvfb_pid=$!
  within 100 test -s "$work/display" || fail "Xvfb did not start"
  export DISPLAY=":$(head -n 1 "$work/display")"
  within 50 xdotool getdisplaygeometry >/dev/null 2>&1 || fail "display $DISPLAY does not answer"
fi
echo "display $DISPLAY"

(cd "$work" && SDL_VIDEODRIVER=x11 exec "$prog") >"$work/program.log" 2>&1 &
prog_pid=$!

find_window() {
  window=$(xdotool search --name "^${title}\$" 2>/dev/null | head -n 1)
  [ -n "$window" ]
}
within 100 find_window || fail "no window titled '$title'"
echo "window $window"

sleep 1
import -window "$window" "png:$work/first.png" || fail "cannot capture the window"
"$check" --size 640x480 "$work/first.png" || fail "the first picture"

xdotool windowfocus "$window" 2>/dev/null
sleep 0.2
xdotool key a
sleep 0.5
kill -0 "$prog_pid" 2>/dev/null || fail "the program ended after the key 'a'"
import -window "$window" "png:$work/second.png" || fail "cannot capture the window again"
"$check" --size 640x480 "$work/second.png" --earlier "$work/first.png" || fail "after the key 'a'"

xdotool key Escape
within 20 eval '! kill -0 "$prog_pid" 2>/dev/null' || fail "Escape did not end the program within 2 s"
wait "$prog_pid"
code=$?
prog_pid=""
[ "$code" -eq 0 ] || fail "exit code $code after Escape"
echo "ok: Escape ended the program with exit code 0"
