#!/usr/bin/env python3
"""Draws the backdrop of the bitmap and photo programs: a waterfall after rain.

Rain clouds clearing from a grey sky over wooded hills; in the gorge between
them a waterfall drops from a cliff into a pool, with spray at its foot, its
reflection in the water and a grass bank in front. The bows cover the upper
three quarters, so the sky stays mid-grey: yellow and violet both show on it.

Writes wfall.bmp (24-bit BI_RGB, bottom-up, what rainbow_bitmap reads) and
wfall.ppm (the same pixels; the build turns it into wfall.jpg with cjpeg),
the same bytes on every run (seeded noise, IEEE arithmetic).

    make_backdrop.py [--out DIR] [--time]     DIR defaults to the current folder

Speed: a pixel is one byte, material * 32 + shade, that colour tables turn
into red, green and blue (bytes.translate). Materials are laid out a column at
a time and read back a row at a time by slicing; shades and clouds are byte
strings added or averaged as big integers, so per-pixel Python runs only for
the falling water, the pool and the spray.
"""

import argparse, itertools, math, os, random, struct, sys, time  # standard library only

W, H = 960, 720
SEED = 7  # another gives other clouds and outlines

FAR, TREES, ROCK, WET, RIDGE, SPUR, BANK, SKY = range(8)  # materials, back to front but sky
# Each material's darkest and lightest colours: shades up to 3 and from 25; mixed between.
COLOURS = {FAR: ((92, 108, 110), (128, 140, 146)), TREES: ((24, 40, 26), (66, 90, 56)),
           ROCK: ((70, 68, 62), (138, 128, 112)), WET: ((50, 54, 54), (112, 112, 106)),
           RIDGE: ((26, 46, 30), (86, 112, 72)), SPUR: ((16, 32, 16), (78, 106, 50)),
           BANK: ((30, 50, 20), (116, 140, 62))}
