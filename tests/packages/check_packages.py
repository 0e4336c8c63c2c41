#!/usr/bin/env python3
"""The Debian packages and the Python wheel, as their users install them.

Builds the packages from the build tree (cpack) and the wheel (pip), then
installs the packages with dpkg into a throw-away root (never into the
machine's own directories, so nothing clashes with a test that installs the
build's PostgreSQL extension into the server's) and uses them from there:
the tool, a C host compiled through pkg-config, the SQLite module, CREATE
EXTENSION on a throw-away server that takes its extension directories from
that root, and the wheel in a fresh virtual environment. Every one must give
what the build tree gives on the sample. Last, removing the packages must
leave nothing behind.

    check_packages.py BUILD_DIR SOURCE_DIR VERSION

Outside CI a missing tool skips the parts that need it; with CI=true every
part must run.
"""

import csv
import io
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import zipfile
from pathlib import Path

SKIP = 77
CODE = "010500000000000003050000000000000504110000000000"  # 5(PLZ)+5(Straße)+4R['sndx:Bez1]
IN_CI = os.environ.get("CI") == "true"
PYTHON = "/usr/bin/python3"


def run(*args, **kw) -> str:
    kw.setdefault("check", True)
    kw.setdefault("capture_output", True)
    kw.setdefault("text", True)
    try:
        return subprocess.run([str(a) for a in args], **kw).stdout
    except subprocess.CalledProcessError as e:
        sys.exit(f"FAIL: {' '.join(map(str, args))} exited {e.returncode}\n{e.stdout}\n{e.stderr}")


def check(ok: bool, what: str) -> None:
    if not ok:
        sys.exit(f"FAIL: {what}")


def skipped(what: str) -> bool:
    """True when `what` is missing and may be skipped; fails under CI."""
    check(not IN_CI, f"{what} is missing (scripts/setup installs it)")
    print(f"skipped: {what} is missing (scripts/setup installs it)")
    return True


def postgres_major(build: Path):
    """The PostgreSQL major version the extension is built for, or None."""
    if not (build / "extensions/postgres/korvix.so").exists():
        return None
    cache = (build / "CMakeCache.txt").read_text()
    pg_config = re.search(r"^PG_CONFIG:FILEPATH=(.*)$", cache, re.M).group(1)
    return re.search(r"[0-9]+", run(pg_config, "--version")).group(0)


def expected_packages(build: Path, version: str, pg: str) -> dict:
    """Package name -> a file it must hold and what it must depend on (its
    libraries as dpkg-shlibdeps finds them, its own kin at the same
    version), for what this tree has built."""
    same = f"(= {version})"
    packages = {
        "libkorvix2": ("usr/lib/libkorvix.so.2",
                       {"libutf8proc2": "", "libsqlite3-0": "", "libpq5": "", "libstdc++6": ""}),
        "libkorvix-dev": ("usr/lib/pkgconfig/korvix.pc", {"libkorvix2": same}),
        "korvix": ("usr/share/man/man1/korvix.1.gz", {"libkorvix2": same, "libutf8proc2": ""}),
        "libsqlite3-mod-korvix": ("usr/lib/korvix_sqlite.so", {"libsqlite3-0": ""}),
    }
    if (build / "lib" / "libkorvix-qt.so.2").exists():
        packages["libkorvix-qt2"] = ("usr/lib/libkorvix-qt.so.2", {"libqt6widgets6": ""})
        packages["libkorvix-qt-dev"] = ("usr/lib/cmake/KorvixQt/KorvixQtConfig.cmake",
                                        {"libkorvix-dev": same, "libkorvix-qt2": same, "qt6-base-dev": ""})
    if pg:
        packages[f"postgresql-{pg}-korvix"] = (f"usr/share/postgresql/{pg}/extension/korvix.control",
                                               {f"postgresql-{pg}": "", "libstdc++6": ""})
    return packages


def satisfied(alternatives: str, ours: dict) -> bool:
    """Whether one of `a | b (>= v)` is one of our packages or installed here."""
    for alternative in alternatives.split("|"):
        name, _, relation = alternative.strip().partition(" ")
        op, _, version = relation.strip("()").partition(" ")
        have = ours.get(name)
        if have is None:
            have = subprocess.run(["dpkg-query", "-W", "-f=${Version}", name],
                                  capture_output=True, text=True).stdout.strip() or None
        if have is not None and (not op or subprocess.run(
                ["dpkg", "--compare-versions", have, op, version]).returncode == 0):
            return True
    return False


