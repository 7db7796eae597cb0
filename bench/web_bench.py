#!/usr/bin/python3
"""The browser build's figures, in headless Chromium on this machine:

 - the step's rate in wasm against native (rainbow_step_rate, the same
   source built by both presets), in samples per second;
 - how long after the page's load plain and threaded show 99% of the
   finished bows at 640 x 480 (finished: rainbow_render with 200 M steps),
   served with the isolation headers;
 - the same for plain served with no special headers, on a first visit (the
   origin's storage and the browser's cache cleared) and on the second, from
   the service worker's cache;
 - the download per program, gzipped (-9): its .js, .wasm and .worker.js.

    bench/web_bench.py [BUILD_DEFAULT [BUILD_WEB [RUNS]]]   (default build/default, build/web, 5)

Needs both builds (rainbow_step_rate, rainbow_render; the web preset's site
and its rainbow_step_rate target) and Debian's Python with python3-selenium.
Run it on an otherwise idle machine: both rates share its cores.
"""

import gzip
import os
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
sys.path.insert(0, os.path.join(ROOT, "tests", "web"))
import web_e2e  # noqa: E402  (serving and the browser, as the tests do)

# Counts the canvas's lit pixels every 50 ms from the page's start; the
# count's own cost is taken from the program, so the figure errs late.
WATCH = """
window.__lit = [];
setInterval(() => {
  const c = document.getElementById('canvas');
  if (!c || !c.width) return;
  const d = c.getContext('2d').getImageData(0, 0, c.width, c.height).data;
  let n = 0;
  for (let i = 0; i < d.length; i += 4) if (d[i] | d[i + 1] | d[i + 2]) ++n;
  window.__lit.push([performance.now(), n]);
}, 50);
"""


def finished_lit(render):
    png = subprocess.run([render, "--size", "640x480", "--steps", "200000000", "--out", "-"],
                         check=True, capture_output=True).stdout
    ppm = subprocess.run(["convert", "png:-", "ppm:-"], input=png, check=True,
                         capture_output=True).stdout
    rgb = ppm.split(maxsplit=4)[4]
    return web_e2e.lit(rgb)


def time_to_bows(driver, url, name, final):
    driver.get(url + name + ".html?size=640x480")
    time.sleep(4)
    samples = driver.execute_script("return window.__lit;")
    prev = None
    for t, n in samples:
        if n >= 0.99 * final:
            if prev and n > prev[1]:  # where the line between the two dumps crosses 99%
                t = prev[0] + (t - prev[0]) * (0.99 * final - prev[1]) / (n - prev[1])
            return t / 1000
        prev = (t, n)
    return None


def forget(driver, url):
    """A first visit again: no service worker, no cache, nothing stored."""
    driver.get(url + "index.html")
    driver.execute_cdp_cmd("Storage.clearDataForOrigin",
                           {"origin": url.rstrip("/"), "storageTypes": "all"})
    driver.execute_cdp_cmd("Network.clearBrowserCache", {})
    driver.get("about:blank")


def kept(driver):
    return driver.execute_async_script("""
        const done = arguments[arguments.length - 1];
        if (!navigator.serviceWorker.controller) return done(false);
        caches.keys().then(n => n.length === 1 ? caches.open(n[0]).then(c => c.keys()) : [])
            .then(keys => done(keys.length >= 20));""")


def median(values):
    values = sorted(values)
    return values[len(values) // 2]


def wasm_step_rate(driver, url):
    driver.get(url + "step_rate.html")
    line = web_e2e.within(30, lambda: [m for m in web_e2e.console(driver) if "step_rate:" in m])
    if not line:
        web_e2e.fail("no rate from rainbow_step_rate.html")
    return float(line[0].split("step_rate: ")[1].split()[0])


def main(argv):
    default = argv[1] if len(argv) > 1 else os.path.join(ROOT, "build", "default")
    web = argv[2] if len(argv) > 2 else os.path.join(ROOT, "build", "web")
    runs = int(argv[3]) if len(argv) > 3 else 5
    final = finished_lit(os.path.join(default, "bin", "rainbow_render"))

    driver = web_e2e.browser()
    driver.execute_cdp_cmd("Page.addScriptToEvaluateOnNewDocument", {"source": WATCH})
    ratios, natives, wasms = [], [], []
    results = {"plain": [], "threaded": []}
    served = list(results)
    try:
        with open(os.path.join(web, "bin", "step_rate.html"), "w") as f:
            f.write("<!doctype html><script>var Module = {arguments: ['3'], "
                    "print: t => console.log(t)};</script><script src='rainbow_step_rate.js'>"
                    "</script>")
        server, url = web_e2e.serve(os.path.join(web, "bin"))
        # A fresh browser's first page shares the cores with the browser's
        # own start-up: it is run once and not counted.
        wasm_step_rate(driver, url)
        # Native and wasm back to back, so the machine's swings touch both.
        for _ in range(runs):
            native = subprocess.run([os.path.join(default, "bin", "rainbow_step_rate"), "3"],
                                    check=True, capture_output=True, text=True).stdout
            natives.append(float(native.split()[1]))
            wasms.append(wasm_step_rate(driver, url))
            ratios.append(wasms[-1] / natives[-1])
        server.kill()
        server, url = web_e2e.serve(os.path.join(web, "site"))
        for _ in range(runs):
            for name in served:
                results[name].append(time_to_bows(driver, url, name, final))
        results["plain, no headers, first visit"] = []
        results["plain, no headers, second visit"] = []
        server.kill()
        server, url = web_e2e.serve(os.path.join(web, "site"), headers=False)
        driver.execute_cdp_cmd("Network.enable", {})
        for _ in range(runs):
            forget(driver, url)
            results["plain, no headers, first visit"].append(time_to_bows(driver, url, "plain", final))
            web_e2e.within(20, lambda: kept(driver))
            results["plain, no headers, second visit"].append(
                time_to_bows(driver, url, "plain", final))
        server.kill()
    finally:
        driver.quit()

    print("step, 640 x 480 plain array, %d pairs: native %.1f M samples/s, wasm %.1f M samples/s "
          "(medians); wasm / native %.2f (median; %.2f-%.2f)" %
          (runs, median(natives) / 1e6, median(wasms) / 1e6, median(ratios), min(ratios),
           max(ratios)))
    for name, times in results.items():
        shown = ", ".join("%.2f" % t if t else "-" for t in times)
        got = [t for t in times if t]
        print("99%% of the bows at 640 x 480, %s: %s s after the page's start%s" %
              (name, shown, " (median %.2f)" % median(got) if len(got) == len(times) else
               " (- : not within 4 s)"))
    site = os.path.join(web, "site")
    for name in ("plain", "threaded", "bitmap", "photo"):
        total = 0
        for ext in (".js", ".wasm", ".worker.js"):
            path = os.path.join(site, "rainbow_" + name + ext)
            if os.path.exists(path):
                with open(path, "rb") as f:
                    total += len(gzip.compress(f.read(), 9))
        print("download, rainbow_%s: %.0f KB gzipped (.js, .wasm, .worker.js)" % (name, total / 1e3))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
