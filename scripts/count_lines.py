#!/usr/bin/env python3
"""Lines of tests against lines of product code, and their ratio.

Counts the non-blank lines that are not comments in the files git knows
(tracked, or new and not ignored) ending in .cpp .cc .cxx .h .hpp .inc .c .py .pyi:
product code under src, include, tools, python and extensions (all that the
packages ship); tests under tests.

    scripts/count_lines.py            the two counts and their ratio
    scripts/count_lines.py --by-dir   and each folder's share
"""

import argparse
import re
import subprocess
import sys
from collections import Counter
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
ENDINGS = (".cpp", ".cc", ".cxx", ".h", ".hpp", ".inc", ".c", ".py", ".pyi")
PRODUCT = ("src", "include", "tools", "python", "extensions")
TESTS = ("tests",)
# A line that is only a comment: //, a # that is no preprocessor directive, or
# a line of a block comment (/*, *).
COMMENT = re.compile(r"^\s*(//|#[^a-z]|#$|\*|/\*)")


def files(dirs):
    out = subprocess.run(["git", "ls-files", "-co", "--exclude-standard", "--", *dirs],
                         cwd=ROOT, check=True, capture_output=True, text=True).stdout
    return [ROOT / f for f in out.splitlines() if f.endswith(ENDINGS)]


def count(path):
    n = 0
    with open(path, encoding="utf-8", errors="replace") as f:
        for line in f:
            if line.strip() and not COMMENT.match(line):
                n += 1
    return n


def tally(dirs):
    by_dir = Counter()
    for path in files(dirs):
        if path.is_file():
            rel = path.relative_to(ROOT).parts
            by_dir["/".join(rel[:2]) if len(rel) > 2 else rel[0]] += count(path)
    return by_dir


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--by-dir", action="store_true", help="show each folder's lines")
    args = parser.parse_args(argv)
    product, tests = tally(PRODUCT), tally(TESTS)
    p, t = sum(product.values()), sum(tests.values())
    if args.by_dir:
        for name, lines in sorted((product + tests).items()):
            print(f"{lines:7d}  {name}")
    print(f"tests {t}, product code {p}, ratio {t / p:.2f}" if p else "no product code")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
