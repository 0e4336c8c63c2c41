#!/usr/bin/env bash
# Installs the build tree into a temporary prefix, then builds and runs a
# consumer through find_package(Korvix 2.0) and through pkg-config.
set -euo pipefail
build=$1 source=$2
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
expected=123HAUPTRGMB
# Hosts get the toolkit's scripting interface and the generated version, not
# the form model the dialogs are written against nor the record sets.
[[ -f "$prefix/include/korvix/version.h" && -f "$prefix/include/korvix/ui/scripting.h" ]] ||
  { echo "a public header is not installed"; exit 1; }
[[ ! -e "$prefix/include/korvix/ui/form.h" ]] || { echo "the form model is installed"; exit 1; }
[[ ! -e "$prefix/include/korvix/db/recordset.h" ]] || { echo "the record sets are installed"; exit 1; }

cmake -S "$source" -B "$prefix/consumer" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$prefix/consumer" >/dev/null
got=$(LD_LIBRARY_PATH="$prefix/lib" "$prefix/consumer/consumer")
[[ "$got" == "$expected" ]] || { echo "find_package consumer printed '$got'"; exit 1; }

flags=$(PKG_CONFIG_PATH="$prefix/lib/pkgconfig" pkg-config --cflags --libs korvix)
# shellcheck disable=SC2086
c++ -std=c++20 "$source/main.cpp" $flags -o "$prefix/pkgconfig-consumer"
got=$(LD_LIBRARY_PATH="$prefix/lib" "$prefix/pkgconfig-consumer")
[[ "$got" == "$expected" ]] || { echo "pkg-config consumer printed '$got'"; exit 1; }

[[ -L "$prefix/lib/libkorvix.so.2" ]] || { echo "no SONAME link libkorvix.so.2"; exit 1; }
echo "installed package found and used by CMake and pkg-config"
