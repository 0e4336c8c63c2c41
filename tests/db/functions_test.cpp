// The database layer's pure pieces on the table db/cases/functions.tsv:
// a line names the function, its argument and the result.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>

#include "case_file.h"
#include "db/column_name.h"
#include "db/table_select.h"
#include "db/target.h"

namespace korvix::db {
namespace {

const std::map<std::string, std::function<std::string(const std::string&)>> kFunctions = {
    {"table", [](const std::string& sql) {
       const std::optional<TableSelect> parsed = ParseTableSelect(sql);
       return parsed ? parsed->table + "|" + parsed->from_clause : "-";
     }},
    {"select", [](const std::string& sql) { return std::to_string(IsSelect(sql)); }},
    {"quote", [](const std::string& name) { return QuoteIdentifier(name); }},
    {"postgres", [](const std::string& target) { return std::to_string(IsPostgresTarget(target)); }},
    {"column", [](const std::string& name) {
       const auto index = FindColumn({"algorithmcode", "Code", "code", "Straße"}, name);
       return index ? std::to_string(*index) : "-";
     }},
};

TEST(DbFunctions, AsTheTableSays) {
  for (const korvix::testing::Case& c : korvix::testing::ReadCases("db/cases/functions.tsv", 3)) {
    ASSERT_TRUE(kFunctions.contains(c[0])) << c.where;
    EXPECT_EQ(kFunctions.at(c[0])(c[1]), c[2]) << c.where;
  }
}

}  // namespace
}  // namespace korvix::db
