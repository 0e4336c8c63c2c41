// The SQLite back end: a database file on this machine, the embedded
// default for a host without a database server.
//
// Every connection that these functions give out has the SQL functions
// korvix_key, korvix_phonetic, korvix_describe, korvix_normalize,
// korvix_score, korvix_explain and the table-valued korvix_keys registered
// on it, so a
// host's queries, views, indexes and triggers on the same database can build
// keys and find the duplicates of a record.
#ifndef KORVIX_DB_SQLITE_H_
#define KORVIX_DB_SQLITE_H_

#include <memory>
#include <string>
#include <string_view>

#include "korvix/db/connection.h"
#include "korvix/export.h"

struct sqlite3;

namespace korvix::db {

struct SqliteOptions {
  // Create the file when it does not exist yet; otherwise a missing file
  // is an error.
  bool create_if_missing = false;
  // Open for reading only; every write then fails.
  bool read_only = false;
  // How long a statement waits for a lock that another connection or
  // process holds before it fails with "database is locked".
  int busy_timeout_ms = 5000;
};

// Opens the database file at `path` (a "file:" URI is accepted too).
// Throws korvix::Error (kDatabase) saying why when the file is missing,
// cannot be opened, or is not a database.
KORVIX_EXPORT std::unique_ptr<Connection> OpenSqlite(std::string_view path,
                                                     const SqliteOptions& options = {});

// Wraps a handle that the host opened and keeps owning: closing or
// destroying the connection lets go of `handle` without closing it, and
// the host's settings on it (its busy handler among them) are left as they
// are, apart from the SQL functions, which stay registered on the handle.
// A null handle gives a closed connection.
KORVIX_EXPORT std::unique_ptr<Connection> AdoptSqlite(sqlite3* handle);

}  // namespace korvix::db

#endif  // KORVIX_DB_SQLITE_H_
