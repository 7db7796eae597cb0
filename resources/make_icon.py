#!/usr/bin/env python3
"""Draws the programs' icon: a rainbow arc over a dark horizon.

Writes rainbow.ico (one 32x32 256-colour image with its AND mask, the form the
Windows resource needs) and rainbow_icon.png (the same pixels as RGBA, which
the SDL builds set as the window icon). Standard library only, so any machine
with Python can regenerate them.

    make_icon.py [--check] [DIR]     DIR defaults to this script's folder
    make_icon.py --theme DIR         the desktop's icons, into DIR (the build does this)
    make_icon.py --web DIR           the web app's icons, into DIR (the browser build does this)

--check writes nothing: it decodes the files in DIR and fails unless they hold
exactly the picture drawn here, so a changed drawing cannot go in stale.

--theme writes the same design for the hicolor icon theme: DIR/NxN/apps/rainbow.png
at each size in THEME_SIZES (anti-aliased, with alpha) and
DIR/scalable/apps/rainbow.svg, drawn from the same shapes and colours.

--web writes DIR/icon-N.png at each size in WEB_SIZES, the sizes a web app's
manifest needs to be installable, drawn as the theme's are.
"""

import argparse
import math
import os
import struct
import sys
import zlib

SIZE = 32
SUPERSAMPLE = 4  # 4x4 samples per pixel smooths the bands' edges

# Bands from the outside in, like a primary bow: red outermost, violet inside.
BANDS = [
    (228, 38, 38),
    (246, 138, 30),
    (250, 222, 48),
    (58, 190, 72),
    (52, 112, 232),
    (142, 62, 204),
]
CENTRE = (16.0, 27.0)  # arc centre sits on the horizon
OUTER_RADIUS = 15.0
BAND_WIDTH = 1.6
CORNER_RADIUS = 3.0
SKY_TOP = (6, 8, 26)
SKY_HORIZON = (30, 38, 84)
SKY_INSIDE_GAIN = 14  # the sky under a real bow is lighter than outside it
GROUND = (10, 22, 18)
STARS = [(3, 3), (12, 2), (27, 4), (21, 7), (6, 9), (29, 11)]
STAR = (200, 205, 230)
STAR_CELLS = set(STARS)  # each star fills its pixel of the 32 x 32 image

TRANSPARENT = (0, 0, 0)  # ICO colour under a set AND-mask bit: leaves the screen as it is


def _mix(a, b, t):
    return tuple(x + (y - x) * t for x, y in zip(a, b))


