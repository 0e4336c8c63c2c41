#!/usr/bin/env python3
"""Keys of a million rows inside PostgreSQL, beside the ways people do it today.

Starts a throw-away PostgreSQL server (initdb in a temporary directory, a Unix
socket only, as the user "korvixtest" when run as root), loads generated
records (scripts/generate_records.py, fixed seed) into a table of the nine
fields, and times, each the median of several runs:

  - korvix_key over every row in one query, on one core and with parallel
    workers;
  - korvix_phonetic beside fuzzystrmatch's soundex of the same column;
  - the floors: the same scan with a trivial function of one field, and
    with joining the nine fields, which is what reading them costs;
  - pulling the rows out (COPY to the client) and keying them there with the
    korvix tool, which is what hosts do without the extension;
  - building an expression index on the key, and the duplicate groups query.

    bench/sql/bench_postgres.py                    # 1 million records
    bench/sql/bench_postgres.py --count 100000 --runs 3

Needs the extension installed in the server's directories; as root the script
installs it from the build (cmake --install BUILD --component postgresql).
"""

import argparse
import glob
import os
import pwd
import shlex
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
# "Adresse und Name" of the sample database: PLZ, street, the sound of Bez1.
CODE = "010500000000000003050000000000000504110000000000"
SEED = 20240611
FIELDS = "plz, ort, strasse, suchbegriff, bez1, bez2, bez3, bez4, gruppe"
KEY = "korvix_key('%s', %s)" % (CODE, FIELDS)


class Server:
    """A throw-away cluster in a temporary directory, removed on exit."""

    def __init__(self):
        bins = sorted(glob.glob("/usr/lib/postgresql/*/bin/postgres"),
                      key=lambda p: int(p.split("/")[4]))
        if not bins:
            sys.exit("bench: no PostgreSQL server (install the package postgresql)")
        self.bin = os.path.dirname(bins[-1])
        self.dir = tempfile.mkdtemp(prefix="korvix-bench-pg-", dir="/tmp")
        self.as_user = None
        if os.geteuid() == 0:  # the server refuses to run as root
            try:
                user = pwd.getpwnam("korvixtest")
            except KeyError:
                subprocess.run(["useradd", "--system", "--no-create-home", "--shell",
                                "/usr/sbin/nologin", "korvixtest"], check=True)
                user = pwd.getpwnam("korvixtest")
            os.chown(self.dir, user.pw_uid, user.pw_gid)
            self.as_user = (user.pw_uid, user.pw_gid)
        self.run("initdb", "-D", self.dir + "/data", "-A", "trust", "-U", "postgres", "-E", "UTF8",
                 "--locale=C")
        self.run("pg_ctl", "-D", self.dir + "/data", "-w", "-l", self.dir + "/server.log", "-o",
                 "-k %s -c listen_addresses= -c fsync=off -c shared_buffers=512MB" % self.dir,
                 "start")

    def run(self, program, *args):
        def drop():
            if self.as_user:
                os.setgid(self.as_user[1])
                os.setuid(self.as_user[0])
        subprocess.run([os.path.join(self.bin, program)] + list(args), check=True,
                       stdout=subprocess.DEVNULL, preexec_fn=drop)

    def psql(self, *commands):
        argv = ["psql", "-X", "-q", "-At", "-v", "ON_ERROR_STOP=1", "-h", self.dir, "-U",
                "postgres", "-d", "postgres"]
        for c in commands:
            argv += ["-c", c]
        return argv

    def query_seconds(self, setting, sql, runs):
        """The server's median time for `sql` in one session after `setting`, as psql's
        \\timing reports it: without starting psql and connecting."""
        script = "%s;\n\\timing on\n" % setting + ("%s;\n" % sql) * (runs + 1)
        out = subprocess.run(self.psql() + ["-f", "-"], input=script,
                             text=True, capture_output=True, check=True).stdout
        times = [float(line.split()[1]) / 1000 for line in out.splitlines()
                 if line.startswith("Time: ")]
        return statistics.median(times[-runs:])  # the first run warms the caches

    def stop(self):
        self.run("pg_ctl", "-D", self.dir + "/data", "-m", "fast", "stop")
        shutil.rmtree(self.dir, ignore_errors=True)


