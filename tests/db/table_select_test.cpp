#include "db/table_select.h"

#include <gtest/gtest.h>

namespace korvix::db {
namespace {

TEST(TableSelectTest, RecognisesTheUpdatableShapeAndQueries) {
  const struct {
    const char* sql;
    const char* table;  // null: not updatable
    const char* from_clause;
  } cases[] = {
      {"Select * From DoubletAlgorithms Where AlgorithmCode='01' And PersonalNr='-'",
       "DoubletAlgorithms", " From DoubletAlgorithms Where AlgorithmCode='01' And PersonalNr='-'"},
      {"select*from t", "t", "from t"},
      {"  SELECT  *\n FROM\tt Order By a;", "t", "\n FROM\tt Order By a;"},
      {"Select * From main.t Limit 1", "main.t", " From main.t Limit 1"},
      {"Select * From \"Ein \"\"Name\"\"\" Where a=1", "\"Ein \"\"Name\"\"\"", " From \"Ein \"\"Name\"\"\" Where a=1"},
      {"Select * From Tabelle_ä1$ Where x=1", "Tabelle_ä1$", " From Tabelle_ä1$ Where x=1"},
      {"Select * From a, b", nullptr, ""},           {"Select * From a Join b On a.x=b.x", nullptr, ""},
      {"Select * From a Group By x", nullptr, ""},   {"Select a From t", nullptr, ""},
      {"Select * Fromt", nullptr, ""},               {"Select * From \"\"", nullptr, ""},
      {"Select * From \"offen", nullptr, ""},        {"Select * From t.", nullptr, ""},
      {"Delete From t", nullptr, ""},                {"", nullptr, ""},
  };
  for (const auto& c : cases) {
    const std::optional<TableSelect> parsed = ParseTableSelect(c.sql);
    ASSERT_EQ(parsed.has_value(), c.table != nullptr) << c.sql;
    if (!parsed) continue;
    EXPECT_EQ(parsed->table + "|" + parsed->from_clause, std::string(c.table) + "|" + c.from_clause);
  }
  const std::pair<const char*, bool> queries[] = {
      {"  select 1", true}, {"(Select 1) Union (Select 2)", true}, {"Selection", false},
      {"Update t Set a=1", false}, {"", false}};
  for (const auto& [sql, select] : queries) EXPECT_EQ(IsSelect(sql), select) << sql;
  EXPECT_EQ(QuoteIdentifier("a\"b"), "\"a\"\"b\"");
}

}  // namespace
}  // namespace korvix::db
