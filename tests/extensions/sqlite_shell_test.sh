#!/bin/sh
# The loadable extension in the sqlite3 shell: `.load` finds its entry point
# by the file name; keys (the code kept parsed for the whole query), phonetic
# codes and the description equal the tool's on sample records; and the key
# can back an index, which a lookup uses.
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
CREATE INDEX r_key ON r (korvix_key('$code', line));
SELECT korvix_key('$code', line) FROM r ORDER BY rowid;
SELECT korvix_phonetic(line) FROM r ORDER BY rowid;
SELECT korvix_describe('$code');
EXPLAIN QUERY PLAN SELECT * FROM r WHERE korvix_key('$code', line) = '';
SQL
head -n 2001 "$tmp/actual" | diff "$tmp/expected" -
grep -q 'USING INDEX r_key' "$tmp/actual"
