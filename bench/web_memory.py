#!/usr/bin/python3
"""The four pages' memory over a long run, in headless Chromium: the
resident memory of the page's renderer process (/proc), the program's wasm
memory and the page's JavaScript heap, sampled every 10 s, each page in a
browser of its own.

    bench/web_memory.py [SITE [MINUTES [SIZE [PAGE...]]]]
                        (default build/web/site, 5, 640x480, the four pages)

Prints, per page, the figures after the first minute and at the end, and
the renderer's growth per minute after the first minute, with what that
makes in 30 minutes.  Needs the web preset's site and Debian's Python with
python3-selenium.
"""

import os
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
sys.path.insert(0, os.path.join(ROOT, "tests", "web"))
import web_e2e  # noqa: E402  (serving and the browser, as the tests do)

PAGE_MEMORY = """
const heap = performance.memory ? performance.memory.usedJSHeapSize : 0;
const wasm = window.rainbow && rainbow.HEAPU8 ? rainbow.HEAPU8.buffer.byteLength : 0;
return [heap, wasm];"""


def slope(points):
    """Least-squares MB per minute of (seconds, MB) points."""
    n = len(points)
    if n < 2:
        return 0.0
    mx = sum(t for t, _ in points) / n
    my = sum(v for _, v in points) / n
    sxx = sum((t - mx) ** 2 for t, _ in points)
    return 60 * sum((t - mx) * (v - my) for t, v in points) / sxx if sxx else 0.0


def run(url, name, minutes, size):
    driver = web_e2e.browser()
    try:
        driver.get(url + name + ".html?size=" + size)
        start = time.time()
        if not web_e2e.within(20, lambda: web_e2e.lit(web_e2e.pixels(driver)[2]) > 0):
            web_e2e.fail(name + ": nothing drawn")
        # The page's renderer is the busy one.
        pids = web_e2e.renderers(driver)
        before = {pid: web_e2e.cpu_seconds([pid]) for pid in pids}
        time.sleep(2)
        pid = max(pids, key=lambda p: web_e2e.cpu_seconds([p]) - before[p])
        samples = []
        while True:
            t = time.time() - start
            heap, wasm = driver.execute_script(PAGE_MEMORY)
            samples.append((t, web_e2e.resident_mb(pid), heap / 2**20, wasm / 2**20))
            if t >= minutes * 60:
                break
            time.sleep(min(10, minutes * 60 - t))
    finally:
        driver.quit()
    late = [s for s in samples if s[0] >= 60]
    first = late[0]
    last = samples[-1]
    growth = slope([(s[0], s[1]) for s in late])
    # A collection can land anywhere in a run: the highest figure says
    # what a slope through a saw-tooth hides.
    print("%-8s renderer %5.1f -> %5.1f MB (%.1f to %.1f min, highest %.1f), %+.2f MB/min after "
          "the first minute (30 min: %+.0f MB); wasm %.0f -> %.0f MB, JS heap %.1f -> %.1f MB "
          "(highest %.1f)" %
          (name, first[1], last[1], first[0] / 60, last[0] / 60, max(s[1] for s in late), growth,
           growth * 29, first[3], last[3], first[2], last[2], max(s[2] for s in late)))
    sys.stdout.flush()


def main(argv):
    site = argv[1] if len(argv) > 1 else os.path.join(ROOT, "build", "web", "site")
    minutes = float(argv[2]) if len(argv) > 2 else 5
    size = argv[3] if len(argv) > 3 else "640x480"
    server, url = web_e2e.serve(site)
    try:
        for name in argv[4:] or ("plain", "threaded", "bitmap", "photo"):
            run(url, name, minutes, size)
    finally:
        server.kill()
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
