#!/usr/bin/env bash
# How long after its start a backdrop program shows a 4000 x 3000 picture,
# on an X display with no GPU (its own Xvfb unless DISPLAY is set).
#
#   bench/time_to_backdrop.sh BIN_DIR
#
# The pictures (a noisy gradient, as BMP and as JPEG) are made here with
# ImageMagick and cjpeg; the window is dumped with xwd (x11-apps) every
# 10 ms until the first pixels of its top row, where no bow ever lands, are
# not black.  The dump's header is read once, so each look costs little.
set -euo pipefail
source "$(dirname "$0")/../tests/e2e/lib.sh"
e2e_init time_to_backdrop

bin=$(realpath "${1:?usage: time_to_backdrop.sh BIN_DIR}")
need_tools xdotool xwd convert cjpeg
ensure_display 2000x1300

convert -size 4000x3000 gradient:'#8fb4d8-#2f5a2a' -attenuate 0.4 +noise Gaussian "$work/pic.ppm"
convert "$work/pic.ppm" -type truecolor "BMP3:$work/wfall.bmp"
cjpeg -quality 90 "$work/pic.ppm" >"$work/wfall.jpg"

# An xwd dump: a big-endian header whose first word is its size and whose
# 20th word counts the 12-byte colour entries that follow; then the pixels.
pixels_at() {
  xwd -id "$window" -silent >"$work/dump.xwd" 2>/dev/null || return 1
  local words
  read -r -a words <<<"$(od -An -tu1 -N80 "$work/dump.xwd" | tr '\n' ' ')"
  local header=$(((words[0] << 24) | (words[1] << 16) | (words[2] << 8) | words[3]))
  local colours=$(((words[76] << 24) | (words[77] << 16) | (words[78] << 8) | words[79]))
  offset=$((header + 12 * colours))
}
corner_lit() {
  local bytes
  bytes=$(xwd -id "$window" -silent 2>/dev/null | tail -c "+$((offset + 1))" | head -c 64 |
    od -An -tx1) || true  # head ends the pipe early, on purpose
  [[ $bytes =~ [1-9a-f] ]]
}

for name in rainbow_bitmap rainbow_photo; do
  start=$(date +%s%N)
  start_program "$bin/$name" "$work"
  find_window_now 'draw simulated rainbow' 300 || fail "$name: no window"
  pixels_at || fail "$name: cannot dump the window"
  for _ in $(seq 1 300); do
    corner_lit && break
    sleep 0.01
  done
  shown=$(date +%s%N)
  # The program's own CPU time and page faults by then: on a busy machine
  # they stay what they are while the time on the clock grows.
  read -r -a stat <<<"$(sed 's/.*) //' "/proc/$program_pid/stat")"
  corner_lit || fail "$name: no picture after 3 s"
  tick=$(getconf CLK_TCK)
  awk -v ms="$(((shown - start) / 1000000))" -v p="$name" -v faults="${stat[7]}" \
    -v cpu="$(((stat[11] + stat[12]) * 1000 / tick))" \
    'BEGIN { printf "%s: a 4000 x 3000 picture on screen %d ms after the start (%d ms of CPU, %d page faults)\n", p, ms, cpu, faults }'
  kill "$program_pid"
  wait "$program_pid" 2>/dev/null || true
  program_pid=""
done
