// A fixture that gives every test an empty database with the host's two
// tables, on the back end that the test is parameterised with:
//
//   DoubletAlgorithms(AlgorithmCode, PersonalNr, AlgorithmName, Description)
//   Personalstamm(PersonalNr, Titel, Vorname, Nachname)
//
// SQLite: a new file per test. PostgreSQL: the shared throw-away server,
// tables dropped and made again per test; skipped outside CI when the
// machine has no server binaries.
#ifndef KORVIX_TESTS_PLATFORM_DB_BACKEND_FIXTURE_H_
#define KORVIX_TESTS_PLATFORM_DB_BACKEND_FIXTURE_H_

#include <memory>
#include <ostream>
#include <string>
#include <variant>
#include <vector>

#include <gtest/gtest.h>

#include "korvix/db/connection.h"
#include "db/recordset.h"
#include "db/pg_cluster.h"

namespace korvix::db::testing {

enum class BackendKind { kSqlite, kPostgres };
std::string BackendName(const ::testing::TestParamInfo<BackendKind>& info);
void PrintTo(BackendKind kind, std::ostream* os);

// One stored algorithm row as the tests write and read it.
struct AlgorithmRow {
  Value code, owner, name, description;
  bool operator==(const AlgorithmRow&) const = default;
};
void PrintTo(const AlgorithmRow& row, std::ostream* os);

// The message of the korvix::Error that `call` throws; "" when it throws none.
template <class Call>
std::string ErrorOf(Call&& call) {
  try {
    call();
  } catch (const Error& e) {
    return e.what();
  }
  return "";
}

// What `call` returned, or the code of the korvix::Error it threw.
template <class Call>
auto OutcomeOf(Call&& call) -> std::variant<decltype(call()), ErrorCode> {
  try {
    return call();
  } catch (const Error& e) {
    return e.code();
  }
}

// Every row that `sql` delivers on `connection` (read only), the four
// columns each. Fails the test when the set does not open.
std::vector<AlgorithmRow> ReadRows(Connection* connection, const std::string& sql);

// A test with a database of its own on the back end that backend() names.
class DatabaseTest : public ::testing::Test {
 protected:
  virtual BackendKind backend() const = 0;
  void SetUp() override;
  void TearDown() override;

  // What a host names this test's database by: the SQLite path, or the
  // PostgreSQL connection string.
  std::string Target() const;
  // A new session on this test's database; fails the test when there is none.
  std::unique_ptr<Connection> Connect();
  // Runs host-side SQL on `connection_`; fails the test on error.
  void Exec(const std::string& sql);
  // Inserts rows through host SQL, not through record sets.
  void Seed(const std::vector<AlgorithmRow>& rows);
  std::vector<AlgorithmRow> Read(const std::string& sql) { return ReadRows(connection_.get(), sql); }
  // The rows of DoubletAlgorithms with this code, in no particular order.
  std::vector<AlgorithmRow> RowsWithCode(const std::string& code);

  std::unique_ptr<Connection> connection_;
  std::string sqlite_path_;
  PgCluster* cluster_ = nullptr;
};

// A DatabaseTest parameterised with the back end.
class BackendTest : public DatabaseTest, public ::testing::WithParamInterface<BackendKind> {
 protected:
  BackendKind backend() const override { return GetParam(); }
};

// Runs the BackendTest suite `suite` on each back end.
#define KORVIX_ON_EACH_BACKEND(suite)                                                  \
  INSTANTIATE_TEST_SUITE_P(Backends, suite,                                            \
                           ::testing::Values(BackendKind::kSqlite, BackendKind::kPostgres), BackendName)

}  // namespace korvix::db::testing

#endif  // KORVIX_TESTS_PLATFORM_DB_BACKEND_FIXTURE_H_