def median_seconds(argv, runs, shell=False):
    times = []
    for _ in range(runs):
        start = time.perf_counter()
        subprocess.run(argv, check=True, shell=shell, stdout=subprocess.DEVNULL)
        times.append(time.perf_counter() - start)
    return statistics.median(times)


def main(argv):
    p = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    p.add_argument("--build", default=os.path.join(ROOT, "build/release"),
                   help="the build directory (default build/release)")
    p.add_argument("--count", type=int, default=1000000, help="records (default 1000000)")
    p.add_argument("--runs", type=int, default=5, help="runs of each query (default 5)")
    p.add_argument("--work", default=os.path.join(os.environ.get("TMPDIR", "/tmp"), "korvix-bench"),
                   help="directory for the records")
    args = p.parse_args(argv)
    korvix = os.path.join(args.build, "tools/korvix/korvix")
    if os.geteuid() == 0:
        subprocess.run(["cmake", "--install", args.build, "--component", "postgresql"], check=True,
                       stdout=subprocess.DEVNULL)
    os.makedirs(args.work, exist_ok=True)
    records = os.path.join(args.work, "records-%d.txt" % args.count)
    if not os.path.exists(records):
        subprocess.run([sys.executable, os.path.join(ROOT, "scripts/generate_records.py"),
                        "--count", str(args.count), "--seed", str(SEED), "-o", records + ".part"],
                       check=True)
        os.replace(records + ".part", records)

    server = Server()
    try:
        subprocess.run(server.psql(
            "CREATE EXTENSION korvix", "CREATE EXTENSION fuzzystrmatch",
            "CREATE TABLE customers (%s)" % ", ".join(f + " text" for f in FIELDS.split(", "))),
            check=True)
        with open(records, "rb") as f:
            subprocess.run(server.psql("COPY customers FROM STDIN WITH (DELIMITER '|')"),
                           stdin=f, check=True)
        subprocess.run(server.psql("VACUUM ANALYZE customers"), check=True)

        serial = "SET max_parallel_workers_per_gather = 0"
        parallel = "SET max_parallel_workers_per_gather = 2"
        queries = [
            ("floor: length(bez1), one core", serial, "sum(length(bez1))"),
            ("floor: concat_ws('|', nine fields), one core", serial,
             "sum(length(concat_ws('|', %s)))" % FIELDS),
            ("korvix_key of the nine fields, one core", serial, "sum(length(%s))" % KEY),
            ("korvix_key of the nine fields, 2 workers", parallel, "sum(length(%s))" % KEY),
            ("korvix_phonetic(bez1), one core", serial, "sum(length(korvix_phonetic(bez1)))"),
            ("fuzzystrmatch soundex(bez1), one core", serial, "sum(length(soundex(bez1)))"),
        ]
        results = []
        for label, setting, expression in queries:
            results.append((label, server.query_seconds(
                setting, "SELECT %s FROM customers" % expression, args.runs)))
        copy_out = server.psql("COPY customers TO STDOUT WITH (DELIMITER '|')")
        results.append(("client: COPY out | korvix key (all cores)", median_seconds(
            "%s | %s key --algorithm %s" % (shlex.join(copy_out), shlex.quote(korvix), CODE),
            args.runs, shell=True)))
        results.append(("client: COPY out only", median_seconds(copy_out, args.runs)))
        results.append(("CREATE INDEX on the key", server.query_seconds(
            "SET max_parallel_maintenance_workers = 0",
            "CREATE INDEX ON customers (%s)" % KEY, args.runs)))
        results.append(("duplicate groups (GROUP BY key HAVING count(*) > 1)", server.query_seconds(
            parallel, "SELECT count(*) FROM (SELECT %s FROM customers GROUP BY 1 "
            "HAVING count(*) > 1) g" % KEY, args.runs)))
    finally:
        server.stop()

    floor = results[0][1]
    print("%d rows, %d runs each, %d cores, load average %.1f after the runs" %
          (args.count, args.runs, os.cpu_count(), os.getloadavg()[0]))
    print("%-52s %9s %13s %8s" % ("", "median s", "rows/s", "x floor"))
    for label, seconds in results:
        print("%-52s %9.3f %13s %8.2f" % (label, seconds, format(int(args.count / seconds), ","),
                                          seconds / floor))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
