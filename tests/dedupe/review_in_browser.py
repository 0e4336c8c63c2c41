#!/usr/bin/env python3
"""korvix review as a steward uses it: headless Chromium driven through
WebDriver confirms a group with a chosen survivor and a value it takes
from another record, takes a record out,
marks two records different, downloads the clean file and the mapping, and
sees the decisions again after a regroup and in a new server. Before that,
the server must refuse requests without the token, from another origin or
host name, and listen on 127.0.0.1 only; markup in the data shows as text.

Usage: review_in_browser.py KORVIX [SCREENSHOT_FOLDER]"""
import http.client
import os
import subprocess
import sys
import tempfile
import time
import urllib.parse

from selenium import webdriver
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import WebDriverWait

# Groups by PLZ: 10115 (three, the XSS in it), 20095 (two), 30000 (two).
RECORDS = ("Kundennr;PLZ;Ort;Name\n"
           "K1;10115;Berlin;Meier\n"
           "K2;10115;Berlin;\"Meier <img src=x onerror=\"\"document.title='owned'\"\">\"\n"
           "K3;10115;;Mayer\n"
           "K4;20095;Hamburg;Schulz\n"
           "K5;20095;Hamburg;Schultz\n"
           "K6;30000;Hannover;Brandt\n"
           "K7;30000;Hannover;Brand\n"
           "K8;40000;Düsseldorf;Einzeln\n")


def start(korvix, data, env):
    server = subprocess.Popen([korvix, "review", "--algorithm", "0105000000000000", "--id", "Kundennr", data],
                              stdout=subprocess.PIPE, text=True, env=env)
    address = server.stdout.readline().split()[-1]
    return server, address, urllib.parse.urlsplit(address)


def status(url, method="GET", path=None, headers=None):
    connection = http.client.HTTPConnection(url.hostname, url.port, timeout=10)
    connection.request(method, path or url.path + "?" + url.query, headers=headers or {})
    return connection.getresponse().status


def listens_on_loopback_only(port):
    with open("/proc/net/tcp") as table:
        rows = [line.split() for line in table.readlines()[1:]]
    return {r[1] for r in rows if r[3] == "0A" and int(r[1].split(":")[1], 16) == port} == {"0100007F:%04X" % port}


def shoot_sample(korvix, browser, wait, shots, env):
    """The pictures of the documentation: the sample's first group, then the
    next after the first is confirmed, in English, and its values."""
    sample = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "data", "sample.csv")
    server = subprocess.Popen([korvix, "review", sample], stdout=subprocess.PIPE, text=True, env=env)
    try:
        browser.get(server.stdout.readline().split()[-1])
        wait.until(lambda b: b.find_elements(By.CSS_SELECTOR, "#rows tr"))
        browser.save_screenshot(os.path.join(shots, "review.png"))
        browser.find_element(By.ID, "language").click()
        browser.find_element(By.TAG_NAME, "body").send_keys("c")
        wait.until(lambda b: b.find_element(By.ID, "position").text.startswith("Group 2"))
        browser.save_screenshot(os.path.join(shots, "review-decided.png"))
        browser.execute_script("document.getElementById('valuesHeading').scrollIntoView()")
        browser.save_screenshot(os.path.join(shots, "review-values.png"))
    finally:
        server.terminate()
        server.wait()


