#!/usr/bin/env bash
# Makes the small JPEG files in tests/data/jpeg that the JPEG reader's tests
# check and that seed its fuzzer. Real tools make them, so the reader is tested
# against files it did not write itself: ImageMagick draws the picture, cjpeg
# encodes it (baseline, progressive, arithmetic-coded; always with a JFIF
# segment first), exiftool adds the EXIF orientation in either byte order.
# The output is committed; rerun only to change it (the tests' expectations
# follow the names and options used here).
#
# Needs: convert (ImageMagick), cjpeg (libjpeg-turbo-progs), exiftool.
set -euo pipefail

for tool in convert cjpeg exiftool; do
  command -v "$tool" >/dev/null || { echo "missing $tool" >&2; exit 1; }
done

out="$(cd "$(dirname "$0")/.." && pwd)/tests/data/jpeg"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$out"
rm -f "$out"/*.jpg "$out"/*.exif

convert -size 16x8 gradient:red-blue "$tmp/small.ppm"
convert -size 64x48 gradient:yellow-navy "$tmp/large.ppm"

# encode NAME PICTURE CJPEG_OPTIONS...
encode() {
  local name=$1 pic=$2
  shift 2
  cjpeg "$@" -outfile "$out/$name" "$tmp/$pic.ppm"
}

# orient NAME BYTE_ORDER VALUE: new EXIF block with IFD0 Orientation = VALUE.
orient() {
  exiftool -q -overwrite_original -ExifByteOrder="$2" -Orientation="$3" -n "$out/$1"
}

encode baseline_jfif.jpg small
encode baseline_mm_6.jpg small
orient baseline_mm_6.jpg MM 6
encode progressive_ii_8.jpg small -progressive
orient progressive_ii_8.jpg II 8
encode arithmetic_ii_3.jpg small -arithmetic
orient arithmetic_ii_3.jpg II 3
encode arithmetic_progressive_mm_5.jpg small -arithmetic -progressive
orient arithmetic_progressive_mm_5.jpg MM 5
encode large_ii_6.jpg large -quality 50
orient large_ii_6.jpg II 6
# EXIF without an orientation entry.
encode large_mm_none.jpg large -quality 50
exiftool -q -overwrite_original -ExifByteOrder=MM -Artist=rainbow "$out/large_mm_none.jpg"

# Bare EXIF blocks as they sit in an APP1 payload: "Exif\0\0", then the TIFF data.
for name in baseline_mm_6 progressive_ii_8; do
  { printf 'Exif\0\0'; exiftool -b -EXIF "$out/$name.jpg"; } >"$out/$name.exif"
done

ls -l "$out"
