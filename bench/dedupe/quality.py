#!/usr/bin/env python3
"""How well `korvix dedupe` finds duplicates: pairwise precision and recall
of each configuration on generated data with ground truth.

Makes the data sets of the README's table with scripts/generate_customers.py
(seed 11, on which the recommendation was chosen; seed 22; a CSV with 35 %
duplicates, seed 33) and scripts/generate_records.py, runs each configuration
with --format csv and scores the report with scripts/evaluate_dedupe.py.

    bench/dedupe/quality.py                 # 235,000 records a set
    bench/dedupe/quality.py --count 50000   # quicker
"""

import argparse
import json
import os
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
SCRIPTS = os.path.join(ROOT, "scripts")
CLASSIC = "010500000000000003050000000000000504110000000000"
# The recommendation's keys, as RecommendedDedupe() lists them.
KEYS = ["010500000000000003060000000000000303100000000000",
        "0206000000000000030600000000000003031000000000000503010000000000",
        "01050000000000005106010000000000"]
THREE = [arg for code in KEYS for arg in ("--algorithm", code)]
CONFIGURATIONS = [
    ("one key, \"Adresse und Name\"", ["--algorithm", CLASSIC]),
    ("the three keys", THREE),
    ("the three keys, --normalize", THREE + ["--normalize"]),
    ("recommendation (--verify 0.8)", []),
    ("recommendation, --verify 0.9", ["--verify", "0.9"]),
    ("recommendation, --verify 0.7", ["--verify", "0.7"]),
]


def data_sets(work, count):
    """(label, records path, truth path) of each set, made when missing."""
    customers = os.path.join(SCRIPTS, "generate_customers.py")
    sets = [("seed 11 (tuned)", ["--seed", "11"], "txt"), ("seed 22", ["--seed", "22"], "txt"),
            ("CSV, other mix", ["--seed", "33", "--dup-rate", "0.35", "--format", "csv",
                                "--kundennr"], "csv")]
    made = []
    for label, options, ext in sets:
        stem = os.path.join(work, "customers-%d-%s" % (count, "-".join(options[1::2])))
        records, truth = stem + "." + ext, stem + ".truth"
        if not os.path.exists(records):
            subprocess.run([sys.executable, customers, "--count", str(count), *options,
                            "--truth", truth, "-o", records], check=True)
        made.append((label, records, truth))
    records = os.path.join(work, "records-%d.txt" % count)
    truth = records + ".truth"
    if not os.path.exists(records):
        pairs = records + ".pairs"
        subprocess.run([sys.executable, os.path.join(SCRIPTS, "generate_records.py"), "--count",
                        str(count), "--seed", "5", "--truth", pairs, "-o", records], check=True)
        # Its truth names each duplicate's original; the evaluation wants clusters.
        cluster = list(range(count + 1))

        def root(r):
            while cluster[r] != r:
                cluster[r] = cluster[cluster[r]]
                r = cluster[r]
            return r

        with open(pairs) as f:
            for line in f:
                duplicate, original = map(int, line.split()[:2])
                cluster[root(duplicate)] = root(original)
        with open(truth, "w") as f:
            f.writelines("%d\t%d\n" % (r, root(r)) for r in range(1, count + 1))
    made.append(("generate_records", records, truth))
    return made


def main(argv):
    p = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    p.add_argument("--korvix", default=os.path.join(ROOT, "build/release/tools/korvix/korvix"))
    p.add_argument("--count", type=int, default=235000, help="records a set (default 235000)")
    p.add_argument("--work", default=os.path.join(os.environ.get("TMPDIR", "/tmp"), "korvix-quality"))
    args = p.parse_args(argv)
    os.makedirs(args.work, exist_ok=True)
    sets = data_sets(args.work, args.count)
    report = os.path.join(args.work, "report.csv")
    print("| configuration | " + " | ".join(label + " P / R" for label, _, _ in sets) + " |")
    print("|---" * (len(sets) + 1) + "|")
    for name, options in CONFIGURATIONS:
        cells = []
        for _, records, truth in sets:
            subprocess.run([args.korvix, "dedupe", *options, "--format", "csv", "--output", report,
                            records], check=True, stderr=subprocess.DEVNULL)
            score = subprocess.run([sys.executable, os.path.join(SCRIPTS, "evaluate_dedupe.py"),
                                    "--json", truth, report], check=True, capture_output=True,
                                   text=True).stdout
            values = json.loads(score)
            cells.append("%.3f / %.3f" % (values["precision"], values["recall"]))
        print("| %s | %s |" % (name, " | ".join(cells)), flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
