#!/usr/bin/env python3
"""What the review page costs in headless Chromium: from opening the address
to the first group shown, on a file of about 10,000 groups, and a decision's
round trip from the page's script to the database and back.

Usage: bench_review.py --korvix build/release/tools/korvix/korvix
(makes 180,000 records with scripts/generate_records.py, seed 7: 10,016 groups)."""
import argparse
import os
import statistics
import subprocess
import sys
import tempfile
import time

from selenium import webdriver
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import WebDriverWait

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))

# 200 decisions one after another, each timed from the script's fetch to its answer.
DECIDE = """
const done = arguments[arguments.length - 1], token = new URLSearchParams(location.search).get("token");
(async () => {
  const trips = [], stored = [];
  for (let i = 1; i <= 200; i++) {
    const start = performance.now();
    const r = await fetch(`/api/decide?kind=different&a=${i}&b=${i + 1}`, {method: "POST", headers: {"X-Korvix-Token": token}});
    stored.push((await r.json()).ms);
    trips.push(performance.now() - start);
  }
  done([trips, stored]);
})();
"""


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--korvix", required=True)
    parser.add_argument("--count", type=int, default=180000)
    args = parser.parse_args()
    with tempfile.TemporaryDirectory() as tmp:
        data = os.path.join(tmp, "kunden.csv")
        subprocess.run([sys.executable, os.path.join(ROOT, "scripts/generate_records.py"), "--count",
                        str(args.count), "--format", "csv", "--seed", "7", "-o", data], check=True)
        server = subprocess.Popen([args.korvix, "review", data], stdout=subprocess.PIPE, text=True,
                                  env=dict(os.environ, XDG_DATA_HOME=tmp, BROWSER=""))
        address = server.stdout.readline().split()[-1]
        options = webdriver.ChromeOptions()
        for flag in ("--headless", "--no-sandbox", "--disable-gpu"):
            options.add_argument(flag)
        browser = webdriver.Chrome(options=options)
        try:
            loads = []
            for _ in range(5):
                browser.get("about:blank")
                start = time.monotonic()
                browser.get(address)
                WebDriverWait(browser, 30, poll_frequency=0.005).until(
                    lambda b: b.find_elements(By.CSS_SELECTOR, "#rows tr"))
                loads.append((time.monotonic() - start) * 1000)
            print(browser.find_element(By.ID, "position").text)
            print("first group shown: median %.0f ms of %s" % (statistics.median(loads), ["%.0f" % t for t in loads]))
            browser.set_script_timeout(120)
            trips, stored = browser.execute_async_script(DECIDE)
            print("decision round trip: median %.1f ms, slowest %.1f ms; stored in median %.1f ms" %
                  (statistics.median(trips), max(trips), statistics.median(stored)))
        finally:
            browser.quit()
            server.terminate()
            server.wait()


if __name__ == "__main__":
    main()
