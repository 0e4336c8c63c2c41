// Files of SQL cases that every database with the functions runs (see
// functions.test for the format).
#ifndef KORVIX_TESTS_EXTENSIONS_SQL_TEST_FILE_H_
#define KORVIX_TESTS_EXTENSIONS_SQL_TEST_FILE_H_

#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "case_file.h"

namespace korvix::testing {

struct SqlCase {
  std::string where;  // "file:line"
  enum Kind { kOk, kError, kQuery } kind = kOk;
  std::string sql;
  std::vector<std::string> rows;  // a query's, columns apart by tabs
};

// The cases of `text` that `backend` runs; throws on a case it cannot read,
// and when `backend` would run none.
inline std::vector<SqlCase> ParseSqlCases(const std::string& text, const std::string& backend,
                                          const std::string& name) {
  std::vector<SqlCase> cases;
  std::istringstream in(text);
  std::string line;
  int number = 0;
  const auto next = [&] {
    if (!std::getline(in, line)) return false;
    ++number;
    return true;
  };
  while (next()) {
    if (line.empty() || line[0] == '#') continue;
    SqlCase c;
    c.where = name + ":" + std::to_string(number);
    bool wanted = true;
    while (line.starts_with("onlyif ")) {
      const std::string only = line.substr(7);
      if (only != "sqlite" && only != "postgres") throw std::runtime_error(c.where + ": no database " + only);
      wanted = only == backend;
      if (!next()) throw std::runtime_error(c.where + ": no case after onlyif");
    }
    if (line == "query") {
      c.kind = SqlCase::kQuery;
    } else if (line == "statement ok" || line == "statement error") {
      c.kind = line == "statement ok" ? SqlCase::kOk : SqlCase::kError;
    } else {
      throw std::runtime_error(name + ":" + std::to_string(number) + ": not a case: " + line);
    }
    bool separated = false;
    while (next() && !line.empty()) {
      if (c.kind == SqlCase::kQuery && line == "----") {
        separated = true;
      } else if (separated) {
        c.rows.push_back(line);
      } else {
        c.sql += (c.sql.empty() ? "" : "\n") + line;
      }
    }
    if (c.sql.empty() || (c.kind == SqlCase::kQuery && (!separated || c.rows.empty()))) {
      throw std::runtime_error(c.where + ": a case needs its SQL, a query also \"----\" and rows");
    }
    if (wanted) cases.push_back(std::move(c));
  }
  if (cases.empty()) throw std::runtime_error(name + ": no cases for " + backend);
  return cases;
}

inline std::vector<SqlCase> ReadSqlCases(const std::string& name, const std::string& backend) {
  return ParseSqlCases(ReadFile(TestDataPath(name)), backend, name);
}

// A value as the files write it.
inline std::string SqlCaseValue(const std::optional<std::string>& value) {
  return !value ? "NULL" : value->empty() ? "(empty)" : *value;
}

}  // namespace korvix::testing

#endif  // KORVIX_TESTS_EXTENSIONS_SQL_TEST_FILE_H_
