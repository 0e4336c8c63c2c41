// The C interface: database connections.
#include <new>
#include <string>

#include "interface/c_support.h"
#include "korvix/db/open.h"
#include "korvix/db/postgres.h"
#include "korvix/db/sqlite.h"

using korvix::c_api::Arg;
using korvix::c_api::Guarded;
using korvix::c_api::SetError;

namespace {

// Wraps a connection in a handle; null (with the error set) when either is
// missing.
korvix_connection_t* Wrap(std::unique_ptr<korvix::db::Connection> connection,
                          char** errptr) noexcept {
  if (connection == nullptr) return nullptr;
  auto* handle = new (std::nothrow) korvix_connection_t;
  if (handle == nullptr) {
    SetError(errptr, "out of memory");
    return nullptr;
  }
  handle->connection = std::move(connection);
  return handle;
}

}  // namespace

extern "C" {

korvix_connection_t* korvix_open(const char* path_or_uri, korvix_bool create_if_missing,
                                 char** errptr) {
  return Guarded(errptr, static_cast<korvix_connection_t*>(nullptr), [&] {
    korvix::db::OpenOptions options;
    options.create_if_missing = korvix::c_api::IsTrue(create_if_missing);
    return Wrap(korvix::db::OpenDatabase(Arg(path_or_uri), options), errptr);
  });
}

korvix_connection_t* korvix_adopt_sqlite(struct sqlite3* handle) {
  try {
    return Wrap(korvix::db::AdoptSqlite(handle), nullptr);
  } catch (...) {
    return nullptr;
  }
}

korvix_connection_t* korvix_adopt_postgres(struct pg_conn* handle) {
  try {
    return Wrap(korvix::db::AdoptPostgres(handle), nullptr);
  } catch (...) {
    return nullptr;
  }
}

korvix_bool korvix_is_open(const korvix_connection_t* connection) {
  return korvix::c_api::ToBool(connection != nullptr && connection->connection->IsOpen());
}

korvix_bool korvix_execute(korvix_connection_t* connection, const char* sql, char** errptr) {
  if (connection == nullptr) {
    SetError(errptr, "no connection");
    return KORVIX_FALSE;
  }
  return Guarded(errptr, KORVIX_FALSE, [&] {
    connection->connection->Execute(Arg(sql));
    return KORVIX_TRUE;
  });
}

void korvix_close(korvix_connection_t* connection) {
  if (connection == nullptr) return;
  connection->connection->Close();
  delete connection;
}

}  // extern "C"
