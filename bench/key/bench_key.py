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
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
import whole_process  # noqa: E402

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
# "Adresse und Name": PLZ 5, Straße 5, Bez1 4 from the right by its sound.
CODE = "010500000000000003050000000000000504110000000000"
SEED = 20240611


def main(argv):
    p = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    p.add_argument("--korvix", default=os.path.join(ROOT, "build/release/tools/korvix/korvix"))
    p.add_argument("--baseline", help="another korvix binary to time beside")
    p.add_argument("--data", choices=["customers", "records"], default="customers")
    p.add_argument("--count", type=int, default=1000000)
    p.add_argument("--runs", type=int, default=11, help="turns (default 11)")
    p.add_argument("--work", default=os.path.join(os.environ.get("TMPDIR", "/tmp"), "korvix-bench"))
    args = p.parse_args(argv)
    for binary in filter(None, [args.korvix, args.baseline]):
        if not os.access(binary, os.X_OK):
            sys.exit("bench: no korvix binary at %s; build it first (make build)" % binary)
    os.makedirs(args.work, exist_ok=True)
    generator = "generate_customers.py" if args.data == "customers" else "generate_records.py"
    records = os.path.join(args.work, "%s-%d.txt" % (args.data, args.count))
    whole_process.ensure(records, lambda out: subprocess.run(
        [sys.executable, os.path.join(ROOT, "scripts", generator), "--count", str(args.count),
         "--seed", str(SEED), "-o", out], check=True))

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
