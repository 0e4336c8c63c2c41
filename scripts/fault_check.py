#!/usr/bin/env python3
"""Counts how many deliberate faults the test suite catches.

Each fault in FAULTS is put into the working tree in turn, the build is
updated and ctest is run; the fault counts as caught when a test fails that
passed on the unchanged tree. The file is always put back byte for byte,
also on Ctrl-C, and the build is brought back to the unchanged tree at the end.

    scripts/fault_check.py --list            show the faults
    scripts/fault_check.py --check           only check that every snippet applies
    scripts/fault_check.py [-R RE] [-E RE]   run (ctest patterns passed through)
    scripts/fault_check.py --only ID [ID..]  run some faults only

When a file moves or its code changes, update its row below: the original
snippet must occur exactly once in the file.
"""

import argparse
import fcntl
import json
import os
import re
import signal
import subprocess
import sys
import time
from dataclasses import dataclass
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent


@dataclass(frozen=True)
class Fault:
    id: str
    what: str
    path: str  # relative to the repository root
    original: str  # must occur exactly once in the file
    faulty: str


FAULTS = [
    Fault("delete-rights",
          "Delete checks the user's own staff number instead of the entry's owner",
          "src/dialogs/select/frm_select_commands.cpp",
          "if (!MayDelete(entry->PersonalNr, IsAdmin)) {",
          "if (!MayDelete(PersonalNr, IsAdmin)) {"),
    Fault("cut-direction",
          "key builder fills on the wrong side when the slot says from the right",
          "src/engine/key_builder.cpp",
          "if (slot.FromRight() && chars < length) key->append(length - chars, '-');",
          "if (!slot.FromRight() && chars < length) key->append(length - chars, '-');"),
    Fault("trim2null-empty",
          "blank name or description is stored as \"\" instead of Null",
          "src/store/algorithm_writes.cpp",
          "if (trimmed.empty()) return std::nullopt;",
          "if (trimmed.empty()) return std::string();"),
    Fault("overwrite-default-yes",
          "overwrite question shows 36 instead of 292: Yes becomes the default button",
          "src/dialogs/editor/save_algorithm.cpp",
          "constexpr int kOverwriteFlags = ui::kYesNo + ui::kQuestion + ui::kDefaultButton2;",
          "constexpr int kOverwriteFlags = ui::kYesNo + ui::kQuestion;"),
    Fault("phonetic-repeat-group",
          "phonetic code drops a repeat of the same group letter, not of the same letter",
          "src/engine/phonetic.cpp",
          "return static_cast<unsigned char>(letter) | static_cast<ByteRule>(GroupOf(letter)) << 8",
          "return static_cast<unsigned char>(GroupOf(letter)) | "
          "static_cast<ByteRule>(GroupOf(letter)) << 8"),
    Fault("street-no-blank-str",
          "street normalisation skips the \" STR\" -> \"STR\" step",
          "src/engine/street.cpp",
          "std::size_t blanks = long_form ? 2 : 1;",
          "std::size_t blanks = long_form ? 2 : 0;"),
    Fault("fill-list-first",
          "FillList selects the first entry with the algorithm's code, not the last",
          "src/dialogs/select/frm_select.cpp",
          "if (entries_[i].AlgorithmCode == Algorithm) selected",
          "if (selected < 0 && entries_[i].AlgorithmCode == Algorithm) selected"),
    Fault("lookup-public-on-failure",
          "name lookup tries the public row when the end test of the user's query fails",
          "src/store/name_lookup.cpp",
          "if (rs.Eof() != std::optional<bool>(true)) {",
          "if (rs.Eof() == std::optional<bool>(false)) {"),
    Fault("default-length",
          "a row that gets a field defaults to \"4 Stellen\" instead of \"3 Stellen\"",
          "src/dialogs/editor/frm_algorithm_form.h",
          "inline constexpr int kDefaultLengthIndex = 2;",
          "inline constexpr int kDefaultLengthIndex = 3;"),
    Fault("shift-rows-short",
          "removing a row shifts the rows below up only to the last row but one",
          "src/dialogs/editor/editor_rows.cpp",
          "for (int i = Index; i < kEditorRows - 1; ++i) {",
          "for (int i = Index; i < kEditorRows - 2; ++i) {"),
    Fault("sql-quote",
          "a quote inside a code or staff number is not doubled in the SQL text",
          "src/db/connection.cpp",
          "    if (c == '\\'') out.push_back('\\'');\n",
          ""),
    Fault("save-case-one-side",
          "save upper-cases only the loaded side: an unchanged owner with small letters asks "
          "to overwrite itself and deletes the row just written",
          "src/store/algorithm_writes.cpp",
          "if (text::Upper(x[i]) != text::Upper(y[i])) return false;",
          "if (x[i] != text::Upper(y[i])) return false;"),
    Fault("csv-doubled-quote",
          "CSV reader drops the quote that a doubled quote inside a quoted field stands for",
          "src/dedupe/read/csv_reader.cpp",
          "    Keep(s, \"\\\"\", 1);\n    s.state = Slow::State::kQuoted;\n",
          "    s.state = Slow::State::kQuoted;\n"),
    Fault("dedupe-last-group",
          "dedupe loses the group of equal keys that ends the sorted input",
          "src/dedupe/core/key_table.cpp",
          "  KeyOrder Finish() {\n    if (i_ - run_ >= 2) order_.groups.push_back({run_, i_ - run_});\n",
          "  KeyOrder Finish() {\n"),
    Fault("pieces-not-merged",
          "keys sorted in pieces through files are laid end to end instead of merged",
          "src/dedupe/core/key_table.cpp",
          "return order_of.Less(entry(y), entry(x)); };",
          "return x > y; };"),
    Fault("signal-keeps-temp-folder",
          "SIGTERM removes the run's temporary files but leaves their folder",
          "src/dedupe/core/temp_files.cpp",
          "    if (g_path[i][0] != '\\0') ::rmdir(g_path[i]);\n",
          ""),
    Fault("spill-never-lets-go",
          "a run beyond its memory limit keeps every spilled page it touched",
          "src/dedupe/core/spill.cpp",
          "      if (Resident() > start + limit - limit / 8) LetGoUntil(start + limit - limit / 4);\n",
          "      continue;\n"),
    Fault("batch-keeps-first-pieces-only",
          "pairs beyond the memory limit read back only the first piece laid out of each batch",
          "src/dedupe/core/batch_file.cpp",
          "  if (!pieces.empty() && pieces.back().at + pieces.back().size == at) {\n"
          "    pieces.back().size += bytes.size();\n  } else {\n    pieces.push_back({at, bytes.size()});\n  }\n",
          "  if (pieces.empty()) pieces.push_back({at, bytes.size()});\n"),
    Fault("rename-resurrects",
          "a rename of a row removed meanwhile adds it again",
          "src/store/algorithm_writes.cpp",
          "if (rs.Eof() == std::optional<bool>(true)) return WriteResult::kNotFound;\n  if (!rs.SetField(\"AlgorithmName\", name)",
          "if (rs.Eof() == std::optional<bool>(true) && !rs.AddNew()) Fail(rs, tx);\n  if (!rs.SetField(\"AlgorithmName\", name)"),
    Fault("union-not-roots",
          "union links the two records instead of their groups' roots: a record already in a "
          "group is moved out of it",
          "src/dedupe/link/linking.cpp",
          "    a = Find(a);\n    b = Find(b);\n    if (a != b) parent_",
          "    if (a != b) parent_"),
    Fault("verify-at-threshold",
          "a pair scored exactly at the verification threshold is dropped",
          "src/dedupe/link/linking.cpp",
          "if (scores[i] >= Threshold(options)) {",
          "if (scores[i] > Threshold(options)) {"),
    Fault("base-verify-at-threshold",
          "against a base, a pair scored exactly at the verification threshold is dropped",
          "src/dedupe/link/linking.cpp",
          "if (!scores.empty() && score < Threshold(options)) continue;",
          "if (!scores.empty() && score <= Threshold(options)) continue;"),
    Fault("jaro-window-wide",
          "the Jaro-Winkler match window is one character too wide",
          "src/dedupe/compare/similarity.cpp",
          "std::max<std::size_t>(std::max(a.size(), b.size()) / 2, 1) - 1;",
          "std::max<std::size_t>(std::max(a.size(), b.size()) / 2, 1);"),
    Fault("pieces-keep-their-last-pairs",
          "the pairs a thread made since it last handed them on are not handed on when its "
          "pieces end",
          "src/dedupe/link/linking.cpp",
          "      maker.HandOn();\n    }\n  });\n",
          "    }\n  });\n"),
    Fault("copies-ignore-keys",
          "records of one profile are taken for copies whatever their keys",
          "src/dedupe/link/linking.cpp",
          "      if (table.key(k, r) != std::string_view(kept.data() + at, size)) return false;",
          ""),
    Fault("split-keys-ignored",
          "a key shared by too many records pairs next neighbours in input order, whatever their split keys",
          "src/dedupe/link/linking.cpp",
          "      while (end < entries.size() && entries[end].split == entries[i].split) ++end;",
          "      while (end < entries.size()) ++end;"),
    Fault("base-split-within",
          "against a base, a large key split by the second key pairs two records of one file",
          "src/dedupe/link/linking.cpp",
          "          } else if (p.right != q.right) {",
          "          } else {"),
    Fault("commit-rename-first",
          "the report replaces the old one before its last block is written and synced",
          "src/dedupe/report/report_file.cpp",
          "void ReportFile::Commit() {\n  Flush();\n  if (temp_.empty()) return;\n",
          "void ReportFile::Commit() {\n"
          "  if (!temp_.empty() && ::rename(temp_.c_str(), target_.c_str()) != 0) Fail(errno);\n"
          "  Flush();\n  if (temp_.empty()) return;\n"),
    Fault("csv-quote-later-field",
          "a quote that opens a later field of a CSV record is taken as data",
          "src/dedupe/read/csv_reader.cpp",
          "  if (in_.bytes[s.p] == delimiter_) {\n    ends_.push_back(s.text().size());\n"
          "    s.state = Slow::State::kFieldStart;\n",
          "  if (in_.bytes[s.p] == delimiter_) {\n    ends_.push_back(s.text().size());\n"
          "    s.state = Slow::State::kUnquoted;\n"),
    Fault("decided-apart-not-carried",
          "a group that takes in a record decided different from another forgets it",
          "src/dedupe/link/linking.cpp",
          "    const auto it = marked_.find(other);\n    if (it == marked_.end()) return;\n",
          "    const auto it = marked_.find(other);\n    if (it != marked_.end() || true) return;\n"),
    Fault("review-any-origin",
          "the review page takes requests from any origin",
          "tools/korvix/review_server.cpp",
          "const bool origin_ok = origin.empty() || origin == origins[0] || origin == origins[1];",
          "const bool origin_ok = true;"),
    Fault("csv-quote-not-doubled",
          "a quote inside a quoted CSV field is written once",
          "src/base/csv.h",
          "    if (c == '\"') out->push_back('\"');\n",
          ""),
    Fault("value-first-not-latest",
          "of two values a person chose for one column of a group, the first wins",
          "src/dedupe/clean/survivors.cpp",
          "        } else if (when[same - picked.begin()] < value.decision) {",
          "        } else if (when[same - picked.begin()] > value.decision) {"),
    Fault("lookup-all-pairs",
          "the exact SQL look-up compares every row of a large key, as the job does not",
          "src/dedupe/link/lookup.cpp",
          "  link.max_candidates = kOptions.max_candidates;\n",
          "  link.max_candidates = rows.size() + 1;\n"),
    Fault("copies-redo-all-pairs",
          "copies that link outside make every pair of their runs again, not only those within them",
          "src/dedupe/link/linking.cpp",
          "return only_ == nullptr || ((*only_)[a] != kNone && (*only_)[a] == (*only_)[b]);",
          "return true;"),
    Fault("torn-not-their-groups",
          "the second grouping pass takes up only the torn records' own links, not all connected with them",
          "src/dedupe/link/linking.cpp",
          "again[r] = torn_set[connected.Find(r)];",
          "again[r] = torn.count(r) != 0;"),
]

