"""Timing whole processes on a shared machine: commands in turn, medians, ratios.

Other work on the machine slows whatever runs beside it, so commands that are
compared run in turn (A, B, C, A, B, C, ...) rather than one after the other's
series: a busy moment then slows each about alike, and the ratio of their
medians holds where single times do not.
"""

import os
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
# "Adresse und Name" of the sample database: PLZ 5, Straße 5, Bez1 4 from the right by its sound.
CODE = "010500000000000003050000000000000504110000000000"
SEED = 20240611


def run(argv, shell=False):
    """Runs a command with its output discarded; returns (wall s, CPU s, peak MB)."""
    # Messages go to a file, not a pipe: a command with more notes than a pipe
    # holds would wait for a reader that waits for it to end.
    with tempfile.TemporaryFile() as errors:
        start = time.perf_counter()
        proc = subprocess.Popen(argv, stdout=subprocess.DEVNULL, stderr=errors, shell=shell)
        # wait4 gives the CPU time and peak memory of the command and of the children it waited for.
        _, status, usage = os.wait4(proc.pid, 0)
        seconds = time.perf_counter() - start
        errors.seek(0)
        err = errors.read().decode(errors="replace")
    if os.waitstatus_to_exitcode(status) != 0:
        sys.exit("bench: %s failed:\n%s" % (argv, err))
    return seconds, usage.ru_utime + usage.ru_stime, usage.ru_maxrss / 1024.0


def measure(commands, runs):
    """`commands` is a list of (label, argv, shell). Runs each `runs` times in turn and
    returns per label its median wall and CPU seconds and its largest peak memory."""
    samples = {label: [] for label, _, _ in commands}
    run(commands[0][1], commands[0][2])  # warms the page cache and the libraries
    for _ in range(runs):
        for label, argv, shell in commands:
            samples[label].append(run(argv, shell))
    return {label: {"median": statistics.median(s[0] for s in got),
                    "best": min(s[0] for s in got),
                    "cpu": statistics.median(s[1] for s in got),
                    "peak": max(s[2] for s in got)}
            for label, got in samples.items()}


def ensure(path, make):
    """Makes `path` with make(temporary path) unless it exists."""
    if not os.path.exists(path):
        print("bench: making %s" % path, file=sys.stderr)
        make(path + ".part")
        os.replace(path + ".part", path)


def load_average():
    return os.getloadavg()[0]


def arguments(parser, argv, runs):
    """Adds the options every whole-process benchmark takes, parses `argv` and
    checks that the binaries are there."""
    parser.add_argument("--korvix", default=os.path.join(ROOT, "build/release/tools/korvix/korvix"),
                        help="the korvix binary (default: the release build)")
    parser.add_argument("--baseline", help="another korvix binary (an older build) to time beside")
    parser.add_argument("--count", type=int, default=1000000, help="records (default 1000000)")
    parser.add_argument("--runs", type=int, default=runs, help="turns (default %d)" % runs)
    parser.add_argument("--work", default=os.path.join(os.environ.get("TMPDIR", "/tmp"), "korvix-bench"),
                        help="directory for the records, keys and reports")
    args = parser.parse_args(argv)
    for binary in filter(None, [args.korvix, args.baseline]):
        if not os.access(binary, os.X_OK):
            sys.exit("bench: no korvix binary at %s; build it first (make build)" % binary)
    os.makedirs(args.work, exist_ok=True)
    return args


def generated(args, script, name, *extra):
    """The file `name` in the work directory, made by scripts/`script` with the
    fixed seed unless it is there."""
    path = os.path.join(args.work, name)
    ensure(path, lambda out: subprocess.run(
        [sys.executable, os.path.join(ROOT, "scripts", script), "--count", str(args.count),
         "--seed", str(SEED), *extra, "-o", out], check=True))
    return path
