// The record-set side of PgConnection: queries and writing rows back.
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "db/column_name.h"
#include "db/postgres/pg_connection.h"
#include "db/postgres/timed_exec.h"
#include "db/table_select.h"
#include "db/write_sql.h"

namespace korvix::db::postgres {
namespace {

constexpr const char* kRowChanged =
    "the row was changed or deleted by another user since it was read";

// Fetched in front of the caller's columns; see pg_connection.h for why
// these three name one row version.
constexpr const char* kKeyColumns = "tableoid, ctid, xmin";
constexpr int kKeyCount = 3;
constexpr const char* kKeyCondition = "tableoid = $%1::oid AND ctid = $%2::tid AND xmin = $%3::xid";

struct PgRowKey final : RowKey {
  std::string tableoid, ctid, xmin;
};

Value Text(const PGresult* result, int row, int column) {
  if (PQgetisnull(result, row, column)) return std::nullopt;
  return std::string(PQgetvalue(result, row, column),
                     static_cast<std::size_t>(PQgetlength(result, row, column)));
}

// Row `row` of `result`, whose first columns are the key: the values in
// the order of `columns`, matched by name, with the key.
Row KeyedRow(const PGresult* result, int row, const std::vector<std::string>& columns) {
  auto key = std::make_unique<PgRowKey>();
  key->tableoid = PQgetvalue(result, row, 0);
  key->ctid = PQgetvalue(result, row, 1);
  key->xmin = PQgetvalue(result, row, 2);
  Row out{std::vector<Value>(columns.size()), std::move(key)};
  for (int i = kKeyCount; i < PQnfields(result); ++i) {
    const std::optional<std::size_t> at = FindColumn(columns, PQfname(result, i));
    if (at) out.values[*at] = Text(result, row, i);
  }
  return out;
}

// The key condition with its parameters numbered from `first`.
std::string KeyCondition(int first) {
  std::string sql = kKeyCondition;
  for (int i = 0; i < kKeyCount; ++i) {
    const std::string mark = "%" + std::to_string(i + 1);
    sql.replace(sql.find(mark), mark.size(), std::to_string(first + i));
  }
  return sql;
}

void AppendKey(const RowKey& key, std::vector<Value>* params) {
  const auto& pg_key = static_cast<const PgRowKey&>(key);
  params->push_back(pg_key.tableoid);
  params->push_back(pg_key.ctid);
  params->push_back(pg_key.xmin);
}

// The one row that a write with RETURNING gave back.
bool StoredRow(const PGresult* result, const std::vector<std::string>& columns,
               const char* missing, Row* stored, std::string* error) {
  if (PQntuples(result) != 1 || PQnfields(result) < kKeyCount) {
    *error = missing;
    return false;
  }
  *stored = KeyedRow(result, 0, columns);
  return true;
}

}  // namespace

bool PgConnection::Query(std::string_view sql, const TableSelect* table, RowSet* out,
                         std::string* error) {
  Settle();
  const std::string keyed =
      table != nullptr ? std::string("SELECT ") + kKeyColumns + ", *" + table->from_clause : "";
  ResultPtr result =
      ExecParams(conn_, table != nullptr ? std::string_view(keyed) : sql, {}, timeout_, error);
  if (!result) return false;
  if (PQresultStatus(result.get()) != PGRES_TUPLES_OK) {
    *error = "a record set runs queries only";
    return false;
  }
  const int first = table != nullptr ? kKeyCount : 0;
  const int fields = PQnfields(result.get());
  out->columns.clear();
  for (int i = first; i < fields; ++i) out->columns.emplace_back(PQfname(result.get(), i));
  out->rows.clear();
  const int rows = PQntuples(result.get());
  for (int r = 0; r < rows; ++r) {
    if (table != nullptr) {
      out->rows.push_back(KeyedRow(result.get(), r, out->columns));
      continue;
    }
    Row row;
    for (int i = 0; i < fields; ++i) row.values.push_back(Text(result.get(), r, i));
    out->rows.push_back(std::move(row));
  }
  return true;
}

bool PgConnection::InsertRow(const TableSelect& table, const std::vector<std::string>& columns,
                             const std::vector<Assignment>& values, Row* stored,
                             std::string* error) {
  Settle();
  std::string sql = InsertSql(table.table, values, "$");
  std::vector<Value> params;
  for (const Assignment& a : values) params.push_back(a.value);
  sql += std::string(" RETURNING ") + kKeyColumns + ", *";
  ResultPtr result = ExecParams(conn_, sql, params, timeout_, error);
  return result && StoredRow(result.get(), columns, "the new row was not stored", stored, error);
}

bool PgConnection::UpdateRow(const TableSelect& table, const std::vector<std::string>& columns,
                             const RowKey& key, const std::vector<Assignment>& values, Row* stored,
                             std::string* error) {
  Settle();
  std::string sql = UpdateSql(table.table, values, "$");
  std::vector<Value> params;
  for (const Assignment& a : values) params.push_back(a.value);
  sql += " WHERE " + KeyCondition(static_cast<int>(params.size()) + 1) + " RETURNING " +
         kKeyColumns + ", *";
  AppendKey(key, &params);
  ResultPtr result = ExecParams(conn_, sql, params, timeout_, error);
  return result && StoredRow(result.get(), columns, kRowChanged, stored, error);
}

bool PgConnection::DeleteRow(const TableSelect& table, const std::vector<std::string>&,
                             const RowKey& key, std::string* error) {
  Settle();
  std::vector<Value> params;
  AppendKey(key, &params);
  const std::string sql = "DELETE FROM " + table.table + " WHERE " + KeyCondition(1);
  ResultPtr result = ExecParams(conn_, sql, params, timeout_, error);
  if (!result) return false;
  if (std::string_view(PQcmdTuples(result.get())) != "1") {
    *error = kRowChanged;
    return false;
  }
  return true;
}

}  // namespace korvix::db::postgres
