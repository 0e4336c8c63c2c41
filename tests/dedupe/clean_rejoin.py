#!/usr/bin/env python3
"""The clean file and the mapping give back every input record: each one is
in the clean file as it was, or the mapping names it and its survivor, which
is in the clean file, unchanged unless filled; on the sample and on COUNT
generated customers (100,000 unless given).

Usage: clean_rejoin.py KORVIX SOURCE_DIR [COUNT]."""
import csv
import io
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

KORVIX, SOURCE = sys.argv[1], sys.argv[2]
COUNT = sys.argv[3] if len(sys.argv) > 3 else "100000"
DIR = tempfile.mkdtemp(prefix="korvix-rejoin-")


def segments(data):
    """The input's pieces: what precedes the first record (a byte order mark,
    the header) and each record with its line end; quotes keep lines together."""
    pieces, pending, quotes = [], b"", 0
    for line in data.splitlines(keepends=True):
        pending += line
        quotes += line.count(b'"')
        if quotes % 2 == 0:
            if pending.strip(b"\r\n"):
                pieces.append(pending)
            pending, quotes = b"", 0
    return pieces


def fields(piece, delimiter):
    return next(csv.reader(io.StringIO(piece.decode("utf-8", "replace")), delimiter=delimiter))


def generated(name, *options):
    path = os.path.join(DIR, name)
    subprocess.run([sys.executable, os.path.join(SOURCE, "scripts", "generate_customers.py"),
                    "--count", COUNT, "-o", path, *options], check=True)
    return path


class Rejoin(unittest.TestCase):
    def run_clean(self, path, delimiter, *options):
        clean, mapping = os.path.join(DIR, "clean"), os.path.join(DIR, "map.csv")
        subprocess.run([KORVIX, "dedupe", "--quiet", "--output", "/dev/null", "--clean", clean,
                        "--mapping", mapping, *options, path], check=True)
        with open(path, "rb") as f:
            pieces = segments(f.read())
        with open(clean, "rb") as f:
            kept = segments(f.read())
        with open(mapping, newline="") as f:
            rows = list(csv.DictReader(f, delimiter=delimiter))
        records = pieces[1:]
        survivor = {int(r["record"]) - 1: int(r["survivor_record"]) - 1 for r in rows}
        self.assertTrue(survivor, "some records merged")
        self.assertEqual(kept[0], pieces[0])  # the header
        # The clean file is the input less the merged records, in order.
        remaining = [i for i in range(len(records)) if i not in survivor]
        self.assertEqual(len(kept) - 1, len(remaining))
        members = {}
        for m, s in survivor.items():
            members.setdefault(s, []).append(m)
        filled = 0
        for i, piece in zip(remaining, kept[1:]):
            if piece != records[i]:
                # Only a filled survivor changes: its values stay, its empty
                # fields take a value of a record merged into it.
                filled += 1
                before, after = fields(records[i], delimiter), fields(piece, delimiter)
                donors = [fields(records[m], delimiter) for m in members.get(i, [])]
                for k, value in enumerate(after):
                    old = before[k] if k < len(before) else ""
                    if old.strip():
                        self.assertEqual(value, old)
                    elif value:
                        self.assertIn(value, [d[k] for d in donors if k < len(d)])
        # Each merged record's survivor stays, one survivor to a group.
        group_of = {}
        for r in rows:
            s = int(r["survivor_record"]) - 1
            self.assertNotIn(s, survivor)
            self.assertEqual(group_of.setdefault(r["group"], s), s)
        return records, survivor, rows, filled

    def test_sample(self):
        records, survivor, _, filled = self.run_clean(os.path.join(SOURCE, "data", "sample.csv"), ";")
        self.assertEqual(filled, 0)
        # Most complete: no merged record has more values than its survivor.
        count = lambda i: sum(1 for v in fields(records[i], ";") if v.strip())
        for m, s in survivor.items():
            self.assertLessEqual(count(m), count(s))

    def test_generated_customers_filled_with_ids(self):
        path = generated("g.csv", "--format", "csv", "--kundennr")
        records, _, rows, filled = self.run_clean(path, ";", "--id", "Kundennr", "--survivor",
                                                  "max:Kundennr", "--fill")
        self.assertGreater(filled, 0)
        number = lambda i: int(fields(records[i], ";")[0])
        for r in rows:
            m, s = int(r["record"]) - 1, int(r["survivor_record"]) - 1
            self.assertEqual((int(r["id"]), int(r["survivor_id"])), (number(m), number(s)))
            self.assertLess(number(m), number(s))


if __name__ == "__main__":
    try:
        unittest.main(argv=sys.argv[:1])
    finally:
        shutil.rmtree(DIR)