HAZE = (150, 160, 170)  # what distance fades the hill tops into
SKY_TOP, SKY_LOW = (100, 114, 136), (172, 180, 190)
CLOUD_THIN, CLOUD_THICK = (214, 218, 224), (108, 114, 128)
FALL_WHITE, FALL_GREY = (236, 240, 242), (138, 150, 156)
POOL_DEEP = (20, 38, 42)
MIST = (226, 230, 232)
HALF = bytes(i // 2 for i in range(256))  # a table that halves bytes

FALL_X, FALL_TOP, WATER = 0.5, 0.505, 0.795  # fractions of the width and height
# Hills as rounded humps: (centre, top, half width at the foot), in fractions.
RIDGES = [(0.03, 0.435, 0.42), (0.24, 0.475, 0.22), (0.97, 0.47, 0.40), (0.77, 0.49, 0.22)]
SPURS = [(-0.05, 0.62, 0.45), (0.24, 0.71, 0.17), (1.04, 0.65, 0.42), (0.76, 0.72, 0.14)]


def smooth(e0, e1, x):
    t = min(1.0, max(0.0, (x - e0) / (e1 - e0)))
    return t * t * (3.0 - 2.0 * t)


def cells(n, p, cache={}):
    """Lattice cell and smoothstep weight of each of n samples, p samples a cell."""
    if (n, p) not in cache:
        cache[n, p] = [(int(i / p), smooth(0.0, 1.0, i / p - int(i / p))) for i in range(n)]
    return cache[n, p]


def noise(rng, n, period, octaves=3):
    """1-D value noise of n samples, octaves halving in period and weight; -1..1."""
    out, weight = [0.0] * n, 0.0
    for o in range(octaves):
        p, amp = period / 2 ** o, 0.5 ** o
        lat = [rng.uniform(-amp, amp) for _ in range(int(n / p) + 2)]
        out = [s + lat[k] + (lat[k + 1] - lat[k]) * t for s, (k, t) in zip(out, cells(n, p))]
        weight += amp
    return [s / weight for s in out]


def field(rng, step, rows, octaves, scale):
    """2-D value noise as bytes 0..scale, a row every `step` pixel rows (rows + 1 of
    them; between() gives the rest). Octaves: (period across, period down, weight)."""
    lattices = [(py, a, [noise(rng, W, px, 1) for _ in range(int(rows * step / py) + 2)])
                for px, py, a in octaves]
    total = sum(a for _, a, _ in lattices)
    out = []
    for k in range(rows + 1):
        row = [0.0] * W
        for py, amp, lat in lattices:
            j, t = divmod(k * step / py, 1.0)
            t = t * t * (3.0 - 2.0 * t)
            a, b = lat[int(j)], lat[int(j) + 1]
            row = [s + amp * (p + t * (q - p)) for s, p, q in zip(row, a, b)]
        out.append(bytes([int((1.0 + s / total) * 0.5 * scale) for s in row]))
    return out


def midpoint(a, b):
    """Per-byte floor((a + b) / 2), as big integers: no bit crosses a byte."""
    x, y = int.from_bytes(a, "little"), int.from_bytes(b, "little")
    low = int.from_bytes(b"\x01" * len(a), "little")
    return ((x & y) + (((x ^ y) & ~low) >> 1)).to_bytes(len(a), "little")


def between(rows, y, step):
    """Row y of a field: its two stored rows mixed j/step by halving (step a power of 2)."""
    k, j = divmod(y, step)
    a, b = rows[k], rows[k + 1]
    while j:
        step //= 2
        m = midpoint(a, b)
        a, b, j = (m, b, j - step) if j >= step else (a, m, j)
    return a


def add(*rows):
    """Per-byte sum of byte strings whose sums stay under 256."""
    return sum(int.from_bytes(r, "little") for r in rows).to_bytes(W, "little")


def hills(rng, humps, relief):
    """Skyline of a range of wooded humps, in pixel rows per column."""
    ridge, crowns = noise(rng, W, 0.12 * W, 4), noise(rng, W, 6.0, 2)
    def hump(u):
        return min(t + (0.9 - t) * smooth(0.0, w, abs(u - c)) for c, t, w in humps)
    return [int((hump((x + 0.5) / W) + relief * r + 0.01 * (abs(n) - 0.5)) * H)
            for x, r, n in zip(range(W), ridge, crowns)]


def column(layers):
    """Materials (times 32) down one column: the nearest layer whose top is above."""
    out, y, shown, nearest = bytearray(), 0, SKY, len(layers)
    for top, rank, material in sorted((min(H, max(0, t)), r, m) for r, (t, m) in
                                      enumerate(layers)):
        if rank < nearest:
            out += bytes([shown * 32]) * (top - y)
            y, shown, nearest = top, material, rank
    return out + bytes([shown * 32]) * (H - y)


class Scene:
    def __init__(self):
        rng = random.Random(SEED)
        self.water = int(WATER * H)
        far = [int((0.545 + 0.03 * n) * H) for n in noise(rng, W, 0.3 * W, 5)]
        edge, trees = noise(rng, W, 0.12 * W, 3), noise(rng, W, 7.0, 2)
        rock, cliff = [], []
        for x, e, t in zip(range(W), edge, trees):
            off = abs((x + 0.5) / W - FALL_X)
            top = FALL_TOP + 0.012 * e + 0.12 * max(0.0, (off - 0.24) / 0.09) ** 2
            notch = smooth(0.02, 0.06, off)  # the lip the water bends over
            rock.append(int((top + notch * 0.006) * H))
            cliff.append(int((top - notch * 0.018 * (0.4 + 0.8 * (1.0 - abs(t)))) * H))
        self.ridge, spur = hills(rng, RIDGES, 0.02), hills(rng, SPURS, 0.015)
        rise, tufts = noise(rng, W, 0.18 * W, 4), noise(rng, W, 14.0, 2)
        bank = [int((0.905 + 0.014 * n - 0.05 * (2.0 * x / W - 1.0) ** 2 - 0.012 * max(0.0, t))
                    * H) for x, n, t in zip(range(W), rise, tufts)]
        columns = []
        for x in range(W):
            wet = WET if abs((x + 0.5) / W - FALL_X) < 0.04 + 0.015 * trees[x] else ROCK  # seeps
            columns.append(column([(bank[x], BANK), (spur[x], SPUR), (self.ridge[x], RIDGE),
                                   (rock[x], wet), (cliff[x], TREES), (far[x], FAR)]))
        self.materials = b"".join(columns)  # column-major: row y is materials[y::H]
        self.sky_rows = min(min(c) for c in (far, cliff, self.ridge))
        front = [min(a, b) for a, b in zip(self.ridge, spur)]  # where the pool meets the hills
        self.shores = (max(x for x in range(W // 2) if front[x] <= self.water),
                       min(x for x in range(W // 2, W) if front[x] <= self.water))
        # Shades: crowns and lumps (0..14), grain (0..7), rock strata (0..6, rock only).
        self.texture = field(rng, 8, H // 8, [(40, 40, 0.6), (14, 14, 1.0), (6, 8, 0.8)], 14.99)
        self.clouds = field(rng, 8, self.sky_rows // 8 + 1,
                            [(300, 110, 1), (120, 50, 0.5), (50, 28, 0.25), (24, 16, 0.12)], 247.99)
        self.grain = bytes(rng.randrange(8) for _ in range(4096))
        self.strata = bytes(int(3.5 + 3.49 * n) for n in noise(rng, 4096, 9.0, 2))
        self.rock_only = bytes(7 if m // 32 in (ROCK, WET) else 0 for m in range(256))
        self.ledges = list(itertools.accumulate(  # the strata shift sideways at each ledge
            rng.randrange(900) if rng.random() < 0.06 else 0 for _ in range(H)))
        self.fall = [noise(rng, 200, 3.0, 2), noise(rng, H, 30.0, 2)]  # streaks, sway
        self.ripple, self.shore_wander = noise(rng, H, 6.0, 2), noise(rng, H, 24.0, 3)
        self.rows = []
        self.shades = [[[d + (l - d) * smooth(3.0, 25.0, s) for s in range(32)]
                        for d, l in zip(*COLOURS[m])] for m in range(SKY)]

    def tables(self, v, sky_row):
        """Colour tables of row v (0 top, 1 bottom). Ground rows index them by
        material * 32 + shade; sky rows by the cloud noise: rain clouds
        overhead, clearing lower down, thin edges lit, thick cores grey."""
        sky = [a + (b - a) * smooth(0.0, 0.6, v) for a, b in zip(SKY_TOP, SKY_LOW)]
        if sky_row:
            cover = 95.0 + 70.0 * smooth(0.0, 0.3, v) + 80.0 * smooth(0.3, self.sky_rows / H, v)
            d = [smooth(cover, cover + 40.0, i) for i in range(256)]
            k = [smooth(cover + 20.0, cover + 100.0, i) for i in range(256)]
            return [bytes(int(s + (a + (b - a) * t - s) * e) for e, t in zip(d, k))
                    for s, a, b in zip(sky, CLOUD_THIN, CLOUD_THICK)]
        haze = 0.3 * (1.0 - smooth(0.4, 0.75, v))  # hazier up the slopes
        foot = 1.0 - 0.3 * smooth(0.6, 1.0, v)  # darker at the foot
        rock = 1.0 - 0.35 * smooth(FALL_TOP, WATER, v)
        out = []
        for i, s in enumerate(sky):
            out.append(b"".join(
                bytes(int((c + (HAZE[i] - c) * (haze if m in (RIDGE, SPUR) else 0.0))
                          * (rock if m in (ROCK, WET) else foot)) for c in self.shades[m][i])
                for m in range(SKY)) + bytes([int(s)]) * 32)
        return out

    def row(self, y):
        v = y / H
        if y % 4 == 0 or y == self.sky_rows:
            self.luts = self.tables(v, y < self.sky_rows)
        g, s = (y * 1237) % (4096 - W), self.ledges[y] % (4096 - W)
        if y < self.sky_rows:  # grain dithers the cloud noise's steps
            density = add(between(self.clouds, y, 8), self.grain[g:g + W].translate(HALF))
            rgb = [bytearray(density.translate(t)) for t in self.luts]
        else:
            materials = self.materials[y::H]
            strata = (int.from_bytes(self.strata[s:s + W], "little")
                      & int.from_bytes(materials.translate(self.rock_only), "little"))
            index = add(materials, between(self.texture, y, 8), self.grain[g:g + W],
                        strata.to_bytes(W, "little"))
            rgb = [bytearray(index.translate(t)) for t in self.luts]
            self.paint_pool(y, v, rgb, materials)
        self.paint_fall(y, v, rgb)
        self.paint_mist(v, rgb)
        self.rows.append(tuple(bytes(c) for c in rgb))  # the pool reflects them
        return self.rows[-1]

    def paint_fall(self, y, v, rgb):
        top = int(FALL_TOP * H)
        if not top <= y < self.water:
            return
        t = (y - top) / (self.water - top)
        half = (0.016 + 0.012 * t * (2.0 - t)) * W
        centre = FALL_X * W + 1.5 * self.fall[1][y]
        x0, x1 = int(centre - half - 3), int(centre + half + 4)
        lip = min(1.0, (y - top) / 10.0)  # glassy where it bends over the edge
        streaks = self.fall[0]
        for c, grey, white in zip(rgb, FALL_GREY, FALL_WHITE):
            c[x0:x1] = bytes([int(b + (grey + (white - grey) * min(1.0, max(
                0.0, 0.5 + 1.3 * streaks[x - W // 2 + 100] + 0.35 * t)) * lip - b) * min(
                1.0, max(0.0, (half - abs(x + 0.5 - centre)) / 2.5 + 0.5)))
                for x, b in zip(range(x0, x1), c[x0:x1])])

    def paint_pool(self, y, v, rgb, materials):
        if y < self.water:
            return
        out = 2.4 * (y - self.water)
        wander = 8.0 * min(1.0, out / 20.0) * self.shore_wander[y]
        x0 = max(0, int(self.shores[0] - out + wander))
        x1 = min(W, int(self.shores[1] + out - wander))
        mirror = self.rows[max(0, 2 * self.water - 1 - y)]
        shift = max(-x0, min(W - x1, int(4.0 * self.ripple[y])))
        reflect = 0.6 - 0.3 * smooth(WATER, 0.9, v)  # a grazing view reflects more
        for c, m, deep in zip(rgb, mirror, POOL_DEEP):
            table = bytes(int(deep + (s - deep) * reflect) for s in range(256))
            seen = m[x0 + shift:x1 + shift].translate(table)
            c[x0:x1] = bytes([o if k == BANK * 32 else p  # the bank stays in front
                              for o, p, k in zip(c[x0:x1], seen, materials[x0:x1])])

    def paint_mist(self, v, rgb):
        for cu, cv, ru, rv, opacity in ((0.5, 0.80, 0.19, 0.065, 0.5), (0.5, 0.74, 0.06, 0.1, 0.3)):
            dv = ((v - cv) / rv) ** 2
            if dv >= 1.0:
                continue
            half = math.sqrt(1.0 - dv) * ru
            x0, x1 = max(0, int((cu - half) * W)), min(W, int((cu + half) * W) + 1)
            alpha = [opacity * max(0.0, 1.0 - ((x + 0.5) / W - cu) ** 2 / ru ** 2 - dv) ** 2
                     for x in range(x0, x1)]
            for c, m in zip(rgb, MIST):
                c[x0:x1] = bytes([int(b + (m - b) * a) for b, a in zip(c[x0:x1], alpha)])


def draw():
    """The picture as H rows of (R, G, B) bytes, top row first."""
    scene = Scene()
    return [scene.row(y) for y in range(H)]


def interleave(row, order):
    out = bytearray(3 * W)
    out[0::3], out[1::3], out[2::3] = (row[i] for i in order)
    return bytes(out)


def bmp_bytes(rows):
    """24-bit BI_RGB bitmap: file header, 40-byte info header, bottom-up BGR rows."""
    pad = bytes(-3 * W % 4)
    pixels = b"".join(interleave(r, (2, 1, 0)) + pad for r in reversed(rows))
    info = struct.pack("<IiiHHIIiiII", 40, W, H, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    header = struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, 54)
    return header + info + pixels


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out", default=".", help="folder for wfall.bmp and wfall.ppm")
    parser.add_argument("--time", action="store_true", help="print how long it took")
    args = parser.parse_args(argv)
    start = time.perf_counter()
    rows = draw()
    os.makedirs(args.out, exist_ok=True)
    ppm = b"P6\n%d %d\n255\n" % (W, H) + b"".join(interleave(r, (0, 1, 2)) for r in rows)
    for name, data in (("wfall.bmp", bmp_bytes(rows)), ("wfall.ppm", ppm)):
        with open(os.path.join(args.out, name), "wb") as f:
            f.write(data)
    if args.time:
        print("drawn and written in %.2f s" % (time.perf_counter() - start))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
