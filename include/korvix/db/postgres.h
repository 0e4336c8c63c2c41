// The PostgreSQL back end (libpq): a shared server database for many
// workstations.
//
// Unquoted names in statements fold to lower case on the server; record
// sets look fields up without regard to case, so the statements and field
// names that work on the other back ends work here unchanged.
#ifndef KORVIX_DB_POSTGRES_H_
#define KORVIX_DB_POSTGRES_H_

#include <memory>
#include <string>
#include <string_view>

#include "korvix/db/connection.h"
#include "korvix/export.h"

struct pg_conn;  // libpq's PGconn

namespace korvix::db {

struct PostgresOptions {
  // Seconds to wait for the server when connecting, unless the connection
  // string sets connect_timeout itself.
  int connect_timeout_s = 5;
  // Longest wait for the answer to one statement. A statement that takes
  // longer is cancelled and fails, so a stopped or hung server cannot
  // block the caller for good.
  int operation_timeout_ms = 5000;
};

// Connects with a libpq connection string: a URI ("postgresql://…",
// "postgres://…") or key=value pairs ("host=… dbname=…"). Throws
// korvix::Error (kDatabase) saying why when no session could be opened.
KORVIX_EXPORT std::unique_ptr<Connection> OpenPostgres(std::string_view conninfo,
                                                       const PostgresOptions& options = {});

// Wraps a connection that the host opened and keeps owning: closing or
// destroying the connection lets go of `handle` without finishing it, and
// the host's settings on it are left as they are. A null handle gives a
// closed connection.
KORVIX_EXPORT std::unique_ptr<Connection> AdoptPostgres(pg_conn* handle,
                                                        const PostgresOptions& options = {});

}  // namespace korvix::db

#endif  // KORVIX_DB_POSTGRES_H_
