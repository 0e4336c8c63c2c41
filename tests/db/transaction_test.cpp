// Transactions on every back end: lasting only when committed, and inside a
// host's own transaction a savepoint that leaves the end to the host.
#include "db/transaction.h"

#include <libpq-fe.h>
#include <sqlite3.h>

#include <gtest/gtest.h>

#include "korvix/db/postgres.h"
#include "korvix/db/sqlite.h"
#include "db/backend.h"
#include "db/backend_fixture.h"

namespace korvix::db::testing {
namespace {

constexpr const char* kInsert = "INSERT INTO DoubletAlgorithms (AlgorithmCode) VALUES ('01')";
using TransactionTest = BackendTest;

TEST_P(TransactionTest, OnlyACommitLastsAndInAHostsTransactionOnlyTheHostEndsIt) {
  sqlite3* lite = nullptr;
  PGconn* pg = nullptr;
  std::unique_ptr<Connection> host;  // a session of the host's, adopted
  if (backend() == BackendKind::kSqlite) {
    ASSERT_EQ(sqlite3_open(Target().c_str(), &lite), SQLITE_OK);
    host = AdoptSqlite(lite);
  } else {
    host = AdoptPostgres(pg = PQconnectdb(Target().c_str()));
  }
  auto count = [this] { return Read("Select * From DoubletAlgorithms").size(); };
  for (bool hosts : {false, true}) {
    if (hosts) host->Execute("BEGIN");  // as the host would, on its handle
    {
      Transaction undone(host.get());
      ASSERT_TRUE(undone.ok()) << undone.error();
      EXPECT_TRUE(BackendOf(*host).InTransaction());
      host->Execute(kInsert);
    }  // dropped: rolled back
    EXPECT_EQ(BackendOf(*host).InTransaction(), hosts);
    Transaction tx(host.get());
    ASSERT_TRUE(tx.Lock("ein Schlüssel") && tx.Lock("ein Schlüssel")) << tx.error();
    host->Execute(kInsert);
    ASSERT_TRUE(tx.Commit()) << tx.error();
    EXPECT_FALSE(tx.ok());
    EXPECT_EQ(BackendOf(*host).InTransaction(), hosts) << "the host's transaction was ended";
    EXPECT_EQ(count(), 1u);  // the first round's row; the second's waits for the host
    if (hosts) host->Execute("COMMIT");
  }
  EXPECT_EQ(count(), 2u);
  host.reset();
  if (lite != nullptr) sqlite3_close(lite);
  if (pg != nullptr) PQfinish(pg);
  Transaction none(nullptr);
  EXPECT_FALSE(none.ok() || none.Lock("x") || none.Commit());
}

KORVIX_ON_EACH_BACKEND(TransactionTest);

}  // namespace
}  // namespace korvix::db::testing
