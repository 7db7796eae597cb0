#!/usr/bin/python3
"""Runs the web backend's conformance tests in headless Chromium.

    run.py BIN    (BIN: the web build's bin/, holding conformance.html and
                   rainbow_web_conformance.js after its target is built)

Serves BIN with cross-origin isolation, opens the page, waits for the tests
to end, prints their output and exits with their code: 0 when all pass,
1 on a failure, 77 when Chromium or its driver is missing.
"""

import os
import re
import shutil
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(os.path.dirname(HERE), "web"))
import web_e2e  # noqa: E402  (its server and browser)


def main(argv):
    if len(argv) != 2:
        sys.exit(__doc__)
    folder = argv[1]
    if not os.path.exists(os.path.join(folder, "rainbow_web_conformance.js")):
        web_e2e.fail(folder + " holds no rainbow_web_conformance.js: build its target first")
    if not shutil.which("chromium") or not shutil.which("chromedriver"):
        print("SKIP: no chromium or chromedriver")
        return 77
    server, url = web_e2e.serve(folder)
    driver = None
    try:
        driver = web_e2e.browser()
        driver.get(url + "/conformance.html")
        # The end: the page's exit code, or googletest's last summary line.
        end = time.time() + 180
        result, lines = None, []
        while time.time() < end:
            result = driver.execute_script("return window.conformance") or {}
            lines = result.get("lines", [])
            if result.get("exitCode") is not None or any(
                    re.match(r"\[  PASSED  \]|\d+ FAILED TESTS?$", line.strip()) for line in lines):
                break
            time.sleep(0.5)
        print("\n".join(lines))
        code = result.get("exitCode") if result else None
        passed = any(line.startswith("[  PASSED  ]") for line in lines)
        failed = any(line.startswith("[  FAILED  ]") for line in lines)
        if code is None and not passed and not failed:
            print("FAIL: the tests did not end within 180 s")
            return 1
        return 0 if (code == 0 or code is None) and passed and not failed else 1
    finally:
        if driver:
            driver.quit()
        server.kill()


if __name__ == "__main__":
    sys.exit(main(sys.argv))
