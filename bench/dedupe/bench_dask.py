#!/usr/bin/env python3
"""korvix.dask.dedupe on local worker processes against korvix.dedupe.

Generates realistic customers (scripts/generate_customers.py, CSV), runs the
recommendation with korvix.dask.dedupe on a local Dask cluster of worker
processes reading the CSV in blocks, and prints its time, the peak resident
memory of each worker and of the client (which groups the links); with
--compare also korvix.dedupe on the same file in this process, its time, and
whether every record's group, algorithm and score are the same.

    PYTHONPATH=build/release/python bench/dedupe/bench_dask.py --count 1000000 --compare
    PYTHONPATH=build/release/python bench/dedupe/bench_dask.py --count 10000000 --memory-limit 6GB
"""

import argparse
import os
import resource
import subprocess
import sys
import time

import dask.dataframe as dd
from distributed import Client, LocalCluster

import korvix
import korvix.dask

SOURCE = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))


def peak_mb():
    return resource.getrusage(resource.RUSAGE_SELF).ru_maxrss / 1024


def main(argv):
    p = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    p.add_argument("--count", type=int, default=1000000)
    p.add_argument("--workers", type=int, default=2, help="worker processes, one thread each")
    p.add_argument("--memory-limit", default="0",
                   help="per worker, beyond which it spills to disk (\"6GB\"; 0: none)")
    p.add_argument("--blocksize", default="16MB", help="bytes of CSV per partition")
    p.add_argument("--compare", action="store_true", help="run korvix.dedupe too and compare")
    p.add_argument("--work", default="/tmp/korvix-bench", help="where the data is kept")
    args = p.parse_args(argv)
    os.makedirs(args.work, exist_ok=True)
    path = os.path.join(args.work, "customers-%d.csv" % args.count)
    if not os.path.exists(path):
        subprocess.run([sys.executable, os.path.join(SOURCE, "scripts", "generate_customers.py"),
                        "--count", str(args.count), "--format", "csv", "--seed", "7", "-o", path],
                       check=True)
    with LocalCluster(n_workers=args.workers, threads_per_worker=1, processes=True,
                      memory_limit=args.memory_limit, dashboard_address=":0") as cluster, Client(cluster) as client:
        frame = dd.read_csv(path, sep=";", dtype=str, keep_default_na=False,
                            blocksize=args.blocksize)
        start = time.perf_counter()
        found = korvix.dask.dedupe(frame, threads=1)
        seconds = time.perf_counter() - start
        workers = client.run(peak_mb)
    print("records %d, partitions %d, workers %d" % (len(found), frame.npartitions, args.workers))
    print("korvix.dask.dedupe  %.1f s, groups %d, records in groups %d"
          % (seconds, found["group"].max(), (found["group"] > 0).sum()))
    print("peak memory per worker (MB): %s; client %.0f MB"
          % (", ".join("%.0f" % m for m in workers.values()), peak_mb()))
    if args.compare:
        start = time.perf_counter()
        expected = korvix.dedupe(path)
        print("korvix.dedupe       %.1f s" % (time.perf_counter() - start))
        same = all((found[c].to_numpy() == expected[c].to_numpy()).all()
                   for c in ("group", "algorithm", "score"))
        print("identical groups, algorithms and scores: %s" % ("yes" if same else "NO"))
        return 0 if same else 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
