#!/usr/bin/env python3
"""Draws the backdrop of the bitmap and photo programs: a waterfall after rain.

A grey-blue sky with clouds over dark green hills; in the gorge between them
a waterfall drops from a wooded cliff into a pool, with spray at its foot and
its reflection in the water. The bows are drawn over the upper three quarters
of the window, so the sky is kept mid-grey: light enough for daylight after
rain, dark enough that yellow and orange show on it, light enough that blue
and violet do too.

Writes wfall.bmp (24-bit BI_RGB Windows bitmap, bottom-up, what
rainbow_bitmap reads) and wfall.ppm (P6, the same pixels, which the build
turns into wfall.jpg for rainbow_photo with cjpeg). Standard library only, and
deterministic (seeded noise; arithmetic and square roots only, which IEEE
floating point rounds the same everywhere), so every run writes the same bytes.

    make_backdrop.py [--out DIR] [--time]     DIR defaults to the current folder

Speed (well under a second): layers are painted a row at a time, each pixel
only by the front-most opaque layer; the large ones work out one byte per
pixel that colour tables turn into red, green and blue (bytes.translate); the
soft fields (clouds, textures) are computed on a coarser grid and interpolated,
the sky with per-byte arithmetic on whole rows held as big integers.
"""

import argparse
import math
import os
import random
import struct
import sys
import time

WIDTH, HEIGHT = 960, 720
SEED = 7  # any fixed number; another gives other clouds and outlines

# Heights below are fractions of the picture height (v, 0 at the top),
# positions across fractions of its width (u, 0 at the left).

# Sky, top to horizon.
SKY_ZENITH = (104, 118, 140)
SKY_MIDDLE = (140, 154, 172)
SKY_HORIZON = (176, 184, 192)
SKY_MIDDLE_AT = 0.30
SKY_HORIZON_AT = 0.60
# The sky has no sharp edges: it is computed every SKY_STEP pixels across and
# down (a power of two) and interpolated between.
SKY_STEP = 4

CLOUD_LIT = (212, 216, 222)
CLOUD_SHADE = (114, 120, 134)
CLOUD_PERIOD = (280.0, 100.0)  # largest cloud shapes, pixels across and down
CLOUD_OCTAVES = 4
CLOUD_GAIN = 0.5
CLOUD_COVER_TOP = -0.06  # noise threshold overhead: the rain clouds leaving
CLOUD_COVER_LOW = 0.3    # and from CLOUD_LOW_AT down, where the bows stand: clearing
CLOUD_LOW_AT = 0.42
CLOUD_SOFTNESS = 0.2    # noise above the threshold for a fully dense cloud
CLOUD_LIGHT_BIAS = 0.75  # a cloud seen flat on: mostly lit
CLOUD_LIGHT_GAIN = 2.4   # tops facing the sun are lit, undersides grey
CLOUD_LIGHT_REACH = 3    # coarse rows above and below compared for that

# Fine texture shared by rock, hills, grass and spray (half resolution).
DETAIL_PERIOD = 12.0
DETAIL_OCTAVES = 3
DETAIL_GAIN = 0.6
GRAIN = 4096  # per-pixel roughness: a strip of random values, read at a shift per row

# Far hills: a hazy ridge behind the cliff.
FAR_TOP = 0.545
FAR_RELIEF = 0.03
FAR_RIDGE = (118, 132, 140)
FAR_FOOT = (96, 112, 112)

# The cliff the water falls from, wooded on top.
CLIFF_TOP = 0.505
CLIFF_RELIEF = 0.012
CLIFF_HALF_WIDTH = 0.24  # top either side of the fall, then falling away behind the hills
CLIFF_SHOULDER = 0.09
CLIFF_BAND = 0.28  # half width of the part the hills leave in view
TREE_HEIGHT = 0.018
TREES = (28, 46, 32)
TREES_LIT = (60, 84, 54)
ROCK_TOP = (124, 116, 104)
ROCK_FOOT = (70, 70, 66)
ROCK_WET = (46, 52, 54)
MOSS = (70, 88, 54)  # on the ledges
MOSS_FROM = 0.6      # ledge plus texture noise where it starts
MOSS_THICK = 0.72    # and where it is thick
WET_MOST = 0.8
WET_HALF_WIDTH = 0.07
JOINT_WIDTH = 0.05   # noise band read as a dark crack in the rock
JOINT_DARK = 0.35
# Rock is coloured from tables, one per ROCK_DEPTHS steps down the face: a
# byte holds the material (6 degrees of wetness, 2 of moss) times 32 steps of
# light (texture), ROCK_LIGHT_LOW to ROCK_LIGHT_HIGH.
ROCK_DEPTHS = 32
ROCK_WETNESS = 6
ROCK_LIGHTS = 32
ROCK_LIGHT_LOW = 1.0 - 0.16 - 0.06 - 0.08 - JOINT_DARK
ROCK_LIGHT_HIGH = 1.0 + 0.16 + 0.06 + 0.08

