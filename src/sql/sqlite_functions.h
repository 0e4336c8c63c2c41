// The engine as SQL functions of SQLite:
//
//   korvix_key(algorithm, record)            the duplicate key, as BuildKey
//   korvix_key(algorithm, field1, field2, …) the same of the fields joined by "|"
//   korvix_phonetic(text)                    the phonetic code
//   korvix_describe(algorithm)               the readable description
//   korvix_code(given)                       the code of a code or its readable form
//   korvix_record(field1, field2, …)         the record string of the fields, joined by "|"
//   korvix_normalize(record)                 the record as NormalizeRecord gives it
//   korvix_score(a, b)                       ScoreRecords of two records, a real
//   korvix_explain(a, b)                     how they compare, ComparisonJson as text
//   SELECT key FROM korvix_keys(record)      a table-valued function: the keys of
//                                            RecommendedDedupe(), one row each
//
// A NULL algorithm, record or text gives NULL (korvix_keys: no rows); a NULL
// field reads as an empty one. Numbers read as their decimal text, blobs as their bytes (like any
// text: UTF-8, or Windows-1252 where that is invalid). Results are UTF-8 text.
// Every function is deterministic and innocuous, so it may back an index on
// an expression, a generated column, a view or a trigger.
//
// libkorvix registers them on every SQLite connection it opens or adopts;
// the loadable extension (extensions/sqlite) registers the same code,
// compiled with KORVIX_SQLITE_LOADABLE so that it calls SQLite only through
// the routines that the loading SQLite hands over.
#ifndef KORVIX_SQL_SQLITE_FUNCTIONS_H_
#define KORVIX_SQL_SQLITE_FUNCTIONS_H_

struct sqlite3;

namespace korvix::sql {

// Registers the functions on `db` (replacing any of the same names).
// Returns SQLITE_OK, or the error code of the registration that failed.
int RegisterSqliteFunctions(sqlite3* db);

}  // namespace korvix::sql

#endif  // KORVIX_SQL_SQLITE_FUNCTIONS_H_
