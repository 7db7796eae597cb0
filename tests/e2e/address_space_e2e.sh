#!/usr/bin/env bash
# End-to-end: every program, and rainbow_render, at 640 x 480 within
# `ulimit -v 300000` (about 293 MiB of address space): each window shows,
# draws for a second and ends cleanly on its close box, with nothing on
# stderr; rainbow_render writes its picture.
#
#   address_space_e2e.sh BIN_DIR X_CLOSE
set -uo pipefail
source "$(dirname "$0")/lib.sh"
e2e_init address_space_e2e

bin=$(realpath "${1:?usage: address_space_e2e.sh BIN_DIR X_CLOSE}")
x_close=${2:?usage: address_space_e2e.sh BIN_DIR X_CLOSE}
limit=300000
title='draw simulated rainbow'

need_tools xdotool
ensure_display
cp "$bin/wfall.bmp" "$bin/wfall.jpg" "$work/" || fail "no backdrop pictures in $bin"

for name in rainbow_plain rainbow_threaded rainbow_bitmap rainbow_photo; do
  (cd "$work" && ulimit -v "$limit" && exec "$bin/$name") >"$work/program.log" 2>&1 &
  program_pid=$!
  find_window "$title" || fail "$name: no window under ulimit -v $limit"
  sleep 1
  running || fail "$name: ended under ulimit -v $limit"
  "$x_close" "$window" || fail "$name: cannot send the close request"
  wait_exit 50 || fail "$name: still running 5 s after the close box"
  [ "$status" -eq 0 ] || fail "$name: exit code $status"
  [ -s "$work/program.log" ] && fail "$name: wrote to stderr: $(head -n 3 "$work/program.log")"
  echo "ok: $name at 640 x 480 under ulimit -v $limit"
done

(ulimit -v "$limit" && exec "$bin/rainbow_render" --size 640x480 --out "$work/render.png") \
  >"$work/render.log" 2>&1 || fail "rainbow_render: $(cat "$work/render.log")"
[ -s "$work/render.png" ] || fail "rainbow_render wrote no picture"
echo "ok: rainbow_render at 640 x 480 under ulimit -v $limit"
