#!/usr/bin/python3
"""End-to-end in headless Chromium: the browser build's site, served with
the cross-origin isolation headers (or --no-headers, as an ordinary static
host, where the site's service worker isolates rainbow_threaded's page),
each program's page driven through Selenium.

    web_e2e.py [--no-headers] SITE RAINBOW_RENDER RAINBOW_STRETCH_REF

 - plain and threaded draw rainbow_render's picture at some step count
   (tests/wine/match_render.py; exactly for plain);
 - bitmap and photo show their picture stretched as the Linux build does
   (rainbow_stretch_ref) above the bows, also after the browser window is
   resized;
 - with ?picture=none: photo's CreateFile dialog, then (both) one
   "LoadImage: " line in the console, without a carriage return;
 - threaded and bitmap rest while their tab is behind another (their
   renderer under 5 % of a core), and draw on on its return;
 - a chosen file reaches the program every time, small and large in turn
   (random 10, 20 and 200 MB, a 47 MB progressive JPEG; more rounds with
   RAINBOW_WEB_PICTURE_ROUNDS=N), and one over the programs' limit is
   refused by the page unread;
 - Escape ends plain, and the page's Close button threaded (which leaves
   keys alone), with exit code 0 in the page.

tests/web/site_e2e.py checks the site as hosted: offline, installable, its
updates, its zip, a phone.

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


def serve(site, headers=True):
    """scripts/serve.sh on a free port, with or without the isolation headers."""
    flags = [] if headers else ["--no-headers"]
    server = subprocess.Popen(["bash", os.path.join(ROOT, "scripts", "serve.sh"), *flags, "0", site],
                              stdout=subprocess.PIPE, text=True)
    line = server.stdout.readline()
    if "http://" not in line:
        server.kill()
        fail("the site was not served: " + line)
    return server, line.split(" at ")[1].strip()


def browser(window_size="800,600"):
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service
    options = webdriver.ChromeOptions()
    options.binary_location = shutil.which("chromium")
    for arg in ("--headless=new", "--no-sandbox", "--disable-dev-shm-usage",
                "--window-size=" + window_size):
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


def renderers(driver):
    """The pids of the browser's renderer processes (its pages, their workers
    as threads), from /proc: descendants of the driver's browser."""
    parent, renderer = {}, set()
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open("/proc/%s/stat" % pid) as f:
                parent[int(pid)] = int(f.read().rsplit(")", 1)[1].split()[1])
            with open("/proc/%s/cmdline" % pid, "rb") as f:
                if b"--type=renderer" in f.read():
                    renderer.add(int(pid))
        except (OSError, ValueError, IndexError):
            continue
    root = driver.service.process.pid

    def ours(pid):
        while pid > 1:
            if pid == root:
                return True
            pid = parent.get(pid, 0)
        return False
    return sorted(pid for pid in renderer if ours(pid))


def cpu_seconds(pids):
    """User and system time of these processes, all their threads."""
    total = 0
    for pid in pids:
        try:
            with open("/proc/%d/stat" % pid) as f:
                fields = f.read().rsplit(")", 1)[1].split()
            total += int(fields[11]) + int(fields[12])
        except (OSError, ValueError, IndexError):
            continue
    return total / os.sysconf("SC_CLK_TCK")


def resident_mb(pid):
    try:
        with open("/proc/%d/status" % pid) as f:
            for line in f:
                if line.startswith("VmRSS:"):
                    return int(line.split()[1]) / 1024
    except OSError:
        pass
    return 0


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


def shows_picture(driver, name, stretch_ref, work, picture=None):
    """The sky (the top quarter) is the stretched picture, bows below it."""
    w, h, rgb = pixels(driver)
    if not w:
        return False
    picture = picture or os.path.join(work, "wfall.jpg" if name == "photo" else "wfall.bmp")
    ref = os.path.join(work, "%s-%dx%d.ppm" % (os.path.basename(picture), w, h))
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


