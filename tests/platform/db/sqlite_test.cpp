// What only the SQLite back end has: files, file locks, adopted handles.
#include "korvix/db/sqlite.h"

#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "korvix/db/open.h"
#include "korvix/db/recordset.h"
#include "korvix/algorithm_store.h"
#include "platform/db/backend_fixture.h"

namespace korvix::db::testing {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using Clock = std::chrono::steady_clock;

constexpr const char* kSchema =
    "CREATE TABLE DoubletAlgorithms (AlgorithmCode varchar(160), PersonalNr varchar(20), "
    "AlgorithmName varchar(100), Description varchar(255))";

class SqliteBackendTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/korvix-sqlite-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }

  std::string PathOf(const std::string& name) const { return (fs::path(dir_) / name).string(); }

  // A database file with the algorithm table and `rows` rows in it.
  std::string MakeDatabase(const std::string& name, int rows = 0) {
    const std::string path = PathOf(name);
    SqliteOptions options;
    options.create_if_missing = true;
    std::string error;
    std::unique_ptr<Connection> connection = OpenSqlite(path, options, &error);
    EXPECT_TRUE(connection) << error;
    if (!connection) return path;
    EXPECT_TRUE(connection->Execute(kSchema, &error)) << error;
    for (int i = 0; i < rows; ++i) {
      EXPECT_TRUE(connection->Execute(
          "INSERT INTO DoubletAlgorithms VALUES ('0103000000000000', '-', 'Zeile', NULL)", &error));
    }
    return path;
  }

  std::string dir_;
};

// Saves one row through a record set, as the editor does.
bool SaveRow(Connection* connection, const std::string& code, std::string* error) {
  Recordset rs;
  const bool ok = rs.Open(AlgorithmStatement(code, "-"), connection, adOpenKeyset, adLockOptimistic) &&
                  rs.AddNew() && rs.SetField("AlgorithmCode", code) &&
                  rs.SetField("PersonalNr", "-") && rs.Update();
  if (!ok && error != nullptr) *error = rs.last_error();
  rs.Close();
  return ok;
}

std::size_t CountRows(Connection* connection, const std::string& sql) {
  Recordset rs;
  std::size_t rows = 0;
  if (!rs.Open(sql, connection, adOpenForwardOnly, adLockReadOnly)) return 0;
  while (rs.Eof() == false && rs.MoveNext()) ++rows;
  return rows;
}

