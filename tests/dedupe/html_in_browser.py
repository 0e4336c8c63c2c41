#!/usr/bin/env python3
"""The HTML report as a browser reads it: korvix writes the page, headless
Chromium loads it from the file and dumps its DOM, and there the groups must
be those the summary counts, with markup in the records shown as text.

Usage: html_in_browser.py KORVIX. Exits 77 (skipped) when Chromium is
missing, unless CI=true, where scripts/setup has installed it."""
import html.parser
import os
import shutil
import signal
import subprocess
import sys
import tempfile

# Three groups by PLZ; each first record shown as it is.
RECORDS = ("Kundennr,PLZ,Name\n"
           "1,10115,<script>document.title='owned'</script>\n"
           "2,10115,<script>document.title='owned'</script>x\n"
           "3,20095,\"</td></tr></table></section><section class=\"\"group\"\"><h2>\"\n"
           "4,20095,\"</td></tr></table></section><section class=\"\"group\"\"><h2>\"\n"
           "5,30000,Meier &amp; Co\n"
           "6,30000,Meier\n"
           "7,40000,Einzeln\n")


class Dom(html.parser.HTMLParser):
    def __init__(self):
        super().__init__()
        self.tags, self.stack, self.text = [], [], {}

    def handle_starttag(self, tag, attrs):
        name = tag + "." + (dict(attrs).get("class") or "")
        self.tags.append(name)
        self.stack.append(name)

    def handle_endtag(self, tag):
        while self.stack and self.stack.pop().split(".")[0] != tag:
            pass

    def handle_data(self, data):
        for name in set(self.stack):
            self.text[name] = self.text.get(name, "") + data


def dump_dom(chromium, page, profile):
    browser = subprocess.Popen(
        [chromium, "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
         "--disable-background-networking", "--disable-component-update", "--disable-sync",
         "--user-data-dir=" + profile, "--dump-dom", "file://" + page],
        stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, start_new_session=True)
    try:
        out, err = browser.communicate(timeout=120)
    finally:
        try:  # the browser's helper processes, if any outlived it
            os.killpg(browser.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
    if browser.returncode != 0 or "<html" not in out:
        sys.exit("chromium failed (%d):\n%s" % (browser.returncode, err[-3000:]))
    return out


def main(korvix):
    chromium = shutil.which("chromium")
    if chromium is None:
        if os.environ.get("CI") == "true":
            sys.exit("chromium is missing; scripts/setup installs it")
        print("skipped: chromium is not installed (scripts/setup installs it)")
        return 77
    with tempfile.TemporaryDirectory() as tmp:
        data, page = os.path.join(tmp, "kunden.csv"), os.path.join(tmp, "report.html")
        with open(data, "w", encoding="utf-8") as f:
            f.write(RECORDS)
        subprocess.run([korvix, "dedupe", "--algorithm", "0105000000000000", "--id", "Kundennr",
                        "--format", "html", "--output", page, data], check=True)
        dom = Dom()
        dom.feed(dump_dom(chromium, page, os.path.join(tmp, "profile")))
    summary = dom.text["p.summary"]
    groups = int(summary.split("groups ")[1].split(",")[0])
    checks = [
        (groups == 3, "the summary names three groups: " + summary),
        (dom.tags.count("section.group") == groups, "sections of groups: %d" % dom.tags.count("section.group")),
        ("script." not in dom.tags, "a record became a script element"),
        (dom.text["title."] == "korvix dedupe: kunden.csv", "the title changed: " + dom.text["title."]),
        ("<script>document.title='owned'</script>" in dom.text["td.r"], "the record is not shown as text"),
        ("</section><section class=\"group\"><h2>" in dom.text["td.r"], "markup left its cell"),
        ("Meier &amp; Co" in dom.text["td.r"], "an entity in a record was decoded"),
        (dom.text.get("mark.") == "x", "the differing character is not marked"),
    ]
    failed = [message for ok, message in checks if not ok]
    for message in failed:
        print("FAILED:", message)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
