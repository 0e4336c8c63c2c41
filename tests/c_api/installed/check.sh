#!/usr/bin/env bash
# Installs the build tree into a temporary prefix, then builds the C host
# against it with a C compiler only, through find_package(Korvix 2.0) and
# through pkg-config, and runs both.
set -euo pipefail
build=$1 source=$2
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
[[ -f "$prefix/include/korvix/korvix.h" ]] || { echo "korvix/korvix.h is not installed"; exit 1; }

cmake -S "$source/installed" -B "$prefix/consumer" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$prefix/consumer" >/dev/null
LD_LIBRARY_PATH="$prefix/lib" "$prefix/consumer/consumer"

# The C compiler gets only the include and library flags.
cflags=$(PKG_CONFIG_PATH="$prefix/lib/pkgconfig" pkg-config --cflags-only-I korvix)
libs=$(PKG_CONFIG_PATH="$prefix/lib/pkgconfig" pkg-config --libs korvix)
# shellcheck disable=SC2086
cc -std=c99 -Wall -Wextra -Wpedantic -Werror $cflags "$source/consumer.c" $libs \
  -o "$prefix/pkgconfig-consumer"
LD_LIBRARY_PATH="$prefix/lib" "$prefix/pkgconfig-consumer"
echo "installed C interface used by CMake and pkg-config hosts"
