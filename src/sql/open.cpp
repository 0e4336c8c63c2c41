// Every entry point that opens or adopts a connection, SQLite and
// PostgreSQL alike. They stand above the database layer because every
// SQLite connection they give out carries the engine's SQL functions
// (sql/sqlite_functions.h), so the store's own database can use korvix_key
// in queries, views and indexes.
#include "korvix/db/open.h"

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>

#include "korvix/db/postgres.h"
#include "korvix/db/sqlite.h"
#include "db/postgres/pg_connection.h"
#include "db/postgres/timed_exec.h"
#include "db/sqlite/sqlite_connection.h"
#include "db/target.h"
#include "sql/sqlite_functions.h"

namespace korvix::db {
namespace {

// The component shows the user no database messages, and notices (such as
// "table does not exist, skipping") would otherwise go to stderr.
void IgnoreNotice(void*, const char*) {}

}  // namespace

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

std::unique_ptr<Connection> OpenPostgres(std::string_view conninfo,
                                         const PostgresOptions& options) {
  const std::string info(conninfo);
  const std::string connect_timeout = std::to_string(std::max(1, options.connect_timeout_s));
  // Defaults come before "dbname": with expand_dbname the caller's string
  // is expanded in its place and overrides what stands before it.
  const char* const keys[] = {"connect_timeout", "client_encoding", "fallback_application_name",
                              "dbname", nullptr};
  const char* const values[] = {connect_timeout.c_str(), "UTF8", "korvix", info.c_str(), nullptr};
  PGconn* conn = PQconnectdbParams(keys, values, /*expand_dbname=*/1);
  if (conn == nullptr || PQstatus(conn) != CONNECTION_OK) {
    const std::string why =
        conn != nullptr ? postgres::ConnectionMessage(conn) : std::string("out of memory");
    PQfinish(conn);
    throw Error(ErrorCode::kDatabase, "cannot connect to the PostgreSQL server: " + why);
  }
  PQsetNoticeProcessor(conn, IgnoreNotice, nullptr);
  return std::make_unique<postgres::PgConnection>(
      conn, /*owned=*/true, std::chrono::milliseconds(std::max(1, options.operation_timeout_ms)));
}

std::unique_ptr<Connection> AdoptPostgres(pg_conn* handle, const PostgresOptions& options) {
  return std::make_unique<postgres::PgConnection>(
      handle, /*owned=*/false, std::chrono::milliseconds(std::max(1, options.operation_timeout_ms)));
}

std::unique_ptr<Connection> OpenDatabase(std::string_view target, const OpenOptions& options) {
  if (IsPostgresTarget(target)) return OpenPostgres(target, PostgresOptions{});
  SqliteOptions sqlite;
  sqlite.create_if_missing = options.create_if_missing;
  return OpenSqlite(target, sqlite);
}

}  // namespace korvix::db
