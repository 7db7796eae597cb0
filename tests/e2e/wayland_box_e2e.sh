#!/usr/bin/env bash
# End-to-end on Wayland: rainbow_photo's "CreateFile" box (no wfall.jpg) is
# a zenity the program started, and it goes with the program.
#  - The program killed by SIGTERM, SIGINT or SIGKILL while the box is up:
#    within 2 s its zenity has ended too.
#  - A box answered (a stand-in zenity: OK, Escape) lets the program go on
#    with nothing on stderr; a zenity that fails, or none on PATH, leaves
#    the text on stderr, and the program goes on.
# Weston runs inside an X display: its headless backend has no seat, and
# SDL 2.26's Wayland driver crashes without one.
#
#   wayland_box_e2e.sh RAINBOW_PHOTO
set -uo pipefail
source "$(dirname "$0")/lib.sh"
e2e_init wayland_box_e2e

prog=$(realpath "${1:?usage: wayland_box_e2e.sh RAINBOW_PHOTO}")
no_file=$'CreateFile: CreateFile: The system cannot find the file specified.\r'

need_tools weston zenity env
ensure_display
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR" "$work/photo" "$work/fake" "$work/empty"
weston --backend=x11-backend.so --use-pixman --socket=wayland-e2e --idle-time=0 \
  >"$work/weston.log" 2>&1 &
weston_pid=$!
box=""
# shellcheck disable=SC2086  # $box may be empty
trap 'kill $box $weston_pid 2>/dev/null; e2e_cleanup' EXIT
within 100 test -S "$XDG_RUNTIME_DIR/wayland-e2e" || fail "weston did not start"

# With PATH=$1, and no X display for the program or its zenity.  Not by
# start_program: a background job of a script ignores SIGINT.
start_photo() {
  (cd "$work/photo" && exec env -u DISPLAY --default-signal=INT PATH="$1" \
    WAYLAND_DISPLAY=wayland-e2e SDL_VIDEODRIVER=wayland "$prog") >"$work/program.log" 2>&1 &
  program_pid=$!
}

# The program's zenity; sets $box.
find_box() {
  local pid
  # shellcheck disable=SC2013  # process ids, one word each
  for pid in $(cat /proc/"$program_pid"/task/*/children 2>/dev/null); do
    [ "$(cat /proc/"$pid"/comm 2>/dev/null)" = zenity ] && box=$pid && return 0
  done
  return 1
}

# Ended: no such process, or one dead and waiting for init to reap it.
box_gone() {
  local state
  state=$(sed 's/.*) //' /proc/"$box"/stat 2>/dev/null | cut -d' ' -f1)
  [ -z "$state" ] || [ "$state" = Z ]
}

for signal in TERM INT KILL; do
  start_photo "$PATH"
  within 100 find_box || fail "SIG$signal: the program started no zenity"
  sleep 0.5 # long enough for a zenity that cannot reach the display to end
  box_gone && fail "SIG$signal: zenity ended before the program was killed"
  kill -s "$signal" "$program_pid"
  wait_exit 20 || fail "SIG$signal: the program still runs 2 s later"
  within 20 box_gone || fail "SIG$signal: zenity $box still runs 2 s after the program ended"
  echo "ok: SIG$signal: the box's zenity went with the program"
  box=""
done

cat >"$work/fake/zenity" <<EOF
#!/bin/sh
printf '%s\n' "\$@" >"$work/args"
exit "\$ZENITY_STAND_IN_STATUS"
EOF
chmod +x "$work/fake/zenity"
# What is on PATH, the stand-in's exit status, and whether the text must
# reach stderr.
while read -r what path status on_stderr; do
  rm -f "$work/args"
  ZENITY_STAND_IN_STATUS=$status start_photo "$path"
  within 100 grep -q '^LoadImage: ' "$work/program.log" || fail "$what: the program did not go on"
  kill "$program_pid"
  wait_exit 20 || fail "$what: the program still runs 2 s after SIGTERM"
  if grep -qxF "$no_file" "$work/program.log"; then shown=yes; else shown=no; fi
  [ "$shown" = "$on_stderr" ] || fail "$what: box text on stderr: $shown, expected $on_stderr"
  if [ "$path" != "$work/empty" ]; then
    for arg in --no-markup --title=CreateFile "--text=${no_file#CreateFile: }"; do
      grep -qxF -- "${arg%$'\r'}" "$work/args" || fail "$what: zenity was not given $arg"
    done
  fi
  echo "ok: $what: the program went on; box text on stderr: $shown"
done <<EOF
OK $work/fake 0 no
Escape $work/fake 1 no
zenity-error $work/fake 255 yes
no-zenity $work/empty 0 yes
EOF
echo "wayland_box_e2e: PASS"
