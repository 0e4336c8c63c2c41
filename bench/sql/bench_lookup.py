#!/usr/bin/env python3
"""The duplicates of one new customer in a million-row table, through an index.

Fills a table kunden (id, plz, ort, strasse, suchbegriff, bez1 ... bez4,
gruppe) with realistic customer records (scripts/generate_customers.py, fixed
seed, about 18 % re-entries), indexes every row's keys (korvix_keys of
korvix_record of the columns) and times the look-up that a host runs before
it stores a new customer: the rows that share a key with it and score at
least 0.7 (korvix_score), as the recommendation verifies, best first; and
the exact look-up, which scores those rows together as the job does
(korvix_matches); the queries of docs/sql.md.

  - PostgreSQL: a throw-away server (as bench_postgres.py starts it), a GIN
    index on the keys; the time is the server's (EXPLAIN ANALYZE: planning,
    which computes the new record's keys, plus execution), and psql's round
    trip beside it.
  - SQLite: the loadable extension, a side table kunden_keys (key, id) with
    an index, filled by INSERT ... SELECT from korvix_keys and kept by
    triggers; the time is that of stepping the statement in this process.

The new records are rows of the table itself, which have at least
themselves and often their re-entries to find, and customers of another seed,
which mostly have none; each is looked up once, the median of all is given.

    bench/sql/bench_lookup.py                      # 1 million records
    bench/sql/bench_lookup.py --count 100000 --lookups 500

Needs the PostgreSQL extension installed in the server's directories; as root
the script installs it from the build (cmake --install BUILD --component
postgresql).
"""

import argparse
import ctypes
import json
import os
import random
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from bench_postgres import ROOT, Server  # noqa: E402

SEED = 20240611
OTHER_SEED = 7
COLUMNS = "plz, ort, strasse, suchbegriff, bez1, bez2, bez3, bez4, gruppe"
RECORD = "korvix_record(%s)" % COLUMNS
SCHEMA = """
CREATE TABLE kunden (id INTEGER PRIMARY KEY, plz TEXT, ort TEXT, strasse TEXT, suchbegriff TEXT,
                     bez1 TEXT, bez2 TEXT, bez3 TEXT, bez4 TEXT, gruppe TEXT);
CREATE TABLE kunden_keys (key TEXT NOT NULL, id INTEGER NOT NULL);
"""
SIDE_INDEX = "CREATE INDEX kunden_keys_key ON kunden_keys (key, id)"
TRIGGERS = """
CREATE TRIGGER kunden_keys_insert AFTER INSERT ON kunden BEGIN
  INSERT INTO kunden_keys SELECT key, NEW.id FROM korvix_keys(korvix_record(
    NEW.plz, NEW.ort, NEW.strasse, NEW.suchbegriff, NEW.bez1, NEW.bez2, NEW.bez3, NEW.bez4, NEW.gruppe));
END;
CREATE TRIGGER kunden_keys_update AFTER UPDATE OF %(columns)s ON kunden BEGIN
  DELETE FROM kunden_keys WHERE id = OLD.id AND key IN (SELECT key FROM korvix_keys(korvix_record(
    OLD.plz, OLD.ort, OLD.strasse, OLD.suchbegriff, OLD.bez1, OLD.bez2, OLD.bez3, OLD.bez4, OLD.gruppe)));
  INSERT INTO kunden_keys SELECT key, NEW.id FROM korvix_keys(korvix_record(
    NEW.plz, NEW.ort, NEW.strasse, NEW.suchbegriff, NEW.bez1, NEW.bez2, NEW.bez3, NEW.bez4, NEW.gruppe));
END;
CREATE TRIGGER kunden_keys_delete AFTER DELETE ON kunden BEGIN
  DELETE FROM kunden_keys WHERE id = OLD.id AND key IN (SELECT key FROM korvix_keys(korvix_record(
    OLD.plz, OLD.ort, OLD.strasse, OLD.suchbegriff, OLD.bez1, OLD.bez2, OLD.bez3, OLD.bez4, OLD.gruppe)));
END;
""" % {"columns": COLUMNS}
SQLITE_LOOKUP = """SELECT id, korvix_score(%s, ?1) AS score FROM kunden
WHERE id IN (SELECT id FROM kunden_keys WHERE key IN (SELECT key FROM korvix_keys(?1)))
  AND score >= 0.7
ORDER BY score DESC""" % RECORD
PG_LOOKUP = """SELECT id, korvix_score(%(record)s, %%(new)s) AS score FROM kunden
WHERE korvix_keys(%(record)s) && korvix_keys(%%(new)s) AND korvix_score(%(record)s, %%(new)s) >= 0.7
ORDER BY score DESC""" % {"record": RECORD}
SQLITE_EXACT = """SELECT value ->> 'id', value ->> 'score' FROM json_each((
  SELECT korvix_matches(%s, id, ?1) FROM kunden
  WHERE id IN (SELECT id FROM kunden_keys WHERE key IN (SELECT key FROM korvix_keys(?1)))))""" % RECORD
