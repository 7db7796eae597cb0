#!/usr/bin/env bash
# Makes the small JPEG files in tests/data/jpeg_decode that the JPEG decoder's
# tests decode, each beside djpeg's default decode of it (.ppm, or .pgm for a
# greyscale file), which the tests compare with pixel for pixel. The files also
# seed the decoder's fuzzer.
#
# Real tools make them: ImageMagick draws the picture and writes the YCCK file
# (its "-colorspace CMYK" JPEG is Adobe YCCK, transform 2); cjpeg encodes the
# YCbCr, RGB and greyscale files (baseline, progressive, arithmetic, restart
# intervals, every common chroma sampling); jpegtran re-encodes losslessly
# (progressive or arithmetic, colour space kept); exiftool adds EXIF in either
# byte order. No tool here writes an Adobe CMYK file without the YCCK
# transform, so a few lines of C over libjpeg's own encoder write that one,
# with samples inverted as Adobe's applications store them.
# The output is committed; rerun only to change it.
#
# Needs: convert (ImageMagick), cjpeg, djpeg, jpegtran (libjpeg-turbo-progs),
# exiftool, cc and libjpeg's headers.
set -euo pipefail

for tool in convert cjpeg djpeg jpegtran exiftool cc; do
  command -v "$tool" >/dev/null || { echo "missing $tool" >&2; exit 1; }
done

out="$(cd "$(dirname "$0")/.." && pwd)/tests/data/jpeg_decode"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$out"
rm -f "$out"/*.jpg "$out"/*.ppm "$out"/*.pgm

# Odd sizes, so that partial MCUs and the upsampler's edges are exercised;
# plasma gives colour detail for the chroma sampling to lose.
convert -seed 3 -size 37x23 plasma: "$tmp/pic.ppm"
convert -seed 5 -size 9x41 plasma: "$tmp/tall.ppm"
convert -size 1x1 xc:'#3c8ad2' "$tmp/dot.ppm"

cat >"$tmp/cmyk.c" <<'C'
/* cmyk WIDTH HEIGHT RAW OUT: Adobe CMYK JPEG (transform 0) from raw C, M, Y, K
   bytes where 0 means no ink; stored inverted, as Adobe's applications do. */
#include <stdio.h>
#include <stdlib.h>
#include <jpeglib.h>

int main(int argc, char **argv) {
  if (argc != 5) return 2;
  struct jpeg_compress_struct c;
  struct jpeg_error_mgr e;
  FILE *in = fopen(argv[3], "rb"), *out = fopen(argv[4], "wb");
  if (!in || !out) return 1;
  c.err = jpeg_std_error(&e);
  jpeg_create_compress(&c);
  jpeg_stdio_dest(&c, out);
  c.image_width = (JDIMENSION)atoi(argv[1]);
  c.image_height = (JDIMENSION)atoi(argv[2]);
  c.input_components = 4;
  c.in_color_space = JCS_CMYK;
  jpeg_set_defaults(&c);
  jpeg_set_colorspace(&c, JCS_CMYK);
  jpeg_start_compress(&c, TRUE);
  JSAMPROW row = malloc(c.image_width * 4);
  while (c.next_scanline < c.image_height) {
    if (fread(row, 4, c.image_width, in) != c.image_width) return 1;
    for (JDIMENSION i = 0; i < c.image_width * 4; i++) row[i] = (JSAMPLE)(255 - row[i]);
    jpeg_write_scanlines(&c, &row, 1);
  }
  jpeg_finish_compress(&c);
  fclose(out);
  return 0;
}
C
cc -O1 -o "$tmp/cmyk" "$tmp/cmyk.c" -ljpeg

# encode NAME PICTURE CJPEG_OPTIONS...
encode() {
  local name=$1 pic=$2
  shift 2
  cjpeg "$@" -outfile "$out/$name.jpg" "$tmp/$pic.ppm"
}

encode baseline_420 pic -sample 2x2
encode baseline_422 pic -sample 2x1
encode baseline_440 pic -sample 1x2
encode baseline_444 pic -sample 1x1
encode baseline_411 pic -sample 4x1
encode optimized_q95 pic -optimize -quality 95
encode progressive_420 pic -progressive
encode progressive_444 pic -progressive -sample 1x1
encode arithmetic_420 pic -arithmetic
encode arithmetic_progressive_422 pic -arithmetic -progressive -sample 2x1
encode restart_rows tall -restart 1
encode restart_blocks_progressive tall -restart 3B -progressive
encode gray pic -grayscale
encode gray_progressive tall -grayscale -progressive
encode rgb pic -rgb
# Sequential, one scan per component: the tests repeat its last scan to reach
# the decoder's scan limit.
printf '0;\n1;\n2;\n' >"$tmp/scans.txt"
encode sequential_3_scans pic -scans "$tmp/scans.txt"
encode dot_420 dot

convert "$tmp/pic.ppm" -colorspace CMYK "$out/ycck.jpg"
jpegtran -progressive -outfile "$out/ycck_progressive.jpg" "$out/ycck.jpg"
convert "$tmp/pic.ppm" -colorspace CMYK -depth 8 "cmyk:$tmp/pic.cmyk"
"$tmp/cmyk" 37 23 "$tmp/pic.cmyk" "$out/cmyk.jpg"
jpegtran -arithmetic -outfile "$out/cmyk_arithmetic.jpg" "$out/cmyk.jpg"

# EXIF with an orientation that turns the picture; it must come out unturned.
cp "$out/baseline_420.jpg" "$out/exif_ii.jpg"
exiftool -q -overwrite_original -ExifByteOrder=II -Orientation=6 -n "$out/exif_ii.jpg"
cp "$out/progressive_420.jpg" "$out/exif_mm.jpg"
exiftool -q -overwrite_original -ExifByteOrder=MM -Orientation=8 -n "$out/exif_mm.jpg"

# djpeg's defaults: islow DCT, fancy upsampling; PGM for greyscale, PPM else
# (CMYK converted by its own quick formula).
for f in "$out"/*.jpg; do
  n=${f%.jpg}
  case $(basename "$n") in gray*) ext=pgm ;; *) ext=ppm ;; esac
  djpeg -outfile "$n.$ext" "$f"
done

ls -l "$out"
