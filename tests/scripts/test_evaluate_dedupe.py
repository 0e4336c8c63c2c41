#!/usr/bin/env python3
"""The pair counts of scripts/evaluate_dedupe.py, which the quality figures rest on."""

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

    def test_empty_group_is_no_group(self):
        truth = self.truth([1, 1, 3])
        report = self.write("r.csv", "line,key,group,record\r\n1,A,,x\r\n2,A,,y\r\n3,B,0,z\r\n")
        r, _ = self.run_json(truth, report)
        self.assertEqual(r["predicted_pairs"], 0)


if __name__ == "__main__":
    unittest.main()
