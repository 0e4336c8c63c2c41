#!/usr/bin/env python3
"""The pair counts of scripts/evaluate_dedupe.py, which the quality figures rest on, and its
figures by kind of look-alike and of difference."""

import contextlib
import io
import itertools
import json
import os
import random
import shutil
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts"))
import evaluate_dedupe  # noqa: E402


def brute_force(clusters, groups):
    """Precision and recall by listing every pair: the slow, obvious way."""
    true = pred = both = 0
    for a, b in itertools.combinations(range(len(clusters)), 2):
        same_cluster = clusters[a] == clusters[b]
        same_group = groups[a] != 0 and groups[a] == groups[b]
        true += same_cluster
        pred += same_group
        both += same_cluster and same_group
    return true, pred, both


class EvaluateTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="korvix-evaluate-")

    def tearDown(self):
        shutil.rmtree(self.dir)

    def write(self, name, text):
        path = os.path.join(self.dir, name)
        with open(path, "w", encoding="utf-8", newline="") as f:
            f.write(text)
        return path

    def truth(self, clusters):
        return self.write("truth.tsv", "".join("%d\t%s\n" % (i, c)
                                               for i, c in enumerate(clusters, 1)))

    def record_report(self, groups, order=None):
        """A report as dedupe writes it for record-string input."""
        rows = ["line,key,group,record\r\n"]
        for i in order or range(len(groups)):
            rows.append('%d,K%d,%d,"1234%d|Ort|Weg 1|X|Name, ""Zusatz""|||||A"\r\n'
                        % (i + 1, groups[i], groups[i], i))
        return self.write("report.csv", "".join(rows))

    def run_json(self, *argv):
        out, err = io.StringIO(), io.StringIO()
        with contextlib.redirect_stdout(out), contextlib.redirect_stderr(err):
            status = evaluate_dedupe.main(list(argv) + ["--json"])
        self.assertEqual(status, 0, err.getvalue())
        lines = out.getvalue().splitlines()
        self.assertEqual(len(lines), 1)
        return json.loads(lines[0]), err.getvalue()

    def test_pairs_of_a_small_case(self):
        # Clusters {1,2,3} {4,5} {6} {7}; groups {1,2} {3,4}, the rest alone.
        truth = self.truth([1, 1, 1, 4, 4, 6, 7])
        report = self.record_report([5, 5, 9, 9, 0, 0, 0])
        r, _ = self.run_json(truth, report)
        self.assertEqual((r["true_pairs"], r["predicted_pairs"], r["true_positives"]), (4, 2, 1))
        self.assertAlmostEqual(r["precision"], 0.5)
        self.assertAlmostEqual(r["recall"], 0.25)
        self.assertAlmostEqual(r["f1"], 1 / 3)
        self.assertEqual((r["records"], r["clusters"], r["groups"]), (7, 4, 2))
        self.assertEqual(r["record_numbers_from"], "line")
        # An empty group is no group.
        report = self.write("r.csv", "line,key,group,record\r\n1,A,,x\r\n2,A,,y\r\n3,B,0,z\r\n")
        self.assertEqual(self.run_json(self.truth([1, 1, 3]), report)[0]["predicted_pairs"], 0)

    def test_agrees_with_listing_every_pair(self):
        rng = random.Random(5)
        for _ in range(30):
            n = rng.randint(1, 40)
            clusters = [rng.randint(1, max(1, n // 2)) for _ in range(n)]
            groups = [rng.choice((0, 0, rng.randint(1, max(1, n // 3)))) for _ in range(n)]
            r, _ = self.run_json(self.truth(clusters), self.record_report(groups))
            true, pred, both = brute_force(clusters, groups)
            self.assertEqual((r["true_pairs"], r["predicted_pairs"], r["true_positives"]),
                             (true, pred, both), (clusters, groups))

    def tagged_case(self, look_alikes, duplicates):
        """Truth, tags and report of look-alike pairs (kind, pairs, grouped,
        how: 'direct' groups the two records, 'via_duplicate' groups the
        look-alike with a re-entry of the customer it resembles) and
        duplicates (tag, grouped with its source)."""
        clusters, groups, tags = [], [], []

        def add(cluster, source, tag, group):
            clusters.append(cluster)
            groups.append(group)
            tags.append((len(clusters), cluster, source, tag))
            return len(clusters)

        group = 0
        for kind, pairs, grouped, how in look_alikes:
            for i in range(pairs):
                together = i < grouped
                group += 1
                g = group if together else 0
                source = add(len(clusters) + 1, 0, "-", g if how == "direct" else 0)
                if how == "via_duplicate":
                    add(source, source, "dup:case", g)
                add(len(clusters) + 1, source, kind, g)
        for tag, found in duplicates:
            group += 1
            source = add(len(clusters) + 1, 0, "-", group)
            add(source, source, tag, group if found else 0)
        tag_path = self.write("tags.tsv", "".join("%d\t%d\t%d\t%s\n" % t for t in tags))
        return self.truth(clusters), self.record_report(groups), tag_path

    def test_figures_by_kind(self):
        look_alikes = [
            # kind, pairs, grouped, how; 1 in 200 is the most a kind may group.
            ("household", 200, 1, "direct"),
            ("owner", 200, 2, "direct"),
            ("branch", 3, 0, "direct"),  # ungrouped records all have group 0
            ("building", 2, 1, "via_duplicate"),
        ]
        duplicates = [
            ("dup:typo", True), ("dup:typo", False), ("dup:reading+town_form", True),
            ("dup:reading+town_form+case", False), ("dup:case+case", True),
        ]
        truth, report, tags = self.tagged_case(look_alikes, duplicates)
        r, _ = self.run_json(truth, report, "--tags", tags)
        expected_kinds = {
            "household": {"pairs": 200, "grouped": 1, "share": 0.005, "fails": False},
            "owner": {"pairs": 200, "grouped": 2, "share": 0.01, "fails": True},
            "branch": {"pairs": 3, "grouped": 0, "share": 0.0, "fails": False},
            "building": {"pairs": 2, "grouped": 1, "share": 0.5, "fails": True},
        }
        self.assertEqual(r["look_alikes"], expected_kinds)
        # difference: duplicates, found, alone, found alone. "case+case" is one
        # difference; the two re-entries of the building case are "case" too,
        # and not found: neither shares a group with its source.
        expected_differences = {
            "typo": (2, 1, 2, 1), "reading": (2, 1, 0, 0), "town_form": (2, 1, 0, 0),
            "case": (4, 1, 3, 1),
        }
        got = {k: (v["duplicates"], v["found"], v["alone"], v["alone_found"])
               for k, v in r["differences"].items()}
        self.assertEqual(got, expected_differences)
        self.assertIsNone(r["differences"]["reading"]["alone_recall"])
        got = {k: (v["duplicates"], v["found"]) for k, v in r["by_changes"].items()}
        self.assertEqual(got, {"1": (5, 2), "2": (1, 1), "3": (1, 0)})

        out = io.StringIO()
        with contextlib.redirect_stdout(out):
            self.assertEqual(evaluate_dedupe.main([truth, report, "--tags", tags]), 0)
        verdicts = {line.split()[0]: line.split()[-1] for line in out.getvalue().splitlines()
                    if line.strip().split(" ")[0] in expected_kinds}
        self.assertEqual(verdicts, {"household": "ok", "owner": "FAIL", "branch": "ok",
                                    "building": "FAIL"})

    def test_tags_with_bad_numbers_are_an_error(self):
        truth = self.truth([1, 1])
        report = self.record_report([3, 3])
        tags = self.write("tags.tsv", "1\t1\t0\t-\n2\t1\tone\tdup:case\n")
        err = io.StringIO()
        with contextlib.redirect_stdout(io.StringIO()), contextlib.redirect_stderr(err):
            self.assertEqual(evaluate_dedupe.main([truth, report, "--tags", tags]), 1)
        self.assertIn("tags.tsv:2", err.getvalue())


if __name__ == "__main__":
    unittest.main()