TEST_F(SqliteBackendTest, OpenFailuresAreValuesWithAClearMessage) {
  const std::string text_file = PathOf("notizen.txt");
  std::ofstream(text_file) << std::string(2048, 'x') << "\nkeine Datenbank\n";
  struct Case {
    std::string path;
    const char* fragment;
  };
  const Case cases[] = {
      {PathOf("fehlt.sqlite"), "unable to open"},
      {text_file, "not a database"},
      {dir_, "unable to open"},
      {"", "no database path"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    std::string error;
    EXPECT_EQ(OpenSqlite(c.path, SqliteOptions{}, &error), nullptr);
    EXPECT_THAT(error, HasSubstr(c.fragment));
    EXPECT_THAT(error, HasSubstr(c.path));
    EXPECT_EQ(OpenSqlite(c.path, SqliteOptions{}, nullptr), nullptr);  // no error wanted
  }
  EXPECT_FALSE(fs::exists(PathOf("fehlt.sqlite")));  // not created by the attempt
}

TEST_F(SqliteBackendTest, OpenDatabaseCreatesAFileOnlyWhenAsked) {
  // "data=1.sqlite" looks like a key=value string but is no libpq keyword.
  for (const std::string name : {"neu.sqlite", "data=1.sqlite"}) {
    SCOPED_TRACE(name);
    const std::string path = PathOf(name);
    std::string error;
    EXPECT_EQ(OpenDatabase(path, &error), nullptr);
    EXPECT_THAT(error, HasSubstr("unable to open"));
    std::unique_ptr<Connection> connection = OpenDatabase(path, &error, {.create_if_missing = true});
    ASSERT_TRUE(connection) << error;
    EXPECT_TRUE(fs::exists(path));
    EXPECT_TRUE(connection->Execute(kSchema, &error)) << error;
    EXPECT_TRUE(SaveRow(connection.get(), "0103000000000000", &error)) << error;
  }
}

TEST_F(SqliteBackendTest, AReadOnlyDatabaseRefusesWritesAsValues) {
  const std::string path = MakeDatabase("nur-lesen.sqlite", 1);
  std::vector<std::unique_ptr<Connection>> connections;
  SqliteOptions read_only;
  read_only.read_only = true;
  std::string error;
  connections.push_back(OpenSqlite(path, read_only, &error));
  // Root writes through file permissions, so a write-protected file only
  // shows up for other users.
  if (geteuid() != 0) {
    const std::string file = PathOf("schreibgeschuetzt.sqlite");
    fs::copy_file(path, file);
    chmod(file.c_str(), 0444);
    connections.push_back(OpenSqlite(file, SqliteOptions{}, &error));
  }
  for (const auto& connection : connections) {
    ASSERT_TRUE(connection) << error;
    EXPECT_EQ(CountRows(connection.get(), AllAlgorithmsStatement()), 1u);
    Recordset rs;
    ASSERT_TRUE(rs.Open(AllAlgorithmsStatement(), connection.get(), adOpenKeyset, adLockOptimistic));
    ASSERT_TRUE(rs.SetField("AlgorithmName", "neu"));
    EXPECT_FALSE(rs.Update());
    EXPECT_THAT(rs.last_error(), HasSubstr("readonly"));
    EXPECT_FALSE(rs.Delete());
    EXPECT_THAT(rs.last_error(), HasSubstr("readonly"));
    EXPECT_FALSE(SaveRow(connection.get(), "0203000000000000", &error));
    EXPECT_EQ(CountRows(connection.get(), AllAlgorithmsStatement()), 1u);
  }
}

TEST_F(SqliteBackendTest, WritersWaitForALockInsteadOfFailing) {
  const std::string path = MakeDatabase("sperre.sqlite");
  using namespace std::chrono_literals;
  struct Case {
    int busy_timeout_ms;
    bool saved;
  };
  for (const Case c : {Case{5000, true}, Case{0, false}}) {
    SCOPED_TRACE(c.busy_timeout_ms);
    std::string error;
    std::unique_ptr<Connection> holder = OpenSqlite(path, SqliteOptions{}, &error);
    SqliteOptions options;
    options.busy_timeout_ms = c.busy_timeout_ms;
    std::unique_ptr<Connection> writer = OpenSqlite(path, options, &error);
    ASSERT_TRUE(holder && writer) << error;

    // Another writer holds the write lock for a while.
    ASSERT_TRUE(holder->Execute("BEGIN IMMEDIATE", &error)) << error;
    std::thread release([&holder] {
      std::this_thread::sleep_for(400ms);
      EXPECT_TRUE(holder->Execute("COMMIT", nullptr));
    });
    const auto start = Clock::now();
    EXPECT_EQ(SaveRow(writer.get(), "0103000000000000", &error), c.saved) << error;
    const auto waited = Clock::now() - start;
    release.join();
    if (c.saved) {
      EXPECT_GE(waited, 300ms);
    } else {
      EXPECT_THAT(error, HasSubstr("locked"));
      EXPECT_LT(waited, 300ms);
    }
  }
  std::unique_ptr<Connection> check = OpenSqlite(path, SqliteOptions{}, nullptr);
  EXPECT_EQ(CountRows(check.get(), AllAlgorithmsStatement()), 1u);
}

TEST_F(SqliteBackendTest, TwoProcessesWritingOneFileLoseNoRow) {
  const std::string path = MakeDatabase("zwei-prozesse.sqlite");
  constexpr int kProcesses = 2;
  constexpr int kRows = 40;
  int start[2];
  ASSERT_EQ(pipe(start), 0);
  std::vector<pid_t> children;
  for (int p = 0; p < kProcesses; ++p) {
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      // Each process has its own connection; both start on one signal.
      close(start[1]);
      char byte;
      while (read(start[0], &byte, 1) > 0) {
      }
      std::unique_ptr<Connection> connection = OpenSqlite(path, SqliteOptions{}, nullptr);
      int failures = connection ? 0 : kRows;
      for (int i = 0; connection && i < kRows; ++i) {
        if (!SaveRow(connection.get(), std::to_string(p) + "-" + std::to_string(i), nullptr)) {
          ++failures;
        }
      }
      _exit(failures);
    }
    children.push_back(pid);
  }
  close(start[0]);
  close(start[1]);
  for (pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "failed saves in one process";
  }
  std::unique_ptr<Connection> check = OpenSqlite(path, SqliteOptions{}, nullptr);
  ASSERT_TRUE(check);
  EXPECT_EQ(CountRows(check.get(), AllAlgorithmsStatement()), static_cast<std::size_t>(kProcesses * kRows));
  for (int p = 0; p < kProcesses; ++p) {
    for (int i = 0; i < kRows; ++i) {
      const std::string code = std::to_string(p) + "-" + std::to_string(i);
      EXPECT_EQ(CountRows(check.get(), AlgorithmStatement(code, "-")), 1u) << code;
    }
  }
}

