#!/usr/bin/env python3
"""Keys per second from Python: KeyBuilder.keys against korvix.key once per
record, and the Dask run on a local cluster of worker processes.

    PYTHONPATH=build/release/python /usr/bin/python3 bench/python/bench_keys.py

Records come from scripts/generate_customers.py (1 000 000 realistic customer
records by default, made once into a temporary file) unless --records names a
file of record strings.
Prints a Markdown table. Each figure is the best of --repeat runs.
"""

import argparse
import csv
import os
import subprocess
import sys
import tempfile
import time
from pathlib import Path

try:
    import korvix
except ImportError:
    sys.exit("korvix is not importable: put the build tree's python/ directory on PYTHONPATH")

ROOT = Path(__file__).resolve().parents[2]
# PLZ, the normalised street and the phonetic code of Bez1: every kind of slot.
CODE = "010500000000000003050000000000000504110000000000"


def best_of(repeat, work, before=None):
    """The shortest of `repeat` runs of `work`, in seconds; `before` runs
    untimed ahead of each."""
    best = float("inf")
    for _ in range(repeat):
        if before is not None:
            before()
        start = time.perf_counter()
        work()
        best = min(best, time.perf_counter() - start)
    return best


def make_records(count, directory):
    path = Path(directory) / f"records-{count}.txt"
    subprocess.run(
        [sys.executable, str(ROOT / "scripts" / "generate_customers.py"), "--count", str(count),
         "--format", "records", "--hard-cases", "classic", "-o", str(path)],
        check=True,
    )
    return path


def bench_python(records, repeat):
    builder = korvix.KeyBuilder(CODE)
    rows = []
    for threads in (0, 1):
        seconds = best_of(repeat, lambda: builder.keys(records, threads))
        label = "all cores" if threads == 0 else "1 thread"
        rows.append((f"KeyBuilder.keys, {label}", seconds))
    rows.append(("KeyBuilder.key per record", best_of(repeat, lambda: [builder.key(r) for r in records])))
    key = korvix.key
    rows.append(("korvix.key per record", best_of(repeat, lambda: [key(CODE, r) for r in records])))
    return rows


def bench_dask(path, workers, repeat):
    import dask.dataframe as dd
    from distributed import Client, LocalCluster, wait

    import korvix.dask

    rows = []
    with LocalCluster(n_workers=workers, threads_per_worker=1, processes=True,
                      host="127.0.0.1", dashboard_address=":0") as cluster, Client(cluster) as client:
        frame = dd.read_csv(str(path), sep="|", header=None, names=list(korvix.dask.FIELDS),
                            dtype=str, keep_default_na=False, quoting=csv.QUOTE_NONE,
                            blocksize=max(1 << 20, path.stat().st_size // (4 * workers) + 1))
        frame = client.persist(frame)  # read once, so the runs time keying, not parsing
        wait(frame)
        partitions = frame.npartitions

        def tasks():
            return client.run_on_scheduler(lambda dask_scheduler: len(dask_scheduler.tasks))

        held = tasks()

        def settled():
            # A run's graph has the same task names as the run before; while
            # the scheduler still holds those results, it would reuse them.
            deadline = time.monotonic() + 30
            while tasks() > held and time.monotonic() < deadline:
                time.sleep(0.05)

        def keyed():
            korvix.dask.add_key(frame, CODE).map_partitions(len).compute()

        def groups():
            korvix.dask.duplicate_groups(frame, CODE)

        rows.append((f"Dask add_key, {workers} workers ({partitions} partitions)", best_of(repeat, keyed, settled)))
        rows.append((f"Dask duplicate_groups, {workers} workers (shuffle by key)", best_of(repeat, groups, settled)))
    return rows


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--count", type=int, default=1_000_000, help="records to generate")
    parser.add_argument("--records", type=Path, help="a file of record strings, one per line")
    parser.add_argument("--repeat", type=int, default=3, help="runs per figure (best counts)")
    parser.add_argument("--workers", type=int, default=2, help="Dask worker processes")
    parser.add_argument("--no-dask", action="store_true", help="skip the Dask figures")
    args = parser.parse_args()

    with tempfile.TemporaryDirectory() as scratch:
        path = args.records or make_records(args.count, scratch)
        records = path.read_text(encoding="utf-8").splitlines()
        count = len(records)
        rows = bench_python(records, args.repeat)
        if not args.no_dask:
            rows += bench_dask(path, args.workers, args.repeat)

    print(f"{count} records, {os.cpu_count()} cores, algorithm {CODE}\n")
    print("| run | seconds | keys per second |")
    print("|---|---:|---:|")
    for label, seconds in rows:
        print(f"| {label} | {seconds:.3f} | {count / seconds:,.0f} |")


if __name__ == "__main__":
    main()
