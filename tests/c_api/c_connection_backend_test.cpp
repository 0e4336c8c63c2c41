// Connections through the C interface on both back ends: opened by the
// component, or adopted from a host that keeps owning its handle.
#include <gtest/gtest.h>
#include <libpq-fe.h>
#include <sqlite3.h>

#include <optional>
#include <string>

#include "c_api/c_strings.h"
#include "korvix/korvix.h"
#include "platform/db/backend_fixture.h"

namespace korvix::db::testing {
namespace {

using korvix::c_api::testing::Take;
using korvix::c_api::testing::TakeError;

constexpr const char kCode[] = "0103000000000000";

class CConnectionTest : public BackendTest {
 protected:
  void SetUp() override {
    BackendTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    Seed({{kCode, "-", "Öffentlich", std::nullopt}, {kCode, "1001", "Meiner", std::nullopt}});
    object_ = korvix_create_object(KORVIX_PROG_ID, nullptr);
    ASSERT_NE(object_, nullptr);
  }
  void TearDown() override {
    korvix_release_object(object_);
    BackendTest::TearDown();
  }

  // The names that the users see for kCode, by staff number in the order
  // "1001", "1002", NULL.
  std::string Names(korvix_connection_t* connection) {
    std::string names;
    for (const char* user : {"1001", "1002", static_cast<const char*>(nullptr)}) {
      names += Take(korvix_GetAlgorithmName(object_, connection, kCode, user)).value_or("?");
      names += ";";
    }
    return names;
  }

  korvix_doublet_functions_t* object_ = nullptr;
};

TEST_P(CConnectionTest, OpenedByTheComponent) {
  char* error = nullptr;
  korvix_connection_t* connection = korvix_open(Target().c_str(), KORVIX_FALSE, &error);
  ASSERT_NE(connection, nullptr) << error;
  EXPECT_EQ(korvix_is_open(connection), KORVIX_TRUE);
  EXPECT_EQ(Names(connection), "Meiner;Öffentlich;Öffentlich;");

  EXPECT_EQ(korvix_execute(connection, "INSERT INTO NoSuchTable VALUES (1)", &error),
            KORVIX_FALSE);
  EXPECT_FALSE(TakeError(error).value_or("").empty());
  EXPECT_EQ(korvix_execute(connection, "UPDATE DoubletAlgorithms SET AlgorithmName = 'Neu' "
                                       "WHERE PersonalNr = '-'", &error),
            KORVIX_TRUE);
  EXPECT_EQ(error, nullptr);
  EXPECT_EQ(Names(connection), "Meiner;Neu;Neu;");
  korvix_close(connection);
}

TEST_P(CConnectionTest, AdoptedHandleStaysTheHosts) {
  korvix_connection_t* connection = nullptr;
  sqlite3* lite = nullptr;
  PGconn* pg = nullptr;
  if (GetParam() == BackendKind::kSqlite) {
    ASSERT_EQ(sqlite3_open_v2(Target().c_str(), &lite, SQLITE_OPEN_READWRITE, nullptr),
              SQLITE_OK);
    connection = korvix_adopt_sqlite(lite);
  } else {
    pg = PQconnectdb(Target().c_str());
    ASSERT_EQ(PQstatus(pg), CONNECTION_OK) << PQerrorMessage(pg);
    connection = korvix_adopt_postgres(pg);
  }
  ASSERT_NE(connection, nullptr);
  EXPECT_EQ(korvix_is_open(connection), KORVIX_TRUE);
  EXPECT_EQ(Names(connection), "Meiner;Öffentlich;Öffentlich;");
  korvix_close(connection);

  // The host's handle still works after the component let go of it.
  if (lite != nullptr) {
    EXPECT_EQ(sqlite3_exec(lite, "SELECT count(*) FROM DoubletAlgorithms", nullptr, nullptr,
                           nullptr),
              SQLITE_OK);
    EXPECT_EQ(sqlite3_close(lite), SQLITE_OK);
  } else {
    PGresult* result = PQexec(pg, "SELECT count(*) FROM DoubletAlgorithms");
    EXPECT_EQ(PQresultStatus(result), PGRES_TUPLES_OK);
    PQclear(result);
    PQfinish(pg);
  }
}

INSTANTIATE_TEST_SUITE_P(Backends, CConnectionTest,
                         ::testing::Values(BackendKind::kSqlite, BackendKind::kPostgres),
                         BackendName);

}  // namespace
}  // namespace korvix::db::testing
