// Small RAII helpers over the SQLite C API for the SQLite connection.
#ifndef KORVIX_PLATFORM_DB_SQLITE_STATEMENT_H_
#define KORVIX_PLATFORM_DB_SQLITE_STATEMENT_H_

#include <sqlite3.h>

#include <memory>
#include <string>
#include <string_view>

#include "db/recordset.h"

namespace korvix::db::sqlite {

struct ValueFree {
  void operator()(sqlite3_value* value) const { sqlite3_value_free(value); }
};
// A typed copy of a column value that outlives its statement.
using ValuePtr = std::unique_ptr<sqlite3_value, ValueFree>;

class Statement {
 public:
  Statement() = default;
  ~Statement() { sqlite3_finalize(stmt_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  // Compiles `sql`, which must be exactly one statement (a trailing ";"
  // is allowed). Returns false and stores why in *error otherwise.
  bool Prepare(sqlite3* db, std::string_view sql, std::string* error);

  // Binds parameter `index` (1-based): text, or NULL for nullopt.
  bool Bind(int index, const Value& value);
  bool BindInt64(int index, sqlite3_int64 value);
  bool BindValue(int index, const sqlite3_value* value);

  // Column `index` of the current row as text, nullopt for NULL.
  Value Text(int index) const;

  int Step() { return sqlite3_step(stmt_); }
  sqlite3_stmt* get() const { return stmt_; }

 private:
  sqlite3_stmt* stmt_ = nullptr;
};

}  // namespace korvix::db::sqlite

#endif  // KORVIX_PLATFORM_DB_SQLITE_STATEMENT_H_
