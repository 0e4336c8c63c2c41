#!/usr/bin/env python3
"""Speed of the key engine on realistic input, as a Markdown table.

    python3 bench/engine/bench_engine.py [--build build/release] [--baseline OTHER/engine_bench]

Makes a million German surnames and company names (about 30 % with an umlaut
or ß) and a million customer records with scripts/generate_customers.py
(once, into --data), then runs bench/engine_bench on them: every engine
function on one thread and on all cores, beside the floor of only splitting
the same records at "|" and the floor of only looking up each byte of the
same names in a table of group letters. Each figure is the median of --repeat runs.

--baseline names an engine_bench built from another revision (for example
main's), run on the same files in the same invocation: its figures go beside.
--key-path runs only the phonetic code, the key and their floors, in turn for
--repeat rounds, and prints each with the median of its ratios to its floor.
When javac, java and Debian's libcommons-codec-java are there, Apache Commons
Codec's ColognePhonetic runs on the same names as a speed reference (it is a
different algorithm, Kölner Phonetik).
"""

import argparse
import json
import shutil
import statistics
import subprocess
import sys
import tempfile
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
CODEC_JAR = Path("/usr/share/java/commons-codec.jar")

# (benchmark, what one call handles, the input it runs over)
ROWS = [
    ("PhoneticFloor", "name", "names"),
    ("PhoneticCode", "name", "names"),
    ("AppendPhoneticCode", "name", "names"),
    ("ReducePhonetic", "name", "names"),
    ("NormalizeStreet", "street", "records"),
    ("GetDataField", "record", "records"),
    ("NormalizeText", "record", "records"),
    ("NormalizeRecord", "record", "records"),
    ("KeyBuilder::Key", "record", "records"),
    ("BuildKey", "record", "records"),
    ("SplitFloor", "record", "records"),
    ("ReadAlgorithmCode", "code", "codes"),
    ("DescribeAlgorithm", "code", "codes"),
]


def generate(data, count):
    """The names and records files in `data`, made when missing."""
    data.mkdir(parents=True, exist_ok=True)
    files = {}
    for kind, fmt in (("names", "names"), ("records", "records")):
        path = data / f"{kind}-{count}.txt"
        if not path.exists():
            subprocess.run([sys.executable, str(ROOT / "scripts" / "generate_customers.py"),
                            "--count", str(count), "--format", fmt, "--hard-cases", "classic",
                            "-o", str(path)], check=True)
        files[kind] = path
    return files


def run_bench(binary, files, repeat, min_time):
    """Medians by benchmark name: CPU ns per call, items per second."""
    out = subprocess.run(
        [str(binary), f"--names={files['names']}", f"--records={files['records']}",
         f"--benchmark_repetitions={repeat}", "--benchmark_report_aggregates_only=true",
         f"--benchmark_min_time={min_time}", "--benchmark_format=json"],
        check=True, capture_output=True, text=True).stdout
    medians = {}
    for b in json.loads(out)["benchmarks"]:
        if b.get("aggregate_name") == "median":
            medians[b["run_name"]] = (b["cpu_time"], b.get("items_per_second", 0.0))
    return medians


def key_path(binary, files, rounds, min_time):
    """The phonetic code and the key beside their floors, one round after
    another on one thread: median CPU ns of each and of each round's ratio."""
    names = ["PhoneticCode", "PhoneticFloor", "KeyBuilder::Key", "SplitFloor"]
    figures = {name: [] for name in names}
    for _ in range(rounds):
        out = subprocess.run(
            [str(binary), f"--names={files['names']}", f"--records={files['records']}",
             "--benchmark_filter=^(" + "|".join(names) + ")/threads:1$",
             f"--benchmark_min_time={min_time}", "--benchmark_format=json"],
            check=True, capture_output=True, text=True).stdout
        for b in json.loads(out)["benchmarks"]:
            figures[b["run_name"].split("/")[0]].append(b["cpu_time"])
    median = statistics.median
    for ours, floor, unit, what in (("PhoneticCode", "PhoneticFloor", "name", "a table look-up of each byte"),
                                    ("KeyBuilder::Key", "SplitFloor", "record", "eight memchr")):
        ratio = median(a / b for a, b in zip(figures[ours], figures[floor]))
        print(f"{ours}: {median(figures[ours]):.1f} ns/{unit}; floor ({what}): "
              f"{median(figures[floor]):.1f} ns/{unit}; ratio {ratio:.2f}")


