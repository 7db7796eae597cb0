#!/usr/bin/env bash
# End-to-end on Wayland: rainbow_photo's "CreateFile" box (no wfall.jpg) is
# a zenity that goes with the program.
#  - The program killed by SIGTERM, SIGINT or SIGKILL while the box is up:
#    its zenity ends too (the waits are ceilings for a busy machine: a
#    zenity left behind would stay for ever).
#  - A box answered OK (by a stand-in zenity, which also keeps what it was
#    given) lets the program go on quietly; with no zenity the text goes to
#    stderr, and the program goes on.
# Weston runs inside the X display: its headless backend has no seat, and
# SDL 2.26's Wayland driver crashes without one.
#
#   wayland_box_e2e.sh RAINBOW_PHOTO
set -uo pipefail
source "$(dirname "$0")/lib.sh"
e2e_init wayland_box_e2e

prog=$(realpath "${1:?usage: wayland_box_e2e.sh RAINBOW_PHOTO}")
text='CreateFile: The system cannot find the file specified.'

need_tools weston zenity env
ensure_display
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR" "$work/photo" "$work/fake" "$work/none"
weston --backend=x11-backend.so --use-pixman --socket=wayland-e2e --idle-time=0 \
  >"$work/weston.log" 2>&1 &
weston_pid=$!
box=""
# shellcheck disable=SC2086  # $box may be empty
trap 'kill $box $weston_pid 2>/dev/null; e2e_cleanup' EXIT
within 100 test -S "$XDG_RUNTIME_DIR/wayland-e2e" || fail "weston did not start"

# With PATH=$1 and no X display.  Not by start_program: a background job of
# a script ignores SIGINT, and the program would inherit that.
start_photo() {
  rm -f "$work/program.log"  # the last program's, until the new one has started
  (cd "$work/photo" && exec env -u DISPLAY --default-signal=INT PATH="$1" \
    WAYLAND_DISPLAY=wayland-e2e SDL_VIDEODRIVER=wayland "$prog") >"$work/program.log" 2>&1 &
  program_pid=$!
}

# The program's zenity; sets $box.
find_box() {
  # shellcheck disable=SC2013  # process ids, one word each
  for box in $(cat /proc/"$program_pid"/task/*/children 2>/dev/null); do
    [ "$(cat /proc/"$box"/comm 2>/dev/null)" = zenity ] && return 0
  done
  box="" && return 1
}

# Ended: no such process, or a dead one that init has yet to reap.
box_gone() { ! grep -q '^State:\s*[^Z]' /proc/"$box"/status 2>/dev/null; }

for signal in TERM INT KILL; do
  start_photo "$PATH"
  within 100 find_box || fail "SIG$signal: the program started no zenity"
  sleep 0.5 # a zenity that cannot reach the display ends by then
  box_gone && fail "SIG$signal: zenity ended before the program was killed"
  kill -s "$signal" "$program_pid"
  wait_exit 100 || fail "SIG$signal: the program still runs 10 s later"
  within 100 box_gone || fail "SIG$signal: zenity $box still runs 10 s after the program ended"
  echo "ok: SIG$signal: the box's zenity went with the program"
  box=""
done

# A stand-in zenity that answers OK and keeps what it was given; then none.
printf '#!/bin/sh\nprintf "%%s\\n" "$@" >%s/args\n' "$work" >"$work/fake/zenity"
chmod +x "$work/fake/zenity"
for path in "$work/fake" "$work/none"; do
  start_photo "$path"
  within 100 grep -q '^LoadImage: ' "$work/program.log" || fail "$path: the program did not go on"
  if [ "$path" = "$work/fake" ]; then
    grep -q "^CreateFile: $text" "$work/program.log" && fail "the box answered OK is on stderr"
    for arg in --info --no-markup --title=CreateFile "--text=$text"; do
      grep -qxF -- "$arg" "$work/args" || fail "zenity was not given $arg"
    done
  else
    grep -qF "CreateFile: $text" "$work/program.log" || fail "without zenity the text is lost"
  fi
  kill "$program_pid"
  wait_exit 100 || fail "$path: the program still runs 10 s after SIGTERM"
  echo "ok: with PATH=$path the program went on, the box's text on stderr only without zenity"
done
echo "wayland_box_e2e: PASS"
