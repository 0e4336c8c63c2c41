#include "db/sqlite/statement.h"

namespace korvix::db::sqlite {

bool Statement::Prepare(sqlite3* db, std::string_view sql, std::string* error) {
  sqlite3_finalize(stmt_);
  stmt_ = nullptr;
  const char* tail = nullptr;
  if (sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &stmt_, &tail) !=
      SQLITE_OK) {
    *error = sqlite3_errmsg(db);
    return false;
  }
  if (stmt_ == nullptr) {
    *error = "the statement is empty";
    return false;
  }
  // The tail is what follows the first statement; anything but blanks and
  // semicolons would be a second statement that is silently not run.
  for (const char* p = tail; p != nullptr && p < sql.data() + sql.size(); ++p) {
    if (*p != ';' && *p != ' ' && *p != '\t' && *p != '\n' && *p != '\r') {
      *error = "only one statement can be run at a time";
      return false;
    }
  }
  return true;
}

bool Statement::Bind(int index, const Value& value) {
  if (!value) return sqlite3_bind_null(stmt_, index) == SQLITE_OK;
  return sqlite3_bind_text64(stmt_, index, value->data(), value->size(), SQLITE_TRANSIENT,
                             SQLITE_UTF8) == SQLITE_OK;
}

bool Statement::BindInt64(int index, sqlite3_int64 value) {
  return sqlite3_bind_int64(stmt_, index, value) == SQLITE_OK;
}

bool Statement::BindValue(int index, const sqlite3_value* value) {
  return sqlite3_bind_value(stmt_, index, value) == SQLITE_OK;
}

Value Statement::Text(int index) const {
  if (sqlite3_column_type(stmt_, index) == SQLITE_NULL) return std::nullopt;
  const unsigned char* text = sqlite3_column_text(stmt_, index);
  const int size = sqlite3_column_bytes(stmt_, index);
  if (text == nullptr) return std::string();
  return std::string(reinterpret_cast<const char*>(text), static_cast<std::size_t>(size));
}

}  // namespace korvix::db::sqlite
