#!/usr/bin/python3
"""End-to-end in headless Chromium: the browser build's site, served with
cross-origin isolation, each program's page driven through Selenium.

    web_e2e.py SITE RAINBOW_RENDER RAINBOW_STRETCH_REF

 - plain and threaded draw rainbow_render's picture at some step count
   (tests/wine/match_render.py; exactly for plain);
 - bitmap and photo show their picture stretched as the Linux build does
   (rainbow_stretch_ref) above the bows, also after the browser window is
   resized;
 - with ?picture=none: photo's CreateFile dialog, then (both) one
   "LoadImage: " line in the console;
 - bitmap lives on while its tab is behind another (a minimised window)
   and shows its picture again on its return;
 - Escape ends plain, and the page's Close button threaded (which leaves
   keys alone), with exit code 0 in the page;
 - served without cross-origin isolation, a page says so instead of starting.

Runs under Debian's Python (its python3-selenium).  Exit 0 when all pass,
1 on a failure, 77 when Chromium or its driver is missing.
"""

import base64
import os
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
SIZE = (320, 240)
# The exact match wants a capture whose next steps still light new pixels
# (the search finds the least such step count): at 640 x 480 even a late
# first frame is far from the finished bows.  A worker thread's capture is
# torn across the tiles presented, which a small window keeps small.
EXACT_SIZE = (640, 480)


def fail(why):
    print("FAIL: " + why)
    sys.exit(1)


def within(seconds, check):
    end = time.time() + seconds
    while True:
        value = check()
        if value or time.time() > end:
            return value
        time.sleep(0.2)


def serve(site, *flags):
    server = subprocess.Popen([sys.executable, os.path.join(ROOT, "scripts", "serve_site.py"),
                               site, "0", *flags], stdout=subprocess.PIPE, text=True)
    line = server.stdout.readline()
    if "http://" not in line:
        server.kill()
        fail("the site was not served: " + line)
    return server, line.split(" at ")[1].strip()


def browser():
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service
    options = webdriver.ChromeOptions()
    options.binary_location = shutil.which("chromium")
    for arg in ("--headless=new", "--no-sandbox", "--disable-dev-shm-usage",
                "--window-size=800,600"):
        options.add_argument(arg)
    options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
    return webdriver.Chrome(service=Service(shutil.which("chromedriver")), options=options)


# Put in every page before its own scripts: the canvas as it is at the
# first frame with over 1000 lit pixels, long before match_render's search
# limit, and before a worker thread has drawn so much more that a capture
# torn across its drawing shows many pixels of an older colour.
EARLY = """
(function watch() {
  const c = document.getElementById('canvas');
  if (c && c.width && !window.__early) {
    const d = c.getContext('2d').getImageData(0, 0, c.width, c.height).data;
    let n = 0;
    for (let i = 0; i < d.length; i += 4) if (d[i] | d[i + 1] | d[i + 2]) ++n;
    if (n > 1000) {
      let s = '';
      for (let i = 0; i < d.length; i += 4) s += String.fromCharCode(d[i], d[i + 1], d[i + 2]);
      window.__early = [c.width, c.height, btoa(s)];
    }
  }
  if (!window.__early) requestAnimationFrame(watch);
})();
"""


def pixels(driver):
    """The canvas's size and RGB bytes, as the program put them."""
    data = driver.execute_script("""
        const c = document.getElementById('canvas');
        if (!c.width || !c.height) return null;
        const d = c.getContext('2d').getImageData(0, 0, c.width, c.height).data;
        let s = '';
        for (let i = 0; i < d.length; i += 4) s += String.fromCharCode(d[i], d[i + 1], d[i + 2]);
        return [c.width, c.height, btoa(s)];""")
    if not data:
        return 0, 0, b""
    return data[0], data[1], base64.b64decode(data[2])


def lit(rgb):
    return sum(1 for i in range(0, len(rgb), 3) if rgb[i:i + 3] != b"\0\0\0")


def console(driver):
    return [entry["message"] for entry in driver.get_log("browser")]


def draws_render(driver, url, name, render, work, exact):
    driver.get(url + name + ".html?size=%dx%d" % (EXACT_SIZE if exact else SIZE))
    early = within(20, lambda: driver.execute_script("return window.__early;"))
    if not early:
        fail(name + ": the bows do not appear")
    w, h, rgb = early[0], early[1], base64.b64decode(early[2])
    shot = os.path.join(work, name + ".png")
    subprocess.run(["convert", "ppm:-", shot], input=b"P6 %d %d 255\n" % (w, h) + rgb, check=True)
    match = [sys.executable, os.path.join(ROOT, "tests", "wine", "match_render.py")]
    if subprocess.run(match + (["--exact"] if exact else []) + [render, shot]).returncode != 0:
        fail(name + ": not rainbow_render's picture")
    print("ok: %s draws rainbow_render's picture" % name)


