// The statements by which a back end writes a record set's row back.
#ifndef KORVIX_PLATFORM_DB_WRITE_SQL_H_
#define KORVIX_PLATFORM_DB_WRITE_SQL_H_

#include <string>
#include <string_view>
#include <vector>

#include "db/backend.h"

namespace korvix::db {

// "INSERT INTO <table> (c1, c2) VALUES (<m>1, <m>2)", or "INSERT INTO
// <table> DEFAULT VALUES" without values. Parameters are numbered from 1
// behind `marker`, the back end's sign for them ("$" or "?").
std::string InsertSql(std::string_view table, const std::vector<Assignment>& values,
                      std::string_view marker);

// "UPDATE <table> SET c1 = <m>1, c2 = <m>2"; the caller adds its condition,
// whose parameters follow on from values.size() + 1.
std::string UpdateSql(std::string_view table, const std::vector<Assignment>& values,
                      std::string_view marker);

}  // namespace korvix::db

#endif  // KORVIX_PLATFORM_DB_WRITE_SQL_H_