def check_debs(debs: list, expected: dict, version: str, pg: str) -> dict:
    fields = {}
    for deb in debs:
        info = dict(line.split(": ", 1) for line in run(
            "dpkg-deb", "-f", deb, "Package", "Version", "Depends", "Recommends").splitlines())
        fields[info["Package"]] = info
        check(info["Version"] == version, f"{deb.name}: version {info['Version']}")
        files = run("dpkg-deb", "-c", deb)
        check(f"./usr/share/doc/{info['Package']}/copyright" in files, f"{deb.name}: no copyright")
        check("/usr/local/" not in files, f"{deb.name}: files under /usr/local")
        check(len(run("dpkg-deb", "-f", deb, "Description").splitlines()) > 2,
              f"{deb.name}: no long description")
    check(sorted(fields) == sorted(expected), f"packages {sorted(fields)}, not {sorted(expected)}")
    ours = {name: version for name in fields}
    for name, info in fields.items():
        depends = {}
        for dependency in filter(None, info.get("Depends", "").split(",")):
            check(satisfied(dependency, ours), f"{name}: dependency {dependency.strip()} unmet")
            package, _, relation = dependency.strip().partition(" ")
            depends[package] = relation
        for package, relation in expected[name][1].items():
            check(package in depends and (not relation or depends[package] == relation),
                  f"{name} does not depend on {package} {relation}: {info.get('Depends')}")
    # The server's packages and the tool pull in no Qt; the tool recommends its dialogs.
    for name in ("libkorvix2", "korvix", f"postgresql-{pg}-korvix", "libsqlite3-mod-korvix"):
        check("qt" not in fields.get(name, {}).get("Depends", "").lower(), f"{name} depends on Qt")
    if "libkorvix-qt2" in fields:
        check(fields["korvix"].get("Recommends") == f"libkorvix-qt2 (= {version})",
              f"korvix recommends {fields['korvix'].get('Recommends')}")
    return fields


def lintian(debs: list) -> None:
    if not shutil.which("lintian") and skipped("lintian"):
        return
    out = subprocess.run(["lintian", "--fail-on", "error", "--suppress-tags",
                          "no-symbols-control-file", *map(str, debs)],
                         capture_output=True, text=True)
    print(out.stdout, end="")
    check(out.returncode == 0, f"lintian reports errors:\n{out.stdout}{out.stderr}")


def library_env(root: Path) -> dict:
    env = dict(os.environ, LD_LIBRARY_PATH=str(root / "usr/lib"))
    env.pop("PYTHONPATH", None)
    return env


def check_tool(root: Path, build: Path, sample: Path, version: str) -> str:
    env = library_env(root)
    tool = root / "usr/bin/korvix"
    check(version in run(tool, "--version", env=env), "korvix --version")
    built = build / "tools/korvix/korvix"
    def text_report(korvix, **kw):  # without the time it took
        return re.sub(r"seconds [0-9.]+", "", run(korvix, "dedupe", sample, **kw))
    check(text_report(tool, env=env) == text_report(built),
          "korvix dedupe differs from the build tree's")
    report = run(tool, "dedupe", "--format", "csv", "--quiet", sample, env=env)
    check(report == run(built, "dedupe", "--format", "csv", "--quiet", sample),
          "the CSV report differs from the build tree's")
    check((root / "usr/share/bash-completion/completions/korvix").is_file(), "no completion")
    return report


def report_rows(report: str) -> list:
    """The records of a CSV report (which opens with a byte order mark for spreadsheets)."""
    return list(csv.DictReader(io.StringIO(report.lstrip("\ufeff"))))


def check_c_host(root: Path, source: Path, sample: Path, work: Path, report: str, version: str):
    env = dict(library_env(root), PKG_CONFIG_PATH=str(root / "usr/lib/pkgconfig"))
    flags = run("pkg-config", "--cflags", "--libs", "korvix", env=env).split()
    host = work / "host"
    run("cc", "-std=c99", "-Wall", "-Werror", source / "tests/packages/host.c", *flags, "-o", host)
    lines = run(host, sample, env=env).splitlines()
    check(lines[0] == version, f"the C host loads libkorvix {lines[0]}")
    rows = report_rows(report)
    check(lines[1:] == [f"{r['line']},{r['group']}" for r in rows],
          "the C host's groups differ from the tool's")


def check_sqlite(root: Path, build: Path, sample: Path) -> None:
    if not shutil.which("sqlite3") and skipped("sqlite3"):
        return
    records = sample.read_text(encoding="utf-8").splitlines()[:50]
    quoted = ",".join("('" + r.replace("'", "''") + "')" for r in records)
    keys = run("sqlite3", ":memory:", f".load {root}/usr/lib/korvix_sqlite",
               f"SELECT korvix_key('{CODE}', column1) FROM (VALUES {quoted});")
    check(keys == run(build / "tools/korvix/korvix", "key", "-a", CODE,
                      input="\n".join(records) + "\n"), "SQLite's keys differ")


