#!/usr/bin/env python3
"""Finds the rainbow_render picture that a capture of a program's window shows.

    match_render.py [--exact] RAINBOW_RENDER CAPTURE.png

The program and rainbow_render take the same samples in the same order, so
the window at any moment shows rainbow_render's picture after some number
of steps N.  No pixel ever goes dark again, so the lit pixels of the capture
that a render leaves dark only get fewer as N grows: a binary search finds
the least N that lights all of them.  --exact then wants the capture to be
that picture itself, pixel for pixel, at N or a few steps on (steps that
light nothing new).  Without it, every lit pixel must be lit in the picture
at N and all but a few must have its colour: a thread drawing while the
window is captured may tear the capture, and a repaint racing the first
samples may have wiped a few.

Exit 0 when it matches, 1 when not, 2 for bad arguments or tools.
"""

import subprocess
import sys

EXACT_LOOKAHEAD = 64  # steps past N that may still only recolour pixels
WRONG_COLOUR_SHARE = 0.01  # without --exact: lit pixels of another colour allowed
MIN_LIT = 500  # fewer would not show the bows


def ppm(data):
    """Width, height and RGB bytes of a binary PPM (P6, maxval 255)."""
    magic, w, h, maxval, rest = data.split(maxsplit=4)
    if magic != b"P6" or maxval != b"255":
        raise ValueError("not an 8-bit P6 PPM")
    w, h = int(w), int(h)
    return w, h, rest[:w * h * 3]


def decode(png_bytes):
    out = subprocess.run(["convert", "png:-", "ppm:-"], input=png_bytes, check=True,
                         capture_output=True).stdout
    return ppm(out)


def main(argv):
    exact = "--exact" in argv
    args = [a for a in argv if a != "--exact"]
    if len(args) != 2:
        print(__doc__.splitlines()[2].strip(), file=sys.stderr)
        return 2
    render_tool, capture_path = args
    with open(capture_path, "rb") as f:
        w, h, shot = decode(f.read())
    lit = [i for i in range(0, len(shot), 3) if shot[i:i + 3] != b"\0\0\0"]
    if len(lit) < MIN_LIT:
        print("match_render: only %d lit pixels in the capture" % len(lit))
        return 1

    cache = {}

    def render(steps):
        if steps not in cache:
            png = subprocess.run([render_tool, "--size", "%dx%d" % (w, h), "--steps",
                                  str(steps), "--out", "-"], check=True,
                                 capture_output=True).stdout
            cache[steps] = decode(png)[2]
        return cache[steps]

    def dark(steps):  # lit in the capture, dark in the render
        r = render(steps)
        return sum(1 for i in lit if r[i:i + 3] == b"\0\0\0")

    def recoloured(steps):
        r = render(steps)
        return sum(1 for i in lit if r[i:i + 3] != shot[i:i + 3])

    # Far more steps than lit pixels would mean pixels no render lights.
    high, limit = 4096, max(64 * len(lit), 1 << 20)
    while dark(high) > 0:
        if high >= limit:
            print("match_render: %d pixels lit in the capture stay dark in rainbow_render "
                  "--steps %d" % (dark(high), high))
            return 1
        high *= 2
    low = high // 2 if high > 4096 else -1
    while high - low > 1:
        mid = (low + high) // 2
        if dark(mid) > 0:
            low = mid
        else:
            high = mid
    extra = sum(1 for i in range(0, len(shot), 3) if render(high)[i:i + 3] != b"\0\0\0") - len(lit)
    print("match_render: %dx%d, %d lit pixels, all lit from rainbow_render --steps %d "
          "(%d renders)" % (w, h, len(lit), high, len(cache)))
    if exact:
        for steps in range(high, high + EXACT_LOOKAHEAD):
            if render(steps) == shot:
                print("match_render: identical to rainbow_render --steps %d" % steps)
                return 0
        print("match_render: not identical to any picture from --steps %d to %d (%d pixels "
              "of another colour, %d more lit at %d)" % (high, high + EXACT_LOOKAHEAD - 1,
                                                         recoloured(high), extra, high))
        return 1
    wrong = recoloured(high)
    print("match_render: %d lit pixels of another colour, %d lit only in the render"
          % (wrong, extra))
    return 0 if wrong <= WRONG_COLOUR_SHARE * len(lit) else 1


if __name__ == "__main__":
    try:
        sys.exit(main(sys.argv[1:]))
    except (OSError, ValueError, subprocess.CalledProcessError) as e:
        print("match_render: %s" % e, file=sys.stderr)
        sys.exit(2)
