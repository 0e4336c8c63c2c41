#!/bin/sh
# The loadable extension in the sqlite3 shell: `.load` finds its entry point
# by the file name, and keys (the code kept parsed for the whole query),
# phonetic codes and the description equal the tool's on sample records.
# Usage: sqlite_shell_test.sh MODULE.so KORVIX RECORDS
set -eu
module=$1 korvix=$2
code=010500000000000003050000000000000504110000000000
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
head -n 1000 "$3" > "$tmp/records"
{ "$korvix" key --algorithm $code "$tmp/records"; "$korvix" soundex "$tmp/records"
  echo $code | "$korvix" describe; } > "$tmp/expected"
sqlite3 -batch "$tmp/db" > "$tmp/actual" <<SQL
.load ${module%.so}
CREATE TABLE r (line);
.mode ascii
.separator "\037" "\n"
.import $tmp/records r
.mode list
SELECT korvix_key('$code', line) FROM r ORDER BY rowid;
SELECT korvix_phonetic(line) FROM r ORDER BY rowid;
SELECT korvix_describe('$code');
SQL
diff "$tmp/expected" "$tmp/actual"
[ "$(wc -l < "$tmp/actual")" -eq 2001 ]
