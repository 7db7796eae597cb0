#!/usr/bin/env bash
# End-to-end: rainbow_plain on an X display (its own Xvfb when DISPLAY is
# unset).  Finds the window by title, checks that it carries the program's
# 32 x 32 icon, that the bows appear, that a key other than Escape changes
# nothing, and that Escape ends the program with exit code 0.
#
#   plain_e2e.sh RAINBOW_PLAIN RAINBOW_CHECK_BOWS
set -uo pipefail
source "$(dirname "$0")/lib.sh"
e2e_init plain_e2e

prog=${1:?usage: plain_e2e.sh RAINBOW_PLAIN RAINBOW_CHECK_BOWS}
check=${2:?usage: plain_e2e.sh RAINBOW_PLAIN RAINBOW_CHECK_BOWS}
title='draw simulated rainbow'

need_tools xdotool import xprop
ensure_display
echo "display $DISPLAY"

start_program "$prog" "$work"
find_window "$title" || fail "no window titled '$title'"
echo "window $window"
xprop -id "$window" _NET_WM_ICON | grep -q "Icon (32 x 32)" || fail "the window has no 32 x 32 icon"

# Until both bows show, however slowly the machine lets the program draw.
bows_shown() {
  import -window "$window" "png:$work/first.png" && "$check" --size 640x480 "$work/first.png"
}
within 150 bows_shown >/dev/null 2>&1
"$check" --size 640x480 "$work/first.png" || fail "the first picture"

xdotool windowfocus --sync "$window" 2>/dev/null
xdotool key a
sleep 0.5
running || fail "the program ended after the key 'a'"
import -window "$window" "png:$work/second.png" || fail "cannot capture the window again"
"$check" --size 640x480 "$work/second.png" --earlier "$work/first.png" || fail "after the key 'a'"

xdotool key Escape
wait_exit 150 || fail "Escape did not end the program within 15 s"
[ "$status" -eq 0 ] || fail "exit code $status after Escape"
echo "ok: Escape ended the program with exit code 0"