def hidden_tab(driver, url, name, stretch_ref, work):
    """A tab put behind another rests (its renderer, workers included, under
    5 % of a core) and lives on: on its return the program draws on (bitmap:
    over its picture)."""
    driver.get(url + name + ".html?size=%dx%d" % SIZE)
    if not within(20, lambda: lit(pixels(driver)[2]) > 1000):
        fail(name + ": nothing drawn before hiding the tab")
    driver.execute_script("window.__shown = [];"
                          "document.addEventListener('visibilitychange', () => window.__shown"
                          ".push([document.visibilityState, Date.now() / 1000]));")
    pids = renderers(driver)
    page = driver.current_window_handle
    driver.switch_to.new_window("tab")
    # (time, CPU seconds), counted from the first after the page heard it was
    # hidden: long enough that a page that hears late is still measured.
    samples = []
    for _ in range(50):
        samples.append((time.time(), cpu_seconds(pids)))
        time.sleep(0.2)
    driver.close()
    driver.switch_to.window(page)
    shown = driver.execute_script("return window.__shown;")
    if not shown or shown[0][0] != "hidden":
        fail("%s: the tab was never hidden (%r)" % (name, shown))
    # Once hidden, a page finishes its frame (16 ms) before it rests.
    rested = [sample for sample in samples if sample[0] > shown[0][1] + 0.1]
    if len(rested) < 10:
        fail("%s: the tab was hidden too late to measure (%r)" % (name, shown))
    share = (rested[-1][1] - rested[0][1]) / (rested[-1][0] - rested[0][0])
    if share > 0.05:
        fail("%s: %.0f %% of a core while its tab was hidden" % (name, 100 * share))
    before = pixels(driver)[2]
    if not within(10, lambda: pixels(driver)[2] != before):
        fail(name + ": draws nothing after the tab came back")
    if name in ("bitmap", "photo") and not within(
            10, lambda: shows_picture(driver, name, stretch_ref, work)):
        fail(name + ": no picture after the tab came back")
    if driver.execute_script("return document.body.dataset.exitCode;") is not None:
        fail(name + ": the program ended while its tab was hidden")
    print("ok: %s rests behind another tab (%.1f %% of a core) and draws on on its return" %
          (name, 100 * share))


def make_pictures(folder):
    """Files to choose: two small pictures, random bytes of 10, 20 and 200 MB,
    a 47 MB progressive JPEG, and a sparse file over the programs' limit."""
    made = {}
    for ext, colours in (("jpg", "red-blue"), ("bmp", "yellow-green")):
        made["small." + ext] = os.path.join(folder, "small." + ext)
        subprocess.run(["convert", "-size", "64x48", "gradient:" + colours, made["small." + ext]],
                       check=True)
    for mb in (10, 20, 200):
        made["random%d" % mb] = os.path.join(folder, "random%d.bin" % mb)
        with open(made["random%d" % mb], "wb") as f:
            for _ in range(mb):
                f.write(os.urandom(1 << 20))
    made["progressive"] = os.path.join(folder, "progressive.jpg")
    with open(made["progressive"], "wb") as f:
        noise = b"P6\n4000 4000\n255\n" + os.urandom(4000 * 4000 * 3)
        subprocess.run(["cjpeg", "-progressive", "-quality", "100", "-sample", "1x1"],
                       input=noise, stdout=f, check=True)
    made["too big"] = os.path.join(folder, "too_big.bmp")
    with open(made["too big"], "wb") as f:
        f.truncate(300 << 20)
    return made


def choose(driver, path):
    """Chooses the file on the page; True once the next page has loaded."""
    driver.execute_script("window.__chose = true;")
    console(driver)  # drops older lines
    driver.find_element("id", "choose").send_keys(path)

    def replaced():
        try:
            return driver.execute_script(
                "return !window.__chose && document.readyState === 'complete';")
        except Exception:  # between the two pages
            return False
    return within(120, replaced)


