// What only the SQLite back end has: files, file locks, adopted handles.
#include "korvix/db/sqlite.h"

#include <sqlite3.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "case_file.h"
#include "korvix/db/open.h"
#include "db/recordset.h"
#include "db/backend_fixture.h"

namespace korvix::db::testing {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

class SqliteBackendTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/korvix-sqlite-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    path_ = dir_ + "/k.sqlite";
    OpenDatabase(path_, {.create_if_missing = true})->Execute("CREATE TABLE t (a text, b text)");
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string dir_, path_;
};

// Adds a row through a record set, as the editor does.
bool AddRow(Connection* connection, std::string* error) {
  Recordset rs;
  const bool ok = rs.Open("Select * From t", connection, adOpenKeyset, adLockOptimistic) &&
                  rs.AddNew() && rs.SetField("a", "x") && rs.Update();
  if (!ok && error != nullptr) *error = rs.last_error();
  return ok;
}

TEST_F(SqliteBackendTest, OpenFailuresThrowAClearMessage) {
  std::ofstream(dir_ + "/notizen.txt") << std::string(2048, 'x');
  for (const korvix::testing::Case& c : korvix::testing::ReadCases("db/cases/sqlite_open_failures.tsv", 2)) {
    const std::string path = korvix::testing::Substitute(c[0], {{"$DIR", dir_}});
    const std::string error = ErrorOf([&] { (void)OpenDatabase(path); });
    EXPECT_THAT(error, HasSubstr(c[1])) << c.where;
    EXPECT_THAT(error, HasSubstr(path)) << c.where;
  }
  EXPECT_FALSE(fs::exists(dir_ + "/fehlt.sqlite"));  // not created by the attempt
  EXPECT_TRUE(OpenDatabase(dir_ + "/data=1.sqlite", {.create_if_missing = true}));
  std::string error;
  EXPECT_FALSE(AddRow(OpenSqlite(path_, {.read_only = true}).get(), &error));
  EXPECT_THAT(error, HasSubstr("readonly"));
}

TEST_F(SqliteBackendTest, AnAdoptedHandleStaysWithTheHostAndNeedsRowIdentity) {
  sqlite3* handle = nullptr;
  ASSERT_EQ(sqlite3_open_v2(path_.c_str(), &handle, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
  std::unique_ptr<Connection> connection = AdoptSqlite(handle);
  std::string error;
  EXPECT_TRUE(AddRow(connection.get(), &error)) << error;
  connection->Execute("CREATE TABLE k (a TEXT PRIMARY KEY) WITHOUT ROWID");
  Recordset rs;
  EXPECT_TRUE(rs.Open("Select * From k", connection.get(), adOpenKeyset, adLockReadOnly));
  EXPECT_FALSE(rs.Open("Select * From k", connection.get(), adOpenKeyset, adLockOptimistic));
  EXPECT_THAT(rs.last_error(), HasSubstr("rowid"));
  ASSERT_TRUE(rs.Open("Select * From t", connection.get(), adOpenKeyset, adLockOptimistic));
  connection->Close();  // with a set still open: let go, not closed
  rs.Close();
  EXPECT_EQ(sqlite3_exec(handle, "DELETE FROM t", nullptr, nullptr, nullptr), SQLITE_OK);
  EXPECT_EQ(sqlite3_next_stmt(handle, nullptr), nullptr);  // nothing of ours is left on it
  EXPECT_EQ(sqlite3_close(handle), SQLITE_OK);
  std::unique_ptr<Connection> none = AdoptSqlite(nullptr);
  EXPECT_FALSE(none->IsOpen() || AddRow(none.get(), nullptr));
  EXPECT_EQ(ErrorOf([&] { none->Execute("SELECT 1"); }), "the connection is closed");
}

}  // namespace
}  // namespace korvix::db::testing