def shows_picture(driver, name, stretch_ref, work):
    """The sky (the top quarter) is the stretched picture, bows below it."""
    w, h, rgb = pixels(driver)
    if not w:
        return False
    picture = os.path.join(work, "wfall.jpg" if name == "photo" else "wfall.bmp")
    ref = os.path.join(work, "%s-%dx%d.ppm" % (name, w, h))
    if not os.path.exists(ref):
        subprocess.run([stretch_ref, picture, str(w), str(h), ref], check=True)
    with open(ref, "rb") as f:
        want = f.read().split(maxsplit=4)[4]
    sky = w * (h // 4 - 1) * 3
    return rgb[:sky] == want[:sky] and sum(
        1 for i in range(0, len(rgb), 3) if rgb[i:i + 3] != want[i:i + 3]) > 100


def backdrop(driver, url, name, stretch_ref, work):
    driver.get(url + name + ".html?size=%dx%d" % SIZE)
    if not within(20, lambda: shows_picture(driver, name, stretch_ref, work)):
        fail(name + ": the picture is not stretched under the bows")
    driver.get(url + name + ".html")  # the canvas fills the page
    within(10, lambda: shows_picture(driver, name, stretch_ref, work))
    before = pixels(driver)[:2]
    driver.set_window_size(700, 500)
    if not within(20, lambda: pixels(driver)[:2] != before and
                  shows_picture(driver, name, stretch_ref, work)):
        fail(name + ": no repaint over the picture after a resize")
    driver.set_window_size(800, 600)
    print("ok: %s shows its picture, also after a resize" % name)


def hidden_tab(driver, url, stretch_ref, work):
    """A tab put behind another is a minimised window: the program lives on,
    and on its return the picture is stretched again under the bows."""
    driver.get(url + "bitmap.html?size=%dx%d" % SIZE)
    if not within(20, lambda: shows_picture(driver, "bitmap", stretch_ref, work)):
        fail("bitmap: no picture before hiding the tab")
    driver.execute_script("window.__shown = [];"
                          "document.addEventListener('visibilitychange',"
                          " () => window.__shown.push(document.visibilityState));")
    page = driver.current_window_handle
    driver.switch_to.new_window("tab")
    time.sleep(1)  # a while behind the other tab; the page hears of it in its own time
    driver.close()
    driver.switch_to.window(page)
    if not within(10, lambda: driver.execute_script("return window.__shown;")[:1] == ["hidden"]):
        fail("bitmap: the tab was never hidden")
    if not within(10, lambda: shows_picture(driver, "bitmap", stretch_ref, work)):
        fail("bitmap: no picture after the tab came back")
    if driver.execute_script("return document.body.dataset.exitCode;") is not None:
        fail("bitmap: the program ended while its tab was hidden")
    print("ok: bitmap lives on behind another tab and shows its picture on its return")


def missing_picture(driver, url, name):
    console(driver)  # drops older lines
    driver.get(url + name + ".html?picture=none&size=%dx%d" % SIZE)
    lines = []
    if name == "photo":
        caption = within(20, lambda: driver.execute_script(
            "const d = document.getElementById('message');"
            "return d.open ? d.querySelector('.caption').textContent : '';"))
        if caption != "CreateFile":
            fail("photo: no dialog captioned CreateFile (%r)" % caption)
        lines += console(driver)
        if any("LoadImage: " in line for line in lines):
            fail("photo: a LoadImage line before the dialog")
        driver.execute_script("document.querySelector('#message button').click();")
    within(20, lambda: lines.extend(console(driver)) or
           any("LoadImage: " in line for line in lines))
    found = [line for line in lines if "LoadImage: " in line]
    if len(found) != 1:
        fail("%s: %d LoadImage lines: %r" % (name, len(found), found))
    print("ok: %s without its picture: %s" % (name, found[0].split('"', 1)[-1]))


def escape_ends(driver, url):
    from selenium.webdriver.common.action_chains import ActionChains
    from selenium.webdriver.common.keys import Keys
    driver.get(url + "plain.html?size=%dx%d" % SIZE)
    within(20, lambda: lit(pixels(driver)[2]) > 0)
    ActionChains(driver).send_keys(Keys.ESCAPE).perform()
    code = within(10, lambda: driver.execute_script("return document.body.dataset.exitCode;"))
    if code != "0":
        fail("plain: exit code %r after Escape" % code)
    driver.get(url + "threaded.html?size=%dx%d" % SIZE)
    within(20, lambda: lit(pixels(driver)[2]) > 0)
    driver.find_element("id", "close").click()
    code = within(10, lambda: driver.execute_script("return document.body.dataset.exitCode;"))
    if code != "0":
        fail("threaded: exit code %r after the Close button" % code)
    print("ok: Escape ends plain, the Close button threaded, with exit code 0")


def not_isolated(driver, site):
    server, url = serve(site, "--not-isolated")
    try:
        driver.get(url + "threaded.html")
        text = within(10, lambda: driver.execute_script(
            "const s = document.getElementById('status');"
            "return !s.hidden && document.getElementById('canvas').hidden ? s.textContent : '';"))
    finally:
        server.kill()
    if "Cross-Origin-Embedder-Policy" not in (text or ""):
        fail("threaded without isolation: no message on the page (%r)" % text)
    print("ok: without isolation the page says what it needs")


def main(argv):
    if len(argv) != 4:
        print(__doc__.splitlines()[3].strip(), file=sys.stderr)
        return 2
    site, render, stretch_ref = argv[1:]
    if not shutil.which("chromium") or not shutil.which("chromedriver"):
        print("skip: chromium and chromedriver are needed")
        return 77
    work = tempfile.mkdtemp(prefix="web_e2e.")
    for picture in ("wfall.bmp", "wfall.jpg"):
        shutil.copy(os.path.join(site, picture), work)
    server, url = serve(site)
    driver = browser()
    try:
        driver.execute_cdp_cmd("Page.addScriptToEvaluateOnNewDocument", {"source": EARLY})
        draws_render(driver, url, "plain", render, work, exact=True)
        draws_render(driver, url, "threaded", render, work, exact=False)
        for name in ("bitmap", "photo"):
            backdrop(driver, url, name, stretch_ref, work)
            missing_picture(driver, url, name)
        hidden_tab(driver, url, stretch_ref, work)
        escape_ends(driver, url)
        not_isolated(driver, site)
    finally:
        driver.quit()
        server.kill()
        shutil.rmtree(work, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
