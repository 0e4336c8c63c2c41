#!/usr/bin/env python3
"""What checking new customers against an index of a base costs.

Makes --count + 1 % customer records (scripts/generate_customers.py, seed
7, kept in --work): every 101st record is a new customer, the others are the
base, so that about a fifth of the new ones are re-entries of a customer the
base holds, as the generator makes them. Builds the index with `korvix index build` (time and peak memory),
then runs match_bench (bench/match/match_bench.cpp): the index's load time,
the time of Matcher::Match per record on one thread (p50, p90, p99) and the
index's size against its raw keys and profiles. Last it times the 10000 new
records as a whole through `korvix match --index` and `korvix dedupe --base`,
which keys the whole base again, and checks that their reports agree.

    python3 bench/match/bench_match.py --build build/release [--count 1000000]
"""

import argparse
import os
import re
import resource
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))


def timed(cmd, **kw):
    start = time.perf_counter()
    before = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss
    r = subprocess.run(cmd, check=True, **kw)
    seconds = time.perf_counter() - start
    peak = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss
    return r, seconds, peak if peak > before else None


def main(argv):
    p = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    p.add_argument("--build", default="build/release")
    p.add_argument("--count", type=int, default=1000000)
    p.add_argument("--work", default="/tmp/korvix-bench-match")
    p.add_argument("--threads", default="2", help="threads for index build and dedupe --base")
    args = p.parse_args(argv)
    korvix = os.path.join(args.build, "tools/korvix/korvix")
    bench = os.path.join(args.build, "bench/match_bench")
    os.makedirs(args.work, exist_ok=True)
    base, new = (os.path.join(args.work, n) for n in (f"base-{args.count}.txt", f"new-{args.count}.txt"))
    if not os.path.exists(base):
        every = os.path.join(args.work, "all.txt")
        subprocess.run([sys.executable, os.path.join(ROOT, "scripts/generate_customers.py"), "--count",
                        str(args.count + args.count // 100), "--seed", "7", "--line-end", "lf", "-o", every],
                       check=True)
        with open(every, encoding="utf-8") as f, open(base, "w", encoding="utf-8") as b, \
                open(new, "w", encoding="utf-8") as n:
            for i, line in enumerate(f):
                (n if i % 101 == 100 else b).write(line)
        os.remove(every)
    index = os.path.join(args.work, f"base-{args.count}.kxi")
    _, seconds, peak = timed([korvix, "index", "build", "-q", "--threads", args.threads, "--output", index, base])
    print(f"index build of {args.count} records: {seconds:.1f} s, peak {peak / 1024:.0f} MB")
    subprocess.run([bench, index, new], check=True)
    out = {}
    for name, cmd in (("match --index", [korvix, "match", "-q", "--threads", args.threads, "--index", index, new]),
                      ("dedupe --base", [korvix, "dedupe", "-q", "--threads", args.threads, "--base", base, new])):
        r, seconds, _ = timed(cmd, stdout=subprocess.PIPE)
        out[name] = re.sub(rb"seconds [0-9.]+", b"seconds S", r.stdout)
        print(f"{name}: {args.count // 100} new records in {seconds:.2f} s")
    print("reports agree" if out["match --index"] == out["dedupe --base"] else "REPORTS DIFFER")
    return 0 if out["match --index"] == out["dedupe --base"] else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
