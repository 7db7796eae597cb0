#!/usr/bin/python3
"""The site as a person hosts it, in headless Chromium: served by a plain
static server with no special headers (scripts/serve.sh --no-headers).

    site_e2e.py SITE ZIP

 - past the service worker: plain, bitmap and photo draw on the first load,
   the page not cross-origin isolated; threaded says in one sentence that
   the browser withholds what it needs, and links to plain;
 - with the service worker: threaded draws with its worker thread after at
   most one reload, the only page it isolates;
 - after one visit, with the network gone: all four pages load and draw;
 - the site is installable (no installability errors);
 - a changed build served in place: the next visit, after at most one
   reload, runs only the new build's files, and a picture chosen before
   is still there;
 - ZIP unzipped into a fresh folder and served: plain draws;
 - a phone (390 x 844, touch): no sideways scrolling, the Close button and
   the picture chooser within reach, the canvas filling the rest.

Runs under Debian's Python (its python3-selenium).  Exit 0 when all pass,
1 on a failure, 77 when Chromium or its driver is missing.
"""

import os
import shutil
import struct
import subprocess
import sys
import tempfile
import zipfile

import web_e2e
from web_e2e import fail, within

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
SIZE = "?size=320x240"

# Counts the loads of each page in this tab, to tell a reload from none.
LOADS = "sessionStorage.loads = (+sessionStorage.loads || 0) + 1;"


def browser():
    driver = web_e2e.browser()
    driver.execute_cdp_cmd("Page.addScriptToEvaluateOnNewDocument", {"source": LOADS})
    driver.execute_cdp_cmd("Network.enable", {})
    return driver


def script(driver, js):
    """execute_script that answers None while the page is being replaced."""
    from selenium.common.exceptions import WebDriverException
    try:
        return driver.execute_script(js)
    except WebDriverException:
        return None


def draws(driver, name):
    """The program's bows are on the canvas (and its picture, for the
    backdrop programs: the sky's corner is not black)."""
    return script(driver, """
        const c = document.getElementById('canvas');
        if (!c || c.hidden || !c.width) return false;
        const d = c.getContext('2d').getImageData(0, 0, c.width, c.height).data;
        let lit = 0;
        for (let i = 0; i < d.length; i += 4) if (d[i] | d[i + 1] | d[i + 2]) ++lit;
        const top = d[0] | d[1] | d[2];
        return lit > 1000 && (%s || top > 0);""" % ("true" if name in ("plain", "threaded") else "false"))


def visit(driver, url, name, query=SIZE):
    driver.get(url + name + ".html" + query)
    if not within(20, lambda: draws(driver, name)):
        fail("%s: nothing drawn (%r)" %
             (name, script(driver, "return document.getElementById('status').textContent")))
    if script(driver, "return typeof Module + ' ' + typeof FS;") != "undefined undefined":
        fail("%s: the program's runtime is global (Module or FS), not a module" % name)


def cached(driver, site):
    """The service worker controls the page and its build's cache holds
    every file of the site but the worker itself."""
    files = sum(len(names) for _, _, names in os.walk(site)) - 1
    return driver.execute_async_script("""
        const done = arguments[arguments.length - 1];
        if (!navigator.serviceWorker.controller) return done(false);
        caches.keys().then(names => names.length === 1 ? caches.open(names[0]) : null)
            .then(cache => cache ? cache.keys() : [])
            .then(keys => done(keys.length === arguments[0]));""", files)


def bypassed(url):
    """Past the service worker, as on a host where none can run."""
    driver = browser()
    try:
        driver.execute_cdp_cmd("Network.setBypassServiceWorker", {"bypass": True})
        for name in ("plain", "bitmap", "photo"):
            visit(driver, url, name)
            if script(driver, "return self.crossOriginIsolated;") is not False:
                fail(name + ": isolated although no headers were sent")
        driver.get(url + "threaded.html" + SIZE)
        said = within(20, lambda: script(driver, """
            const s = document.getElementById('status');
            const a = s.querySelector('a');
            return s.dataset.refused && a && document.getElementById('canvas').hidden ?
                [s.textContent, a.getAttribute('href')] : null;"""))
        if not said or not said[1].startswith("plain.html"):
            fail("threaded past the service worker: no sentence linking plain (%r)" % said)
        if any(word in said[0] for word in ("Cross-Origin", "header", "isolat")):
            fail("threaded: the sentence is addressed to a programmer: %r" % said[0])
    finally:
        driver.quit()
    print("ok: past the service worker plain, bitmap and photo draw; threaded says: " + said[0])


