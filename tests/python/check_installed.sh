#!/usr/bin/env bash
# Installs the build tree into a temporary prefix and imports the korvix
# package from its site-packages there, in a clean interpreter away from the
# build tree: the module must find the installed libkorvix by itself.
set -euo pipefail
build=$1 python=$2 site=$3
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
[[ "$site" = /* ]] || site="$prefix/$site"
for file in __init__.py dask.py _korvix.pyi py.typed; do
  [[ -f "$site/korvix/$file" ]] || { echo "korvix/$file is not installed in $site"; exit 1; }
done
cd "$prefix"
env -u LD_LIBRARY_PATH PYTHONPATH="$site" PYTHONDONTWRITEBYTECODE=1 "$python" - "$prefix" <<'PY'
import sys
import korvix, korvix.dask
prefix = sys.argv[1]
assert korvix.__file__.startswith(prefix), korvix.__file__
assert korvix._korvix.__file__.startswith(prefix), korvix._korvix.__file__
with open("/proc/self/maps") as maps:
    loaded = {line.split()[-1] for line in maps if "libkorvix.so" in line}
assert loaded and all(path.startswith(prefix) for path in loaded), loaded
key = korvix.key("010300000000000003050000000000000504110000000000",
                 "12345|Musterstadt|Hauptstraße 5|MUELLER|Müller GmbH")
assert key == "123HAUPTRGMB", key
PY
echo "installed Python package imported from $site"