# Wooded hills framing the gorge, nearer than the cliff: high ridges and,
# in front of them, lower spurs. Each is a few rounded humps:
# (centre u, top v, half width in u at the foot).
RIDGE_HUMPS = [(0.03, 0.435, 0.42), (0.24, 0.475, 0.22), (0.97, 0.47, 0.40), (0.77, 0.49, 0.22)]
RIDGE_RELIEF = 0.02
RIDGE = ((20, 38, 24), (66, 92, 54), 0.35)  # shadow, lit crowns, haze at the top
SPUR_HUMPS = [(-0.05, 0.62, 0.45), (0.24, 0.71, 0.17), (1.04, 0.65, 0.42), (0.76, 0.72, 0.14)]
SPUR_RELIEF = 0.015
SPUR = ((18, 34, 18), (80, 104, 56), 0.12)
HILL_FOOT = 0.84  # under the water line
CROWNS = 0.010       # height of the tree crowns along a skyline
HAZE = (124, 138, 146)  # distance lightens the hill tops
HAZE_DEPTH = 140.0      # pixels below a skyline where the haze is gone
# Hills are coloured from tables: 8 steps of depth below the skyline (haze,
# shadow down the slope) times 32 of shade (texture); a byte indexes both.
HILL_DEPTHS = 8
HILL_DEPTH_STEP = 20.0  # pixels
HILL_SHADES = 32
HILL_SHADE = 0.55         # forest shade (0 dark, 1 lit) where the texture is zero,
HILL_SHADE_MIDDLE = 15.5  # at this step; the texture moves it by up to 72% of that
HILL_DARKENING = 0.002    # shade lost per pixel down from the skyline

# The waterfall, from the lip of the cliff to the pool.
FALL_X = 0.5
FALL_TOP = 0.512
FALL_HALF_TOP = 0.016     # fractions of the width
FALL_HALF_FOOT = 0.028
FALL_EDGE = 2.5           # pixels of soft edge
FALL_WHITE = (234, 238, 240)
FALL_GREY = (140, 152, 158)
FALL_LIP = (106, 126, 122)  # glassy water bending over the edge
FALL_LIP_DEPTH = 0.014

# The pool: from the water line at the cliff's foot, widening towards us.
WATER_LINE = 0.795
POOL_SPREAD = 2.4  # pixels a shore moves out per row nearer to us
POOL_SHORE_WANDER = 8.0  # pixels
POOL_DEEP = (22, 40, 44)
POOL_SHORE = (34, 38, 34)  # wet stones along the edge
POOL_REFLECT_FAR = 0.6     # a grazing view reflects more than a steep one
POOL_REFLECT_NEAR = 0.3
POOL_REFLECTS = 16         # steps between them
RIPPLE_SHIFT = 4.0         # pixels a row of the reflection wanders

# Grass bank in front.
BANK_TOP = 0.905
BANK_RISE = 0.05  # higher at the sides
TUFTS = 0.012     # height of the clumps along its edge
BLADES = 0.006    # and of the single blades
BLADE_REACH = 24  # pixels below the top edge where blades still show
GRASS = (22, 38, 22)
GRASS_LIT = (70, 96, 50)

# Boulders on the bank: (centre u, centre v, radius u, radius v).
BOULDERS = [
    (0.285, 0.905, 0.042, 0.032),
    (0.33, 0.912, 0.022, 0.018),
    (0.72, 0.912, 0.052, 0.036),
]
BOULDER = (108, 104, 96)
BOULDER_SUNK = 0.2    # of the radius below the centre, where the grass starts
BOULDER_BLADES = 0.6  # how far up over that the blades reach
BOULDER_LIGHT = (-0.45, -0.6, 0.66)  # from above left, behind us: x right, y down, z to us

# Spray at the foot of the fall: (centre u, centre v, radius u, radius v, opacity).
MIST = (224, 228, 230)
MIST_CLOUDS = [
    (0.5, 0.80, 0.19, 0.065, 0.5),
    (0.5, 0.74, 0.06, 0.10, 0.32),
]


def _mix(a, b, t):
    return tuple(x + (y - x) * t for x, y in zip(a, b))


def _smooth(e0, e1, x):
    t = min(1.0, max(0.0, (x - e0) / (e1 - e0)))
    return t * t * (3.0 - 2.0 * t)


def _weights(n, period):
    """Lattice cell and smoothstep weight of each of n samples, period samples per cell."""
    out = []
    for i in range(n):
        f = i / period
        k = int(f)
        t = f - k
        out.append((k, t * t * (3.0 - 2.0 * t)))
    return out


def noise_1d(rng, n, period, octaves):
    """Value noise, octaves halving in period and amplitude; about -1..1."""
    total = [0.0] * n
    amp, norm = 1.0, 0.0
    for _ in range(octaves):
        lattice = [rng.random() * 2.0 - 1.0 for _ in range(int(n / period) + 2)]
        total = [s + amp * (lattice[k] + (lattice[k + 1] - lattice[k]) * t)
                 for s, (k, t) in zip(total, _weights(n, period))]
        norm += amp
        amp *= 0.5
        period *= 0.5
    return [s / norm for s in total]


