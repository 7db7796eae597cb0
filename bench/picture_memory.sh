#!/usr/bin/env bash
# Peak and kept resident memory of the backdrop programs over the worst
# pictures their caps allow (8192 x 8192 pixels, 2^26), and over files no
# picture fits, with SDL's dummy video driver (no display needed).
#
#   bench/picture_memory.sh BIN_DIR
#
# Each program runs in a scratch folder with the file as its picture, until
# its resident memory has not moved for a second; then its peak (VmHWM) and
# what it keeps (VmRSS) are read from /proc.  The goal for every file: a
# peak of at most two copies of the largest picture (2 x 256 MiB) + 64 MB.
set -euo pipefail
source "$(dirname "$0")/../tests/e2e/lib.sh"
e2e_init picture_memory

bin=$(realpath "${1:?usage: picture_memory.sh BIN_DIR}")
need_tools convert cjpeg python3

# Uncompressed 32-bit and RLE8 BMPs of 8192 x 8192, the RLE8 one as 256 KiB
# of full runs; sparse files too large to be pictures.
python3 - "$work" <<'EOF'
import struct, sys
w = sys.argv[1]
def head(bpp, compression, table, image):
    info = struct.pack('<IiiHHIIiiII', 40, 8192, 8192, 1, bpp, compression, image, 0, 0, 0, 0)
    return b'BM' + struct.pack('<IHHI', 0, 0, 0, 54 + len(table)) + info + table
with open(w + '/rgb32.bmp', 'wb') as f:
    f.write(head(32, 0, b'', 0))
    row = bytes(range(256)) * 128
    for _ in range(8192):
        f.write(row)
rle = (b'\xff\x07' * 32 + b'\x20\x07' + b'\x00\x00') * 8192 + b'\x00\x01'
with open(w + '/rle8.bmp', 'wb') as f:
    f.write(head(8, 1, bytes(range(256)) * 4, len(rle)) + rle)
for name, size in (('sparse2g', 2000000000), ('sparse3g', 3000000000)):
    with open(w + '/' + name, 'wb') as f:
        f.write(b'\xff\xd8\xff')
        f.truncate(size)
EOF
convert -size 8192x8192 gradient:'#8fb4d8-#2f5a2a' "$work/pic.ppm"
cjpeg -quality 90 -progressive "$work/pic.ppm" >"$work/progressive420.jpg"
cjpeg -quality 90 "$work/pic.ppm" >"$work/baseline420.jpg"
rm -f "$work/pic.ppm"

measure() {  # program, file, its name in the scratch folder
  local run="$work/run" last=-1 rss=0
  rm -rf "$run" && mkdir -p "$run" && ln -s "$work/$2" "$run/$3"
  (cd "$run" && SDL_VIDEODRIVER=dummy exec "$bin/$1") >"$work/program.log" 2>&1 &
  program_pid=$!
  for _ in $(seq 1 60); do
    sleep 1
    rss=$(awk '/^VmRSS/ { print $2 }' "/proc/$program_pid/status")
    [ "$rss" = "$last" ] && break
    last=$rss
  done
  local peak line
  peak=$(awk '/^VmHWM/ { print $2 }' "/proc/$program_pid/status")
  line=$(grep -m 1 -o 'LoadImage: [^.]*' "$work/program.log" || echo "shown")
  printf '%-14s %-18s peak %4d MB, kept %4d MB (%s)\n' "$1" "$2" $((peak / 1024)) \
    $((rss / 1024)) "$line"
  kill "$program_pid"
  wait "$program_pid" 2>/dev/null || true
  program_pid=""
}

for file in rgb32.bmp rle8.bmp sparse2g; do measure rainbow_bitmap "$file" wfall.bmp; done
for file in baseline420.jpg progressive420.jpg rgb32.bmp rle8.bmp sparse3g; do
  measure rainbow_photo "$file" wfall.jpg
done
