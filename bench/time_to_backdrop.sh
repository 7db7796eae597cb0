#!/usr/bin/env bash
# How long after its start a backdrop program shows a 4000 x 3000 picture,
# on an X display with no GPU (its own Xvfb unless DISPLAY is set), and the
# same with a 64 x 48 picture: the start-up that any picture costs.
#
#   bench/time_to_backdrop.sh BIN_DIR [RUNS]      (default 7)
#
# The pictures (a noisy gradient, as BMP and as JPEG) are made here with
# ImageMagick and cjpeg.  rainbow_x_first_picture (BIN_DIR) starts the
# program and reads the first 16 pixels of its window's top row, where no
# bow ever lands, every millisecond until they are not black.  Each line
# gives the median and range of RUNS starts, and the program's CPU time and
# page faults by then (medians): on a busy machine they stay what they are
# while the time on the clock grows.
set -euo pipefail
source "$(dirname "$0")/../tests/e2e/lib.sh"
e2e_init time_to_backdrop

bin=$(realpath "${1:?usage: time_to_backdrop.sh BIN_DIR [RUNS]}")
runs=${2:-7}
need_tools convert cjpeg
ensure_display 2000x1300
[ -x "$bin/rainbow_x_first_picture" ] || fail "no $bin/rainbow_x_first_picture"

mkdir -p "$work/large" "$work/small"
convert -size 4000x3000 gradient:'#8fb4d8-#2f5a2a' -attenuate 0.4 +noise Gaussian "$work/pic.ppm"
convert "$work/pic.ppm" -type truecolor "BMP3:$work/large/wfall.bmp"
cjpeg -quality 90 "$work/pic.ppm" >"$work/large/wfall.jpg"
convert "$work/pic.ppm" -resize 64x48! "$work/small.ppm"
convert "$work/small.ppm" -type truecolor "BMP3:$work/small/wfall.bmp"
cjpeg -quality 90 "$work/small.ppm" >"$work/small/wfall.jpg"

for size in large small; do
  for name in rainbow_bitmap rainbow_photo; do
    : >"$work/times"
    for _ in $(seq "$runs"); do
      (cd "$work/$size" && "$bin/rainbow_x_first_picture" 'draw simulated rainbow' "$bin/$name") \
        >>"$work/times" || fail "$name: no picture"
    done
    label=$([ "$size" = large ] && echo "a 4000 x 3000" || echo "a 64 x 48")
    col() { cut -d' ' -f"$1" "$work/times" | sort -n; }
    mid=$(((runs + 1) / 2))
    printf '%s: %s picture on screen %s ms after the start (median of %d; %s-%s), %s ms of CPU, %s page faults\n' \
      "$name" "$label" "$(col 1 | sed -n "${mid}p")" "$runs" "$(col 1 | head -n1)" "$(col 1 | tail -n1)" \
      "$(col 2 | sed -n "${mid}p")" "$(col 3 | sed -n "${mid}p")"
  done
done