# What a crash of this script left in the tree, so the next run can undo it.
PENDING = "fault_check_pending.json"
# Held while a run changes the tree; a second run must not restore the first one's fault.
LOCK = "fault_check.lock"


class Stop(Exception):
    """Raised on SIGTERM so that the finally blocks restore the tree."""


def on_term(signum, frame):
    raise Stop(f"signal {signum}")


def check_snippets(faults):
    """Returns one message per fault whose snippet does not occur exactly once."""
    problems = []
    for f in faults:
        file = ROOT / f.path
        if not file.is_file():
            problems.append(f"{f.id}: no file {f.path}")
            continue
        count = file.read_bytes().count(f.original.encode())
        if count != 1:
            problems.append(f"{f.id}: snippet occurs {count} times in {f.path}")
        if f.original == f.faulty:
            problems.append(f"{f.id}: the faulty text equals the original")
    return problems


def restore_pending(build_dir):
    journal = build_dir / PENDING
    if not journal.exists():
        return
    entry = json.loads(journal.read_text(encoding="utf-8"))
    (ROOT / entry["path"]).write_bytes(entry["content"].encode("utf-8", "surrogateescape"))
    journal.unlink()
    print(f"restored {entry['path']}, left changed by an interrupted run", flush=True)


def run(cmd, log):
    """Runs cmd in the repository root; returns (exit code, output). Output goes to log."""
    proc = subprocess.run(cmd, cwd=ROOT, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                          text=True, errors="replace")
    log.write(f"$ {' '.join(cmd)}\n{proc.stdout}\n")
    log.flush()
    return proc.returncode, proc.stdout


