#!/usr/bin/env bash
# Makes the small BMP files in tests/data/bmp that the BMP reader's tests
# check and that seed its fuzzer, each with ImageMagick's own decode of it
# beside it (NAME.ppm, binary PPM), so the tests need no ImageMagick.
#
# ImageMagick writes most of them: BMP2 (12-byte core header), BMP3 (40-byte
# header), BMP (V4 108-byte header, or V5 124-byte when the picture carries a
# rendering intent), 16-bit subtypes, RLE8.  A few variants it cannot write
# come from the short Python snippets below, built from ImageMagick's files:
# RLE4, RLE8 with delta / early end-of-line / early end-of-bitmap and a short
# palette, a top-down file, 16 bpp BI_RGB, 32 bpp BI_RGB, 32 bpp bit fields
# after a 40-byte header, and a 56-byte (V3) header.  ImageMagick still makes
# every reference decode.  The output is committed; rerun only to change it.
#
# Needs: convert (ImageMagick 6), python3.
set -euo pipefail

for tool in convert python3; do
  command -v "$tool" >/dev/null || { echo "missing $tool" >&2; exit 1; }
done

out="$(cd "$(dirname "$0")/.." && pwd)/tests/data/bmp"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$out"
rm -f "$out"/*.bmp "$out"/*.ppm

# 13 x 7: odd rows need padding at every depth.  Red runs left to right,
# green top to bottom, blue in diagonal steps.
convert -size 13x7 xc:black -channel R -fx 'i/(w-1)' -channel G -fx 'j/(h-1)' \
  -channel B -fx '(i+2*j)%5/4' +channel "$tmp/src.png"
alpha=(-alpha on -channel A -fx 'i/w' +channel)

convert "$tmp/src.png" BMP3:"$out/rgb24_info.bmp"
convert "$tmp/src.png" BMP2:"$out/rgb24_core.bmp"
# No rendering intent or profile: ImageMagick then writes a V4 header.
convert "$tmp/src.png" +profile '*' -intent undefined BMP:"$out/rgb24_v4.bmp"
convert "$tmp/src.png" -define bmp:subtype=RGB565 BMP:"$out/rgb565_v5.bmp"
convert "$tmp/src.png" -define bmp:subtype=RGB555 BMP:"$out/rgb555_v5.bmp"
convert "$tmp/src.png" "${alpha[@]}" -define bmp:subtype=ARGB1555 BMP:"$out/argb1555_v5.bmp"
convert "$tmp/src.png" "${alpha[@]}" BMP:"$out/argb32_v5.bmp"
convert "$tmp/src.png" -colors 2 BMP3:"$out/pal2.bmp"
convert "$tmp/src.png" -colors 16 BMP3:"$out/pal16.bmp"
convert "$tmp/src.png" -colors 16 BMP2:"$out/pal16_core.bmp"
convert "$tmp/src.png" -colors 256 -compress None BMP3:"$out/pal256.bmp"
convert "$tmp/src.png" -colors 64 -compress RLE BMP3:"$out/pal256_rle8.bmp"
convert "$tmp/src.png" -colors 40 -compress None BMP3:"$tmp/pal40.bmp"

python3 - "$out" "$tmp" <<'EOF'
import struct, sys
out = sys.argv[1]

def load(name):
    b = open(name if name.startswith("/") else f"{out}/{name}", "rb").read()
    off, = struct.unpack_from("<I", b, 10)
    hsize, w, h, _, bpp = struct.unpack_from("<IiiHH", b, 14)
    stride = (w * bpp + 31) // 32 * 4
    rows = [b[off + r * stride: off + (r + 1) * stride] for r in range(h)]  # bottom-up
    return b, w, h, bpp, stride, rows

def info(w, h, bpp, comp, size_image, used=0, hsize=40):
    return struct.pack("<IiiHHIIiiII", hsize, w, h, 1, bpp, comp, size_image, 2835, 2835, used, used)

def write(name, header, extra, pixels):
    off = 14 + len(header) + len(extra)
    data = b"BM" + struct.pack("<IHHI", off + len(pixels), 0, 0, off) + header + extra + pixels
    open(f"{out}/{name}", "wb").write(data)

# Top-down: the rows of the 40-byte 24 bpp file, top row first.
b, w, h, bpp, stride, rows = load("rgb24_info.bmp")
write("rgb24_topdown.bmp", info(w, -h, 24, 0, stride * h), b"", b"".join(reversed(rows)))

# 32 bpp BI_RGB (fourth byte not alpha, set to junk) and 32 bpp bit fields
# after a 40-byte header with red in the low byte.
px = [[r[3 * x: 3 * x + 3] for x in range(w)] for r in rows]
write("rgb32_info.bmp", info(w, h, 32, 0, 4 * w * h), b"",
      b"".join(p + b"\x5a" for r in px for p in r))
write("xbgr32_bitfields.bmp", info(w, h, 32, 3, 4 * w * h), struct.pack("<III", 0xFF, 0xFF00, 0xFF0000),
      b"".join(bytes([p[2], p[1], p[0], 0xC3]) for r in px for p in r))

# 16 bpp: 555 as BI_RGB after a 40-byte header; 565 in a 56-byte header.
b, w, h, bpp, stride, rows = load("rgb555_v5.bmp")
write("rgb555_info.bmp", info(w, h, 16, 0, stride * h), b"", b"".join(rows))
b, w, h, bpp, stride, rows = load("rgb565_v5.bmp")
v3 = info(w, h, 16, 3, stride * h, hsize=56) + struct.pack("<IIII", 0xF800, 0x07E0, 0x001F, 0)
write("rgb565_v3.bmp", v3, b"", b"".join(rows))

# RLE: every kind of code.  Row by row, bottom-up: absolute (odd length,
# padded), encoded runs, 5 pixels and an early end of line, a delta past 4
# pixels, a delta one row up mid-row, 3 pixels and an early end of bitmap.
def indices(row, bpp, w):
    if bpp == 8:
        return list(row[:w])
    return [row[x // 2] >> (0 if x % 2 else 4) & 15 for x in range(w)]

def rle(rows, bpp, w):
    o = bytearray()
    def runs(p):
        i = 0
        while i < len(p):
            j = i + 1
            while j < len(p) and j - i < 255 and p[j] == p[i + (j - i) % (1 if bpp == 8 else 2)]:
                j += 1
            o.extend([j - i, p[i] if bpp == 8 else p[i] << 4 | (p[i + 1] if j - i > 1 else 0)])
            i = j
    def absolute(p):
        data = bytes(p) if bpp == 8 else bytes(p[k] << 4 | (p[k + 1] if k + 1 < len(p) else 0)
                                                for k in range(0, len(p), 2))
        o.extend([0, len(p)] + list(data) + [0] * (len(data) % 2))
    eol, eob = lambda: o.extend([0, 0]), lambda: o.extend([0, 1])
    delta = lambda dx, dy: o.extend([0, 2, dx, dy])
    r = [indices(row, bpp, w) for row in rows]
    absolute(r[0]); eol()
    runs(r[1]); eol()
    runs(r[2][:5]); eol()
    delta(4, 0); absolute(r[3][4:]); eol()
    runs(r[4][:6]); delta(2, 1); runs(r[5][8:]); eol()
    absolute(r[6][:3]); eob()
    return bytes(o)

b, w, h, bpp, stride, rows = load("pal16.bmp")
pal = b[14 + 40: 14 + 40 + 64]
data = rle(rows, 4, w)
write("pal16_rle4.bmp", info(w, h, 4, 2, len(data), 16), pal, data)

# RLE8 with a short palette: 40 entries.
b, w, h, bpp, stride, rows = load(sys.argv[2] + "/pal40.bmp")
assert max(max(r[:w]) for r in rows) < 40
pal = b[14 + 40: 14 + 40 + 4 * 40]
data = rle(rows, 8, w)
write("pal40_rle8.bmp", info(w, h, 8, 1, len(data), 40), pal, data)
EOF

# ImageMagick takes an end of bitmap before the top row (which leaves the
# rest at index 0) for a truncated file: it warns and exits 1, but writes
# the whole decode.
for f in "$out"/*.bmp; do
  if ! convert "$f" -depth 8 "${f%.bmp}.ppm" 2>"$tmp/log"; then
    grep -q 'unexpected end-of-file' "$tmp/log" && [[ $f == *_rle* ]] || { cat "$tmp/log" >&2; exit 1; }
  fi
done
ls -l "$out"
