#include "korvix/db/open.h"

#include "korvix/db/postgres.h"
#include "korvix/db/sqlite.h"
#include "platform/db/target.h"

namespace korvix::db {

std::unique_ptr<Connection> OpenDatabase(std::string_view target, std::string* error,
                                         const OpenOptions& options) {
  if (IsPostgresTarget(target)) return OpenPostgres(target, PostgresOptions{}, error);
  SqliteOptions sqlite;
  sqlite.create_if_missing = options.create_if_missing;
  return OpenSqlite(target, sqlite, error);
}

}  // namespace korvix::db
