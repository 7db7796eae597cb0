#!/usr/bin/env bash
# End-to-end on Wine: the 64-bit Windows programs, as unpacked from their zip,
# on an Xvfb of our own (no window manager: a Wine window is then its client
# area alone) in a fresh Wine prefix.
#  - rainbow_plain draws exactly the picture rainbow_render draws on Linux
#    after some number of steps, and rainbow_threaded the same but for a few
#    pixels (tests/wine/match_render.py);
#  - rainbow_bitmap and rainbow_photo show their picture behind the bows;
#  - without its picture rainbow_bitmap sends a "LoadImage: " debug line, and
#    rainbow_photo first shows a box captioned "CreateFile" (Return closes
#    it), then sends that line;
#  - Escape ends plain, bitmap and photo with exit code 0; the close box ends
#    the threaded one with 0.
#
#   wine_e2e.sh DIR RAINBOW_RENDER [X_CLOSE]
#     DIR: the .exe files with wfall.bmp and wfall.jpg (the unpacked zip)
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../e2e/lib.sh"
e2e_init wine_e2e

dir=$(realpath "${1:?usage: wine_e2e.sh DIR RAINBOW_RENDER [X_CLOSE]}")
render=$(realpath "${2:?usage: wine_e2e.sh DIR RAINBOW_RENDER [X_CLOSE]}")
x_close=${3:-}
title='draw simulated rainbow'
palette='#AA0000 #FFA500 #FFFF55 #00AA00 #0000AA #AA00AA'  # the six colours of the bows

need_tools wine wineboot wineserver xdotool import convert compare xwininfo python3

export WINEPREFIX=$work/prefix WINEARCH=win64 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="  # no Mono or Gecko install prompts
wine_cleanup() {
  wineserver -k 2>/dev/null  # this prefix's server and programs only
  e2e_cleanup
}
trap wine_cleanup EXIT

# Our own display even under a desktop: its window manager would add frames.
unset DISPLAY WAYLAND_DISPLAY
ensure_display 1280x1024
started=$SECONDS
wineboot --init >"$work/wineboot.log" 2>&1 || fail "wineboot --init failed"
echo "ok: Wine prefix made in $((SECONDS - started)) s"

# Starts DIR/$1 (a copy of it alone in an empty folder with $2 = alone)
# under Wine, output in $work/program.log.
start_exe() {
  local from=$dir
  if [ "${2:-}" = alone ]; then
    from=$work/alone
    rm -rf "$from" && mkdir "$from" && cp "$dir/$1" "$from/"  # Wine also looks beside the .exe
  fi
  rm -f "$work/program.log"  # the last program's, until the new one has started
  (cd "$from" && exec wine "./$1") >"$work/program.log" 2>&1 &
  program_pid=$!
}

capture_accepted() { import -window "$window" "png:$work/$1.png" && "$2" "$work/$1.png"; }

# Finds the window, moves it to 0,0, and captures its client as $work/$1.png
# until the command $2 (given the capture) accepts it, however slowly the
# machine lets the program draw; the checks that follow say what is wrong.
capture() {
  find_window "$title" 20 || fail "$1: no window titled '$title'"
  xdotool windowmove --sync "$window" 0 0 2>/dev/null
  within 100 capture_accepted "$1" "$2"
  [ -s "$work/$1.png" ] || fail "$1: cannot capture the window"
  local size
  size=$(xwininfo -id "$window" | awk '/Width:/ { w = $2 } /Height:/ { h = $2 } END { print w "x" h }')
  [ "$(identify -format %wx%h "$work/$1.png")" = "$size" ] || fail "$1: capture is not the $size client"
}

ends_with() {
  case $1 in
    Escape)
      xdotool windowfocus --sync "$window" 2>/dev/null
      xdotool key Escape
      ;;
    close)
      if [ -n "$x_close" ]; then "$x_close" "$window"; else xdotool windowfocus "$window" key alt+F4; fi
      ;;
  esac
  wait_exit 100 || fail "$2: still running 10 s after $1"
  [ "$status" -eq 0 ] || fail "$2: exit code $status after $1"
}

# Pixels in the six colours of the bows.
bow_pixels() {
  convert "$1" -format %c histogram:info:- |
    awk -v p="$palette" 'BEGIN { n = split(p, c, " "); for (i = 1; i <= n; i++) want[c[i]] = 1 }
      { for (i = 1; i <= NF; i++) if ($i in want) { sub(":", "", $1); total += $1 } }
      END { print total + 0 }'
}

