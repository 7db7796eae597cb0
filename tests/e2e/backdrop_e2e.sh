#!/usr/bin/env bash
# End-to-end: rainbow_bitmap or rainbow_photo on an X display (its own Xvfb
# when DISPLAY is unset).  With its picture: the sky above the bows shows the
# picture stretched over the client by the COLORONCOLOR rule, also after a
# resize, the bows appear, and Escape ends it with 0.  Without: rainbow_photo
# first shows a box captioned "CreateFile" while its window stays unmapped;
# then (both programs) exactly one "LoadImage: " line and the bows on black.
#
#   backdrop_e2e.sh PROGRAM RAINBOW_STRETCH_REF   (the picture lies beside PROGRAM)
set -uo pipefail
source "$(dirname "$0")/lib.sh"
prog=${1:?usage: backdrop_e2e.sh PROGRAM RAINBOW_STRETCH_REF}
ref=${2:?usage: backdrop_e2e.sh PROGRAM RAINBOW_STRETCH_REF}
e2e_init "$(basename "$prog")_e2e"
case $(basename "$prog") in
  rainbow_photo) picture=wfall.jpg ;;
  *) picture=wfall.bmp ;;
esac
title='draw simulated rainbow'
no_file=$'LoadImage: The system cannot find the file specified.\r'

need_tools xdotool import compare convert xwininfo
ensure_display
mkdir "$work/with" "$work/without"
cp "$(dirname "$prog")/$picture" "$work/with/" || fail "no $picture beside $prog"

# Captures the window, moved to 0,0, as $work/shot.png of client size $1.
shoot() {
  find_window "$title" 2 && xdotool windowmove "$window" 0 0 &&
    import -window "$window" "png:$work/shot.png" 2>/dev/null &&
    [ "$(identify -format %wx%h "$work/shot.png")" = "$1" ]
}

# Pixels of the capture that differ from $2 in the top $3 rows (0: all).
differing() {
  local w=${1%x*} h=${1#*x} rows=$3
  [ "$rows" -gt 0 ] || rows=$h
  compare -metric AE "$work/shot.png[${w}x$rows+0+0]" "$2[${w}x$rows+0+0]" null: 2>&1
}

# The sky (above every bow: a quarter of the height) is the stretched
# picture, and bows lie over the rest.
shows_picture() {
  local w=${1%x*} h=${1#*x}
  [ -s "$work/$1.ppm" ] || "$ref" "$work/with/$picture" "$w" "$h" "$work/$1.ppm" || fail "no reference"
  shoot "$1" && [ "$(differing "$1" "$work/$1.ppm" $((h / 4 - 1)))" = 0 ] &&
    [ "$(differing "$1" "$work/$1.ppm" 0)" -gt 100 ]
}

# Bows on black: a black sky, bows below it.
shows_black() {
  local h=${1#*x}
  convert -size "$1" xc:black "$work/black.ppm"
  shoot "$1" && [ "$(differing "$1" "$work/black.ppm" $((h / 4 - 1)))" = 0 ] &&
    [ "$(differing "$1" "$work/black.ppm" 0)" -gt 100 ]
}

# SDL's box: xdotool cannot read its title, xwininfo can.  Sets $box.
box_shown() {
  box=$(xwininfo -root -tree | awk '/ "CreateFile": / { print $1 }')
  [ -n "$box" ]
}

escape_ends() {
  xdotool windowfocus "$window" 2>/dev/null
  xdotool key Escape
  wait_exit 150 || fail "Escape did not end the program within 15 s"
  [ "$status" -eq 0 ] || fail "exit code $status after Escape"
}

start_program "$prog" "$work/with"
within 100 shows_picture 640x480 || fail "the picture is not stretched under the bows"
xdotool windowsize "$window" 500 300
within 100 shows_picture 500x300 || fail "the picture is not stretched again after a resize"
escape_ends
echo "ok: with $picture"

start_program "$prog" "$work/without"
if [ "$picture" = wfall.jpg ]; then
  within 100 box_shown || fail "no box captioned CreateFile"
  xdotool search --onlyvisible --name "^$title\$" >/dev/null && fail "the window is shown before the box"
  grep -q LoadImage "$work/program.log" && fail "a LoadImage line before the box"
  xdotool key --window "$box" Return
fi
within 100 shows_black 640x480 || fail "no bows on black"
[ "$(grep -c '^LoadImage: ' "$work/program.log")" = 1 ] || fail "not exactly one LoadImage line"
grep -qxF "$no_file" "$work/program.log" || fail "the LoadImage line"
escape_ends
echo "ok: without $picture"