def build(build_dir, log):
    code, out = run(["cmake", "--build", str(build_dir)], log)
    return code == 0, out


def failed_tests(output):
    """The names of the tests that ctest lists as failed."""
    names = []
    lines = output.splitlines()
    try:
        start = next(i for i, line in enumerate(lines) if "The following tests FAILED" in line)
    except StopIteration:
        return names
    for line in lines[start + 1:]:
        m = re.match(r"\s*\d+\s+-\s+(.+?)\s+\((.+)\)\s*$", line)
        if not m:
            break
        names.append(m.group(1))
    return names


def test(build_dir, args, log):
    """Runs ctest; returns the failed test names, or None when ctest itself went wrong."""
    cmd = ["ctest", "--test-dir", str(build_dir), "-j", str(args.jobs), "--timeout", "300"]
    if args.R:
        cmd += ["-R", args.R]
    if args.E:
        cmd += ["-E", args.E]
    code, out = run(cmd, log)
    if "No tests were found" in out:
        return None
    names = failed_tests(out)
    if code != 0 and not names:
        return None
    return names


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--list", action="store_true", help="print the faults and stop")
    parser.add_argument("--check", action="store_true",
                        help="check that every snippet occurs exactly once, and stop")
    parser.add_argument("--build-dir", default="build/release",
                        help="build directory, relative to the repository root (build/release)")
    parser.add_argument("--only", nargs="+", metavar="ID", help="run only these faults")
    parser.add_argument("-R", metavar="REGEX", help="ctest: run only tests matching REGEX")
    parser.add_argument("-E", metavar="REGEX", help="ctest: leave out tests matching REGEX")
    parser.add_argument("-j", "--jobs", type=int, default=2, help="ctest parallel jobs (2)")
    parser.add_argument("--log", default=None,
                        help="where build and test output goes (<build-dir>/fault_check.log)")
    args = parser.parse_args()

    faults = FAULTS
    if args.only:
        unknown = set(args.only) - {f.id for f in FAULTS}
        if unknown:
            parser.error("unknown fault ids: " + ", ".join(sorted(unknown)))
        faults = [f for f in FAULTS if f.id in args.only]

    if args.list:
        for f in faults:
            print(f"{f.id:26} {f.path}\n{'':26} {f.what}")
        return 0

    build_dir = (ROOT / args.build_dir).resolve()
    if args.check:
        problems = check_snippets(faults)
        print("\n".join(problems) or f"all {len(faults)} snippets apply")
        return 1 if problems else 0

    signal.signal(signal.SIGTERM, on_term)
    started = time.monotonic()
    if not (build_dir / "CMakeCache.txt").exists():
        # build/<name> belongs to the preset of that name; anything else gets a release build.
        if build_dir.parent == ROOT / "build":
            configure = ["cmake", "--preset", build_dir.name]
        else:
            configure = ["cmake", "-S", str(ROOT), "-B", str(build_dir), "-G", "Ninja",
                         "-DCMAKE_BUILD_TYPE=Release"]
        subprocess.run(configure, cwd=ROOT, check=True)
    lock = open(build_dir / LOCK, "w")
    try:
        fcntl.flock(lock, fcntl.LOCK_EX | fcntl.LOCK_NB)
    except BlockingIOError:
        print(f"another run is using {build_dir}")
        return 2
    restore_pending(build_dir)
    problems = check_snippets(faults)
    if problems:
        print("\n".join(problems))
        return 1
    log_path = Path(args.log) if args.log else build_dir / "fault_check.log"
    results = []  # (fault, state, failed test names)
    with open(log_path, "w", encoding="utf-8") as log:
        print(f"building the unchanged tree (output in {log_path})", flush=True)
        ok, out = build(build_dir, log)
        if not ok:
            print(out[-3000:])
            print("the unchanged tree does not build")
            return 2
        baseline = test(build_dir, args, log)
        if baseline is None:
            print("ctest did not run on the unchanged tree; see the log")
            return 2
        if baseline:
            print(f"failing already, not counted: {', '.join(baseline)}", flush=True)

        try:
            for n, f in enumerate(faults, 1):
                t0 = time.monotonic()
                print(f"[{n}/{len(faults)}] {f.id}: ", end="", flush=True)
                file = ROOT / f.path
                original = file.read_bytes()
                (build_dir / PENDING).write_text(json.dumps(
                    {"path": f.path, "content": original.decode("utf-8", "surrogateescape")}),
                    encoding="utf-8")
                try:
                    file.write_bytes(original.replace(f.original.encode(), f.faulty.encode(), 1))
                    ok, out = build(build_dir, log)
                    if not ok:
                        state, names = "BROKEN", []
                    else:
                        names = test(build_dir, args, log)
                        if names is None:
                            state, names = "ERROR", []
                        else:
                            names = [t for t in names if t not in baseline]
                            state = "CAUGHT" if names else "missed"
                finally:
                    file.write_bytes(original)
                    (build_dir / PENDING).unlink(missing_ok=True)
                results.append((f, state, names))
                print(f"{state} ({time.monotonic() - t0:.0f} s)", flush=True)
        finally:
            print("rebuilding the unchanged tree", flush=True)
            ok, _ = build(build_dir, log)
            if not ok:
                print("rebuild of the unchanged tree FAILED; see the log")

    print()
    print(f"{'id':26} {'result':7} failed tests")
    for f, state, names in results:
        shown = ", ".join(names[:3]) + (f" (+{len(names) - 3} more)" if len(names) > 3 else "")
        print(f"{f.id:26} {state:7} {shown}")
    caught = sum(state == "CAUGHT" for _, state, _ in results)
    print(f"\ncaught {caught} of {len(results)}")
    broken = [f.id for f, state, _ in results if state in ("BROKEN", "ERROR")]
    if broken:
        print("fix these rows (build or ctest failed): " + ", ".join(broken))
    print(f"took {time.monotonic() - started:.0f} s")
    return 1 if broken else 0


if __name__ == "__main__":
    try:
        sys.exit(main())
    except (KeyboardInterrupt, Stop):
        print("\ninterrupted; the tree is restored", file=sys.stderr)
        sys.exit(130)