def postgres_user():
    """The user the test server runs as: an unprivileged one when run as root."""
    if os.geteuid() != 0:
        return {}
    import pwd
    try:
        pwd.getpwnam("korvixtest")
    except KeyError:
        run("useradd", "--system", "--no-create-home", "--home-dir", "/nonexistent",
            "--shell", "/usr/sbin/nologin", "korvixtest")
    return {"user": "korvixtest", "group": "korvixtest", "extra_groups": []}


def check_postgres(root: Path, build: Path, sample: Path, work: Path, pg: str) -> list:
    """CREATE EXTENSION from the root. PostgreSQL finds its share and library
    directories relative to its own binary, so a copy of the server binary in
    the root reads the extension there, beside links to the server's files.
    Returns what it added to the root."""
    system = Path(f"/usr/lib/postgresql/{pg}")
    if not (system / "bin/initdb").exists() and skipped(f"the PostgreSQL {pg} server"):
        return []
    added = []
    for tree in (Path(f"usr/lib/postgresql/{pg}/lib"), Path(f"usr/share/postgresql/{pg}"),
                 Path(f"usr/share/postgresql/{pg}/extension")):
        (root / tree).mkdir(parents=True, exist_ok=True)
        for entry in (Path("/") / tree).iterdir():
            if not (root / tree / entry.name).exists():
                (root / tree / entry.name).symlink_to(entry)
                added.append(root / tree / entry.name)
    server = root / f"usr/lib/postgresql/{pg}/bin/postgres"
    server.parent.mkdir(parents=True)
    shutil.copy2(system / "bin/postgres", server)
    added += [server, server.parent]

    user = postgres_user()
    cluster = work / "pg"
    cluster.mkdir()
    if user:
        shutil.chown(cluster, user["user"], user["group"])
    run(system / "bin/initdb", "-D", cluster / "data", "-A", "trust", "-U", "postgres", "-N",
        "-E", "UTF8", "--locale=C", **user)
    with open(cluster / "server.log", "w") as log:
        process = subprocess.Popen(
            [str(server), "-D", str(cluster / "data"), "-k", str(cluster),
             "-c", "listen_addresses=", "-c", "fsync=off"], stdout=log, stderr=log, **user)
    try:
        psql = ["psql", "-h", cluster, "-U", "postgres", "-X", "-q", "-A", "-t",
                "-v", "ON_ERROR_STOP=1", "postgres"]
        for _ in range(300):
            if subprocess.run(["pg_isready", "-q", "-h", str(cluster)]).returncode == 0:
                break
            check(process.poll() is None, "the server ended: " + (cluster / "server.log").read_text())
            time.sleep(0.1)
        script = (
            "CREATE EXTENSION korvix;\n"
            "CREATE TABLE sample (n serial, record text);\n"
            "COPY sample (record) FROM STDIN (FORMAT csv, DELIMITER E'\\x01', QUOTE E'\\x02');\n"
            + sample.read_text(encoding="utf-8") + "\\.\n"
            f"SELECT korvix_key('{CODE}', record) FROM sample ORDER BY n;\n"
            "SELECT setting FROM pg_config WHERE name = 'PKGLIBDIR';\n")
        out = run(*psql, input=script).splitlines()
        keys, libdir = out[:-1], out[-1]
        check(libdir == str(root / f"usr/lib/postgresql/{pg}/lib"), f"the server's libdir is {libdir}")
        expected = run(build / "tools/korvix/korvix", "key", "-a", CODE, sample).splitlines()
        check(keys == expected, "PostgreSQL's keys differ from the build tree's")
        print(f"postgresql: CREATE EXTENSION from {libdir}, {len(keys)} keys as the build tree's")
    finally:
        process.send_signal(2)  # fast shutdown
        process.wait(timeout=30)
    return added


def build_wheel(build: Path, source: Path, work: Path, version: str) -> Path:
    out = work / "wheel"
    run(PYTHON, "-m", "pip", "wheel", "--no-build-isolation", "--no-deps", "--no-index",
        "--disable-pip-version-check", "--no-cache-dir", "-q", "-w", out, source,
        env=dict(os.environ, KORVIX_BUILD_DIR=str(build)))
    (wheel,) = out.glob(f"korvix-{version}-*.whl")
    names = zipfile.ZipFile(wheel).namelist()
    for wanted in ("korvix/__init__.py", "korvix/py.typed", "korvix/_korvix.pyi",
                   "korvix/libkorvix.so.2"):
        check(wanted in names, f"the wheel lacks {wanted}")
    check(any(n.startswith("korvix/_korvix.cpython") for n in names), "the wheel lacks _korvix")
    check(not any(n.startswith("korvix/libkorvix.so.2.") for n in names),
          "the wheel holds libkorvix twice")
    return wheel