def main(korvix, shots=None):
    failed = []

    def check(ok, message):
        if not ok:
            failed.append(message)
            print("FAILED:", message)

    with tempfile.TemporaryDirectory() as tmp:
        data, downloads = os.path.join(tmp, "kunden.csv"), os.path.join(tmp, "downloads")
        with open(data, "w", encoding="utf-8") as f:
            f.write(RECORDS)
        env = dict(os.environ, XDG_DATA_HOME=tmp, LANG="de_DE.UTF-8")
        env.pop("BROWSER", None)
        server, address, url = start(korvix, data, env)
        token = urllib.parse.parse_qs(url.query)["token"][0]
        api = "/api/decide?kind=different&a=1&b=2"
        own = {"X-Korvix-Token": token}
        for case, code in [(status(url, path="/"), "the page without the token"),
                           (status(url, path="/?token=" + "0" * 64), "the page with a wrong token"),
                           (status(url, "POST", api), "a decision without the token"),
                           (status(url, "POST", api + "&token=" + token), "a decision with the token in the address"),
                           (status(url, "POST", api, dict(own, Origin="http://evil.example")), "a decision from another origin"),
                           (status(url, "GET", "/api/groups", dict(own, Host="evil.example:%d" % url.port)), "a rebound host name")]:
            check(case == 403, "%s answered %d, not 403" % (code, case))
        check(status(url, path="/api/groups?first=0&count=1", headers=own) == 200, "the page's own request refused")
        check(listens_on_loopback_only(url.port), "the server listens beyond 127.0.0.1")

        options = webdriver.ChromeOptions()
        for flag in ("--headless", "--no-sandbox", "--disable-gpu", "--window-size=1200,560"):
            options.add_argument(flag)
        options.add_experimental_option("prefs", {"download.default_directory": downloads})
        browser = webdriver.Chrome(options=options)
        wait = WebDriverWait(browser, 20)
        try:
            started = time.monotonic()
            browser.get(address)
            wait.until(lambda b: b.find_elements(By.CSS_SELECTOR, "#rows tr"))
            print("first group shown after %.0f ms" % ((time.monotonic() - started) * 1000))
            rows = browser.find_elements(By.CSS_SELECTOR, "#rows tr")
            check(len(rows) == 3 and "<img src=x" in rows[1].text, "the record with markup is not shown as text")
            check(not browser.find_elements(By.CSS_SELECTOR, "#rows img, #values img") and browser.title != "owned",
                  "markup in a record became an element")
            check(browser.find_elements(By.CSS_SELECTOR, "#rows mark"), "no difference is marked")
            body = browser.find_element(By.TAG_NAME, "body")
            stored = lambda b: "Gespeichert" in b.find_element(By.ID, "status").text
            # Group 10115: K2 survives, the group is confirmed.
            body.send_keys("\ue015", "v")  # arrow down, survivor
            wait.until(stored)
            # It takes K3's name.
            browser.find_element(By.CSS_SELECTOR, '#values button[data-field="Name"][data-record="3"]').click()
            wait.until(lambda b: "Name von Satz 3" in b.find_element(By.ID, "status").text)
            body.send_keys("c")
            wait.until(lambda b: "Schul" in b.find_element(By.ID, "rows").text)
            # Group 20095: K5 taken out.
            body.send_keys("\ue015", "s")
            wait.until(lambda b: "Brand" in b.find_element(By.ID, "rows").text)
            # Group 30000: both marked, then different.
            body.send_keys("x", "\ue015", "x", "d")
            wait.until(lambda b: "verschieden" in b.find_element(By.ID, "status").text)
            browser.find_element(By.ID, "clean").click()
            browser.find_element(By.ID, "mapping").click()
            wait.until(lambda b: len([n for n in os.listdir(downloads) if n.endswith(".csv")]) == 2
                       if os.path.isdir(downloads) else False)
            with open(os.path.join(downloads, "bereinigt-kunden.csv"), encoding="utf-8-sig") as f:
                lines = f.read().splitlines()
            clean = [line.split(";")[0] for line in lines]
            check(clean == ["Kundennr", "K2", "K4", "K5", "K6", "K7", "K8"], "clean file: %s" % clean)
            check(lines[1] == "K2;10115;Berlin;Mayer", "the survivor did not take the chosen name: %s" % lines[1])
            with open(os.path.join(downloads, "zuordnung-kunden.csv"), encoding="utf-8") as f:
                mapping = f.read().splitlines()
            check(mapping[1:] == ["1;K1;2;K2;1", "3;K3;2;K2;1"], "mapping: %s" % mapping)
            # Regrouped, one group is left; a new server shows the same.
            body.send_keys("r")
            wait.until(lambda b: "Neu gruppiert" in b.find_element(By.ID, "status").text)
            check(browser.find_element(By.ID, "position").text == "Gruppe 1 von 1", "regrouped: not one group")
            server.terminate()
            server.wait()
            server, address, url = start(korvix, data, env)
            browser.get(address)
            wait.until(lambda b: b.find_elements(By.CSS_SELECTOR, "#rows tr"))
            survivor = browser.find_element(By.CSS_SELECTOR, "#rows input[type=radio]:checked")
            check(survivor.find_element(By.XPATH, "../..").get_attribute("data-record") == "2",
                  "the new server lost the survivor")
            check(browser.find_element(By.ID, "position").text == "Gruppe 1 von 1", "the new server lost a decision")
            chosen = browser.find_element(By.CSS_SELECTOR, '#values button[data-field="Name"][aria-pressed="true"]')
            check(chosen.get_attribute("data-record") == "3", "the new server lost the chosen name")
            browser.find_element(By.ID, "language").click()
            check(browser.find_element(By.ID, "confirm").text == "Confirm (c)", "no English texts")
            if shots:
                shoot_sample(korvix, browser, wait, shots, env)
        finally:
            browser.quit()
            server.terminate()
            server.wait()
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
