// What only the SQLite back end has: files, file locks, adopted handles.
#include "korvix/db/sqlite.h"

#include <sqlite3.h>
#include <sys/stat.h>
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

namespace korvix::db::testing {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using namespace std::chrono_literals;

class SqliteBackendTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/korvix-sqlite-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override { fs::remove_all(dir_); }

  // A database file at `name` with the algorithm table and one row.
  std::string MakeDatabase(const std::string& name) {
    const std::string path = dir_ + "/" + name;
    std::string error;
    auto connection = OpenDatabase(path, &error, {.create_if_missing = true});
    EXPECT_TRUE(connection && connection->Execute(
        "CREATE TABLE DoubletAlgorithms (AlgorithmCode text, PersonalNr text, "
        "AlgorithmName text, Description text);"
        "INSERT INTO DoubletAlgorithms VALUES ('0103000000000000', '-', 'Zeile', NULL)", &error))
        << error;
    return path;
  }

  std::string dir_;
};

// Saves one row through a record set, as the editor does.
bool SaveRow(Connection* connection, std::string* error) {
  Recordset rs;
  const bool ok = rs.Open("Select * From DoubletAlgorithms Where AlgorithmCode='0203'",
                          connection, adOpenKeyset, adLockOptimistic) &&
                  rs.AddNew() && rs.SetField("AlgorithmCode", "0203") && rs.Update();
  if (!ok && error != nullptr) *error = rs.last_error();
  return ok;
}

TEST_F(SqliteBackendTest, OpenFailuresAreValuesWithAClearMessage) {
  const std::string text_file = dir_ + "/notizen.txt";
  std::ofstream(text_file) << std::string(2048, 'x') << "\nkeine Datenbank\n";
  const struct {
    std::string path;
    const char* fragment;
  } cases[] = {{dir_ + "/fehlt.sqlite", "unable to open"},
               {dir_ + "/data=1.sqlite", "unable to open"},  // no libpq keyword: a file
               {text_file, "not a database"},
               {dir_, "unable to open"},
               {"", "no database path"}};
  for (const auto& c : cases) {
    std::string error;
    EXPECT_EQ(OpenDatabase(c.path, &error), nullptr) << c.path;
    EXPECT_THAT(error, HasSubstr(c.fragment));
    EXPECT_THAT(error, HasSubstr(c.path));
  }
  EXPECT_FALSE(fs::exists(dir_ + "/fehlt.sqlite"));  // not created by the attempt
  std::string error;
  EXPECT_TRUE(OpenDatabase(dir_ + "/data=1.sqlite", &error, {.create_if_missing = true})) << error;
}

TEST_F(SqliteBackendTest, AReadOnlyDatabaseRefusesWritesAsValues) {
  const std::string path = MakeDatabase("nur-lesen.sqlite");
  std::string error;
  auto connection = OpenSqlite(path, {.read_only = true}, &error);
  ASSERT_TRUE(connection) << error;
  Recordset rs;
  ASSERT_TRUE(rs.Open("Select * From DoubletAlgorithms", connection.get(), adOpenKeyset,
                      adLockOptimistic));
  ASSERT_TRUE(rs.SetField("AlgorithmName", "neu"));
  EXPECT_FALSE(rs.Update());
  EXPECT_THAT(rs.last_error(), HasSubstr("readonly"));
  EXPECT_FALSE(rs.Delete());
  EXPECT_FALSE(SaveRow(connection.get(), &error));
}

TEST_F(SqliteBackendTest, WritersWaitForALockInsteadOfFailing) {
  const std::string path = MakeDatabase("sperre.sqlite");
  for (const int timeout_ms : {5000, 0}) {
    SCOPED_TRACE(timeout_ms);
    std::string error;
    auto holder = OpenSqlite(path, {}, &error);
    auto writer = OpenSqlite(path, {.busy_timeout_ms = timeout_ms}, &error);
    ASSERT_TRUE(holder && writer) << error;
    ASSERT_TRUE(holder->Execute("BEGIN IMMEDIATE", &error)) << error;
    std::thread release([&holder] {
      std::this_thread::sleep_for(400ms);
      EXPECT_TRUE(holder->Execute("COMMIT", nullptr));
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(SaveRow(writer.get(), &error), timeout_ms > 0) << error;
    const auto waited = std::chrono::steady_clock::now() - start;
    release.join();
    if (timeout_ms > 0) {
      EXPECT_GE(waited, 300ms);
    } else {
      EXPECT_THAT(error, HasSubstr("locked"));
    }
  }
}

TEST_F(SqliteBackendTest, AnAdoptedHandleStaysWithTheHost) {
  const std::string path = MakeDatabase("host.sqlite");
  sqlite3* handle = nullptr;
  ASSERT_EQ(sqlite3_open_v2(path.c_str(), &handle, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
  {
    std::unique_ptr<Connection> connection = AdoptSqlite(handle);
    std::string error;
    EXPECT_TRUE(SaveRow(connection.get(), &error)) << error;
    Recordset open_set;  // a set still open when the connection goes
    ASSERT_TRUE(open_set.Open("Select * From DoubletAlgorithms", connection.get(), adOpenKeyset,
                              adLockOptimistic));
    connection->Close();
    EXPECT_FALSE(connection->IsOpen());
  }
  // Still the host's, still usable, and nothing of ours is left on it.
  EXPECT_EQ(sqlite3_exec(handle, "DELETE FROM DoubletAlgorithms", nullptr, nullptr, nullptr),
            SQLITE_OK);
  EXPECT_EQ(sqlite3_next_stmt(handle, nullptr), nullptr);
  EXPECT_EQ(sqlite3_close(handle), SQLITE_OK);

  std::unique_ptr<Connection> none = AdoptSqlite(nullptr);
  EXPECT_FALSE(none->IsOpen());
  Recordset rs;
  EXPECT_FALSE(rs.Open("Select * From DoubletAlgorithms", none.get(), adOpenKeyset, adLockReadOnly));
  EXPECT_FALSE(none->Execute("SELECT 1", nullptr));
}

TEST_F(SqliteBackendTest, AnUpdatableSetNeedsRowsWithIdentity) {
  std::string error;
  auto connection = OpenSqlite(MakeDatabase("ohne-rowid.sqlite"), {}, &error);
  ASSERT_TRUE(connection->Execute(
      "CREATE TABLE Schluessel (a TEXT PRIMARY KEY, b TEXT) WITHOUT ROWID;"
      "INSERT INTO Schluessel VALUES ('x', 'y')", &error)) << error;
  Recordset rs;
  EXPECT_TRUE(rs.Open("Select * From Schluessel", connection.get(), adOpenKeyset, adLockReadOnly));
  EXPECT_FALSE(rs.Open("Select * From Schluessel", connection.get(), adOpenKeyset, adLockOptimistic));
  EXPECT_THAT(rs.last_error(), HasSubstr("rowid"));
}

}  // namespace
}  // namespace korvix::db::testing
