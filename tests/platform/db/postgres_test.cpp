// What only the PostgreSQL back end has: a server that can go away or
// hang, roles and grants, connection strings, adopted sessions.
#include "korvix/db/postgres.h"

#include <libpq-fe.h>
#include <signal.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <filesystem>
#include <string>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "korvix/db/open.h"
#include "korvix/db/recordset.h"
#include "korvix/algorithm_store.h"
#include "platform/db/backend_fixture.h"
#include "platform/db/pg_cluster.h"

namespace korvix::db::testing {
namespace {

using ::testing::HasSubstr;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

class PostgresBackendTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string why;
    cluster_ = SharedCluster(&why);
    if (cluster_ == nullptr) {
      if (ServerRequired()) FAIL() << "PostgreSQL test server unavailable (CI=true): " << why;
      GTEST_SKIP() << "PostgreSQL tests skipped: " << why;
    }
    connection_ = OpenPostgres(cluster_->ConnInfo(), PostgresOptions{}, &why);
    ASSERT_TRUE(connection_) << why;
    ASSERT_TRUE(connection_->Execute(
        "DROP TABLE IF EXISTS DoubletAlgorithms;"
        "CREATE TABLE DoubletAlgorithms (AlgorithmCode varchar(160), PersonalNr varchar(20), "
        "AlgorithmName varchar(100), Description varchar(255));"
        "INSERT INTO DoubletAlgorithms VALUES ('0103000000000000', '-', 'Eins', NULL)",
        &why))
        << why;
  }

  std::size_t CountRows(Connection* connection) {
    Recordset rs;
    std::size_t rows = 0;
    EXPECT_TRUE(rs.Open(AllAlgorithmsStatement(), connection, adOpenKeyset, adLockReadOnly)) << rs.last_error();
    while (rs.Eof() == false && rs.MoveNext()) ++rows;
    return rows;
  }

  // Every row of `sql`, the four algorithm columns each.
  static std::vector<AlgorithmRow> Read(Connection* connection, const std::string& sql) {
    std::vector<AlgorithmRow> rows;
    Recordset rs;
    EXPECT_TRUE(rs.Open(sql, connection, adOpenKeyset, adLockReadOnly)) << rs.last_error();
    while (rs.Eof() == false) {
      AlgorithmRow row;
      EXPECT_TRUE(rs.Field("AlgorithmCode", &row.code) && rs.Field("PersonalNr", &row.owner) &&
                  rs.Field("AlgorithmName", &row.name) &&
                  rs.Field("Description", &row.description));
      rows.push_back(row);
      if (!rs.MoveNext()) break;
    }
    return rows;
  }

  PgCluster* cluster_ = nullptr;
  std::unique_ptr<Connection> connection_;
};