def chosen_pictures(driver, url, name, stretch_ref, work, made, rounds):
    """Each chosen file reaches the program, large ones too, whatever came
    before: a picture is shown, any other file gives the program's one
    LoadImage line.  Small and large alternate, so that a miss shows."""
    driver.get(url + name + ".html?size=%dx%d" % SIZE)
    small = made["small.jpg" if name == "photo" else "small.bmp"]
    order = [small, made["random10"], small, made["random20"], small, made["random200"]]
    if name == "photo":
        order += [small, made["progressive"]]
    for turn in range(rounds):
        for path in order:
            if not choose(driver, path):
                fail("%s: the page did not move on after choosing %s" % (name, path))
            if path.endswith((".jpg", ".bmp")):
                got = within(60, lambda: shows_picture(driver, name, stretch_ref, work, path))
            else:
                lines = []
                got = within(60, lambda: lines.extend(console(driver)) or
                             any("LoadImage: " in line for line in lines))
            if not got:
                fail("%s, round %d: %s did not reach the program" % (name, turn + 1,
                                                                     os.path.basename(path)))
    print("ok: %s: %d round(s) of chosen files up to 200 MB, each reached the program" %
          (name, rounds))


def refused_unread(url, name, stretch_ref, work, made):
    """A file over the programs' limit is refused by the page in the
    program's words, before it is read or kept: no new page, no memory
    (a browser of its own, so the tab's memory is this page's alone)."""
    driver = browser()
    try:
        driver.get(url + name + ".html?size=%dx%d" % SIZE)
        if not within(20, lambda: shows_picture(driver, name, stretch_ref, work)):
            fail(name + ": no picture before choosing a file over the limit")
        refuse(driver, name, made)
    finally:
        driver.quit()


def refuse(driver, name, made):
    pids = renderers(driver)
    before = max(resident_mb(pid) for pid in pids)
    driver.execute_script("window.__chose = true;")
    driver.find_element("id", "choose").send_keys(made["too big"])
    text = within(20, lambda: driver.execute_script(
        "const s = document.getElementById('status'); return s.hidden ? '' : s.textContent;"))
    after = max(resident_mb(pid) for pid in pids)
    words = "LoadImage: Not enough memory resources are available to process this command."
    if "was not loaded" not in (text or "") or words not in text:
        fail("%s: a 300 MB file was not refused in the program's words (%r)" % (name, text))
    if not driver.execute_script("return window.__chose === true;"):
        fail(name + ": the page moved on after a file over the limit")
    if after - before > 100 or after > 300:
        fail("%s: the tab grew from %.0f to %.0f MB on refusing a 300 MB file" %
             (name, before, after))
    print("ok: %s refuses a 300 MB file unread (renderer %.0f -> %.0f MB)" % (name, before, after))


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
    if "\r" in found[0] or "\\r" in found[0]:
        fail("%s: a carriage return in the console's line %r" % (name, found[0]))
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


def main(argv):
    headers = argv[1:2] != ["--no-headers"]
    argv = argv[:1] + argv[1 + (not headers):]
    if len(argv) != 4:
        print(__doc__.splitlines()[5].strip(), file=sys.stderr)
        return 2
    site, render, stretch_ref = argv[1:]
    if not shutil.which("chromium") or not shutil.which("chromedriver"):
        print("skip: chromium and chromedriver are needed")
        return 77
    work = tempfile.mkdtemp(prefix="web_e2e.")
    for picture in ("wfall.bmp", "wfall.jpg"):
        shutil.copy(os.path.join(site, picture), work)
    server, url = serve(site, headers)
    driver = browser()
    try:
        driver.execute_cdp_cmd("Page.addScriptToEvaluateOnNewDocument", {"source": EARLY})
        draws_render(driver, url, "plain", render, work, exact=True)
        draws_render(driver, url, "threaded", render, work, exact=False)
        for name in ("bitmap", "photo"):
            backdrop(driver, url, name, stretch_ref, work)
            missing_picture(driver, url, name)
        for name in ("threaded", "bitmap"):
            hidden_tab(driver, url, name, stretch_ref, work)
        made = make_pictures(work)
        rounds = int(os.environ.get("RAINBOW_WEB_PICTURE_ROUNDS", "1"))
        chosen_pictures(driver, url, "photo", stretch_ref, work, made, rounds)
        refused_unread(url, "photo", stretch_ref, work, made)
        chosen_pictures(driver, url, "bitmap", stretch_ref, work, made, 1)
        escape_ends(driver, url)
    finally:
        driver.quit()
        server.kill()
        shutil.rmtree(work, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
