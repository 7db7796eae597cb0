#!/usr/bin/python3
"""The lab page's figures, in headless Chromium on this machine: how long
after a control change (the sun's height, stepped through 0-30 degrees) the
canvas shows a recognisable bow, as tests/web/lab_e2e.py recognises one
(the primary's peak where it belongs, brighter than Alexander's band); how
long until the new run's first picture; and the rays a second the worker
traces (wasm, one thread).

    bench/lab_bench.py [SITE [CHANGES [OPTICS [RADIUS]]]]
    (default build/web/site, 14 changes, rays, 500 micrometres)

Needs the web preset's site and Debian's Python with python3-selenium.
Run it on an otherwise idle machine.
"""

import os
import statistics
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
sys.path.insert(0, os.path.join(ROOT, "tests", "web"))
import lab_e2e  # noqa: E402  (serving, the browser and the bow, as the test has them)

# Each picture's three middle columns, taken as it is drawn (the bow's top
# lies on them), with the run's start.
WATCH = """
window.__runs = {};
window.__frames = [];
document.addEventListener('labrun', e => window.__runs[e.detail.run] = e.detail.time);
document.addEventListener('labframe', e => {
  const c = document.getElementById('sky');
  const x = (c.width >> 1) - 1;
  const d = c.getContext('2d').getImageData(x, 0, 3, c.height).data;
  window.__frames.push(Object.assign({w: c.width, h: c.height, column: Array.from(d)}, e.detail));
});
"""


def bow(frame, elevation):
    """lab_e2e.bow_at on a picture holding only the three middle columns."""
    w, h = frame["w"], frame["h"]
    rgba = bytearray(4 * w * h)
    x = (w >> 1) - 1
    column = frame["column"]
    for y in range(h):
        rgba[4 * (y * w + x):4 * (y * w + x + 3)] = bytes(column[12 * y:12 * y + 12])
    return lab_e2e.bow_at(w, h, bytes(rgba), elevation)


def main(argv):
    site = argv[1] if len(argv) > 1 else os.path.join(ROOT, "build", "web", "site")
    changes = int(argv[2]) if len(argv) > 2 else 14
    optics = argv[3] if len(argv) > 3 else "rays"
    radius = argv[4] if len(argv) > 4 else "500"
    server, url = lab_e2e.serve(site)
    driver = lab_e2e.browser(tempfile.mkdtemp(prefix="lab_bench."))
    to_bow, to_first, rates = [], [], []
    try:
        driver.get(url + "lab.html")
        driver.execute_script(WATCH)
        driver.execute_script("""
            const radius = document.getElementById('radius');
            radius.value = [5, 10, 20, 30, 50, 100, 150, 200, 300, 500, 750, 1000, 1500, 2000]
                           .indexOf(+arguments[1]);
            document.getElementById('optics').value = arguments[0];
            radius.dispatchEvent(new Event('input', {bubbles: true}));""", optics, radius)
        for k in range(changes):
            elevation = 5 * ((k + 1) % 7)
            run = driver.execute_script("""
                const sun = document.getElementById('sun');
                sun.value = arguments[0];
                sun.dispatchEvent(new Event('input', {bubbles: true}));
                return +document.body.dataset.run;""", elevation)
            seen = []

            def shown():
                seen.extend(driver.execute_script(
                    "return window.__frames.splice(0).filter(f => f.run === arguments[0]);", run))
                return any(bow(f, elevation) for f in seen)

            if not lab_e2e.within(60, shown):
                problem = driver.find_element("id", "status").text
                print("no bow within 60 s of the change to %d degrees (%s)" % (elevation, problem))
                return 1
            start = driver.execute_script("return window.__runs[arguments[0]];", run)
            first = next(f for f in seen if bow(f, elevation))
            to_bow.append(first["time"] - start)
            to_first.append(seen[0]["time"] - start)
            time.sleep(1.5)  # the run's rate, past its first small batches
            seen.extend(driver.execute_script(
                "return window.__frames.splice(0).filter(f => f.run === arguments[0]);", run))
            rates.append(seen[-1]["raysPerSecond"])
            print("sun %2d degrees: first picture %4.0f ms, a bow %4.0f ms (%d rays)"
                  % (elevation, to_first[-1], to_bow[-1], first["rays"]))
    finally:
        driver.quit()
        server.kill()
    print("%s, %d changes: a recognisable bow %.0f ms after a change (median; %.0f-%.0f), "
          "the first picture %.0f ms (median), %.1f M rays a second (median)"
          % (optics, changes, statistics.median(to_bow), min(to_bow), max(to_bow),
             statistics.median(to_first), statistics.median(rates) / 1e6))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
