// Transactions on every back end: lasting only when committed, and inside a
// host's own transaction a savepoint that leaves the end to the host.
#include "platform/db/transaction.h"

#include <libpq-fe.h>
#include <sqlite3.h>

#include <gtest/gtest.h>

#include "korvix/db/postgres.h"
#include "korvix/db/sqlite.h"
#include "platform/db/backend.h"
#include "platform/db/backend_fixture.h"

namespace korvix::db::testing {
namespace {

constexpr const char* kInsert =
    "INSERT INTO DoubletAlgorithms (AlgorithmCode, PersonalNr) VALUES ('0103000000000000', '-')";

class TransactionTest : public BackendTest {
 protected:
  std::size_t Count() { return Read("Select * From DoubletAlgorithms").size(); }

  // Runs `sql` on the host's own handle behind an adopted connection.
  void HostRuns(const char* sql) {
    if (backend() == BackendKind::kSqlite) {
      ASSERT_EQ(sqlite3_exec(sqlite_, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sql;
    } else {
      PGresult* result = PQexec(pg_, sql);
      EXPECT_EQ(PQresultStatus(result), PGRES_COMMAND_OK) << sql;
      PQclear(result);
    }
  }

  sqlite3* sqlite_ = nullptr;
  PGconn* pg_ = nullptr;
};

TEST_P(TransactionTest, OnlyACommitLasts) {
  {
    Transaction tx(connection_.get());
    ASSERT_TRUE(tx.ok()) << tx.error();
    EXPECT_TRUE(BackendOf(*connection_).InTransaction());
    Exec(kInsert);
  }  // dropped: rolled back
  EXPECT_FALSE(BackendOf(*connection_).InTransaction());
  EXPECT_EQ(Count(), 0u);
  Transaction tx(connection_.get());
  ASSERT_TRUE(tx.Lock("ein Schlüssel") && tx.Lock("ein Schlüssel")) << tx.error();
  Exec(kInsert);
  ASSERT_TRUE(tx.Commit()) << tx.error();
  EXPECT_FALSE(tx.ok());
  EXPECT_EQ(Count(), 1u);

  for (Connection* none : {static_cast<Connection*>(nullptr), Connect().release()}) {
    if (none != nullptr) none->Close();
    Transaction failed(none);
    EXPECT_FALSE(failed.ok());
    EXPECT_FALSE(failed.Lock("x") || failed.Commit());
    delete none;
  }
}

TEST_P(TransactionTest, InsideTheHostsTransactionItIsASavepoint) {
  std::unique_ptr<Connection> adopted;
  if (backend() == BackendKind::kSqlite) {
    ASSERT_EQ(sqlite3_open_v2(Target().c_str(), &sqlite_, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
    adopted = AdoptSqlite(sqlite_);
  } else {
    pg_ = PQconnectdb(Target().c_str());
    adopted = AdoptPostgres(pg_);
  }
  HostRuns("BEGIN");
  {
    Transaction undone(adopted.get());
    ASSERT_TRUE(undone.ok()) << undone.error();
    ASSERT_TRUE(adopted->Execute(kInsert, nullptr));
  }
  Transaction tx(adopted.get());
  ASSERT_TRUE(adopted->Execute(kInsert, nullptr));
  ASSERT_TRUE(tx.Commit()) << tx.error();
  EXPECT_TRUE(BackendOf(*adopted).InTransaction()) << "the host's transaction was ended";
  EXPECT_EQ(Count(), 0u);  // nothing committed yet
  HostRuns("COMMIT");
  EXPECT_EQ(Count(), 1u);  // the savepoint's row, not the undone one
  adopted.reset();
  if (sqlite_ != nullptr) sqlite3_close(sqlite_);
  if (pg_ != nullptr) PQfinish(pg_);
}

INSTANTIATE_TEST_SUITE_P(Backends, TransactionTest,
                         ::testing::Values(BackendKind::kSqlite, BackendKind::kPostgres),
                         BackendName);

}  // namespace
}  // namespace korvix::db::testing
