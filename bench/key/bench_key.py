#!/usr/bin/env python3
"""Speed of `korvix key` as a whole process, beside `cut` on the same file.

Makes a million customer records (scripts/generate_customers.py, or with
--data records scripts/generate_records.py; fixed seed, kept in --work) and
times, in turn, `korvix key` with the reference algorithm and
`cut -d'|' -f1,3,5`, which picks the three fields that algorithm reads and
does nothing else with them: the floor of a program that reads the file and
writes something per record. Both write to /dev/null. --baseline names
another korvix binary (an older build) to time in the same turns.

    python3 bench/key/bench_key.py
    python3 bench/key/bench_key.py --baseline OLD/build/release/tools/korvix/korvix --runs 21
"""

import argparse
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
import whole_process  # noqa: E402

CODE = whole_process.CODE


def main(argv):
    p = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    p.add_argument("--data", choices=["customers", "records"], default="customers")
    args = whole_process.arguments(p, argv, runs=11)
    generator = "generate_customers.py" if args.data == "customers" else "generate_records.py"
    extra = ["--hard-cases", "classic"] if args.data == "customers" else []
    records = whole_process.generated(args, generator, "%s-%d.txt" % (args.data, args.count), *extra)

    commands = [("korvix key", [args.korvix, "key", "--algorithm", CODE, records], False)]
    if args.baseline:
        commands.append(("korvix key, baseline", [args.baseline, "key", "--algorithm", CODE, records],
                         False))
    commands.append(("cut -d'|' -f1,3,5", ["cut", "-d|", "-f1,3,5", records], False))
    load = whole_process.load_average()
    results = whole_process.measure(commands, args.runs)
    cut = results["cut -d'|' -f1,3,5"]
    size = os.path.getsize(records)
    print("%d records (%.0f MB, %s), %d turns, load average %.1f before" %
          (args.count, size / 1e6, generator, args.runs, load))
    print("%-24s %9s %9s %13s %9s %9s %7s" % ("", "median s", "best s", "records/s", "cpu s",
                                             "peak MB", "x cut"))
    for label, r in results.items():
        print("%-24s %9.3f %9.3f %13s %9.3f %9.0f %7.2f" % (
            label, r["median"], r["best"], format(int(args.count / r["median"]), ","), r["cpu"],
            r["peak"], r["median"] / cut["median"]))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
