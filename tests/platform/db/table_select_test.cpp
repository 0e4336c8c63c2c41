#include "platform/db/table_select.h"

#include <optional>
#include <string>

#include <gtest/gtest.h>

namespace korvix::db {
namespace {

TEST(TableSelectTest, RecognisesTheUpdatableShape) {
  struct Case {
    const char* sql;
    std::optional<std::string> table;  // nullopt: not updatable
    const char* from_clause;
  };
  const Case cases[] = {
      {"Select * From DoubletAlgorithms Where AlgorithmCode='0103' And PersonalNr='-'",
       "DoubletAlgorithms", " From DoubletAlgorithms Where AlgorithmCode='0103' And PersonalNr='-'"},
      {"Select * From DoubletAlgorithms Order By AlgorithmCode", "DoubletAlgorithms",
       " From DoubletAlgorithms Order By AlgorithmCode"},
      {"select*from t", "t", "from t"},
      {"  SELECT  *\n FROM\tt  ", "t", "\n FROM\tt  "},
      {"Select * From t;", "t", " From t;"},
      {"Select * From t Limit 1", "t", " From t Limit 1"},
      {"Select * From main.t Where a=1", "main.t", " From main.t Where a=1"},
      {"Select * From \"Ein \"\"Name\"\"\" Where a=1", "\"Ein \"\"Name\"\"\"",
       " From \"Ein \"\"Name\"\"\" Where a=1"},
      {"Select * From Tabelle_ä1$ Where x=1", "Tabelle_ä1$", " From Tabelle_ä1$ Where x=1"},
      // Not one table, or not every column of it:
      {"Select * From a, b", std::nullopt, ""},
      {"Select * From a Join b On a.x=b.x", std::nullopt, ""},
      {"Select * From a Group By x", std::nullopt, ""},
      {"Select a From t", std::nullopt, ""},
      {"Select Count(*) From t", std::nullopt, ""},
      {"Select * Fromt", std::nullopt, ""},
      {"Select * From", std::nullopt, ""},
      {"Select * From \"\"", std::nullopt, ""},
      {"Select * From \"offen", std::nullopt, ""},
      {"Select * From t.", std::nullopt, ""},
      {"Selectx * From t", std::nullopt, ""},
      {"Delete From t", std::nullopt, ""},
      {"", std::nullopt, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sql);
    const std::optional<TableSelect> parsed = ParseTableSelect(c.sql);
    ASSERT_EQ(parsed.has_value(), c.table.has_value());
    if (!parsed) continue;
    EXPECT_EQ(parsed->table, *c.table);
    EXPECT_EQ(parsed->from_clause, c.from_clause);
  }
}

TEST(TableSelectTest, TellsQueriesFromOtherStatements) {
  struct Case {
    const char* sql;
    bool select;
  };
  const Case cases[] = {
      {"Select * From t", true},  {"  select 1", true},         {"(Select 1) Union (Select 2)", true},
      {"SELECT", true},           {"Selection", false},         {"Delete From t", false},
      {"Update t Set a=1", false}, {"Insert Into t Values (1)", false}, {"", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsSelect(c.sql), c.select) << c.sql;
  }
}

TEST(TableSelectTest, QuotesIdentifiers) {
  EXPECT_EQ(QuoteIdentifier("AlgorithmCode"), "\"AlgorithmCode\"");
  EXPECT_EQ(QuoteIdentifier("a\"b"), "\"a\"\"b\"");
  EXPECT_EQ(QuoteIdentifier(""), "\"\"");
}

}  // namespace
}  // namespace korvix::db
