#!/bin/sh
# The loadable extension in the sqlite3 shell: `.load` finds its entry point
# by the file name; keys (the code kept parsed for the whole query), phonetic
# codes and the description equal the tool's on sample records; the key can
# back an index, which a lookup uses; and the look-up of new customers through
# a side table of their keys finds what korvix dedupe --base finds.
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

# Against a base: the look-up through the side table of docs/sql.md finds
# the pairs that korvix dedupe --base finds, with their scores.
head -n 1000 "$3" > "$tmp/base"
sed -n 1001,3000p "$3" > "$tmp/new"
"$korvix" dedupe --base "$tmp/base" --format json "$tmp/new" > "$tmp/report.json" 2>/dev/null
sqlite3 -batch "$tmp/lookup" > "$tmp/compared" <<SQL
.load ${module%.so}
CREATE TABLE lines (record);
CREATE TABLE customers (id INTEGER PRIMARY KEY, record TEXT);
CREATE TABLE customer_keys (key TEXT NOT NULL, id INTEGER NOT NULL);
CREATE INDEX customer_keys_key ON customer_keys (key, id);
CREATE TRIGGER customers_keys_insert AFTER INSERT ON customers BEGIN
  INSERT INTO customer_keys SELECT key, NEW.id FROM korvix_keys(NEW.record);
END;
.mode ascii
.separator "\037" "\n"
.import $tmp/base lines
INSERT INTO customers (record) SELECT record FROM lines ORDER BY rowid;
DELETE FROM lines;
.import $tmp/new lines
.mode list
CREATE TABLE found AS SELECT n.rowid AS line, c.id, round(korvix_score(c.record, n.record), 3) AS score
  FROM lines n, customers c
  WHERE c.id IN (SELECT id FROM customer_keys WHERE key IN (SELECT key FROM korvix_keys(n.record)))
    AND korvix_score(c.record, n.record) >= 0.7;
CREATE TABLE reported AS
  SELECT json_extract(m.value, '$.line') AS line, json_extract(b.value, '$.line') AS id,
         json_extract(b.value, '$.score') AS score
  FROM json_each(readfile('$tmp/report.json'), '$.matches') m, json_each(m.value, '$.base') b;
SELECT count(*) >= 100, count(DISTINCT score) >= 5 FROM reported;
SELECT 'only found', * FROM (SELECT * FROM found EXCEPT SELECT * FROM reported);
SELECT 'only reported', * FROM (SELECT * FROM reported EXCEPT SELECT * FROM found);
SQL
echo "1|1" | diff - "$tmp/compared"