class Noise2D:
    """Value noise on a w x h grid, made a row at a time; about -1..1.

    Each octave's lattice rows are interpolated across when first needed, so
    rows never asked for cost nothing."""

    def __init__(self, rng, w, h, period_x, period_y, octaves, gain=0.5):
        self.octaves = []
        amp = 1.0
        for _ in range(octaves):
            lattice = [[rng.random() * 2.0 - 1.0 for _ in range(int(w / period_x) + 2)]
                       for _ in range(int(h / period_y) + 2)]
            self.octaves.append((amp, lattice, _weights(w, period_x), _weights(h, period_y), {}))
            amp *= gain
            period_x *= 0.5
            period_y *= 0.5
        self.scale = 1.0 / sum(o[0] for o in self.octaves)

    @staticmethod
    def _across(lattice, wx, done, k):
        row = done.get(k)
        if row is None:
            lat = lattice[k]
            row = done[k] = [lat[i] + (lat[i + 1] - lat[i]) * t for i, t in wx]
            done.pop(k - 2, None)  # rows are asked for top to bottom
        return row

    def row(self, y, x0=0, x1=None):
        """Row y, or the part of it from column x0 to x1."""
        out = None
        for amp, lattice, wx, wy, done in self.octaves:
            k, t = wy[y]
            a, b = amp * self.scale * (1.0 - t), amp * self.scale * t
            p = self._across(lattice, wx, done, k)[x0:x1]
            q = self._across(lattice, wx, done, k + 1)[x0:x1]
            if out is None:
                out = [a * x + b * z for x, z in zip(p, q)]
            else:
                out = [s + a * x + b * z for s, x, z in zip(out, p, q)]
        return out


def _double(row):
    """Twice as many samples: the originals and the midpoints between them."""
    out = [0.0] * (2 * len(row) - 1)
    out[0::2] = row
    out[1::2] = [(a + b) * 0.5 for a, b in zip(row, row[1:])]
    return out


def _midpoint(a, b):
    """Per-byte floor((a + b) / 2) of two byte strings of one length, all at once:
    as big integers, (a & b) + (a ^ b) / 2 with no bit shifted across bytes."""
    x, y = int.from_bytes(a, "little"), int.from_bytes(b, "little")
    low_bits = int.from_bytes(b"\x01" * len(a), "little")
    return ((x & y) + (((x ^ y) & ~low_bits) >> 1)).to_bytes(len(a), "little")


def _double_bytes(row):
    """Twice as many samples: the bytes and the midpoints between them."""
    out = bytearray(2 * len(row) - 1)
    out[0::2] = row
    out[1::2] = _midpoint(row[:-1], row[1:])
    return bytes(out)


def _between(a, b, k, n):
    """Byte strings a + (b - a) * k / n, for n a power of two, by halving."""
    while k:
        n //= 2
        middle = _midpoint(a, b)
        if k >= n:
            a, k = middle, k - n
        else:
            b = middle
    return a


def _runs(mask):
    """Runs (start, end) of true entries in a sequence of booleans."""
    mask = bytes(mask)
    runs = []
    start = mask.find(1)
    while start >= 0:
        end = mask.find(0, start)
        if end < 0:
            end = len(mask)
        runs.append((start, end))
        start = mask.find(1, end)
    return runs


