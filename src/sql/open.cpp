// The entry points that open or adopt a connection. They stand above the
// database layer because every SQLite connection they give out carries the
// engine's SQL functions (sql/sqlite_functions.h), so the store's own
// database can use korvix_key in queries, views and indexes.
#include "korvix/db/open.h"

#include <sqlite3.h>

#include <memory>
#include <string>

#include "korvix/db/postgres.h"
#include "korvix/db/sqlite.h"
#include "db/sqlite/sqlite_connection.h"
#include "db/target.h"
#include "sql/sqlite_functions.h"

namespace korvix::db {

std::unique_ptr<Connection> OpenSqlite(std::string_view path, const SqliteOptions& options) {
  std::string why;
  int flags = SQLITE_OPEN_URI;
  if (options.read_only) {
    flags |= SQLITE_OPEN_READONLY;
  } else {
    flags |= SQLITE_OPEN_READWRITE;
    if (options.create_if_missing) flags |= SQLITE_OPEN_CREATE;
  }
  std::unique_ptr<sqlite::SqliteConnection> connection =
      sqlite::OpenFile(path, flags, options.busy_timeout_ms, &why);
  if (connection == nullptr) throw Error(ErrorCode::kDatabase, why);
  if (sql::RegisterSqliteFunctions(connection->handle()) != SQLITE_OK) {
    throw Error(ErrorCode::kDatabase, "cannot open database \"" + std::string(path) +
                                          "\": " + sqlite3_errmsg(connection->handle()));
  }
  return connection;
}

std::unique_ptr<Connection> AdoptSqlite(sqlite3* handle) {
  // Registering can fail only for want of memory, or when the host runs a
  // statement that uses functions of these names; the host's own then stay.
  if (handle != nullptr) sql::RegisterSqliteFunctions(handle);
  return std::make_unique<sqlite::SqliteConnection>(handle, /*owned=*/false);
}

std::unique_ptr<Connection> OpenDatabase(std::string_view target, const OpenOptions& options) {
  if (IsPostgresTarget(target)) return OpenPostgres(target, PostgresOptions{});
  SqliteOptions sqlite;
  sqlite.create_if_missing = options.create_if_missing;
  return OpenSqlite(target, sqlite);
}

}  // namespace korvix::db