# How far apart two pictures look at thumbnail size (0 same, 1 opposite).
distance() {
  convert "$1" -resize '32x24!' "$work/a.ppm" && convert $2 -resize '32x24!' "$work/b.ppm" &&
    compare -metric RMSE "$work/a.ppm" "$work/b.ppm" null: 2>&1 | sed 's/.*(\(.*\))/\1/'
}

# Enough of the bows to compare with rainbow_render (as match_render.py wants).
has_bows() { [ "$(bow_pixels "$1")" -ge 500 ]; }

# $picture right way up behind 500 pixels of the bows; sets near, far, bows.
shows_picture() {
  near=$(distance "$1" "$picture")
  far=$(distance "$1" "$picture -flip")
  local size
  size=$(identify -format %wx%h "$1")
  convert "$picture" -sample "$size!" "$work/picture.png"
  bows=$(($(bow_pixels "$1") - $(bow_pixels "$work/picture.png")))
  awk -v n="$near" -v f="$far" 'BEGIN { exit !(n < 0.05 && f > 2 * n) }' && [ "$bows" -ge 500 ]
}

for program in rainbow_plain rainbow_threaded; do
  started=$SECONDS
  start_exe "$program.exe"
  capture "$program" has_bows
  if [ "$program" = rainbow_plain ]; then
    python3 "$here/match_render.py" --exact "$render" "$work/$program.png" || fail "$program: the picture"
    ends_with Escape "$program"
  else
    python3 "$here/match_render.py" "$render" "$work/$program.png" || fail "$program: the picture"
    xdotool windowfocus --sync "$window" 2>/dev/null
    xdotool key Escape
    sleep 0.5
    running || fail "$program: Escape ended it"
    ends_with close "$program"
  fi
  echo "ok: $program: the Linux picture; ended with 0 ($((SECONDS - started)) s)"
done

for program in rainbow_bitmap rainbow_photo; do
  started=$SECONDS
  picture=$dir/wfall.bmp
  [ "$program" = rainbow_photo ] && picture=$dir/wfall.jpg
  start_exe "$program.exe"
  capture "$program" shows_picture
  shows_picture "$work/$program.png"
  awk -v n="$near" -v f="$far" 'BEGIN { exit !(n < 0.05 && f > 2 * n) }' ||
    fail "$program: the capture is $near from $(basename "$picture") (upside down: $far)"
  [ "$bows" -ge 500 ] || fail "$program: only $bows pixels of the bows over the picture"
  grep -q 'LoadImage' "$work/program.log" && fail "$program: did not load its picture"
  ends_with Escape "$program"
  echo "ok: $program: $(basename "$picture") behind $bows bow pixels (distance $near); ended with 0 ($((SECONDS - started)) s)"
done

# Without the pictures.  +debugstr prints what OutputDebugStringA sends.
export WINEDEBUG=-all,+debugstr
started=$SECONDS
start_exe rainbow_bitmap.exe alone
find_window "$title" 20 || fail "rainbow_bitmap alone: no window"
within 100 grep -q 'OutputDebugStringA "LoadImage: ' "$work/program.log" ||
  fail "rainbow_bitmap alone: no LoadImage line"
ends_with Escape "rainbow_bitmap alone"
echo "ok: rainbow_bitmap alone: $(grep -o '"LoadImage: [^"]*"' "$work/program.log"); ended with 0 ($((SECONDS - started)) s)"

started=$SECONDS
start_exe rainbow_photo.exe alone
box=$(timeout 20 xdotool search --sync --onlyvisible --name '^CreateFile$' 2>/dev/null | head -n 1)
[ -n "$box" ] || fail "rainbow_photo alone: no box captioned CreateFile"
xdotool search --onlyvisible --name "^$title\$" >/dev/null && fail "rainbow_photo alone: window shown before the box"
xdotool windowfocus --sync "$box" 2>/dev/null
xdotool key Return
find_window "$title" 20 || fail "rainbow_photo alone: no window after the box"
within 100 grep -q 'OutputDebugStringA "LoadImage: ' "$work/program.log" ||
  fail "rainbow_photo alone: no LoadImage line"
ends_with Escape "rainbow_photo alone"
echo "ok: rainbow_photo alone: the CreateFile box, then $(grep -o '"LoadImage: [^"]*"' "$work/program.log"); ended with 0 ($((SECONDS - started)) s)"
echo "wine_e2e: PASS"
