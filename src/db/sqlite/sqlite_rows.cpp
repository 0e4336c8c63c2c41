// The record-set side of SqliteConnection: queries and writing rows back.
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "db/column_name.h"
#include "db/sqlite/sqlite_connection.h"
#include "db/sqlite/statement.h"
#include "db/table_select.h"
#include "db/write_sql.h"

namespace korvix::db::sqlite {
namespace {

constexpr const char* kRowChanged =
    "the row was changed or deleted by another user since it was read";

struct SqliteRowKey final : RowKey {
  sqlite3_int64 rowid = 0;
  std::vector<ValuePtr> originals;  // one per column of the row set
};

// Column 0 of `stmt` is the rowid, the rest the table's columns. Stores the
// values in the order of `columns` (matched by name) with their key.
bool ReadKeyedRow(const Statement& stmt, const std::vector<std::string>& columns, Row* row,
                  std::string* error) {
  sqlite3_stmt* raw = stmt.get();
  if (sqlite3_column_type(raw, 0) == SQLITE_NULL) {
    *error = "the table has no row identity (rowid), so its rows cannot be written back";
    return false;
  }
  auto key = std::make_unique<SqliteRowKey>();
  key->rowid = sqlite3_column_int64(raw, 0);
  key->originals.resize(columns.size());
  row->values.assign(columns.size(), std::nullopt);
  const int count = sqlite3_column_count(raw);
  for (int i = 1; i < count; ++i) {
    const std::optional<std::size_t> at = FindColumn(columns, sqlite3_column_name(raw, i));
    if (!at) continue;
    row->values[*at] = stmt.Text(i);
    key->originals[*at].reset(sqlite3_value_dup(sqlite3_column_value(raw, i)));
    if (!key->originals[*at]) {
      *error = "out of memory";
      return false;
    }
  }
  row->key = std::move(key);
  return true;
}

// " AND <column> IS ?n …" for every column, numbered from `first`: the row
// must still hold the values it was read with.
std::string UnchangedCondition(const std::vector<std::string>& columns, int first) {
  std::string sql;
  for (std::size_t i = 0; i < columns.size(); ++i) {
    sql += " AND " + QuoteIdentifier(columns[i]) + " IS ?" + std::to_string(first + i);
  }
  return sql;
}

bool BindKey(Statement* stmt, const SqliteRowKey& key, int first) {
  if (!stmt->BindInt64(first, key.rowid)) return false;
  for (std::size_t i = 0; i < key.originals.size(); ++i) {
    if (!stmt->BindValue(first + 1 + static_cast<int>(i), key.originals[i].get())) return false;
  }
  return true;
}

// Steps a write with RETURNING through to its end and keeps the one row it
// returns. False with `missing` when it returned none.
bool FinishReturning(sqlite3* db, Statement* stmt, const std::vector<std::string>& columns,
                     const char* missing, Row* stored, std::string* error) {
  int rc = stmt->Step();
  if (rc == SQLITE_DONE) {
    *error = missing;
    return false;
  }
  if (rc != SQLITE_ROW) {
    *error = sqlite3_errmsg(db);
    return false;
  }
  if (!ReadKeyedRow(*stmt, columns, stored, error)) return false;
  while ((rc = stmt->Step()) == SQLITE_ROW) {
  }
  if (rc != SQLITE_DONE) {
    *error = sqlite3_errmsg(db);
    return false;
  }
  return true;
}

}  // namespace

bool SqliteConnection::Query(std::string_view sql, const TableSelect* table, RowSet* out,
                             std::string* error) {
  if (db_ == nullptr) {
    *error = "the connection is closed";
    return false;
  }
  // The rowid goes first so that the caller's columns keep their order.
  const std::string keyed = table != nullptr ? "SELECT _rowid_, *" + table->from_clause : "";
  Statement stmt;
  if (!stmt.Prepare(db_, table != nullptr ? std::string_view(keyed) : sql, error)) return false;
  if (!sqlite3_stmt_readonly(stmt.get())) {
    *error = "a record set runs queries only";
    return false;
  }
  const int first = table != nullptr ? 1 : 0;
  const int count = sqlite3_column_count(stmt.get());
  out->columns.clear();
  for (int i = first; i < count; ++i) out->columns.emplace_back(sqlite3_column_name(stmt.get(), i));

  out->rows.clear();
  int rc;
  while ((rc = stmt.Step()) == SQLITE_ROW) {
    Row row;
    if (table != nullptr) {
      if (!ReadKeyedRow(stmt, out->columns, &row, error)) return false;
    } else {
      for (int i = 0; i < count; ++i) row.values.push_back(stmt.Text(i));
    }
    out->rows.push_back(std::move(row));
  }
  if (rc != SQLITE_DONE) {
    *error = sqlite3_errmsg(db_);
    return false;
  }
  return true;
}

bool SqliteConnection::InsertRow(const TableSelect& table, const std::vector<std::string>& columns,
                                 const std::vector<Assignment>& values, Row* stored,
                                 std::string* error) {
  if (db_ == nullptr) {
    *error = "the connection is closed";
    return false;
  }
  std::string sql = InsertSql(table.table, values, "?") + " RETURNING _rowid_, *";
  Statement stmt;
  if (!stmt.Prepare(db_, sql, error)) return false;
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (!stmt.Bind(static_cast<int>(i + 1), values[i].value)) {
      *error = sqlite3_errmsg(db_);
      return false;
    }
  }
  return FinishReturning(db_, &stmt, columns, "the new row was not stored", stored, error);
}

bool SqliteConnection::UpdateRow(const TableSelect& table, const std::vector<std::string>& columns,
                                 const RowKey& key, const std::vector<Assignment>& values,
                                 Row* stored, std::string* error) {
  if (db_ == nullptr) {
    *error = "the connection is closed";
    return false;
  }
  const auto& row_key = static_cast<const SqliteRowKey&>(key);
  std::string sql = UpdateSql(table.table, values, "?");
  const int first_key = static_cast<int>(values.size()) + 1;
  sql += " WHERE _rowid_ = ?" + std::to_string(first_key) +
         UnchangedCondition(columns, first_key + 1) + " RETURNING _rowid_, *";
  Statement stmt;
  if (!stmt.Prepare(db_, sql, error)) return false;
  bool bound = BindKey(&stmt, row_key, first_key);
  for (std::size_t i = 0; bound && i < values.size(); ++i) {
    bound = stmt.Bind(static_cast<int>(i + 1), values[i].value);
  }
  if (!bound) {
    *error = sqlite3_errmsg(db_);
    return false;
  }
  return FinishReturning(db_, &stmt, columns, kRowChanged, stored, error);
}

bool SqliteConnection::DeleteRow(const TableSelect& table, const std::vector<std::string>& columns,
                                 const RowKey& key, std::string* error) {
  if (db_ == nullptr) {
    *error = "the connection is closed";
    return false;
  }
  const auto& row_key = static_cast<const SqliteRowKey&>(key);
  const std::string sql =
      "DELETE FROM " + table.table + " WHERE _rowid_ = ?1" + UnchangedCondition(columns, 2);
  Statement stmt;
  if (!stmt.Prepare(db_, sql, error)) return false;
  if (!BindKey(&stmt, row_key, 1)) {
    *error = sqlite3_errmsg(db_);
    return false;
  }
  if (stmt.Step() != SQLITE_DONE) {
    *error = sqlite3_errmsg(db_);
    return false;
  }
  if (sqlite3_changes(db_) != 1) {
    *error = kRowChanged;
    return false;
  }
  return true;
}

}  // namespace korvix::db::sqlite