def with_worker(url, site):
    """A first visit to threaded, then the site offline and installable."""
    driver = browser()
    try:
        visit(driver, url, "threaded")
        loads = script(driver, "return [+sessionStorage.loads, self.crossOriginIsolated, "
                               "rainbow.PThread.runningWorkers.length];")
        if loads[0] > 2 or not loads[1] or loads[2] < 1:
            fail("threaded: %d loads, isolated %s, %d worker threads" % tuple(loads))
        print("ok: threaded draws with its worker thread after %d reload" % (loads[0] - 1))
        if not within(20, lambda: cached(driver, site)):
            fail("the service worker does not hold the site")
        driver.get(url + "index.html")
        errors = driver.execute_cdp_cmd("Page.getInstallabilityErrors", {})["installabilityErrors"]
        if errors:
            fail("not installable: %r" % errors)
        print("ok: installable")
        driver.execute_cdp_cmd("Network.emulateNetworkConditions", {
            "offline": True, "latency": 0, "downloadThroughput": -1, "uploadThroughput": -1})
        for name in ("plain", "threaded", "bitmap", "photo"):
            visit(driver, url, name)
            # Only threaded is isolated: the others open in the renderer
            # they come from, not in a new one.
            if script(driver, "return self.crossOriginIsolated;") != (name == "threaded"):
                fail(name + ": cross-origin isolation from the worker is for threaded only")
        driver.get(url)
        if not within(10, lambda: script(driver, "return document.images.length && "
                                         "[...document.images].every(i => i.naturalWidth);")):
            fail("the index without the network: pictures missing")
    finally:
        driver.quit()
    print("ok: after one visit all four pages and the index work without the network")


OWN = (10, 200, 30)  # a person's own picture: one colour


def own_picture(path):
    """A 4 x 4 BMP of the colour OWN."""
    pixels = bytes(OWN[::-1]) * 16
    with open(path, "wb") as f:
        f.write(b"BM" + struct.pack("<IHHI", 54 + len(pixels), 0, 0, 54) +
                struct.pack("<IiiHHIIiiII", 40, 4, 4, 1, 24, 0, len(pixels), 2835, 2835, 0, 0) +
                pixels)


def shows_own(driver):
    return script(driver, """
        const c = document.getElementById('canvas');
        return c && c.width ? [...c.getContext('2d').getImageData(0, 0, 1, 1).data.slice(0, 3)] : null;
        """) == list(OWN)


def update(site, work):
    """A new build served in place of the one the worker keeps; a person's
    own picture stays."""
    copy = os.path.join(work, "update")
    shutil.copytree(site, copy)
    server, url = web_e2e.serve(copy, headers=False)
    driver = browser()
    try:
        visit(driver, url, "plain")
        if not within(20, lambda: cached(driver, copy)):
            fail("update: the first build is not kept")
        own_picture(os.path.join(work, "own.bmp"))
        driver.get(url + "bitmap.html" + SIZE)
        driver.find_element("id", "choose").send_keys(os.path.join(work, "own.bmp"))
        if not within(20, lambda: shows_own(driver)):
            fail("update: bitmap does not show the picture chosen")
        with open(os.path.join(copy, "page.js"), "a") as f:
            f.write("\nwindow.__build = 'second';\n")
        subprocess.run([sys.executable, os.path.join(ROOT, "site", "make_site.py"), "--stamp", copy,
                        "--worker", os.path.join(ROOT, "site", "service_worker.js")], check=True)
        with open(os.path.join(copy, "service_worker.js")) as f:
            build = f.read().split("const BUILD = '")[1].split("'")[0]
        script(driver, "sessionStorage.loads = 0;")
        driver.get(url + "plain.html" + SIZE)
        if not within(20, lambda: script(driver, "return window.__build;") == "second"):
            fail("update: the new build's page.js never ran")
        if not within(20, lambda: draws(driver, "plain")):
            fail("update: the new build's plain draws nothing")
        state = driver.execute_async_script("""
            const done = arguments[arguments.length - 1];
            caches.keys().then(names => done([names, +sessionStorage.loads]));""")
        if state[0] != ["rainbow-" + build] or state[1] > 2:
            fail("update: caches %r after %d loads (want only rainbow-%s)" % (state[0], state[1], build))
        driver.get(url + "bitmap.html?picture=own&" + SIZE[1:])
        if not within(20, lambda: shows_own(driver)):
            fail("update: the picture chosen before it is gone")
    finally:
        driver.quit()
        server.kill()
    print("ok: a new build replaces the old one whole after %d reload; the picture chosen stays" %
          (state[1] - 1))


