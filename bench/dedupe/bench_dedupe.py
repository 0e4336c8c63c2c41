#!/usr/bin/env python3
"""End-to-end speed of `korvix dedupe`, beside the floor of grouping by key.

Makes a fixed set of records (scripts/generate_records.py, fixed seed, as
record strings and with --all as CSV) and a million realistic customers
(scripts/generate_customers.py), and times, in turn (see whole_process.py):
`korvix dedupe` with one algorithm and with the built-in recommendation (three
keys, normalising, verifying) on both, and `LC_ALL=C sort | uniq -c` on keys
computed beforehand (`korvix key`), the least any tool that groups records by
key must spend: it neither reads records nor builds keys, it only sorts and
counts them. Reports the median wall time, records per second end to end, CPU
time and peak memory; --baseline names another korvix binary (an older
build) to time in the same turns.

    bench/dedupe/bench_dedupe.py                      # 1 million records
    bench/dedupe/bench_dedupe.py --count 10000000 --runs 3
"""

import argparse
import os
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
import whole_process  # noqa: E402

CODE = whole_process.CODE


def main(argv):
    p = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    p.add_argument("--all", action="store_true",
                   help="also CSV input, the CSV and the sorted report")
    args = whole_process.arguments(p, argv, runs=5)

    def generated(script, name, *extra):
        return whole_process.generated(args, script, name, *extra)

    records = generated("generate_records.py", "records-%d.txt" % args.count)
    customers = generated("generate_customers.py", "customers-%d.txt" % args.count, "--hard-cases", "classic")
    csv = generated("generate_records.py", "records-%d.csv" % args.count, "--format", "csv") \
        if args.all else None
    keys = os.path.join(args.work, "keys-%d.txt" % args.count)
    whole_process.ensure(keys, lambda out: subprocess.run(
        [args.korvix, "key", "--algorithm", CODE, records], stdout=open(out, "wb"), check=True))
    report = os.path.join(args.work, "report.txt")

    binaries = [("", args.korvix)] + ([(", baseline", args.baseline)] if args.baseline else [])
    commands = []
    for suffix, korvix in binaries:
        one = [korvix, "dedupe", "--algorithm", CODE, "--output", report]
        commands.append(("one key, text report" + suffix, one + [records], False))
        if args.all:
            commands.append(("one key, --sorted" + suffix, one + ["--sorted", records], False))
            commands.append(("one key, --format csv" + suffix, one + ["--format", "csv", records], False))
            commands.append(("one key, CSV input" + suffix, one + [csv], False))
        commands.append(("recommendation" + suffix, [korvix, "dedupe", "--output", report, records], False))
        commands.append(("recommendation, customers" + suffix,
                         [korvix, "dedupe", "--output", report, customers], False))
    floor_label = "floor: sort | uniq -c on the keys"
    commands.append((floor_label, "LC_ALL=C sort '%s' | LC_ALL=C uniq -c > /dev/null" % keys, True))

    load = whole_process.load_average()
    results = whole_process.measure(commands, args.runs)
    floor = results[floor_label]
    print("%d records (%.0f MB of generate_records, %.0f MB of generate_customers), %d turns, "
          "%d cores, load average %.1f before" %
          (args.count, os.path.getsize(records) / 1e6, os.path.getsize(customers) / 1e6, args.runs,
           os.cpu_count(), load))
    print("records/s and x floor from the median wall time; cpu s is user + system time")
    print("%-36s %9s %9s %13s %9s %9s %8s" % ("", "median s", "best s", "records/s", "cpu s",
                                             "peak MB", "x floor"))
    for label, r in results.items():
        print("%-36s %9.3f %9.3f %13s %9.3f %9.0f %8.2f" % (
            label, r["median"], r["best"], format(int(args.count / r["median"]), ","), r["cpu"],
            r["peak"], r["median"] / floor["median"]))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
