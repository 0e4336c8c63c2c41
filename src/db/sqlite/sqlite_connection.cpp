#include "db/sqlite/sqlite_connection.h"

#include <algorithm>
#include <memory>
#include <string>

#include "db/sqlite/statement.h"

namespace korvix::db {

namespace sqlite {

SqliteConnection::~SqliteConnection() { Close(); }

void SqliteConnection::Close() noexcept {
  // close_v2 defers the close while a statement is still alive instead of
  // failing, so the handle is never leaked.
  if (db_ != nullptr && owned_) sqlite3_close_v2(db_);
  db_ = nullptr;
}

bool SqliteConnection::RunScript(std::string_view sql, std::string* error) {
  if (db_ == nullptr) {
    if (error != nullptr) *error = "the connection is closed";
    return false;
  }
  char* message = nullptr;
  if (sqlite3_exec(db_, std::string(sql).c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
    if (error != nullptr) *error = message != nullptr ? message : sqlite3_errmsg(db_);
    sqlite3_free(message);
    return false;
  }
  return true;
}

std::string SqliteConnection::EscapeString(std::string_view value) {
  return DoubleQuotes(value);  // a NUL ends the statement text inside the literal: it fails
}

bool SqliteConnection::InTransaction() {
  return db_ != nullptr && sqlite3_get_autocommit(db_) == 0;
}

bool SqliteConnection::Begin(std::string* error) { return RunScript("BEGIN IMMEDIATE", error); }

bool SqliteConnection::Lock(std::string_view, std::string*) { return true; }

void SqliteConnection::Rollback(std::string_view sql) {
  // Fails only when a failed write has ended the transaction already (a
  // full disk does): then nothing is left to undo.
  std::string ignored;
  (void)RunScript(sql, &ignored);
}

namespace {

// Returns why the schema of `db` cannot be read, or "" when it can.
std::string ProbeSchema(sqlite3* db) {
  Statement probe;
  std::string error;
  if (!probe.Prepare(db, "SELECT count(*) FROM sqlite_schema", &error)) return error;
  if (probe.Step() != SQLITE_ROW) return sqlite3_errmsg(db);
  return "";
}

}  // namespace
}  // namespace sqlite

std::unique_ptr<sqlite::SqliteConnection> sqlite::OpenFile(std::string_view path, int flags,
                                                          int busy_timeout_ms, std::string* error) {
  std::string scratch;
  std::string& why = error != nullptr ? *error : scratch;
  if (path.empty()) {
    // SQLite would open a private temporary database for "", which no
    // host means.
    why = "no database path given";
    return nullptr;
  }
  const std::string name(path);
  const std::string prefix = "cannot open database \"" + name + "\": ";
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(name.c_str(), &db, flags, nullptr) != SQLITE_OK) {
    why = prefix + (db != nullptr ? sqlite3_errmsg(db) : "out of memory");
    sqlite3_close_v2(db);
    return nullptr;
  }
  sqlite3_busy_timeout(db, std::max(0, busy_timeout_ms));

  // SQLite reads the file only on first use; read the schema now so that a
  // file that is not a database fails here rather than on a later query.
  const std::string probe_error = sqlite::ProbeSchema(db);
  if (!probe_error.empty()) {
    why = prefix + probe_error;
    sqlite3_close_v2(db);
    return nullptr;
  }
  return std::make_unique<sqlite::SqliteConnection>(db, /*owned=*/true);
}

}  // namespace korvix::db
