#!/usr/bin/env bash
# End-to-end test of rainbow_threaded under X: the bows appear, Escape leaves
# the program running, Alt+F4 ends it with exit code 0.
#
#   threaded_e2e.sh path/to/rainbow_threaded
set -uo pipefail
source "$(dirname "$0")/lib.sh"
e2e_init threaded_e2e

program=${1:?usage: threaded_e2e.sh path/to/rainbow_threaded}
title="draw simulated rainbow"

need_tools xdotool import convert
[ -x "$program" ] || fail "no program at $program"
ensure_display

start_program "$program" "$work"
find_window "$title" || fail "no visible window titled \"$title\""
# Until the worker has drawn enough, however slowly the machine lets it.
bows_shown() {
  import -window "$window" "$work/shot.png" || return 1
  red=$(count_colour "$work/shot.png" "#AA0000")
  green=$(count_colour "$work/shot.png" "#00AA00")
  [ "$red" -ge 100 ] && [ "$green" -ge 100 ]
}
red=0 green=0
within 150 bows_shown || fail "too few bow pixels (red $red, green $green)"
echo "bow pixels: red $red, green $green"

xdotool windowfocus --sync "$window"
xdotool key Escape
sleep 0.5
running || fail "Escape ended the program"

xdotool key alt+F4
wait_exit 150 || fail "still running 15 s after Alt+F4"
[ "$status" -eq 0 ] || fail "exit code $status after Alt+F4"
echo "threaded_e2e: PASS"
