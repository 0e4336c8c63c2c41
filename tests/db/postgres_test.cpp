// What only the PostgreSQL back end has: a server that can go away or
// hang, roles and grants, connection strings, adopted sessions.
#include "korvix/db/postgres.h"

#include <libpq-fe.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "korvix/db/open.h"
#include "db/recordset.h"
#include "db/backend_fixture.h"
#include "db/pg_cluster.h"
#include "db/transaction.h"

namespace korvix::db::testing {
namespace {

using ::testing::HasSubstr;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

const std::string kAll = "Select * From DoubletAlgorithms";

class PostgresBackendTest : public DatabaseTest {
 protected:
  BackendKind backend() const override { return BackendKind::kPostgres; }
  void SetUp() override {
    DatabaseTest::SetUp();
    if (!IsSkipped() && !HasFatalFailure()) Seed({{"0103000000000000", "-", "Eins", std::nullopt}});
  }
};

TEST_F(PostgresBackendTest, OpensUrisAndKeyValueStringsAndFailsFastWithoutAServer) {
  for (const std::string& target : {cluster_->ConnInfo(), "postgres:///postgres?user=postgres&host=" + cluster_->dir()}) {
    std::unique_ptr<Connection> connection = OpenDatabase(target);
    ASSERT_TRUE(connection) << target;
    EXPECT_EQ(ReadRows(connection.get(), kAll).size(), 1u);
  }
  char tmpl[] = "/tmp/korvix-leer-XXXXXX";
  ASSERT_NE(mkdtemp(tmpl), nullptr);
  const auto start = Clock::now();
  const std::string error =
      ErrorOf([&] { (void)OpenDatabase(std::string("host=") + tmpl + " dbname=postgres"); });
  EXPECT_LT(Clock::now() - start, 3s);
  EXPECT_THAT(error, HasSubstr("cannot connect"));
  std::filesystem::remove(tmpl);
}

// The server goes down under an open session and an open record set: every
// later step fails at once as a value, and the host can still go on.
TEST_F(PostgresBackendTest, AStoppedServerFailsOperationsWithoutHanging) {
  Recordset rs;
  ASSERT_TRUE(rs.Open(kAll, connection_.get(), adOpenKeyset, adLockOptimistic));
  cluster_->Stop();
  const auto start = Clock::now();
  EXPECT_TRUE(rs.SetField("AlgorithmName", "neu"));
  EXPECT_FALSE(rs.Update() || rs.Delete() || rs.Open(kAll, connection_.get(), adOpenKeyset, adLockReadOnly));
  EXPECT_FALSE(connection_->IsOpen() || ErrorOf([&] { connection_->Execute("SELECT 1"); }).empty() ||
               Transaction(connection_.get()).ok());
  std::string error;
  EXPECT_LT(Clock::now() - start, 3s);
  ASSERT_TRUE(cluster_->Start(&error)) << error;
  EXPECT_EQ(ReadRows(Connect().get(), kAll),
            (std::vector<AlgorithmRow>{{"0103000000000000", "-", "Eins", std::nullopt}}));
}

// A server that takes a statement and never answers (its process is frozen)
// costs the operation timeout, not the host's session: a transaction whose
// rollback could not be sent then is rolled back before the next statement.
TEST_F(PostgresBackendTest, AStatementWithoutAnswerTimesOutAndLeavesNoTransaction) {
  PGconn* raw = PQconnectdb(cluster_->ConnInfo().c_str());
  std::unique_ptr<Connection> connection = AdoptPostgres(raw, {.operation_timeout_ms = 300});
  const pid_t server = PQbackendPID(raw);
  Recordset rs;
  bool opened = true;
  Clock::duration waited{};
  {
    Transaction tx(connection.get());
    ASSERT_TRUE(tx.ok()) << tx.error();
    ASSERT_EQ(kill(server, SIGSTOP), 0);
    const auto start = Clock::now();
    opened = rs.Open(kAll, connection.get(), adOpenKeyset, adLockOptimistic);
    waited = Clock::now() - start;
  }  // the rollback cannot be sent while the server is frozen
  kill(server, SIGCONT);
  EXPECT_FALSE(opened);
  EXPECT_THAT(rs.last_error(), HasSubstr("did not answer"));
  EXPECT_TRUE(waited >= 250ms && waited < 2500ms);
  bool recovered = false;
  for (int attempt = 0; attempt < 20 && !recovered; ++attempt) recovered = rs.Open(kAll, connection.get(), adOpenKeyset, adLockReadOnly);
  EXPECT_TRUE(recovered) << rs.last_error();
  EXPECT_EQ(PQtransactionStatus(raw), PQTRANS_IDLE);
  connection.reset();
  PQfinish(raw);
}

// Quoted names keep their case on the server; written back, they must be
// named exactly as the table has them.
TEST_F(PostgresBackendTest, QuotedNamesAreWrittenBackAsTheyStand) {
  Exec("CREATE TABLE \"Gemischte Schreibung\" (\"Code\" text, wert text);"
       "INSERT INTO \"Gemischte Schreibung\" VALUES ('a', 'alt')");
  Recordset rs;
  ASSERT_TRUE(rs.Open("Select * From \"Gemischte Schreibung\" Where \"Code\"='a'",
                      connection_.get(), adOpenKeyset, adLockOptimistic))
      << rs.last_error();
  ASSERT_TRUE(rs.SetField("code", "b") && rs.SetField("WERT", "neu") && rs.Update() && rs.Delete())
      << rs.last_error();
  Exec("DROP TABLE \"Gemischte Schreibung\"");
}

}  // namespace
}  // namespace korvix::db::testing
