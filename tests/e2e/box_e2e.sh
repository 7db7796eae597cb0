#!/usr/bin/env bash
# End-to-end: rainbow_photo's "CreateFile" box (no wfall.jpg) goes with its
# program.
#  - The program killed by SIGTERM, SIGINT or SIGKILL while the box is up:
#    soon neither the box nor the program's window is left on the display,
#    and no process the program started lives on.
#  - Under a window manager that never maps a window, the box gives up (on
#    its own clock): its text goes to stderr and the program goes on.
# The waits are ceilings for a busy machine, not timings: what they look for
# would otherwise never come.
#
#   box_e2e.sh RAINBOW_PHOTO X_DEAF_WM
set -uo pipefail
source "$(dirname "$0")/lib.sh"
e2e_init box_e2e

prog=$(realpath "${1:?usage: box_e2e.sh RAINBOW_PHOTO X_DEAF_WM}")
deaf_wm=${2:?usage: box_e2e.sh RAINBOW_PHOTO X_DEAF_WM}
# Caption and text, as MessageBoxA writes them when no box can be shown.
no_file=$'CreateFile: CreateFile: The system cannot find the file specified.\r'

need_tools xwininfo env
ensure_display
children=""
deaf_pid=""
# shellcheck disable=SC2086  # lists of process ids
trap 'kill $children $deaf_pid 2>/dev/null; e2e_cleanup' EXIT

# Started here rather than by start_program: a background job of a script
# ignores SIGINT, and the program would inherit that.
start_photo() {
  rm -f "$work/program.log"  # the last program's, until the new one has started
  (cd "$work" && exec env --default-signal=INT "$prog") >"$work/program.log" 2>&1 &
  program_pid=$!
}

box_shown() {
  xwininfo -root -tree | grep -q ' "CreateFile": '
}

program_windows() {
  xwininfo -root -tree | grep -cE ' "(CreateFile|draw simulated rainbow)": '
}

all_gone() {
  [ "$(program_windows)" -eq 0 ] || return 1
  local pid
  for pid in $children; do kill -0 "$pid" 2>/dev/null && return 1; done
  return 0
}

for signal in TERM INT KILL; do
  start_photo
  within 100 box_shown || fail "SIG$signal: no box captioned CreateFile"
  children=$(cat /proc/"$program_pid"/task/*/children 2>/dev/null)
  kill -s "$signal" "$program_pid"
  wait_exit 100 || fail "SIG$signal: the program still runs 10 s later"
  within 100 all_gone ||
    fail "SIG$signal: left $(program_windows) windows and processes '$children' behind"
  echo "ok: SIG$signal: the box, the window and their processes went with the program"
done

"$deaf_wm" >"$work/deaf_wm.log" 2>&1 &
deaf_pid=$!
within 50 grep -q ready "$work/deaf_wm.log" || fail "the deaf window manager did not start"
started=$(date +%s%N)
start_photo
within 200 grep -qxF "$no_file" "$work/program.log" || fail "no box text on stderr within 20 s"
elapsed_ms=$((($(date +%s%N) - started) / 1000000))
within 50 grep -q '^LoadImage: ' "$work/program.log" || fail "the program did not go on"
running || fail "the program ended"
kill "$program_pid" "$deaf_pid"
echo "ok: a box no window manager shows gave up after $elapsed_ms ms and the program went on"
echo "box_e2e: PASS"