def check_wheel(wheel: Path, sample: Path, work: Path, report: str) -> None:
    if subprocess.run([PYTHON, "-c", "import ensurepip"]).returncode != 0 and skipped("python3-venv"):
        return
    venv = work / "venv"
    started = time.monotonic()
    run(PYTHON, "-m", "venv", "--system-site-packages", venv)
    made = time.monotonic()
    env = {k: v for k, v in os.environ.items() if k not in ("PYTHONPATH", "LD_LIBRARY_PATH")}
    env["PYTHONDONTWRITEBYTECODE"] = "1"
    run(venv / "bin/pip", "install", "--no-index", "--no-cache-dir", "--disable-pip-version-check",
        "-q", wheel, env=env)
    run(venv / "bin/python", "-c", "import korvix", env=env, cwd=work)
    done = time.monotonic()
    print(f"wheel: venv {made - started:.1f} s, pip install and import {done - made:.1f} s")

    script = f"""
import korvix, sys
assert korvix.__file__.startswith({str(venv)!r}), korvix.__file__
frame = korvix.dedupe({str(sample)!r})
for row in frame.itertuples():
    print(f"{{row.line}},{{row.group}},{{row.key}}")
"""
    got = run(venv / "bin/python", "-c", script, env=env, cwd=work).splitlines()
    rows = report_rows(report)
    check(got == [f"{r['line']},{r['group']},{r['key']}" for r in rows],
          "korvix.dedupe from the wheel differs from the tool")
    run(venv / "bin/pip", "uninstall", "-y", "-q", "korvix", env=env)
    left = [p for p in (venv / "lib").glob("python3*/site-packages/korvix*")]
    check(not left, f"pip uninstall left {left}")


def main() -> int:
    build, source, version = Path(sys.argv[1]).resolve(), Path(sys.argv[2]).resolve(), sys.argv[3]
    sample = source / "data/sample.txt"
    for tool in ("cpack", "dpkg-deb", "dpkg-shlibdeps"):
        if not shutil.which(tool):
            check(not IN_CI, f"{tool} is missing (scripts/setup installs it)")
            print(f"skipped: {tool} is missing")
            return SKIP
    # Short: the server's socket lies in it.
    work = Path(tempfile.mkdtemp(prefix="korvix-pkg-", dir="/tmp"))
    work.chmod(0o755)
    try:
        run("cpack", "--config", build / "CPackConfig.cmake", "-B", work / "debs")
        debs = sorted((work / "debs").glob("*.deb"))
        pg = postgres_major(build)
        expected = expected_packages(build, version, pg)
        check_debs(debs, expected, version, pg)
        lintian(debs)

        root = work / "root"
        admin = root / "var/lib/dpkg"
        for sub in ("info", "updates"):
            (admin / sub).mkdir(parents=True)
        (admin / "status").touch()
        # The root has none of the system's packages, so the dependencies
        # (checked above against this machine) are not asked for there, and
        # it has no shell to run the scripts in (they only call ldconfig).
        dpkg = ["dpkg", f"--root={root}", "--force-depends", "--force-script-chrootless",
                "--log=/dev/null"]
        env = dict(os.environ, PATH=os.environ.get("PATH", "") + ":/usr/sbin:/sbin")
        as_root = os.geteuid() == 0
        for deb in debs if not as_root else []:
            run("dpkg-deb", "-x", deb, root)  # dpkg itself wants root to set owners
        if as_root:
            run(*dpkg, "--install", *debs, env=env)
        for name, (file, _) in expected.items():
            check((root / file).exists(), f"{name} did not install {file}")

        report = check_tool(root, build, sample, version)
        check_c_host(root, source, sample, work, report, version)
        check_sqlite(root, build, sample)
        added = check_postgres(root, build, sample, work, pg) if pg else []
        for path in added:
            path.unlink() if path.is_symlink() or path.is_file() else path.rmdir()

        if as_root:
            run(*dpkg, "--purge", *expected, env=env)
            left = [str(p.relative_to(root)) for p in root.rglob("*")
                    if not p.is_relative_to(root / "var")]
            check(not left, f"removing the packages left {left[:10]}")
        else:
            print("skipped: removing the packages with dpkg (needs root)")

        check_wheel(build_wheel(build, source, work, version), sample, work, report)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    print(f"{len(debs)} packages and the wheel installed, used and removed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