PG_EXACT = """SELECT m->>'id', m->>'score' FROM jsonb_array_elements((
  SELECT korvix_matches(%(record)s, id::text, %%(new)s) FROM kunden
  WHERE korvix_keys(%(record)s) && korvix_keys(%%(new)s))) m""" % {"record": RECORD}


def generate(count, seed, path):
    if not os.path.exists(path):
        subprocess.run([sys.executable, os.path.join(ROOT, "scripts/generate_customers.py"),
                        "--count", str(count), "--seed", str(seed), "-o", path + ".part"],
                       check=True)
        os.replace(path + ".part", path)
    with open(path, encoding="utf-8") as f:
        return f.read().splitlines()


INSERT = "INSERT INTO kunden (%s) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)" % COLUMNS


def columns(record):
    """The nine columns of a record string."""
    items = record.split("|")[:9]
    return items + [""] * (9 - len(items))


def percentile(values, p):
    return statistics.quantiles(values, n=100)[p - 1]


def quote(text):
    return "'" + text.replace("'", "''") + "'"


def bench_postgres(args, records, news):
    server = Server()
    results = []
    try:
        load = tempfile.NamedTemporaryFile("w", encoding="utf-8", suffix=".txt", delete=False)
        with load:
            for r in records:
                load.write("\t".join(columns(r)).replace("\\", "\\\\") + "\n")
        os.chmod(load.name, 0o644)
        subprocess.run(server.psql(
            "CREATE EXTENSION korvix",
            "CREATE TABLE kunden (id bigserial PRIMARY KEY, plz text, ort text, strasse text, "
            "suchbegriff text, bez1 text, bez2 text, bez3 text, bez4 text, gruppe text)"), check=True)
        with open(load.name, "rb") as f:
            subprocess.run(server.psql("COPY kunden (%s) FROM STDIN" % COLUMNS), stdin=f, check=True)
        os.unlink(load.name)
        start = time.perf_counter()
        subprocess.run(server.psql(
            "SET maintenance_work_mem = '512MB'",
            "CREATE INDEX kunden_keys ON kunden USING gin (korvix_keys(%s))" % RECORD), check=True)
        results.append(("PostgreSQL: CREATE INDEX ... USING gin (korvix_keys(...))",
                        time.perf_counter() - start, "s"))
        subprocess.run(server.psql("VACUUM ANALYZE kunden"), check=True)

        # The server's own time of each look-up, one session for all.
        for name, query in (("look-up", PG_LOOKUP), ("exact look-up", PG_EXACT)):
            script = "".join("EXPLAIN (ANALYZE, FORMAT JSON) %s;\n" % (query % {"new": quote(n)})
                             for n in news)
            out = subprocess.run(server.psql() + ["-f", "-"], input=script, text=True,
                                 capture_output=True, check=True).stdout
            plans, decoder, at = [], json.JSONDecoder(), 0
            while at < len(out):
                if out[at].isspace():
                    at += 1
                    continue
                plan, at = decoder.raw_decode(out, at)
                plans.append(plan[0])
            server_ms = [p["Planning Time"] + p["Execution Time"] for p in plans]
            if query is PG_LOOKUP:
                found = [p["Plan"].get("Actual Rows", 0) for p in plans]
            uses_index = all("kunden_keys" in json.dumps(p["Plan"]) for p in plans)
            results.append(("PostgreSQL: %s, server (planning + execution)" % name,
                            statistics.median(server_ms), "ms"))
            for q in (95, 99):
                results.append(("PostgreSQL: %s, server, %dth percentile" % (name, q),
                                percentile(server_ms, q), "ms"))
        # The same through psql, as \timing sees it from the client.
        script = "\\timing on\n" + "".join("%s;\n" % (PG_LOOKUP % {"new": quote(n)}) for n in news)
        out = subprocess.run(server.psql() + ["-f", "-"], input=script, text=True,
                             capture_output=True, check=True).stdout
        client_ms = [float(line.split()[1]) for line in out.splitlines()
                     if line.startswith("Time: ")]
        results.append(("PostgreSQL: look-up, psql round trip", statistics.median(client_ms), "ms"))
        example = subprocess.run(server.psql("EXPLAIN " + PG_LOOKUP % {"new": quote(news[0])}),
                                 text=True, capture_output=True, check=True).stdout
    finally:
        server.stop()
    return results, found, uses_index, example