std::string PercentEncoded(const std::string& text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : text) {
    if (std::isalnum(c) || c == '-' || c == '_' || c == '.') {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

TEST_F(PostgresBackendTest, OpenDatabaseTakesUriAndKeyValueStrings) {
  const std::string targets[] = {
      cluster_->ConnInfo(),
      "postgresql:///postgres?host=" + PercentEncoded(cluster_->dir()) + "&user=postgres",
      "postgres://postgres@" + PercentEncoded(cluster_->dir()) + "/postgres",
  };
  for (const std::string& target : targets) {
    SCOPED_TRACE(target);
    std::string error;
    std::unique_ptr<Connection> connection = OpenDatabase(target, &error);
    ASSERT_TRUE(connection) << error;
    EXPECT_TRUE(connection->IsOpen());
    EXPECT_EQ(CountRows(connection.get()), 1u);
  }
}

TEST_F(PostgresBackendTest, ConnectingWhereNoServerListensFailsFast) {
  char tmpl[] = "/tmp/korvix-leer-XXXXXX";
  ASSERT_NE(mkdtemp(tmpl), nullptr);
  const auto start = Clock::now();
  std::string error;
  EXPECT_EQ(OpenDatabase(std::string("host=") + tmpl + " dbname=postgres user=postgres", &error),
            nullptr);
  EXPECT_LT(Clock::now() - start, 3s);
  EXPECT_THAT(error, HasSubstr("cannot connect"));
  std::filesystem::remove(tmpl);
}

TEST_F(PostgresBackendTest, ATableWithoutGrantFailsAsAValue) {
  std::string error;
  ASSERT_TRUE(connection_->Execute(
      "DROP ROLE IF EXISTS korvix_ohne_recht; CREATE ROLE korvix_ohne_recht LOGIN", &error))
      << error;
  std::unique_ptr<Connection> limited =
      OpenPostgres(cluster_->ConnInfo("korvix_ohne_recht"), PostgresOptions{}, &error);
  ASSERT_TRUE(limited) << error;
  for (LockType lock : {adLockReadOnly, adLockOptimistic}) {
    Recordset rs;
    EXPECT_FALSE(rs.Open(AlgorithmStatement("0103000000000000", "-"), limited.get(), adOpenKeyset,
                         lock));
    EXPECT_THAT(rs.last_error(), HasSubstr("permission denied"));
    EXPECT_FALSE(rs.Delete());
  }
  EXPECT_TRUE(limited->IsOpen());  // a refused statement does not end the session
  EXPECT_EQ(CountRows(connection_.get()), 1u);
  limited.reset();
  EXPECT_TRUE(connection_->Execute("DROP ROLE korvix_ohne_recht", &error)) << error;
}

// The server goes down under an open session and an open record set: every
// later step fails at once as a value, and the host can still go on.
TEST_F(PostgresBackendTest, AStoppedServerFailsOperationsWithoutHanging) {
  Recordset rs;
  ASSERT_TRUE(rs.Open(AlgorithmStatement("0103000000000000", "-"), connection_.get(), adOpenKeyset,
                      adLockOptimistic));
  cluster_->Stop();

  const auto start = Clock::now();
  EXPECT_TRUE(rs.SetField("AlgorithmName", "neu"));
  EXPECT_FALSE(rs.Update());
  EXPECT_FALSE(rs.last_error().empty());
  EXPECT_FALSE(rs.Delete());
  EXPECT_TRUE(rs.Close());
  EXPECT_FALSE(rs.Open(AllAlgorithmsStatement(), connection_.get(), adOpenKeyset, adLockReadOnly));
  EXPECT_FALSE(connection_->IsOpen());
  std::string error;
  EXPECT_FALSE(connection_->Execute("SELECT 1", &error));
  EXPECT_EQ(OpenPostgres(cluster_->ConnInfo(), PostgresOptions{}, &error), nullptr);
  EXPECT_THAT(error, HasSubstr("cannot connect"));
  EXPECT_LT(Clock::now() - start, 3s);

  // Back up again, a new session sees the row untouched.
  ASSERT_TRUE(cluster_->Start(&error)) << error;
  std::unique_ptr<Connection> fresh = OpenPostgres(cluster_->ConnInfo(), PostgresOptions{}, &error);
  ASSERT_TRUE(fresh) << error;
  EXPECT_THAT(Read(fresh.get(), AllAlgorithmsStatement()), ::testing::ElementsAre(AlgorithmRow{
                                                "0103000000000000", "-", "Eins", std::nullopt}));
}

// A server that takes the statement and never answers (here: its process
// is frozen) costs the operation timeout, not the host's whole session.
TEST_F(PostgresBackendTest, AStatementWithoutAnswerTimesOut) {
  PGconn* raw = PQconnectdb(cluster_->ConnInfo().c_str());
  ASSERT_EQ(PQstatus(raw), CONNECTION_OK) << PQerrorMessage(raw);
  PostgresOptions options;
  options.operation_timeout_ms = 300;
  std::unique_ptr<Connection> connection = AdoptPostgres(raw, options);
  const pid_t backend = PQbackendPID(raw);
  ASSERT_EQ(kill(backend, SIGSTOP), 0);

  const auto start = Clock::now();
  Recordset rs;
  const bool opened = rs.Open(AllAlgorithmsStatement(), connection.get(), adOpenKeyset, adLockReadOnly);
  const auto waited = Clock::now() - start;
  kill(backend, SIGCONT);
  EXPECT_FALSE(opened);
  EXPECT_THAT(rs.last_error(), HasSubstr("did not answer"));
  EXPECT_GE(waited, 250ms);
  EXPECT_LT(waited, 2500ms);

  // Once the server answers again, so does the session.
  bool recovered = false;
  for (int attempt = 0; attempt < 20 && !recovered; ++attempt) {
    recovered = rs.Open(AllAlgorithmsStatement(), connection.get(), adOpenKeyset, adLockReadOnly);
  }
  EXPECT_TRUE(recovered) << rs.last_error();
  connection.reset();
  PQfinish(raw);
}

TEST_F(PostgresBackendTest, AnAdoptedSessionStaysWithTheHost) {
  PGconn* raw = PQconnectdb(cluster_->ConnInfo().c_str());
  ASSERT_EQ(PQstatus(raw), CONNECTION_OK) << PQerrorMessage(raw);
  {
    std::unique_ptr<Connection> connection = AdoptPostgres(raw);
    EXPECT_EQ(CountRows(connection.get()), 1u);
    connection->Close();
    EXPECT_FALSE(connection->IsOpen());
  }
  EXPECT_EQ(PQstatus(raw), CONNECTION_OK);
  PGresult* result = PQexec(raw, "SELECT count(*) FROM DoubletAlgorithms");
  EXPECT_EQ(PQresultStatus(result), PGRES_TUPLES_OK);
  PQclear(result);
  PQfinish(raw);

  std::unique_ptr<Connection> none = AdoptPostgres(nullptr);
  EXPECT_FALSE(none->IsOpen());
  Recordset rs;
  EXPECT_FALSE(rs.Open(AllAlgorithmsStatement(), none.get(), adOpenKeyset, adLockReadOnly));
  EXPECT_FALSE(none->Execute("SELECT 1", nullptr));
}

// Quoted names keep their case on the server; written back, they must be
// named exactly as the table has them.
TEST_F(PostgresBackendTest, QuotedNamesAreWrittenBackAsTheyStand) {
  std::string error;
  ASSERT_TRUE(connection_->Execute(
      "DROP TABLE IF EXISTS \"Gemischte Schreibung\";"
      "CREATE TABLE \"Gemischte Schreibung\" (\"Code\" text, wert text);"
      "INSERT INTO \"Gemischte Schreibung\" VALUES ('a', 'alt')",
      &error))
      << error;
  Recordset rs;
  ASSERT_TRUE(rs.Open("Select * From \"Gemischte Schreibung\" Where \"Code\"='a'",
                      connection_.get(), adOpenKeyset, adLockOptimistic))
      << rs.last_error();
  ASSERT_TRUE(rs.SetField("code", "b"));
  ASSERT_TRUE(rs.SetField("WERT", "neu"));
  ASSERT_TRUE(rs.Update()) << rs.last_error();
  rs.Close();
  ASSERT_TRUE(rs.Open("Select * From \"Gemischte Schreibung\"", connection_.get(), adOpenKeyset,
                      adLockReadOnly));
  Value code, wert;
  ASSERT_TRUE(rs.Field("Code", &code) && rs.Field("wert", &wert));
  EXPECT_EQ(code, "b");
  EXPECT_EQ(wert, "neu");
}

}  // namespace
}  // namespace korvix::db::testing
