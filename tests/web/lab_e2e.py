#!/usr/bin/python3
"""End-to-end in headless Chromium: the site's lab page, served by a plain
static server (no cross-origin isolation), driven through Selenium.

    lab_e2e.py SITE

 - the canvas fills in with the primary along its arc;
 - a higher sun restarts the build-up and lowers the bow;
 - Save PNG downloads the canvas as it was at the click, pixel for pixel;
 - on a phone's screen (390 x 844) the page fits its width, with the bow.

Runs under Debian's Python (its python3-selenium).  Exit 0 when all pass,
1 on a failure, 77 when Chromium or its driver is missing.
"""

import base64
import glob
import math
import os
import shutil
import sys
import tempfile
import time

from web_e2e import browser as web_browser, fail, serve, within  # as the programs' pages


# A picture's size and RGBA bytes, in base64.
RGBA = """
function rgba(d, size) {
  let s = '';
  for (let i = 0; i < d.length; i += 8192) s += String.fromCharCode.apply(null, d.subarray(i, i + 8192));
  return [size.width, size.height, btoa(s)];
}
"""
CANVAS = RGBA + """
const c = document.getElementById('sky');
return rgba(c.getContext('2d').getImageData(0, 0, c.width, c.height).data, c);
"""


def canvas(driver, before=""):
    w, h, data = driver.execute_script(before + CANVAS)
    return w, h, base64.b64decode(data)


