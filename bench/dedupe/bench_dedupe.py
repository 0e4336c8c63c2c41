#!/usr/bin/env python3
"""End-to-end speed of `korvix dedupe`, beside the floor of grouping by key.

Generates a fixed set of records (scripts/generate_records.py, fixed seed),
runs `korvix dedupe` on them several times (one algorithm, and the built-in
recommendation with its four keys, normalising and verifying) and reports the median wall time,
records per second end to end and peak memory. Beside it the same grouping
done by `sort | uniq -c` on keys computed beforehand (`korvix key`), which is
the least any tool that groups records by key must spend: it neither reads
records nor builds keys, it only sorts and counts them.

    bench/dedupe/bench_dedupe.py                      # 1 million records
    bench/dedupe/bench_dedupe.py --count 10000000 --runs 3

The records and keys are kept in --work (default $TMPDIR/korvix-bench) and
made again only when missing. Run it on an idle machine: the figures are wall
time, and other work on the cores shows in them.
"""

import argparse
import os
import statistics
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
# "Adresse und Name" of the sample database: PLZ, street, the sound of Bez1.
CODE = "010500000000000003050000000000000504110000000000"
SEED = 20240611


def run(argv, stdout=subprocess.DEVNULL, shell=False):
    """Runs a command; returns (wall seconds, CPU seconds, peak resident memory in MB)."""
    start = time.perf_counter()
    proc = subprocess.Popen(argv, stdout=stdout, stderr=subprocess.PIPE, shell=shell)
    # wait4 gives the peak memory of the command and of the children it waited for.
    _, status, usage = os.wait4(proc.pid, 0)
    seconds = time.perf_counter() - start
    err = proc.stderr.read().decode(errors="replace")
    proc.stderr.close()
    if os.waitstatus_to_exitcode(status) != 0:
        sys.exit("bench: %s failed:\n%s" % (argv, err))
    return seconds, usage.ru_utime + usage.ru_stime, usage.ru_maxrss / 1024.0


def measure(label, argv, runs, count, shell=False):
    times, cpus, peaks = [], [], []
    for _ in range(runs):
        seconds, cpu, peak = run(argv, shell=shell)
        times.append(seconds)
        cpus.append(cpu)
        peaks.append(peak)
    median = statistics.median(times)
    return {"label": label, "median": median, "best": min(times), "rate": count / median,
            "cpu": statistics.median(cpus), "peak": max(peaks)}


def ensure(path, make):
    if not os.path.exists(path):
        print("bench: making %s" % path, file=sys.stderr)
        make(path + ".part")
        os.replace(path + ".part", path)


def main(argv):
    p = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    p.add_argument("--korvix", default=os.path.join(ROOT, "build/release/tools/korvix/korvix"),
                   help="the korvix binary (default: the release build)")
    p.add_argument("--count", type=int, default=1000000, help="records (default 1000000)")
    p.add_argument("--runs", type=int, default=5, help="runs of each command (default 5)")
    p.add_argument("--work", default=os.path.join(os.environ.get("TMPDIR", "/tmp"), "korvix-bench"),
                   help="directory for the records, keys and reports")
    p.add_argument("--all", action="store_true",
                   help="also CSV input, the CSV and the sorted report")
    args = p.parse_args(argv)
    if not os.access(args.korvix, os.X_OK):
        sys.exit("bench: no korvix binary at %s; build it first (make build)" % args.korvix)
    os.makedirs(args.work, exist_ok=True)

    generator = os.path.join(ROOT, "scripts/generate_records.py")
    records = os.path.join(args.work, "records-%d.txt" % args.count)
    csv = os.path.join(args.work, "records-%d.csv" % args.count)
    keys = os.path.join(args.work, "keys-%d.txt" % args.count)
    report = os.path.join(args.work, "report.txt")
    ensure(records, lambda out: subprocess.run(
        [sys.executable, generator, "--count", str(args.count), "--seed", str(SEED), "-o", out],
        check=True))
    if args.all:
        ensure(csv, lambda out: subprocess.run(
            [sys.executable, generator, "--count", str(args.count), "--seed", str(SEED),
             "--format", "csv", "-o", out], check=True))
    ensure(keys, lambda out: subprocess.run(
        [args.korvix, "key", "--algorithm", CODE, records], stdout=open(out, "wb"), check=True))
    for path in (records, keys):  # into the page cache, as for every run after the first
        with open(path, "rb") as f:
            while f.read(1 << 24):
                pass

    load = os.getloadavg()[0]
    dedupe = [args.korvix, "dedupe", "--algorithm", CODE, "--output", report]
    results = [measure("korvix dedupe (text report)", dedupe + [records], args.runs, args.count),
               measure("korvix dedupe, recommended default",
                       [args.korvix, "dedupe", "--output", report, records], args.runs, args.count)]
    if args.all:
        results.append(measure("korvix dedupe --sorted", dedupe + ["--sorted", records],
                               args.runs, args.count))
        results.append(measure("korvix dedupe --format csv", dedupe + ["--format", "csv", records],
                               args.runs, args.count))
        results.append(measure("korvix dedupe, CSV input", dedupe + [csv], args.runs, args.count))
    floor_cmd = "LC_ALL=C sort '%s' | LC_ALL=C uniq -c > /dev/null" % keys
    floor = measure("floor: sort | uniq -c on the keys", floor_cmd, args.runs, args.count,
                    shell=True)
    results.append(floor)

    with open(records, "rb") as f:
        size = os.fstat(f.fileno()).st_size
    print("%d records (%.0f MB), %d runs each, %d cores, load average %.1f before the runs" %
          (args.count, size / 1e6, args.runs, os.cpu_count(), load))
    print("records/s and x floor from the median wall time; cpu s is user + system time")
    print("%-36s %9s %9s %15s %9s %9s %9s" % ("", "median s", "best s", "records/s", "cpu s",
                                             "peak MB", "x floor"))
    for r in results:
        print("%-36s %9.3f %9.3f %15s %9.3f %9.0f %9.2f" % (
            r["label"], r["median"], r["best"], format(int(r["rate"]), ","), r["cpu"], r["peak"],
            r["median"] / floor["median"]))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
