// GetAlgorithmName against a real table, on every back end.
#include <gtest/gtest.h>

#include <string>

#include "korvix/doublet_functions.h"
#include "platform/db/backend_fixture.h"
#include "platform/db/statement_log.h"

namespace korvix::db::testing {
namespace {

constexpr const char* kCode = "010300000000000003050000000000000504110000000000";
constexpr const char* kDescription = "3(PLZ)+5(Straße)+4R['sndx:Bez1]";

class NameLookupTest : public BackendTest {
 protected:
  std::string Name(const std::string& code, const std::string& nr) {
    return DoubletFunctions().GetAlgorithmName(connection_.get(), code, nr);
  }
};

TEST_P(NameLookupTest, OwnRowFirstThenPublicThenDescription) {
  Seed({{kCode, "1001", "Privat", std::nullopt},
        {kCode, "-", " Öffentlich ", std::nullopt},
        {kCode, "1002", "  ", std::nullopt},
        {kCode, "1003", std::nullopt, std::nullopt},
        {"0103000000000000", "-", "Nur PLZ", std::nullopt}});
  const struct {
    std::string code, nr, name;
  } cases[] = {
      {kCode, "1001", "Privat"},
      {kCode, "9999", " Öffentlich "},  // as stored, blanks included
      {kCode, "-", " Öffentlich "},     // found by the first query
      {kCode, "1002", kDescription},    // the own blank name ends the search
      {kCode, "1003", kDescription},    // Null too
      {"0103000000000000", "1001", "Nur PLZ"},
      {"0104000000000000", "1001", "4(PLZ)"},
      {"", "1001", ""},
      {kCode, "x' or '1'='1", " Öffentlich "},
      // A user's query that cannot run ends the search: no public name.
      {kCode, std::string("1001\0", 5), kDescription},
  };
  for (const auto& c : cases) EXPECT_EQ(Name(c.code, c.nr), c.name) << c.code << " / " << c.nr;
}

TEST_P(NameLookupTest, IssuesTheTwoStatementsInOrder) {
  ClearStatementLog(*connection_);
  EXPECT_EQ(Name(kCode, "1001"), kDescription);
  EXPECT_EQ(StatementLog(*connection_),
            (std::vector<std::string>{
                std::string("Select * From DoubletAlgorithms Where AlgorithmCode='") + kCode +
                    "' And PersonalNr='1001'",
                std::string("Select * From DoubletAlgorithms Where AlgorithmCode='") + kCode +
                    "' And PersonalNr='-'"}));
}

TEST_P(NameLookupTest, SeveralRowsOfOnePairTakeTheFirst) {
  Seed({{kCode, "1001", "Erster", std::nullopt}});
  Seed({{kCode, "1001", "Zweiter", std::nullopt}});
  const std::string name = Name(kCode, "1001");
  EXPECT_TRUE(name == "Erster" || name == "Zweiter") << name;
}

TEST_P(NameLookupTest, BrokenTablesAndConnectionsGiveTheDescription) {
  Seed({{kCode, "-", "Öffentlich", std::nullopt}});
  EXPECT_EQ(DoubletFunctions().GetAlgorithmName(nullptr, kCode, "1001"), kDescription);
  Exec("ALTER TABLE DoubletAlgorithms RENAME COLUMN AlgorithmName TO Bezeichnung");
  EXPECT_EQ(Name(kCode, "-"), kDescription);
  Exec("DROP TABLE DoubletAlgorithms");
  EXPECT_EQ(Name(kCode, "-"), kDescription);
  connection_->Close();
  EXPECT_EQ(Name(kCode, "-"), kDescription);
}

INSTANTIATE_TEST_SUITE_P(Backends, NameLookupTest,
                         ::testing::Values(BackendKind::kSqlite, BackendKind::kPostgres),
                         BackendName);

}  // namespace
}  // namespace korvix::db::testing