def from_zip(zip_path, work):
    folder = os.path.join(work, "unzipped")
    with zipfile.ZipFile(zip_path) as z:
        z.extractall(folder)
    tops = os.listdir(folder)
    if len(tops) != 1:
        fail("the zip holds %r, not one folder" % tops)
    server, url = web_e2e.serve(os.path.join(folder, tops[0]), headers=False)
    driver = browser()
    try:
        visit(driver, url, "plain")
    finally:
        driver.quit()
        server.kill()
    print("ok: %s unzipped and served: plain draws" % os.path.basename(zip_path))


def phone(url):
    """390 x 844 CSS pixels, portrait, touch only."""
    driver = browser()
    try:
        driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride", {
            "width": 390, "height": 844, "deviceScaleFactor": 3, "mobile": True})
        driver.execute_cdp_cmd("Emulation.setTouchEmulationEnabled", {"enabled": True, "maxTouchPoints": 5})
        for name in ("index", "bitmap", "plain"):
            if name == "index":
                driver.get(url + "index.html")
            else:
                visit(driver, url, name, "")
            layout = script(driver, """
                const e = document.scrollingElement, out = {};
                out.wide = e.scrollWidth > innerWidth;
                for (const id of ['close', 'choose', 'original', 'client', 'canvas']) {
                  const el = document.getElementById(id);
                  if (!el || el.offsetParent === null) continue;
                  const r = el.getBoundingClientRect();
                  out[id] = [r.left, r.top, r.right, r.bottom];
                }
                const c = document.getElementById('canvas');
                out.pixels = c ? [c.width, c.height] : null;
                out.view = [innerWidth, innerHeight];
                return out;""")
            if layout["wide"]:
                fail("phone: %s scrolls sideways" % name)
            if name == "index":
                continue
            w, h = layout["view"]
            for id in ("close", "choose", "original") if name == "bitmap" else ("close",):
                l, t, r, b = layout.get(id) or (0, 0, 0, 0)
                if not (0 <= l and r <= w and 0 <= t and b <= h and r - l >= 40 and b - t >= 40):
                    fail("phone: %s's %s is out of reach or too small for a finger: %r" %
                         (name, id, layout.get(id)))
            client, canvas = layout["client"], layout["canvas"]
            if (canvas[2] - canvas[0], canvas[3] - canvas[1]) != tuple(layout["pixels"]) or \
               abs(client[2] - w) > 0.5 or abs(client[3] - h) > 0.5 or \
               abs(canvas[2] - client[2]) > 1 or abs(canvas[3] - client[3]) > 1:
                fail("phone: %s's canvas does not fill the rest at one pixel per CSS pixel: %r" %
                     (name, layout))
        # A finger on Close ends the program.
        l, t, r, b = layout["close"]
        for kind in ("touchStart", "touchEnd"):
            driver.execute_cdp_cmd("Input.dispatchTouchEvent", {
                "type": kind, "touchPoints": [] if kind == "touchEnd" else
                [{"x": (l + r) / 2, "y": (t + b) / 2}]})
        if within(10, lambda: script(driver, "return document.body.dataset.exitCode;")) != "0":
            fail("phone: a tap on Close did not end plain")
    finally:
        driver.quit()
    print("ok: on a phone the pages fit, Close and the picture chooser are within reach")


def main(argv):
    if len(argv) != 3:
        print(__doc__.splitlines()[3].strip(), file=sys.stderr)
        return 2
    site, zip_path = argv[1:]
    if not shutil.which("chromium") or not shutil.which("chromedriver"):
        print("skip: chromium and chromedriver are needed")
        return 77
    work = tempfile.mkdtemp(prefix="site_e2e.")
    server, url = web_e2e.serve(site, headers=False)
    try:
        bypassed(url)
        with_worker(url, site)
        phone(url)
        server.kill()
        update(site, work)
        from_zip(zip_path, work)
    finally:
        server.kill()
        shutil.rmtree(work, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
