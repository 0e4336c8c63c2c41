#include "db/write_sql.h"

#include "db/table_select.h"

namespace korvix::db {

std::string InsertSql(std::string_view table, const std::vector<Assignment>& values,
                      std::string_view marker) {
  std::string sql = "INSERT INTO " + std::string(table);
  if (values.empty()) return sql + " DEFAULT VALUES";
  std::string names, marks;
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (i > 0) {
      names += ", ";
      marks += ", ";
    }
    names += QuoteIdentifier(values[i].column);
    marks += std::string(marker) + std::to_string(i + 1);
  }
  return sql + " (" + names + ") VALUES (" + marks + ")";
}

std::string UpdateSql(std::string_view table, const std::vector<Assignment>& values,
                      std::string_view marker) {
  std::string sql = "UPDATE " + std::string(table) + " SET ";
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (i > 0) sql += ", ";
    sql += QuoteIdentifier(values[i].column) + " = " + std::string(marker) + std::to_string(i + 1);
  }
  return sql;
}

}  // namespace korvix::db