class Sqlite:
    """The few calls of the SQLite C library that the benchmark needs, through ctypes: the
    Python module of Debian cannot load extensions."""

    def __init__(self, path, module):
        self.lib = lib = ctypes.CDLL("libsqlite3.so.0")
        lib.sqlite3_errmsg.restype = ctypes.c_char_p
        lib.sqlite3_column_double.restype = ctypes.c_double
        lib.sqlite3_column_int64.restype = ctypes.c_int64
        lib.sqlite3_column_text.restype = ctypes.c_char_p
        lib.sqlite3_bind_text.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_char_p,
                                          ctypes.c_int, ctypes.c_void_p]
        for name in ("sqlite3_step", "sqlite3_reset", "sqlite3_finalize", "sqlite3_column_int64",
                     "sqlite3_column_double", "sqlite3_column_text"):
            getattr(lib, name).argtypes = [ctypes.c_void_p] + (
                [ctypes.c_int] if name.startswith("sqlite3_column") else [])
        self.db = ctypes.c_void_p()
        self.check(lib.sqlite3_open(path.encode(), ctypes.byref(self.db)))
        lib.sqlite3_enable_load_extension(self.db, 1)
        error = ctypes.c_char_p()
        if lib.sqlite3_load_extension(self.db, module.encode(), None, ctypes.byref(error)):
            sys.exit("bench: cannot load %s: %s" % (module, error.value.decode()))

    def check(self, rc):
        if rc not in (0, 100, 101):  # SQLITE_OK, SQLITE_ROW, SQLITE_DONE
            raise RuntimeError(self.lib.sqlite3_errmsg(self.db).decode())

    def execute(self, sql):
        self.check(self.lib.sqlite3_exec(self.db, sql.encode(), None, None, None))

    def prepare(self, sql):
        stmt = ctypes.c_void_p()
        self.check(self.lib.sqlite3_prepare_v2(self.db, sql.encode(), -1, ctypes.byref(stmt), None))
        return stmt

    def run(self, stmt, *texts, column=None):
        """Steps `stmt` with `texts` bound; returns the rows' `column` (text; a tuple of
        columns gives tuples) or as many ones as rows."""
        lib = self.lib
        for i, t in enumerate(texts):
            b = t.encode()
            self.check(lib.sqlite3_bind_text(stmt, i + 1, b, len(b), ctypes.c_void_p(-1)))
        rows = []
        while True:
            rc = lib.sqlite3_step(stmt)
            if rc != 100:
                break
            if isinstance(column, tuple):
                rows.append(tuple(lib.sqlite3_column_text(stmt, c).decode() for c in column))
            else:
                rows.append(lib.sqlite3_column_text(stmt, column).decode() if column is not None else 1)
        self.check(rc)
        lib.sqlite3_reset(stmt)
        return rows

    def close(self):
        self.lib.sqlite3_close(self.db)


def bench_sqlite(args, records, news):
    results = []
    path = os.path.join(args.work, "lookup.sqlite")
    if os.path.exists(path):
        os.remove(path)
    db = Sqlite(path, os.path.join(args.build, "lib/korvix_sqlite.so"))
    db.execute("PRAGMA journal_mode = WAL; PRAGMA synchronous = NORMAL; PRAGMA cache_size = -262144")
    db.execute(SCHEMA)
    insert = db.prepare(INSERT)
    db.execute("BEGIN")
    for r in records:
        db.run(insert, *columns(r))
    db.execute("COMMIT")
    db.lib.sqlite3_finalize(insert)
    # An existing table: its keys in one statement, then the index, then the
    # triggers that keep them from now on.
    start = time.perf_counter()
    db.execute("BEGIN; INSERT INTO kunden_keys SELECT key, id FROM kunden, korvix_keys(%s); "
               "%s; %s COMMIT; ANALYZE" % (RECORD, SIDE_INDEX, TRIGGERS))
    results.append(("SQLite: fill kunden_keys and index it", time.perf_counter() - start, "s"))

    lookup = db.prepare(SQLITE_LOOKUP)
    exact = db.prepare(SQLITE_EXACT)
    plan = db.prepare("EXPLAIN QUERY PLAN " + SQLITE_LOOKUP)
    example = "\n".join(db.run(plan, news[0], column=3))
    found, pairs = [], {"look-up": {}, "exact look-up": {}}
    for name, stmt in (("look-up", lookup), ("exact look-up", exact)):
        times = []
        for i, n in enumerate(news, 1):
            start = time.perf_counter()
            rows = db.run(stmt, n, column=(0, 1))
            times.append((time.perf_counter() - start) * 1000)
            if stmt is lookup:
                found.append(len(rows))
            pairs[name].update({(i, int(id)): float(score) for id, score in rows})
        results.append(("SQLite: %s, in process" % name, statistics.median(times), "ms"))
        for q in (95, 99):
            results.append(("SQLite: %s, in process, %dth percentile" % (name, q), percentile(times, q), "ms"))

    # What the triggers cost a host that stores customers one by one.
    insert = db.prepare(INSERT)
    start = time.perf_counter()
    db.execute("BEGIN")
    for n in news:
        db.run(insert, *columns(n))
    db.execute("COMMIT")
    results.append(("SQLite: INSERT of a customer with its keys (trigger)",
                    (time.perf_counter() - start) * 1000 / len(news), "ms"))
    for stmt in (lookup, exact, plan, insert):
        db.lib.sqlite3_finalize(stmt)
    db.close()
    os.remove(path)
    for suffix in ("-wal", "-shm"):
        if os.path.exists(path + suffix):
            os.remove(path + suffix)
    for name, found_pairs in pairs.items():
        agree(args, news, name, found_pairs)
    return results, found, "USING COVERING INDEX kunden_keys_key" in example, example