class Outline:
    """The columns a layer shows, row by row: from its top edge down to where a
    nearer layer's top edge hides it. Rows must be asked for in order."""

    def __init__(self, top, front):
        self.show, self.hide = {}, {}
        for x, (t, f) in enumerate(zip(top, front)):
            first, stop = -int(-t // 1), -int(-f // 1)  # first whole row at or below
            if first < stop:
                self.show.setdefault(first, []).append(x)
                self.hide.setdefault(stop, []).append(x)
        self.mask = bytearray(len(top))
        self.next_row = 0

    def runs(self, y):
        while self.next_row <= y:
            for x in self.show.get(self.next_row, ()):
                self.mask[x] = 1
            for x in self.hide.get(self.next_row, ()):
                self.mask[x] = 0
            self.next_row += 1
        return _runs(self.mask)


class Scene:
    """Outlines, textures and colours of every layer, and a painter for each row."""

    def __init__(self):
        rng = random.Random(SEED)
        w, h = WIDTH, HEIGHT
        self.u = [(x + 0.5) / w for x in range(w)]
        self.water_row = int(WATER_LINE * h + 0.5)

        self.far_top = [(FAR_TOP + FAR_RELIEF * n) * h
                        for n in noise_1d(rng, w, 0.3 * w, 5)]
        self._outline_cliff(rng)
        self.ridge_top = self._outline_hills(rng, RIDGE_HUMPS, RIDGE_RELIEF)
        self.spur_top = self._outline_hills(rng, SPUR_HUMPS, SPUR_RELIEF)
        self._outline_bank(rng)

        # Each opaque layer paints only where no nearer one covers it.
        spur_front = self.bank_top
        ridge_front = [min(a, b) for a, b in zip(self.spur_top, spur_front)]
        cliff_front = [min(a, b) for a, b in zip(self.ridge_top, ridge_front)]
        far_front = [min(a, b) for a, b in zip(self.cliff_top, cliff_front)]
        self.sky_rows = int(max(min(a, b) for a, b in zip(self.far_top, far_front))) + 1
        self.far = Outline(self.far_top, far_front)
        self.cliff = Outline(self.cliff_top, cliff_front)
        self.ridges = Outline(self.ridge_top, ridge_front)
        self.spurs = Outline(self.spur_top, spur_front)
        self.ridge_luts = self._hill_luts(RIDGE)
        self.spur_luts = self._hill_luts(SPUR)
        # Table row of a pixel so many rows below its hill's skyline.
        self.hill_depths = [HILL_SHADES * min(HILL_DEPTHS - 1, int(b / HILL_DEPTH_STEP))
                            for b in range(HEIGHT)]
        self.ridge_rows = [-int(-t // 1) for t in self.ridge_top]  # first whole row
        self.spur_rows = [-int(-t // 1) for t in self.spur_top]
        self.bank = Outline(self.bank_top, [2 * HEIGHT] * w)

        self.ripple = noise_1d(rng, h, 6.0, 2)
        # What the water shows of a colour it reflects, from the far edge to the near.
        self.pool_luts = []
        for i in range(POOL_REFLECTS):
            reflect = POOL_REFLECT_FAR + (POOL_REFLECT_NEAR - POOL_REFLECT_FAR) * i / (
                POOL_REFLECTS - 1)
            self.pool_luts.append([bytes([int(deep + (s - deep) * reflect) for s in range(256)])
                                   for deep in POOL_DEEP])
        # The shores start where the hills' outlines cross the water line.
        front = [min(a, b) for a, b in zip(self.ridge_top, self.spur_top)]
        middle = int(FALL_X * w)
        self.shore_left = max(x for x in range(middle) if front[x] <= self.water_row)
        self.shore_right = min(x for x in range(middle, w) if front[x] <= self.water_row)
        self.shore = (noise_1d(rng, h, 24.0, 3), noise_1d(rng, h, 24.0, 3))

        # Streaks of the falling water: fine across, long down.
        fall_span = int(2 * (FALL_HALF_FOOT * w + FALL_EDGE)) + 6
        self.fall_x0 = int(FALL_X * w) - fall_span // 2
        self.fall_row0 = int(FALL_TOP * h)
        self.fall_noise = Noise2D(rng, fall_span, self.water_row - self.fall_row0 + 1,
                                  4.0, 60.0, 3)
        self.fall_sway = noise_1d(rng, h, 30.0, 2)

        self.detail_grid = Noise2D(rng, w // 2 + 1, h // 2 + 2, DETAIL_PERIOD,
                                   DETAIL_PERIOD, DETAIL_OCTAVES, DETAIL_GAIN)
        self.grain_strip = [rng.random() * 2.0 - 1.0 for _ in range(GRAIN + w)]
        self.detail_row = (None, None)  # the last half-resolution row, doubled across
        self.sky_grid = self._sky_grid(rng)
        self.sky_across = {}  # coarse rows interpolated across, by coarse row
        self.rows = []  # finished rows as (R, G, B) bytes, for the reflection

    def _outline_cliff(self, rng):
        w, h = WIDTH, HEIGHT
        ridge = noise_1d(rng, w, 0.12 * w, 3)
        crowns = noise_1d(rng, w, 7.0, 2)
        fringe = noise_1d(rng, w, 4.0, 2)
        self.cliff_top, self.rock_top = [], []
        for u, r, c, f in zip(self.u, ridge, crowns, fringe):
            off = abs(u - FALL_X)
            edge = CLIFF_TOP + CLIFF_RELIEF * r
            beyond = off - CLIFF_HALF_WIDTH
            if beyond > 0:
                edge += 0.12 * (beyond / CLIFF_SHOULDER) * (beyond / CLIFF_SHOULDER)
            notch = _smooth(FALL_HALF_FOOT, 2.5 * FALL_HALF_FOOT, off)
            edge += (1.0 - notch) * (FALL_TOP - edge)
            trees = notch * TREE_HEIGHT * (0.4 + 0.8 * (1.0 - abs(c)))
            self.cliff_top.append((edge - trees) * h)
            self.rock_top.append((edge + notch * (0.003 + 0.008 * abs(f))) * h)
        self.wetness = [ROCK_LIGHTS * int((ROCK_WETNESS - 1) * (1.0 - _smooth(
            0.3 * WET_HALF_WIDTH, WET_HALF_WIDTH, abs(u - FALL_X))) + 0.5) for u in self.u]
        self.rock_luts = [self._rock_luts(i / (ROCK_DEPTHS - 1)) for i in range(ROCK_DEPTHS)]
        # Rock textures are made for a band of columns only; the cliff never
        # shows beyond it (the hills hide its falling-away sides).
        x0 = int((FALL_X - CLIFF_BAND) * w)
        self.rock_x0 = x0
        for x in list(range(x0)) + list(range(w - x0, w)):
            self.cliff_top[x] = 2.0 * h
        self.joints = Noise2D(rng, w - 2 * x0, h, 9.0, 70.0, 2)
        self.ledges = Noise2D(rng, w - 2 * x0, h, 60.0, 6.0, 1)

    def _outline_hills(self, rng, humps, relief):
        """Top edge of a range of rounded hills."""
        ridge = noise_1d(rng, WIDTH, 0.12 * WIDTH, 4)
        crowns = noise_1d(rng, WIDTH, 6.0, 2)
        top = []
        for u, r, c in zip(self.u, ridge, crowns):
            v = min(t + (HILL_FOOT - t) * _smooth(0.0, w, abs(u - cu)) for cu, t, w in humps)
            # Rounded crowns: the outline dips between trees, not at them.
            top.append((v + relief * r + CROWNS * (abs(c) - 0.5)) * HEIGHT)
        return top

    def _outline_bank(self, rng):
        w, h = WIDTH, HEIGHT
        rise = noise_1d(rng, w, 0.18 * w, 4)
        tufts = noise_1d(rng, w, 14.0, 2)
        tips = noise_1d(rng, w, 2.0, 1)
        self.bank_top = [(BANK_TOP + 0.014 * n - BANK_RISE * (2.0 * u - 1.0) * (2.0 * u - 1.0)
                          - TUFTS * max(0.0, t) - BLADES * abs(b)) * h
                         for u, n, t, b in zip(self.u, rise, tufts, tips)]
        # Shade -0.5..1.5 in 121 steps of a table index, clamped to 0..1.
        self.grass_shades = [min(1.0, max(0.0, i / 60.0 - 0.5)) for i in range(121)]
        self.blades = noise_1d(rng, w, 2.5, 2)
        patches = noise_1d(rng, w, 40.0, 2)
        # Shade steps a blade adds per row above the bottom of its reach.
        self.blade_weight = [60.0 * 0.45 * b * (0.3 + 0.7 * max(0.0, p)) / BLADE_REACH
                             for b, p in zip(self.blades, patches)]

    # -- fields ------------------------------------------------------------

    def _sky_grid(self, rng):
        """Sky colours on the coarse grid: (R, G, B) bytes per coarse row."""
        cw = WIDTH // SKY_STEP + 1
        ch = self.sky_rows // SKY_STEP + 2
        reach = CLOUD_LIGHT_REACH
        noise = Noise2D(rng, cw, ch + 2 * reach, CLOUD_PERIOD[0] / SKY_STEP,
                        CLOUD_PERIOD[1] / SKY_STEP, CLOUD_OCTAVES, CLOUD_GAIN)
        n = [noise.row(j) for j in range(ch + 2 * reach)]
        grid = []
        for j in range(ch):
            v = j * SKY_STEP / HEIGHT
            sky = self._sky_colour(v)
            cover = CLOUD_COVER_TOP + (CLOUD_COVER_LOW - CLOUD_COVER_TOP) * _smooth(
                0.0, CLOUD_LOW_AT, v)
            here, above, below = n[j + reach], n[j], n[j + 2 * reach]
            density = [(a - cover) / CLOUD_SOFTNESS for a in here]
            density = [0.0 if d < 0.0 else 1.0 if d > 1.0 else d * d * (3.0 - 2.0 * d)
                       for d in density]
            light = [CLOUD_LIGHT_BIAS + CLOUD_LIGHT_GAIN * (c - b) for b, c in zip(above, below)]
            light = [0.0 if t < 0.0 else 1.0 if t > 1.0 else t for t in light]
            grid.append(tuple(
                bytes([int(s + (lo + (hi - lo) * t - s) * d) for d, t in zip(density, light)])
                for s, lo, hi in zip(sky, CLOUD_SHADE, CLOUD_LIT)))
        return grid

    @staticmethod
    def _sky_colour(v):
        if v < SKY_MIDDLE_AT:
            t = v / SKY_MIDDLE_AT
            return _mix(SKY_ZENITH, SKY_MIDDLE, t * (2.0 - t))
        return _mix(SKY_MIDDLE, SKY_HORIZON, _smooth(SKY_MIDDLE_AT, SKY_HORIZON_AT, v))

    def sky(self, y):
        """Sky row y as (R, G, B) bytearrays."""
        j, k = divmod(y, SKY_STEP)
        return [bytearray(_between(a, b, k, SKY_STEP))
                for a, b in zip(self._sky_across(j), self._sky_across(j + 1))]

    def _sky_across(self, j):
        """Coarse row j, interpolated across to the full width."""
        row = self.sky_across.get(j)
        if row is None:
            row = self.sky_across[j] = []
            for c in self.sky_grid[j]:
                n = 1
                while n < SKY_STEP:
                    c, n = _double_bytes(c), 2 * n
                row.append(c[:WIDTH])
            self.sky_across.pop(j - 2, None)  # rows are asked for top to bottom
        return row

    def detail(self, y):
        """Texture row at full width, about -1..1; each half-resolution row serves two."""
        j = y // 2
        if self.detail_row[0] != j:
            self.detail_row = (j, _double(self.detail_grid.row(j))[:WIDTH])
        return self.detail_row[1]

    def grain(self, y):
        """Per-pixel roughness of row y, -1..1."""
        start = (y * 1237) % GRAIN
        return self.grain_strip[start:start + WIDTH]

    # -- layers, back to front ----------------------------------------------

    def paint_far(self, y, rgb):
        if y >= self.water_row:
            return
        v = y / HEIGHT
        base = _mix(FAR_RIDGE, FAR_FOOT, _smooth(FAR_TOP - FAR_RELIEF, FAR_TOP + 0.08, v))
        spans = self.far.runs(y)
        if spans:
            detail = self.detail(y)
        for x0, x1 in spans:
            d = detail[x0:x1]
            for c, b in zip(rgb, base):
                c[x0:x1] = bytes([int(b + 5.0 * t) for t in d])

    @staticmethod
    def _rock_luts(depth):
        """Colour tables of the rock at a depth (0 top, 1 foot) down the face."""
        tables = ([], [], [])
        step = (ROCK_LIGHT_HIGH - ROCK_LIGHT_LOW) / ROCK_LIGHTS
        for i in range(256):
            material, light = divmod(i, ROCK_LIGHTS)
            light = ROCK_LIGHT_LOW + (light + 0.5) * step
            if material < ROCK_WETNESS:
                other, share = ROCK_WET, WET_MOST * material / (ROCK_WETNESS - 1)
            else:
                other, share = MOSS, 0.25 * (material - ROCK_WETNESS + 1)
            for table, lo, hi, o in zip(tables, ROCK_FOOT, ROCK_TOP, other):
                rock = hi + (lo - hi) * depth
                table.append(min(255, int((rock + (o - rock) * share) * light)))
        return [bytes(t) for t in tables]

    def paint_cliff(self, y, rgb):
        if y >= self.water_row:
            return
        spans = self.cliff.runs(y)
        if not spans:
            return
        detail = self.detail(y)
        grain = self.grain(y)
        # Rock textures only where the cliff shows in this row.
        r0 = spans[0][0] - self.rock_x0
        r1 = spans[-1][1] - self.rock_x0
        joints = self.joints.row(y, r0, r1)
        ledges = self.ledges.row(y, r0, r1)
        r0 += self.rock_x0
        depth = min(1.0, max(0.0, (y / HEIGHT - CLIFF_TOP) / (WATER_LINE - CLIFF_TOP)))
        luts = self.rock_luts[int(depth * (ROCK_DEPTHS - 1) + 0.5)]
        # Light in table steps: ledges catch it, joints are dark, the rest is rough.
        # (A hair under ROCK_LIGHTS steps, so the brightest stays in its material.)
        scale = (ROCK_LIGHTS - 0.001) / (ROCK_LIGHT_HIGH - ROCK_LIGHT_LOW)
        middle = (1.0 - ROCK_LIGHT_LOW) * scale
        rough, speck, ledge_lit = 0.16 * scale, 0.06 * scale, 0.08 * scale
        joint_dark = JOINT_DARK * scale
        joint_step = joint_dark / JOINT_WIDTH
        moss_light = ROCK_WETNESS * ROCK_LIGHTS
        moss_thick = moss_light + ROCK_LIGHTS
        rock_top = self.rock_top
        for x0, x1 in spans:
            d = detail[x0:x1]
            # Moss grows on dry ledges only.
            index = bytes([(w if w or g + 0.8 * a < MOSS_FROM else
                            moss_light if g + 0.8 * a < MOSS_THICK else moss_thick)
                           + int(middle + rough * a + speck * r + ledge_lit * g
                                 - (joint_dark - joint_step * abs(j)
                                    if -JOINT_WIDTH < j < JOINT_WIDTH else 0.0))
                           for w, a, r, j, g in zip(self.wetness[x0:x1], d, grain[x0:x1],
                                                    joints[x0 - r0:x1 - r0],
                                                    ledges[x0 - r0:x1 - r0])])
            for c, lut in zip(rgb, luts):
                c[x0:x1] = index.translate(lut)
            # Trees on top: lit crowns, darker where they meet the rock.
            for t0, t1 in _runs([y < r for r in rock_top[x0:x1]]):
                t0, t1 = t0 + x0, t1 + x0
                shade = [(0.55 + 0.35 * detail[x] + 0.15 * grain[x])
                         * min(1.0, (rock_top[x] - y) / 8.0)
                         for x in range(t0, t1)]
                for c, lo, hi in zip(rgb, TREES, TREES_LIT):
                    c[t0:t1] = bytes([int(lo + (hi - lo) * s) for s in shade])

    def paint_fall(self, y, rgb):
        if not self.fall_row0 <= y < self.water_row:
            return
        v = y / HEIGHT
        t = (v - FALL_TOP) / (WATER_LINE - FALL_TOP)
        half = (FALL_HALF_TOP + (FALL_HALF_FOOT - FALL_HALF_TOP) * t * (2.0 - t)) * WIDTH
        centre = FALL_X * WIDTH + 1.5 * self.fall_sway[y]
        noise = self.fall_noise.row(y - self.fall_row0)
        x0 = self.fall_x0
        x1 = x0 + len(noise)
        lip = min(1.0, (v - FALL_TOP) / FALL_LIP_DEPTH)
        alpha = [(half - abs(x + 0.5 - centre)) / FALL_EDGE + 0.5 for x in range(x0, x1)]
        alpha = [0.0 if a < 0.0 else 1.0 if a > 1.0 else a for a in alpha]
        white = [0.55 + 1.4 * n + 0.35 * t for n in noise]
        white = [0.0 if s < 0.0 else 1.0 if s > 1.0 else s for s in white]
        for c, grey, hi, glass in zip(rgb, FALL_GREY, FALL_WHITE, FALL_LIP):
            c[x0:x1] = bytes([int(b + (glass + ((grey + (hi - grey) * s) - glass) * lip - b) * a)
                              for b, a, s in zip(c[x0:x1], alpha, white)])

    def paint_hills(self, y, rgb, outline, top, luts):
        spans = outline.runs(y)
        if not spans:
            return
        detail = self.detail(y)
        grain = self.grain(y)
        depths = self.hill_depths
        middle, rough, speck = HILL_SHADE_MIDDLE, 0.6 * HILL_SHADE_MIDDLE, 0.12 * HILL_SHADE_MIDDLE
        for x0, x1 in spans:
            index = bytes([depths[y - t] + int(middle + rough * d + speck * g)
                           for d, g, t in zip(detail[x0:x1], grain[x0:x1], top[x0:x1])])
            for c, lut in zip(rgb, luts):
                c[x0:x1] = index.translate(lut)

    @staticmethod
    def _hill_luts(colours):
        """Colour tables of a hill layer, indexed by depth below the skyline and shade."""
        dark, lit, haze = colours
        tables = ([], [], [])
        for i in range(256):
            depth, shade = divmod(i, HILL_SHADES)
            below = (depth + 0.5) * HILL_DEPTH_STEP
            # Forest: lit crowns and dark gaps, a little darker down the slopes.
            s = HILL_SHADE + shade / HILL_SHADE_MIDDLE - 1.0 - HILL_DARKENING * below
            s = min(1.0, max(0.0, s))
            clear = 1.0 - haze * max(0.0, 1.0 - below / HAZE_DEPTH)
            for table, lo, hi, far in zip(tables, dark, lit, HAZE):
                table.append(int(far + (lo + (hi - lo) * s - far) * clear))
        return [bytes(t) for t in tables]

    def paint_pool(self, y, rgb):
        if y < self.water_row:
            return
        v = y / HEIGHT
        out = POOL_SPREAD * (y - self.water_row)
        left, right = self.shore
        x0 = max(0, int(self.shore_left - out + POOL_SHORE_WANDER * min(1.0, out / 20.0) * left[y]))
        x1 = min(WIDTH, int(self.shore_right + out
                            + POOL_SHORE_WANDER * min(1.0, out / 20.0) * right[y]))
        mirror = self.rows[max(0, 2 * self.water_row - 1 - y)]
        shift = int(RIPPLE_SHIFT * self.ripple[y])
        near = min(1.0, (v - WATER_LINE) / (BANK_TOP - WATER_LINE))
        luts = self.pool_luts[int(near * (POOL_REFLECTS - 1) + 0.5)]
        a, b = max(0, x0 + shift), min(WIDTH, x1 + shift)
        pad_left, pad_right = a - (x0 + shift), (x1 + shift) - b
        for c, m, lut, shore in zip(rgb, mirror, luts, POOL_SHORE):
            seen = m[a:a + 1] * pad_left + m[a:b] + m[b - 1:b] * pad_right
            c[x0:x1] = seen.translate(lut)
            c[x0:x0 + 3] = bytes([shore] * 3)
            c[x1 - 3:x1] = bytes([shore] * 3)

    def paint_bank(self, y, rgb):
        spans = self.bank.runs(y)
        if not spans:
            return
        v = y / HEIGHT
        detail = self.detail(y)
        grain = self.grain(y)
        top = self.bank_top
        dark = 1.0 - 0.35 * _smooth(BANK_TOP - BANK_RISE, 1.0, v)
        luts = [bytes([int((lo + (hi - lo) * s) * dark) for s in self.grass_shades]) + bytes(135)
                for lo, hi in zip(GRASS, GRASS_LIT)]
        reach = y - BLADE_REACH
        for x0, x1 in spans:
            # Blades show as streaks near the top edge, in patches, blurring into turf below.
            index = bytes([int(60.0 + 24.0 * d + 9.0 * g + (w * (t - reach) if t > reach else 0.0))
                           for d, g, w, t in zip(detail[x0:x1], grain[x0:x1],
                                                 self.blade_weight[x0:x1], top[x0:x1])])
            for c, lut in zip(rgb, luts):
                c[x0:x1] = index.translate(lut)

    def paint_boulders(self, y, rgb):
        v = y / HEIGHT
        lx, ly, lz = BOULDER_LIGHT
        for cu, cv, ru, rv in BOULDERS:
            dv = (v - cv) / rv
            if dv * dv >= 1.0 or dv > BOULDER_SUNK + BOULDER_BLADES:
                continue
            half = math.sqrt(1.0 - dv * dv) * ru
            x0 = max(0, int((cu - half) * WIDTH + 0.5))
            x1 = min(WIDTH, int((cu + half) * WIDTH + 0.5))
            detail = self.detail(y)
            grain = self.grain(y)
            # Lit like a sphere: the normal (du, dv, dz) against the light.
            du = [(u - cu) / ru for u in self.u[x0:x1]]
            light = [lx * a + ly * dv + lz * math.sqrt(max(0.0, 1.0 - a * a - dv * dv))
                     for a in du]
            shade = [(0.25 + 0.85 * (l if l > 0.0 else 0.0)) * (1.0 + 0.15 * d + 0.08 * g)
                     for l, d, g in zip(light, detail[x0:x1], grain[x0:x1])]
            # Blades of grass in front hide the lower part.
            seen = [dv < BOULDER_SUNK + BOULDER_BLADES * abs(b) for b in self.blades[x0:x1]]
            for c, b in zip(rgb, BOULDER):
                c[x0:x1] = bytes([int(b * s) if k else o for s, k, o in zip(shade, seen, c[x0:x1])])

    def paint_mist(self, y, rgb):
        v = y / HEIGHT
        for cu, cv, ru, rv, opacity in MIST_CLOUDS:
            dv = (v - cv) / rv
            if dv * dv >= 1.0:
                continue
            half = math.sqrt(1.0 - dv * dv) * ru
            x0 = max(0, int((cu - half) * WIDTH))
            x1 = min(WIDTH, int((cu + half) * WIDTH) + 1)
            detail = self.detail(y)
            dv2 = dv * dv
            alpha = [opacity * (1.0 - r) * (1.0 - r) * (0.8 + 0.3 * d) if r < 1.0 else 0.0
                     for r, d in zip([(u - cu) * (u - cu) / (ru * ru) + dv2 for u in self.u[x0:x1]],
                                     detail[x0:x1])]
            for c, m in zip(rgb, MIST):
                c[x0:x1] = bytes([int(b + (m - b) * a) for b, a in zip(c[x0:x1], alpha)])

    def row(self, y):
        """Colours of row y as (R, G, B) bytes."""
        if y < self.sky_rows:
            rgb = self.sky(y)
        else:  # every pixel is painted over; this only shows if a layer leaves a gap
            rgb = [bytearray([c]) * WIDTH for c in (POOL_DEEP if y >= self.water_row else FAR_FOOT)]
        self.paint_far(y, rgb)
        self.paint_cliff(y, rgb)
        self.paint_fall(y, rgb)
        self.paint_hills(y, rgb, self.ridges, self.ridge_rows, self.ridge_luts)
        self.paint_hills(y, rgb, self.spurs, self.spur_rows, self.spur_luts)
        self.paint_pool(y, rgb)
        self.paint_bank(y, rgb)
        self.paint_boulders(y, rgb)
        self.paint_mist(y, rgb)
        out = tuple(bytes(c) for c in rgb)
        self.rows.append(out)
        return out


def draw():
    """The picture as a list of HEIGHT rows of (R, G, B) bytes, top row first."""
    scene = Scene()
    return [scene.row(y) for y in range(HEIGHT)]


def _interleave(row, order):
    out = bytearray(3 * WIDTH)
    for i, channel in enumerate(order):
        out[i::3] = row[channel]
    return bytes(out)


def bmp_bytes(rows):
    """24-bit BI_RGB bitmap: file header, 40-byte info header, bottom-up BGR rows."""
    stride = (3 * WIDTH + 3) // 4 * 4
    pad = bytes(stride - 3 * WIDTH)
    pixels = b"".join(_interleave(r, (2, 1, 0)) + pad for r in reversed(rows))
    info = struct.pack("<IiiHHIIiiII", 40, WIDTH, HEIGHT, 1, 24, 0, len(pixels),
                       2835, 2835, 0, 0)  # 72 dpi
    offset = 14 + len(info)
    header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    return header + info + pixels


def ppm_bytes(rows):
    header = b"P6\n%d %d\n255\n" % (WIDTH, HEIGHT)
    return header + b"".join(_interleave(r, (0, 1, 2)) for r in rows)


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out", default=".", help="folder for wfall.bmp and wfall.ppm")
    parser.add_argument("--time", action="store_true", help="print how long it took")
    args = parser.parse_args(argv)
    start = time.perf_counter()
    rows = draw()
    drawn = time.perf_counter()
    os.makedirs(args.out, exist_ok=True)
    for name, data in (("wfall.bmp", bmp_bytes(rows)), ("wfall.ppm", ppm_bytes(rows))):
        with open(os.path.join(args.out, name), "wb") as f:
            f.write(data)
    if args.time:
        print("drawn in %.2f s, written in %.2f s"
              % (drawn - start, time.perf_counter() - drawn))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