def _sample(x, y):
    """Colour of the picture at point (x, y), pixel units, y downwards."""
    if y >= CENTRE[1]:
        return GROUND
    sky = _mix(SKY_TOP, SKY_HORIZON, y / CENTRE[1])
    r = math.hypot(x - CENTRE[0], y - CENTRE[1])
    band = int((OUTER_RADIUS - r) // BAND_WIDTH)
    if 0 <= band < len(BANDS):
        return BANDS[band]
    if band >= len(BANDS):
        return tuple(min(255, c + SKY_INSIDE_GAIN) for c in sky)
    return sky


def _opaque(px, py):
    """Rounded-corner outline; the mask is all or nothing per pixel."""
    cx = min(max(px + 0.5, CORNER_RADIUS), SIZE - CORNER_RADIUS)
    cy = min(max(py + 0.5, CORNER_RADIUS), SIZE - CORNER_RADIUS)
    return math.hypot(px + 0.5 - cx, py + 0.5 - cy) <= CORNER_RADIUS


def _quantise(pixels):
    """Coarsens channels just enough that the opaque colours fit 255 entries."""
    step = 1
    while True:
        q = [None if p is None else tuple(min(255, round(c / step) * step) for c in p)
             for p in pixels]
        if len({p for p in q if p is not None}) <= 255:
            return q
        step += 1


def draw():
    """Returns SIZE*SIZE pixels, top row first: (r, g, b) or None if transparent."""
    n = SUPERSAMPLE
    pixels = []
    for py in range(SIZE):
        for px in range(SIZE):
            if not _opaque(px, py):
                pixels.append(None)
                continue
            acc = [0.0, 0.0, 0.0]
            for sy in range(n):
                for sx in range(n):
                    c = _sample(px + (sx + 0.5) / n, py + (sy + 0.5) / n)
                    for i in range(3):
                        acc[i] += c[i]
            pixels.append(tuple(a / (n * n) for a in acc))
    for sx, sy in STARS:
        pixels[sy * SIZE + sx] = STAR
    return _quantise(pixels)


THEME_SIZES = (16, 24, 32, 48, 64, 128, 256)
WEB_SIZES = (192, 512)


def draw_rgba(size):
    """The design at size x size: rows of RGBA bytes, corners anti-aliased."""
    n = 4 if size <= 64 else 2
    scale = SIZE / size / n  # design units per sample
    offsets = [(i + 0.5) * scale for i in range(n)]
    rows = []
    for py in range(size):
        row = bytearray()
        for px in range(size):
            acc, inside = [0.0, 0.0, 0.0], 0
            for oy in offsets:
                for ox in offsets:
                    x, y = px * n * scale + ox, py * n * scale + oy
                    cx = min(max(x, CORNER_RADIUS), SIZE - CORNER_RADIUS)
                    cy = min(max(y, CORNER_RADIUS), SIZE - CORNER_RADIUS)
                    if math.hypot(x - cx, y - cy) > CORNER_RADIUS:
                        continue
                    c = STAR if (int(x), int(y)) in STAR_CELLS else _sample(x, y)
                    inside += 1
                    for i in range(3):
                        acc[i] += c[i]
            if inside:
                row += bytes(round(a / inside) for a in acc) + bytes([round(255 * inside / n / n)])
            else:
                row += bytes(4)
        rows.append(bytes(row))
    return rows


def _hex(c):
    return "#%02x%02x%02x" % tuple(round(v) for v in c)


def svg_text():
    """The same shapes in a 32 x 32 view box: sky, the lighter sky inside the
    bow, the six bands, the ground, the stars, all inside the rounded square."""
    cx, cy = CENTRE
    inner = OUTER_RADIUS - len(BANDS) * BAND_WIDTH
    lighter = tuple(min(255, c + SKY_INSIDE_GAIN) for c in SKY_TOP), tuple(
        min(255, c + SKY_INSIDE_GAIN) for c in SKY_HORIZON)
    out = ['<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d" viewBox="0 0 %d %d">'
           % (SIZE, SIZE, SIZE, SIZE), "<title>rainbow</title>", "<defs>"]
    for name, (top, bottom) in (("sky", (SKY_TOP, SKY_HORIZON)), ("inside", lighter)):
        out.append('<linearGradient id="%s" gradientUnits="userSpaceOnUse" x1="0" y1="0" '
                   'x2="0" y2="%g"><stop offset="0" stop-color="%s"/><stop offset="1" '
                   'stop-color="%s"/></linearGradient>' % (name, cy, _hex(top), _hex(bottom)))
    out.append('<clipPath id="outline"><rect width="%d" height="%d" rx="%g"/></clipPath>'
               % (SIZE, SIZE, CORNER_RADIUS))
    out += ["</defs>", '<g clip-path="url(#outline)">',
            '<rect width="%d" height="%g" fill="url(#sky)"/>' % (SIZE, cy),
            '<circle cx="%g" cy="%g" r="%g" fill="url(#inside)"/>' % (cx, cy, inner)]
    for i, colour in enumerate(BANDS):
        out.append('<circle cx="%g" cy="%g" r="%g" fill="none" stroke="%s" stroke-width="%g"/>'
                   % (cx, cy, OUTER_RADIUS - (i + 0.5) * BAND_WIDTH, _hex(colour), BAND_WIDTH))
    out.append('<rect y="%g" width="%d" height="%g" fill="%s"/>'
               % (cy, SIZE, SIZE - cy, _hex(GROUND)))
    out += ['<rect x="%d" y="%d" width="1" height="1" fill="%s"/>' % (x, y, _hex(STAR))
            for x, y in STARS]
    out += ["</g>", "</svg>", ""]
    return "\n".join(out)


def write_theme(folder):
    for size in THEME_SIZES:
        path = os.path.join(folder, "%dx%d" % (size, size), "apps")
        os.makedirs(path, exist_ok=True)
        with open(os.path.join(path, "rainbow.png"), "wb") as f:
            f.write(_png(size, draw_rgba(size)))
    path = os.path.join(folder, "scalable", "apps")
    os.makedirs(path, exist_ok=True)
    with open(os.path.join(path, "rainbow.svg"), "w", encoding="ascii") as f:
        f.write(svg_text())


def write_web(folder):
    os.makedirs(folder, exist_ok=True)
    for size in WEB_SIZES:
        with open(os.path.join(folder, "icon-%d.png" % size), "wb") as f:
            f.write(_png(size, draw_rgba(size)))


def palette_of(pixels):
    """Index 0 is the transparent colour; the opaque colours follow, sorted."""
    return [TRANSPARENT] + sorted({p for p in pixels if p is not None})


def ico_bytes(pixels):
    palette = palette_of(pixels)
    index = {c: i for i, c in enumerate(palette)}
    mask_stride = (SIZE + 31) // 32 * 4
    xor = bytearray()
    mask = bytearray()
    for row in reversed(range(SIZE)):  # DIBs are stored bottom row first
        line = pixels[row * SIZE:(row + 1) * SIZE]
        xor += bytes(0 if p is None else index[p] for p in line)
        bits = bytearray(mask_stride)
        for x, p in enumerate(line):
            if p is None:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    quads = b"".join(struct.pack("<4B", b, g, r, 0) for r, g, b in palette)
    quads += bytes(4 * (256 - len(palette)))
    # Height counts the XOR image and the AND mask together.
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, 2 * SIZE, 1, 8, 0, len(xor) + len(mask), 0,
                         0, 0, 0)
    image = header + quads + xor + mask
    icondir = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 8, len(image), 6 + 16)
    return icondir + entry + image


