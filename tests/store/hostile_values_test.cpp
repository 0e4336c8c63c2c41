// Staff numbers and codes made to break out of their statements, on every
// back end and every setting of a session that changes how the server reads
// a string: none of them reaches a row that is not its own.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "korvix/algorithm_store.h"
#include "korvix/db/postgres.h"
#include "db/backend_fixture.h"
#include "db/statement_log.h"
#include "store/quiet_reads.h"

namespace korvix::db::testing {
namespace {

constexpr const char* kCode = "0103000000000000";
using HostileValuesTest = BackendTest;

TEST_P(HostileValuesTest, NoValueReachesAnotherUsersRows) {
  const std::vector<AlgorithmRow> rows = {{kCode, "-", "Öffentlich", std::nullopt},
                                          {kCode, "1001", "Annas", std::nullopt},
                                          {"0205000000000000", "1002", "Jürgens", std::nullopt}};
  Seed(rows);
  // The default session and, on PostgreSQL, one whose host turned
  // standard_conforming_strings off and one whose role has it off.
  std::vector<std::unique_ptr<Connection>> sessions;
  sessions.push_back(Connect());
  if (backend() == BackendKind::kPostgres) {
    sessions.push_back(Connect());
    sessions.back()->Execute("SET standard_conforming_strings = off");
    Exec("DROP ROLE IF EXISTS korvix_alt; CREATE ROLE korvix_alt LOGIN;"
         "ALTER ROLE korvix_alt SET standard_conforming_strings = off;"
         "GRANT ALL ON DoubletAlgorithms, Personalstamm TO korvix_alt");
    sessions.push_back(OpenPostgres(cluster_->ConnInfo("korvix_alt")));
  }
  const std::string hostile[] = {"\\' or 1=1 --", "x' or '1'='1", "\\", "1001\\", "\\'",
                                 "1001'--", std::string("1001\0' or 1=1 --", 16)};
  for (const auto& session : sessions) {
    ASSERT_TRUE(session);
    Connection* c = session.get();
    for (const std::string& nr : hostile) {
      SCOPED_TRACE(std::to_string(&session - &sessions[0]) + ": " + nr);
      for (const AlgorithmEntry& e : store::ReadVisibleAlgorithmsQuietly(c, nr, false, nullptr)) {
        EXPECT_TRUE(e.PersonalNr == "-" || e.PersonalNr == nr) << e.PersonalNr;
      }
      EXPECT_EQ(store::LookupAlgorithmNameQuietly(c, "0205000000000000", nr, nullptr), "5(Ort)");
      EXPECT_EQ(OwnerName(c, nr), nr);
      using Outcome = std::variant<WriteResult, ErrorCode>;
      EXPECT_NE(OutcomeOf([&] { return DeleteAlgorithm(c, kCode, nr); }), Outcome(WriteResult::kDone));
      EXPECT_NE(OutcomeOf([&] { return DeleteAlgorithm(c, "' or '1'='1", nr); }),
                Outcome(WriteResult::kDone));
      // Another user's row with this code must not be taken for the own one.
      const SaveRequest save{kCode, nr, "Eigener", std::nullopt, "", ""};
      EXPECT_NE(OutcomeOf([&] { return SaveAlgorithm(c, save, nullptr); }),
                Outcome(WriteResult::kDeclined));
      ErrorOf([&] { (void)DeleteAlgorithm(c, kCode, nr); });
    }
  }
  EXPECT_EQ(Read("Select * From DoubletAlgorithms Where PersonalNr In ('-', '1001', '1002')"), rows);
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

KORVIX_ON_EACH_BACKEND(HostileValuesTest);

}  // namespace
}  // namespace korvix::db::testing
