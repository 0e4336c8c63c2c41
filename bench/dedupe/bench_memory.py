#!/usr/bin/env python3
"""Peak memory of `korvix dedupe` by the shape of the data.

Runs the built-in recommendation (three keys, normalising, verifying, the CSV
report) on files of the same number of records but different shapes, and
prints the peak resident memory per record beside the time:

  realistic   customers of scripts/generate_customers.py (hard cases and all)
  few-keys    scripts/generate_records.py: few postcodes and names
  one-address one address, one surname, ten first names
  copies      identical copies of one record

The last two are where memory followed the shape rather than the size: every
record shares every key with every other. Copies are now compared once, so a
million of either shape takes seconds. Median time and largest peak memory of
the runs, in turn (see whole_process.py).

    bench/dedupe/bench_memory.py                    # 200,000 records each
    bench/dedupe/bench_memory.py --count 1000000 --shapes realistic,one-address,copies
    bench/dedupe/bench_memory.py --count 10000000 --memory 1536M --runs 1
"""

import argparse
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
import whole_process  # noqa: E402

SHAPES = ("realistic", "few-keys", "one-address", "copies")
FIRST_NAMES = ("Anna", "Ben", "Clara", "David", "Eva", "Felix", "Greta", "Hans", "Ida", "Jan")


def written(args, name, line_of):
    """The file `name` of args.count record strings, line i being line_of(i)."""
    path = os.path.join(args.work, name)

    def make(out):
        with open(out, "w", encoding="utf-8") as f:
            for i in range(args.count):
                f.write(line_of(i) + "\n")
    whole_process.ensure(path, make)
    return path


def data(args, shape):
    if shape == "realistic":
        return whole_process.generated(args, "generate_customers.py", "customers-%d.txt" % args.count)
    if shape == "few-keys":
        return whole_process.generated(args, "generate_records.py", "records-%d.txt" % args.count)
    if shape == "one-address":
        return written(args, "one-address-%d.txt" % args.count, lambda i: (
            "80333|München|Campusweg 1||%s|%s|||" % ("Lindner", FIRST_NAMES[i % len(FIRST_NAMES)])))
    return written(args, "copies-%d.txt" % args.count,
                   lambda i: "10115|Berlin|Invalidenstraße 43||Krause|Jana|||")


def main(argv):
    p = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    p.add_argument("--shapes", default=",".join(SHAPES),
                   help="comma-separated, of %s (default all)" % ", ".join(SHAPES))
    p.add_argument("--memory", help="korvix dedupe's --memory (default: its own default)")
    args = whole_process.arguments(p, argv, runs=3) if "--count" in argv else \
        whole_process.arguments(p, argv + ["--count", "200000"], runs=3)
    shapes = args.shapes.split(",")
    for shape in shapes:
        if shape not in SHAPES:
            sys.exit("bench: unknown shape %r; the shapes are %s" % (shape, ", ".join(SHAPES)))
    report = os.path.join(args.work, "memory-report.csv")
    limit = ["--memory", args.memory] if args.memory else []
    commands = [(shape, [args.korvix, "dedupe", "--quiet", "--format", "csv", "--output", report] + limit +
                 [data(args, shape)], False) for shape in shapes]
    results = whole_process.measure(commands, args.runs)
    print("shape        records    seconds   peak MB   bytes/record")
    for shape in shapes:
        r = results[shape]
        print("%-11s %9d %10.2f %9.0f %14.0f" % (
            shape, args.count, r["median"], r["peak"], r["peak"] * 1024 * 1024 / args.count))
    os.remove(report)


if __name__ == "__main__":
    main(sys.argv[1:])
