#!/usr/bin/env bash
# Installs the build tree into a temporary prefix and imports the korvix
# package in a clean interpreter away from the build tree, from where that
# interpreter looks for packages under the prefix (site.getsitepackages):
# the package must be there, and its module must find the installed
# libkorvix by itself.
set -euo pipefail
build=$1 python=$2 version=$3
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
cd "$prefix"
env -u LD_LIBRARY_PATH -u PYTHONPATH PYTHONDONTWRITEBYTECODE=1 PYTHONNOUSERSITE=1 \
  "$python" - "$prefix" "$version" <<'PY'
import site, sys
prefix, version = sys.argv[1], sys.argv[2]
under_prefix = site.getsitepackages([prefix])
sys.path[:] = under_prefix + [p for p in sys.path if p]
import korvix, korvix.dask
from pathlib import Path
package = Path(korvix.__file__).parent
assert str(package.parent) in under_prefix, package
for name in ("__init__.py", "dask.py", "frame.py", "_korvix.pyi", "py.typed"):
    assert (package / name).is_file(), name
assert korvix._korvix.__file__.startswith(prefix), korvix._korvix.__file__
with open("/proc/self/maps") as maps:
    loaded = {line.split()[-1] for line in maps if "libkorvix.so" in line}
assert loaded and all(path.startswith(prefix) for path in loaded), loaded
assert korvix.__version__ == version, korvix.__version__
assert korvix.soundex("Meier") == "MR"
PY
echo "installed Python package imported from under $prefix"
