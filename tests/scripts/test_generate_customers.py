#!/usr/bin/env python3
"""The look-alikes and differences that scripts/generate_customers.py plants:
the quality figures by kind are only as good as the kinds are what their tags
say."""

import hashlib
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest
from collections import Counter

SCRIPT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts",
                      "generate_customers.py")

PLZ, ORT, STREET, SUCH, BEZ1, BEZ2 = range(6)
TITLE_WORDS = frozenset(("Dr.", "Prof.", "med.", "dent.", "Dipl.-Ing.", "Dipl.-Kfm.",
                         "Dipl.-Kffr.", "Dr.-Ing.", "Prof.Dr."))


def words(rec):
    """The name words of a record, without titles and commas; a double name
    ("Kranjc-Richter") gives both."""
    text = rec[BEZ1] + " " + rec[BEZ2]
    return ({w.strip(",") for w in text.split()} | set(re.findall(r"\w+", text))) \
        - TITLE_WORDS - {"Dr", "Prof", "med", "dent", "Dipl", "Ing", "Kfm", "Kffr"}


def without_letter(street):
    return re.sub(r"\s?[a-dA-D]$", "", street)


def number(street):
    return street.rsplit(" ", 1)[-1] if street[-1:].isdigit() else street


class GeneratorTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.mkdtemp(prefix="korvix-generate-")

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.dir)

    def generate(self, *options, fmt="records"):
        stem = os.path.join(self.dir, "-".join(o.strip("-") for o in options) + "-" + fmt)
        out, truth, tags = stem + ".out", stem + ".truth", stem + ".tags"
        subprocess.run([sys.executable, SCRIPT, *options, "--format", fmt, "--truth", truth,
                        "--tags", tags, "-o", out], check=True)
        with open(out, encoding="utf-8", newline="") as f:
            text = f.read()
        with open(truth, encoding="utf-8") as f:
            truth_text = f.read()
        with open(tags, encoding="utf-8") as f:
            tag_rows = [line.rstrip("\n").split("\t") for line in f]
        return text, truth_text, [(int(r), int(c), int(s), t) for r, c, s, t in tag_rows]

    def test_classic_makes_the_records_of_earlier_versions(self):
        # Hashes of what the generator wrote before --hard-cases existed: the
        # classic figures stay comparable with the ones published.
        cases = [  # options, format, whether the truth and tags are hashed too, the hash
            (("--hard-cases", "classic", "--count", "3000", "--seed", "11", "--block", "1000"),
             "records", True, "f7b16b8191938bb54d093efa9812f8a8c886ecc33f20a3744ed03a9051208a74"),
            (("--hard-cases", "classic", "--count", "1500", "--seed", "3", "--kundennr",
              "--dup-rate", "0.35"),
             "csv", False, "31523e43654b0a523608cf0b27af18a41c826fdab37df0649441274cf5cfcd89"),
        ]
        for options, fmt, all_files, digest in cases:
            text, truth, tags = self.generate(*options, fmt=fmt)
            if all_files:
                text += truth + "".join("%d\t%d\t%d\t%s\n" % t for t in tags)
            self.assertEqual(hashlib.sha256(text.encode("utf-8")).hexdigest(), digest, options)
        kinds = {t for _, _, _, t in tags if not t.startswith("dup:")}
        self.assertLessEqual(kinds, {"-", "family", "junior", "namesake", "same_address",
                                     "owner"})

    def test_none_plants_no_look_alikes(self):
        _, _, tags = self.generate("--hard-cases", "none", "--count", "6000", "--seed", "2")
        self.assertEqual({t for _, _, _, t in tags if not t.startswith("dup:")}, {"-"})
        self.assertGreater(sum(t.startswith("dup:") for _, _, _, t in tags), 800)

    def test_each_look_alike_is_what_its_kind_says(self):
        text, _, tags = self.generate("--count", "30000", "--seed", "9")
        recs = [line.split("|") for line in text.split("\n") if line]
        same_address = lambda a, b: a[PLZ] == b[PLZ] and a[STREET] == b[STREET]
        # kind: (what holds between the original and its look-alike, least
        # share of all records)
        kinds = {
            "household": (lambda a, b: same_address(a, b) and words(a) & words(b)
                          and words(a) != words(b), 0.03),
            "building": (lambda a, b: a[PLZ] == b[PLZ]
                         and without_letter(a[STREET]) == without_letter(b[STREET])
                         and a[BEZ1] != b[BEZ1], 0.02),
            "namesake": (lambda a, b: a[ORT] == b[ORT] and a[STREET] != b[STREET], 0.004),
            "junior": (lambda a, b: same_address(a, b) and re.search(
                r"\b(jun\.|jr\.|junior|sen\.|sr\.|senior)", a[BEZ1] + a[BEZ2] + b[BEZ1]
                + b[BEZ2]), 0.003),
            "owner": (lambda a, b: same_address(a, b) and words(a) & words(b)
                      and a[BEZ1] != b[BEZ1], 0.025),
            "same_address": (lambda a, b: same_address(a, b) and a[BEZ1] != b[BEZ1], 0.01),
            "branch": (lambda a, b: a[BEZ1] == b[BEZ1] and (a[PLZ], a[STREET])
                       != (b[PLZ], b[STREET]), 0.006),
        }
        cluster_of = {r: c for r, c, _, _ in tags}
        seen = {}
        for record, cluster, source, tag in tags:
            if tag == "-" or tag.startswith("dup:"):
                continue
            self.assertIn(tag, kinds)
            self.assertNotEqual(cluster, cluster_of[source], (record, tag))
            holds, _ = kinds[tag]
            self.assertTrue(holds(recs[source - 1], recs[record - 1]),
                            (tag, recs[source - 1], recs[record - 1]))
            seen[tag] = seen.get(tag, 0) + 1
        for tag, (_, least) in kinds.items():
            self.assertGreaterEqual(seen.get(tag, 0), least * len(recs), tag)
        # Firm and owner: some with the legal form and an empty Bez2, some
        # with firm words, the person as "Surname | First name".
        owners = [(recs[s - 1], recs[r - 1]) for r, _, s, t in tags if t == "owner"]
        self.assertTrue(any(re.search(r"(GmbH|UG|KG)", b[BEZ1]) and not b[BEZ2]
                            and a[BEZ1] in b[BEZ1] for a, b in owners))
        self.assertTrue(any(b[BEZ1].startswith(("Autohaus ", "Praxis Dr. ", "Kanzlei "))
                            for a, b in owners))
        # Father and son: both marked, only the son, only the father.
        marks = {(bool(re.search(r"\b(sen\.|sr\.|senior)", a[BEZ1] + " " + a[BEZ2])),
                  bool(re.search(r"\b(jun\.|jr\.|junior)", b[BEZ1] + " " + b[BEZ2])))
                 for a, b in ((recs[s - 1], recs[r - 1]) for r, _, s, t in tags
                              if t == "junior")}
        self.assertEqual(marks, {(True, True), (False, True), (True, False)})

    def test_each_new_difference_changes_what_it_says(self):
        text, _, tags = self.generate("--count", "30000", "--seed", "4")
        recs = [line.split("|") for line in text.split("\n") if line]
        # difference: fields it may change when it is the only one, and what
        # must hold between the original's and the duplicate's values.
        differences = {
            "number_range": ({STREET}, lambda a, b: number(a[STREET]) != number(b[STREET])
                             and re.search(r"\d\s?[-/]\s?\d", a[STREET] + b[STREET])),
            "town_form": ({ORT}, lambda a, b: a[ORT] and b[ORT]),
            "first_name_variant": ({SUCH, BEZ1, BEZ2}, lambda a, b: True),
            "reading": ({PLZ, ORT, STREET, BEZ1, BEZ2}, lambda a, b: all(
                set((Counter(a[i]) - Counter(b[i])) + (Counter(b[i]) - Counter(a[i])))
                <= set("0O1lIi5S8Bmrno") for i in range(6))),
        }
        seen = {}
        counts = {}
        for record, _, source, tag in tags:
            if not tag.startswith("dup:"):
                continue
            names = tag[4:].split("+")
            self.assertEqual(len(names), len(set(names)), tag)
            counts[len(names)] = counts.get(len(names), 0) + 1
            if len(names) != 1 or names[0] not in differences:
                continue
            a, b = recs[source - 1], recs[record - 1]
            changed = {i for i in range(len(a)) if a[i] != b[i]}
            fields, holds = differences[names[0]]
            self.assertTrue(changed and changed <= fields, (names[0], a, b))
            self.assertTrue(holds(a, b), (names[0], a, b))
            seen[names[0]] = seen.get(names[0], 0) + 1
        for name in differences:
            self.assertGreater(seen.get(name, 0), 20, name)
        self.assertEqual(sorted(counts), [1, 2, 3])


if __name__ == "__main__":
    unittest.main()