def agree(args, news, name, pairs):
    """Prints how the look-ups' pairs and scores agree with korvix dedupe --base on the same
    records (the table's ids are the lines of the generated file)."""
    path = os.path.join(args.work, "lookup-news.txt")
    with open(path, "w", encoding="utf-8") as f:
        f.write("".join(n + "\n" for n in news))
    out = subprocess.run([os.path.join(args.build, "tools/korvix/korvix"), "dedupe", "--base",
                          os.path.join(args.work, "lookup-%d.txt" % args.count), "--format", "json",
                          path], capture_output=True, text=True, check=True).stdout
    job = {(m["line"], b["line"]): b["score"] for m in json.loads(out)["matches"] for b in m["base"]}
    os.remove(path)
    both = job.keys() & pairs.keys()
    print("SQLite %ss against korvix dedupe --base: %d pairs, %d in both, %d only in SQL, "
          "%d only in the job, %d scores apart by more than 0.0005" % (
              name, len(job.keys() | pairs.keys()), len(both), len(pairs.keys() - job.keys()),
              len(job.keys() - pairs.keys()), sum(abs(job[p] - pairs[p]) > 0.0005 for p in both)))
    for p in sorted(job.keys() ^ pairs.keys()):
        print("  new %d, customer %d: SQL %s, job %s" % (p + (pairs.get(p), job.get(p))))


def main(argv):
    p = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    p.add_argument("--build", default=os.path.join(ROOT, "build/release"),
                   help="the build directory (default build/release)")
    p.add_argument("--count", type=int, default=1000000, help="records (default 1000000)")
    p.add_argument("--lookups", type=int, default=200, help="new records looked up (default 200)")
    p.add_argument("--only", choices=("postgres", "sqlite"), help="one database only")
    p.add_argument("--work", default=os.path.join(os.environ.get("TMPDIR", "/tmp"), "korvix-bench"),
                   help="directory for the records and the SQLite database")
    args = p.parse_args(argv)
    os.makedirs(args.work, exist_ok=True)
    # Names of their own: other benchmarks keep differently made customers in the same folder.
    records = generate(args.count, SEED, os.path.join(args.work, "lookup-%d.txt" % args.count))
    others = generate(10000, OTHER_SEED, os.path.join(args.work, "lookup-other-10000.txt"))
    rng = random.Random(SEED)
    half = args.lookups // 2
    news = rng.sample(records, half) + rng.sample(others, args.lookups - half)
    rng.shuffle(news)

    report = []
    if args.only != "sqlite":
        if os.geteuid() == 0:
            subprocess.run(["cmake", "--install", args.build, "--component", "postgresql"],
                           check=True, stdout=subprocess.DEVNULL)
        report.append(bench_postgres(args, records, news))
    if args.only != "postgres":
        report.append(bench_sqlite(args, records, news))

    print("%d rows, %d look-ups, %d cores, load average %.1f after the runs" %
          (args.count, args.lookups, os.cpu_count(), os.getloadavg()[0]))
    for results, found, uses_index, example in report:
        for label, value, unit in results:
            print("%-60s %9.3f %s" % (label, value, unit))
        print("%-60s %9.1f (max %d)" % ("  duplicates found per look-up, mean", statistics.mean(found),
                                       max(found)))
        print("  the index served every look-up: %s; the plan of one:" % ("yes" if uses_index else "NO"))
        print("    " + example.strip().replace("\n", "\n    "))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