TEST_F(SqliteBackendTest, AnAdoptedHandleStaysWithTheHost) {
  const std::string path = MakeDatabase("host.sqlite", 2);
  sqlite3* handle = nullptr;
  ASSERT_EQ(sqlite3_open_v2(path.c_str(), &handle, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
  {
    std::unique_ptr<Connection> connection = AdoptSqlite(handle);
    ASSERT_TRUE(connection->IsOpen());
    EXPECT_EQ(CountRows(connection.get(), AllAlgorithmsStatement()), 2u);
    std::string error;
    EXPECT_TRUE(SaveRow(connection.get(), "0203000000000000", &error)) << error;
    Recordset open_set;  // a set still open when the connection goes
    ASSERT_TRUE(open_set.Open(AllAlgorithmsStatement(), connection.get(), adOpenKeyset, adLockOptimistic));
    open_set.Close();
    connection->Close();
    EXPECT_FALSE(connection->IsOpen());
    EXPECT_EQ(CountRows(connection.get(), AllAlgorithmsStatement()), 0u);
  }
  // Still the host's, still usable, and nothing of ours is left on it.
  EXPECT_EQ(sqlite3_exec(handle, "DELETE FROM DoubletAlgorithms", nullptr, nullptr, nullptr),
            SQLITE_OK);
  EXPECT_EQ(sqlite3_next_stmt(handle, nullptr), nullptr);
  EXPECT_EQ(sqlite3_close(handle), SQLITE_OK);

  std::unique_ptr<Connection> none = AdoptSqlite(nullptr);
  EXPECT_FALSE(none->IsOpen());
  Recordset rs;
  EXPECT_FALSE(rs.Open(AllAlgorithmsStatement(), none.get(), adOpenKeyset, adLockReadOnly));
  EXPECT_FALSE(none->Execute("SELECT 1", nullptr));
}

TEST_F(SqliteBackendTest, AnUpdatableSetNeedsRowsWithIdentity) {
  const std::string path = MakeDatabase("ohne-rowid.sqlite");
  std::unique_ptr<Connection> connection = OpenSqlite(path, SqliteOptions{}, nullptr);
  ASSERT_TRUE(connection);
  ASSERT_TRUE(connection->Execute(
      "CREATE TABLE Schluessel (a TEXT PRIMARY KEY, b TEXT) WITHOUT ROWID;"
      "INSERT INTO Schluessel VALUES ('x', 'y')",
      nullptr));
  Recordset rs;
  EXPECT_TRUE(rs.Open("Select * From Schluessel", connection.get(), adOpenKeyset, adLockReadOnly));
  rs.Close();
  EXPECT_FALSE(
      rs.Open("Select * From Schluessel", connection.get(), adOpenKeyset, adLockOptimistic));
  EXPECT_THAT(rs.last_error(), HasSubstr("rowid"));
}

}  // namespace
}  // namespace korvix::db::testing