def _chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(
        ">I", zlib.crc32(kind + data) & 0xFFFFFFFF)


def _png(size, rows):
    """An 8-bit RGBA PNG of rows of RGBA bytes, unfiltered."""
    raw = b"".join(b"\x00" + row for row in rows)  # filter type None
    ihdr = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + _chunk(b"IHDR", ihdr) + _chunk(b"IDAT", zlib.compress(raw, 9))
            + _chunk(b"IEND", b""))


def png_bytes(pixels):
    return _png(SIZE, [b"".join(bytes(4) if p is None else bytes(p) + b"\xff"
                                for p in pixels[row * SIZE:(row + 1) * SIZE])
                       for row in range(SIZE)])


def read_ico(data):
    """Decodes a single-image 8bpp ICO to the form draw() returns."""
    reserved, kind, count = struct.unpack_from("<HHH", data, 0)
    if (reserved, kind, count) != (0, 1, 1):
        raise ValueError("not a one-image icon")
    w, h, colours, _, planes, bpp, size, offset = struct.unpack_from("<BBBBHHII", data, 6)
    if (w, h, colours, planes, bpp) != (SIZE, SIZE, 0, 1, 8) or offset + size != len(data):
        raise ValueError("icon directory entry is not 32x32 256 colours")
    hsize, bw, bh, bplanes, bbpp, comp = struct.unpack_from("<IiiHHI", data, offset)
    if (hsize, bw, bh, bplanes, bbpp, comp) != (40, SIZE, 2 * SIZE, 1, 8, 0):
        raise ValueError("bitmap header is not 32x64 8bpp uncompressed")
    quads = offset + 40
    xor = quads + 4 * 256
    mask = xor + SIZE * SIZE
    mask_stride = (SIZE + 31) // 32 * 4
    if mask + mask_stride * SIZE != len(data):
        raise ValueError("icon image has the wrong length")
    pixels = [None] * (SIZE * SIZE)
    for stored in range(SIZE):
        row = SIZE - 1 - stored
        for x in range(SIZE):
            if data[mask + stored * mask_stride + x // 8] & (0x80 >> (x % 8)):
                continue
            b, g, r, _ = struct.unpack_from("<4B", data, quads + 4 * data[xor + stored * SIZE + x])
            pixels[row * SIZE + x] = (r, g, b)
    return pixels


def read_png(data):
    """Decodes an unfiltered 8-bit RGBA PNG to the form draw() returns."""
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError("not a PNG")
    pos, ihdr, idat = 8, None, b""
    while pos < len(data):
        length, kind = struct.unpack_from(">I4s", data, pos)
        body = data[pos + 8:pos + 8 + length]
        if struct.unpack_from(">I", data, pos + 8 + length)[0] != zlib.crc32(kind + body):
            raise ValueError("bad CRC in %s chunk" % kind.decode())
        if kind == b"IHDR":
            ihdr = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    if ihdr != (SIZE, SIZE, 8, 6, 0, 0, 0):
        raise ValueError("PNG is not 32x32 8-bit RGBA")
    raw = zlib.decompress(idat)
    stride = 1 + 4 * SIZE
    if len(raw) != stride * SIZE or any(raw[r * stride] for r in range(SIZE)):
        raise ValueError("PNG rows are filtered or the wrong length")
    pixels = []
    for row in range(SIZE):
        for x in range(SIZE):
            r, g, b, a = raw[row * stride + 1 + 4 * x:row * stride + 5 + 4 * x]
            if a not in (0, 255):
                raise ValueError("PNG alpha must be 0 or 255, like the icon mask")
            pixels.append((r, g, b) if a else None)
    return pixels


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--check", action="store_true",
                        help="verify the files in DIR instead of writing them")
    parser.add_argument("--theme", metavar="DIR", help="write the hicolor theme's icons into DIR")
    parser.add_argument("--web", metavar="DIR", help="write the web app's icons into DIR")
    parser.add_argument("dir", nargs="?", default=os.path.dirname(os.path.abspath(__file__)))
    args = parser.parse_args(argv)
    if args.theme:
        write_theme(args.theme)
        return 0
    if args.web:
        write_web(args.web)
        return 0
    pixels = draw()
    ico_path = os.path.join(args.dir, "rainbow.ico")
    png_path = os.path.join(args.dir, "rainbow_icon.png")
    if not args.check:
        with open(ico_path, "wb") as f:
            f.write(ico_bytes(pixels))
        with open(png_path, "wb") as f:
            f.write(png_bytes(pixels))
        return 0
    failed = False
    for path, reader in ((ico_path, read_ico), (png_path, read_png)):
        try:
            with open(path, "rb") as f:
                ok = reader(f.read()) == pixels
            reason = "differs from the drawing; rerun make_icon.py"
        except (OSError, ValueError, struct.error, zlib.error) as e:
            ok, reason = False, str(e)
        if not ok:
            print("%s: %s" % (path, reason), file=sys.stderr)
            failed = True
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
