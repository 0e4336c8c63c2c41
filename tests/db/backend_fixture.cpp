#include "db/backend_fixture.h"

#include <unistd.h>

#include <atomic>
#include <filesystem>

#include "korvix/db/postgres.h"
#include "korvix/db/sqlite.h"

namespace korvix::db::testing {
namespace {

std::string Literal(const Value& value) {
  if (!value) return "NULL";
  std::string out = "'";
  for (char c : *value) out += c == '\'' ? "''" : std::string(1, c);
  return out + "'";
}

}  // namespace

std::string BackendName(const ::testing::TestParamInfo<BackendKind>& info) {
  return info.param == BackendKind::kSqlite ? "Sqlite" : "Postgres";
}

void PrintTo(BackendKind kind, std::ostream* os) {
  *os << (kind == BackendKind::kSqlite ? "SQLite" : "PostgreSQL");
}

void PrintTo(const AlgorithmRow& row, std::ostream* os) {
  *os << "{" << Literal(row.code) << ", " << Literal(row.owner) << ", " << Literal(row.name)
      << ", " << Literal(row.description) << "}";
}

void DatabaseTest::SetUp() {
  if (backend() == BackendKind::kPostgres) {
    std::string why;
    cluster_ = SharedCluster(&why);
    if (cluster_ == nullptr) {
      if (ServerRequired()) FAIL() << "PostgreSQL test server unavailable (CI=true): " << why;
      GTEST_SKIP() << "PostgreSQL tests skipped: " << why;
    }
  } else {
    static std::atomic<int> counter{0};
    sqlite_path_ = (std::filesystem::temp_directory_path() /
                    ("korvix-db-" + std::to_string(getpid()) + "-" + std::to_string(counter++) +
                     ".sqlite")).string();
  }
  connection_ = Connect();
  ASSERT_TRUE(connection_);
  if (cluster_ != nullptr) Exec("DROP TABLE IF EXISTS DoubletAlgorithms, Personalstamm, DoubletDecisions, KorvixTables");
  Exec("CREATE TABLE DoubletAlgorithms (AlgorithmCode varchar(160), PersonalNr varchar(20), "
       "AlgorithmName varchar(100), Description varchar(255));"
       "CREATE TABLE Personalstamm (PersonalNr varchar(20), Titel varchar(40), "
       "Vorname varchar(40), Nachname varchar(40));");
}

void DatabaseTest::TearDown() {
  connection_.reset();
  std::error_code ec;
  for (const char* suffix : {"", "-journal", "-wal", "-shm"}) {
    if (!sqlite_path_.empty()) std::filesystem::remove(sqlite_path_ + suffix, ec);
  }
}

std::string DatabaseTest::Target() const {
  return backend() == BackendKind::kSqlite ? sqlite_path_ : cluster_->ConnInfo();
}

std::unique_ptr<Connection> DatabaseTest::Connect() {
  std::unique_ptr<Connection> connection;
  const std::string error = ErrorOf([&] {
    connection = backend() == BackendKind::kSqlite
                     ? OpenSqlite(sqlite_path_, {.create_if_missing = true})
                     : OpenPostgres(cluster_->ConnInfo());
  });
  EXPECT_TRUE(connection) << error;
  // A test's database need not survive a crash of the machine.
  if (connection && backend() == BackendKind::kSqlite) connection->Execute("PRAGMA synchronous=OFF");
  return connection;
}

void DatabaseTest::Exec(const std::string& sql) {
  const std::string error = ErrorOf([&] { connection_->Execute(sql); });
  ASSERT_EQ(error, "") << sql;
}

void DatabaseTest::Seed(const std::vector<AlgorithmRow>& rows) {
  for (const AlgorithmRow& row : rows) {
    Exec("INSERT INTO DoubletAlgorithms (AlgorithmCode, PersonalNr, AlgorithmName, Description) "
         "VALUES (" + Literal(row.code) + ", " + Literal(row.owner) + ", " + Literal(row.name) +
         ", " + Literal(row.description) + ")");
  }
}

std::vector<AlgorithmRow> ReadRows(Connection* connection, const std::string& sql) {
  std::vector<AlgorithmRow> rows;
  Recordset rs;
  EXPECT_TRUE(rs.Open(sql, connection, adOpenKeyset, adLockReadOnly)) << sql << ": " << rs.last_error();
  while (rs.Eof() == false) {
    AlgorithmRow& row = rows.emplace_back();
    EXPECT_TRUE(rs.Field("AlgorithmCode", &row.code) && rs.Field("PersonalNr", &row.owner) &&
                rs.Field("AlgorithmName", &row.name) && rs.Field("Description", &row.description))
        << rs.last_error();
    if (!rs.MoveNext()) break;
  }
  return rows;
}

std::vector<AlgorithmRow> DatabaseTest::RowsWithCode(const std::string& code) {
  return Read("Select * From DoubletAlgorithms Where AlgorithmCode=" + Literal(code));
}

}  // namespace korvix::db::testing