def cologne(names, repeat):
    """ColognePhonetic's ns per name, or None when Java or the codec is missing."""
    if not (shutil.which("javac") and shutil.which("java") and CODEC_JAR.exists()):
        print("(ColognePhonetic skipped: needs javac, java and libcommons-codec-java)", file=sys.stderr)
        return None
    with tempfile.TemporaryDirectory() as classes:
        source = Path(__file__).with_name("ColognePhoneticBench.java")
        subprocess.run(["javac", "-cp", str(CODEC_JAR), "-d", classes, str(source)], check=True)
        out = subprocess.run(["java", "-cp", f"{CODEC_JAR}:{classes}", "ColognePhoneticBench",
                              str(names), str(repeat)], check=True, capture_output=True, text=True)
    return float(out.stdout.strip())


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", type=Path, default=ROOT / "build" / "release",
                        help="build tree with bench/engine_bench (default build/release)")
    parser.add_argument("--baseline", type=Path, help="another engine_bench to run beside")
    parser.add_argument("--data", type=Path, default=Path(tempfile.gettempdir()) / "korvix-engine-bench",
                        help="where the generated names and records are kept")
    parser.add_argument("--count", type=int, default=1_000_000, help="names and records to generate")
    parser.add_argument("--repeat", type=int, default=5, help="runs per figure (the median counts)")
    parser.add_argument("--min-time", type=float, default=0.5, help="seconds per run")
    parser.add_argument("--key-path", action="store_true",
                        help="only the phonetic code and the key beside their floors, with the ratios")
    args = parser.parse_args()

    files = generate(args.data, args.count)
    if args.key_path:
        key_path(args.build / "bench" / "engine_bench", files, args.repeat, args.min_time)
        return
    now = run_bench(args.build / "bench" / "engine_bench", files, args.repeat, args.min_time)
    before = run_bench(args.baseline, files, args.repeat, args.min_time) if args.baseline else {}
    java = cologne(files["names"], args.repeat)

    # Keys against the split floor of the same records, phonetic codes
    # against the table floor of the same names.
    floors = {"record": now["SplitFloor/threads:1"][0], "name": now["PhoneticFloor/threads:1"][0]}
    head = "| function | input | per call, 1 thread | vs floor | all cores |"
    rule = "|---|---|---:|---:|---:|"
    if before:
        head += " before, 1 thread | faster |"
        rule += "---:|---:|"
    print(f"{args.count:,} names and records ({files['names'].name}, {files['records'].name}), "
          f"median of {args.repeat} runs; CPU time per call on one thread, calls per second "
          "of wall time on all cores\n")
    print(head)
    print(rule)
    for name, unit, over in ROWS:
        one = now.get(f"{name}/threads:1")
        if one is None:
            continue
        many = [v for k, v in now.items() if k.startswith(f"{name}/real_time/threads:")]
        line = f"| `{name}` | {over} | {one[0]:.1f} ns | "
        compared = ("Key" in name or "Phonetic" in name) and "Floor" not in name
        line += f"{one[0] / floors[unit]:.1f}× |" if compared and unit in floors else " |"
        line += f" {many[0][1] / 1e6:.1f} M {unit}s/s |" if many else " |"
        if before:
            old = before.get(f"{name}/threads:1")
            line += f" {old[0]:.1f} ns | {old[0] / one[0]:.1f}× |" if old else " | |"
        print(line)
    batch = now.get("KeyBuilder::Keys batch, all cores/real_time")
    if batch:
        print(f"| `KeyBuilder::Keys`, the whole batch | records | | | {batch[1] / 1e6:.1f} M records/s |"
              + (" | |" if before else ""))
    if java is not None:
        ours = now["PhoneticCode/threads:1"][0]
        print(f"\nApache Commons Codec `ColognePhonetic` on the same names, one thread: "
              f"{java:.1f} ns per name, {java / ours:.1f}× the time of `PhoneticCode`.")


if __name__ == "__main__":
    main()