def lum(w, h, rgba, angle, direction=90, elevation=0):
    """The luminance `angle` degrees from the antisolar point, `direction`
    degrees round from the horizontal: the classic sky layout puts the
    horizon above that point at (w/2, 7h/8), and 60 degrees at (w-50)/2
    and 5h/8 pixels.  Straight up, right for any sun's height; elsewhere
    for the sun on the horizon."""
    a = math.radians(direction)
    x = int(round(w // 2 + angle * math.cos(a) * ((w - 50) // 2) / 60))
    y = int(round(7 * h // 8 - (angle * math.sin(a) - elevation) * (5 * h // 8) / 60))
    r, g, b = rgba[4 * (y * w + x):4 * (y * w + x) + 3]
    return 0.2126 * r + 0.7152 * g + 0.0722 * b


def bow_at(w, h, rgba, elevation):
    """Straight up, the sky's brightest within 36-46 degrees of the
    antisolar point lies at 39.5-43 (the primary) and outshines
    Alexander's band (44.5-48) by a third."""
    sky = {t: lum(w, h, rgba, t / 10, 90, elevation) for t in range(360, 481)}
    peak = max(range(360, 461), key=sky.get)
    return 395 <= peak <= 430 and sky[peak] > max(40, 1.3 * max(sky[t] for t in range(445, 481)))


def arc(w, h, rgba):
    """The sun on the horizon: the primary all round its arc."""
    return all(max(lum(w, h, rgba, a / 2, d) for a in range(81, 86)) > 1.3 * lum(w, h, rgba, 46.5, d)
               for d in (15, 45, 75, 105, 135, 165))


# The saved file's own samples, decoded by the browser with no colour
# management (arguments[0]: the file in base64), as the canvas returns them.
DECODE = RGBA + """
const done = arguments[arguments.length - 1];
fetch('data:image/png;base64,' + arguments[0]).then(r => r.blob())
  .then(b => createImageBitmap(b, {colorSpaceConversion: 'none', premultiplyAlpha: 'none'}))
  .then(picture => {
    const g = new OffscreenCanvas(picture.width, picture.height).getContext('2d');
    g.drawImage(picture, 0, 0);
    done(rgba(g.getImageData(0, 0, picture.width, picture.height).data, picture));
  }, error => done(String(error)));
"""


def browser(downloads):
    """The programs' pages' browser, larger, saving downloads in `downloads`."""
    driver = web_browser("1000,800")
    driver.execute_cdp_cmd("Browser.setDownloadBehavior",
                           {"behavior": "allow", "downloadPath": downloads})
    return driver


WATCH = """
window.__frames = [];
document.addEventListener('labframe', e => window.__frames.push(e.detail));
"""


def frames(driver):
    return driver.execute_script("return window.__frames;")


def builds_up(driver, url):
    driver.get(url + "lab.html")
    driver.execute_script(WATCH)
    if driver.execute_script("return self.crossOriginIsolated;"):
        fail("the server was meant to send no isolation headers")
    shown = within(30, lambda: bow_at(*canvas(driver), 0) and arc(*canvas(driver)))
    if not shown:
        fail("lab: no bow on the canvas (status: %r)" % driver.find_element("id", "status").text)
    print("ok: the canvas fills in with the primary along its arc, without isolation")


def restarts(driver):
    first_run = int(driver.execute_script("return document.body.dataset.run;"))
    # Past the run's first picture, so that a restart shows as fewer rays.
    within(30, lambda: len([f for f in frames(driver) if f["run"] == first_run]) >= 2)
    driver.execute_script("""
        const sun = document.getElementById('sun');
        sun.value = 10;
        sun.dispatchEvent(new Event('input', {bubbles: true}));""")
    old = [f["rays"] for f in frames(driver) if f["run"] == first_run]
    moved = within(30, lambda: driver.execute_script(
        "return +document.body.dataset.shownRun;") == first_run + 1 and
        bow_at(*canvas(driver), 10))
    new = [f["rays"] for f in frames(driver) if f["run"] == first_run + 1]
    if not moved or not new:
        fail("lab: no bow 10 degrees lower after the sun rose")
    if not new[0] < old[-1]:
        fail("lab: the build-up did not start again (%d rays, then %d)" % (old[-1], new[0]))
    print("ok: a higher sun restarts the build-up (%d rays, then %d) and lowers the bow"
          % (old[-1], new[0]))


def saves(driver, downloads):
    """Saved early in a run (the filter put in front), while later pictures
    still change the canvas: the file holds the canvas at the click."""
    run = driver.execute_script("document.getElementById('polarizer').click();"
                                "return +document.body.dataset.run;")
    if not within(30, lambda: driver.execute_script(
            "return +document.body.dataset.shownRun;") == run):
        fail("lab: no picture after the filter was put in front")
    # The click and the read in one script: no picture lands in between.
    w, h, shown = canvas(driver, "document.getElementById('save').click();")
    within(30, lambda: canvas(driver)[2] != shown)
    # Chromium writes to a .crdownload and renames the whole file.
    saved = within(30, lambda: glob.glob(os.path.join(downloads, "*.png")))
    if not saved:
        fail("lab: Save PNG downloaded nothing")
    with open(saved[0], "rb") as f:
        decoded = driver.execute_async_script(DECODE, base64.b64encode(f.read()).decode())
    if not isinstance(decoded, list):
        fail("lab: the saved file is no PNG the browser reads: %s" % decoded)
    pw, ph, pixels = decoded[0], decoded[1], base64.b64decode(decoded[2])
    if (pw, ph) != (w, h) or pixels != shown:
        fail("lab: %s is not the canvas (%dx%d against %dx%d)" % (saved[0], pw, ph, w, h))
    print("ok: Save PNG gives the canvas, %s (%dx%d)" % (os.path.basename(saved[0]), w, h))


def phone(driver, url):
    driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride",
                           {"width": 390, "height": 844, "deviceScaleFactor": 3, "mobile": True})
    driver.get(url + "lab.html")
    if not within(30, lambda: bow_at(*canvas(driver), 0)):
        fail("lab on a phone: no bow")
    wide = driver.execute_script("return document.documentElement.scrollWidth;")
    if wide > 390:
        fail("lab on a phone: the page is %d pixels wide" % wide)
    print("ok: on a 390 x 844 phone the page fits its width and shows the bow")


def main(argv):
    if len(argv) != 2:
        print(__doc__.splitlines()[3].strip(), file=sys.stderr)
        return 2
    site = argv[1]
    if not os.path.isfile(os.path.join(site, "lab.html")):
        fail("no lab.html in " + site)
    if not shutil.which("chromium") or not shutil.which("chromedriver"):
        print("skip: chromium and chromedriver are needed")
        return 77
    downloads = tempfile.mkdtemp(prefix="lab_e2e.")
    server, url = serve(site, headers=False)
    driver = browser(downloads)
    try:
        builds_up(driver, url)
        restarts(driver)
        saves(driver, downloads)
        phone(driver, url)
    finally:
        driver.quit()
        server.kill()
        shutil.rmtree(downloads, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
