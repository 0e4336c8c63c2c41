// Staff numbers and codes made to break out of their statements, on every
// back end and every setting of a session that changes how the server reads
// a string: none of them reaches a row that is not its own.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "korvix/algorithm_store.h"
#include "korvix/name_lookup.h"
#include "korvix/db/postgres.h"
#include "platform/db/backend_fixture.h"
#include "platform/db/statement_log.h"

namespace korvix::db::testing {
namespace {

constexpr std::nullopt_t Null = std::nullopt;
constexpr const char* kCode = "0103000000000000";

class HostileValuesTest : public BackendTest {
 protected:
  // The sessions to try: the default one, and on PostgreSQL one whose host
  // turned standard_conforming_strings off and one whose role has it off.
  std::vector<std::pair<std::string, std::unique_ptr<Connection>>> Sessions() {
    std::vector<std::pair<std::string, std::unique_ptr<Connection>>> sessions;
    sessions.emplace_back("default", Connect());
    if (backend() != BackendKind::kPostgres) return sessions;
    sessions.emplace_back("set by the host", Connect());
    Execute(*sessions.back().second, "SET standard_conforming_strings = off");
    Exec("DROP ROLE IF EXISTS korvix_alt; CREATE ROLE korvix_alt LOGIN;"
         "ALTER ROLE korvix_alt SET standard_conforming_strings = off;"
         "GRANT ALL ON DoubletAlgorithms, Personalstamm TO korvix_alt");
    std::string error;
    sessions.emplace_back("set for the role",
                          OpenPostgres(cluster_->ConnInfo("korvix_alt"), {}, &error));
    EXPECT_TRUE(sessions.back().second) << error;
    return sessions;
  }

  static void Execute(Connection& connection, const std::string& sql) {
    std::string error;
    ASSERT_TRUE(connection.Execute(sql, &error)) << error;
  }
};

TEST_P(HostileValuesTest, NoValueReachesAnotherUsersRows) {
  const std::vector<AlgorithmRow> rows = {{kCode, "-", "Öffentlich", Null},
                                          {kCode, "1001", "Annas", Null},
                                          {"0205000000000000", "1002", "Jürgens", Null}};
  Seed(rows);
  const std::string hostile[] = {"\\' or 1=1 --", "x' or '1'='1", "\\", "1001\\", "\\'",
                                 "1001'--", std::string("1001\0' or 1=1 --", 16)};
  for (auto& [setting, session] : Sessions()) {
    ASSERT_TRUE(session);
    Connection* c = session.get();
    for (const std::string& nr : hostile) {
      SCOPED_TRACE(setting + ", staff number " + nr);
      for (const AlgorithmEntry& e : ReadVisibleAlgorithms(c, nr, false)) {
        EXPECT_TRUE(e.PersonalNr == "-" || e.PersonalNr == nr) << e.PersonalNr;
      }
      EXPECT_EQ(LookupAlgorithmName(c, "0205000000000000", nr), "5(Ort)");
      EXPECT_EQ(OwnerName(c, nr), nr);
      EXPECT_NE(DeleteAlgorithm(c, kCode, nr), WriteResult::kDone);
      EXPECT_NE(DeleteAlgorithm(c, "' or '1'='1", nr), WriteResult::kDone);
      // Another user's row with this code must not be taken for the own one.
      const SaveRequest save{kCode, nr, "Eigener", Null, "", ""};
      EXPECT_NE(SaveAlgorithm(c, save, [](const std::string&) { return false; }),
                WriteResult::kDeclined);
      (void)DeleteAlgorithm(c, kCode, nr);
    }
    EXPECT_EQ(Read("Select * From DoubletAlgorithms Where PersonalNr='1001' or PersonalNr='1002' "
                   "or PersonalNr='-'"),
              (std::vector<AlgorithmRow>{rows[0], rows[1], rows[2]}));
  }
}

TEST_P(HostileValuesTest, OnADefaultSessionTheTextsAreTheDocumentedOnes) {
  ClearStatementLog(*connection_);
  (void)ReadVisibleAlgorithms(connection_.get(), "x' or '1'='1", false);
  (void)LookupAlgorithmName(connection_.get(), "0'1", "O'Brien");
  (void)OwnerName(connection_.get(), "Ä ß");
  EXPECT_EQ(StatementLog(*connection_),
            (std::vector<std::string>{
                "Select * From DoubletAlgorithms Where PersonalNr='x'' or ''1''=''1' or "
                "PersonalNr='-' Order By AlgorithmCode",
                "Select * From DoubletAlgorithms Where AlgorithmCode='0''1' And "
                "PersonalNr='O''Brien'",
                "Select * From DoubletAlgorithms Where AlgorithmCode='0''1' And PersonalNr='-'",
                "Select * From Personalstamm Where PersonalNr='Ä ß'"}));
}

INSTANTIATE_TEST_SUITE_P(Backends, HostileValuesTest,
                         ::testing::Values(BackendKind::kSqlite, BackendKind::kPostgres),
                         BackendName);

}  // namespace
}  // namespace korvix::db::testing
