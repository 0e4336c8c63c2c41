// The SQLite functions as the library registers them on a handle it adopts,
// and as the loadable extension; then on a connection the library opens.
#include <sqlite3.h>

#include <string>

#include <gtest/gtest.h>

#include "extensions/cases.h"
#include "korvix/db/open.h"
#include "korvix/db/recordset.h"
#include "korvix/db/sqlite.h"
#include "korvix/description.h"
#include "korvix/key_builder.h"
#include "korvix/phonetic.h"

namespace korvix::testing {
namespace {

class SqliteFunctionsTest : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    ASSERT_EQ(sqlite3_open(":memory:", &db_), SQLITE_OK);
    if (GetParam() == "adopted") {
      adopted_ = db::AdoptSqlite(db_);
    } else {  // no entry point named: SQLite derives it from the file name
      sqlite3_db_config(db_, SQLITE_DBCONFIG_ENABLE_LOAD_EXTENSION, 1, nullptr);
      ASSERT_EQ(sqlite3_load_extension(db_, KORVIX_SQLITE_MODULE, nullptr, nullptr), SQLITE_OK);
    }
  }
  void TearDown() override { EXPECT_EQ(sqlite3_close(db_), SQLITE_OK); }

  // The first value of `sql`, or "<NULL>", or "<error>".
  std::string Eval(const std::string& sql) {
    sqlite3_stmt* stmt = nullptr;
    std::string value = "<error>";
    if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &stmt, nullptr) == SQLITE_OK &&
        sqlite3_step(stmt) == SQLITE_ROW) {
      const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
      value = text == nullptr ? "<NULL>" : std::string(text, sqlite3_column_bytes(stmt, 0));
    }
    sqlite3_finalize(stmt);
    return value;
  }

  sqlite3* db_ = nullptr;
  std::unique_ptr<db::Connection> adopted_;
};

TEST_P(SqliteFunctionsTest, GivesTheLibrarysResults) {
  const auto codes = VariantCodes();
  const auto records = SampleRecords(150);
  std::string sql = "CREATE TABLE codes (code); CREATE TABLE r (t, a, b, c, d, e, f, g, h, i);";
  for (const std::string& code : codes) sql += "INSERT INTO codes VALUES ('" + code + "');";
  for (const std::string& record : records) {
    sql += "INSERT INTO r VALUES ('" + record;
    for (int i = 1; i <= 9; ++i) sql += "', '" + GetDataField(record, i);
    sql += "');";
  }
  ASSERT_EQ(sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
  std::string expected;
  for (const std::string& code : codes)
    for (const std::string& record : records) {
      const std::string key = BuildKey(code, record);
      expected += key + "/" + key + "/" + PhoneticCode(record) + "/" + DescribeAlgorithm(code);
      expected += "\n";
    }
  // The code changes from row to row; a constant one, kept parsed for the
  // whole statement, is the shell test's.
  EXPECT_EQ(Eval("SELECT group_concat(k, '') FROM (SELECT korvix_key(code, t) || '/' || "
                 "korvix_key(code, a, b, c, d, e, f, g, h, i) || '/' || korvix_phonetic(t) "
                 "|| '/' || korvix_describe(code) || char(10) AS k FROM codes, r "
                 "ORDER BY codes.rowid, r.rowid)"),
            expected);
}

TEST_P(SqliteFunctionsTest, NullsNumbersBlobsAndWrongCalls) {
  const std::pair<std::string, std::string> cases[] = {
      {"korvix_key(NULL, '1|2')", "<NULL>"},
      {"korvix_key('0103000000000000', NULL)", "<NULL>"},
      // A NULL field reads as an empty one.
      {"korvix_key('010400000000000002040000000000000304000000000000', '12', NULL, 'Weg')",
       "12------WEG-"},
      {"korvix_key('0105000000000000', 1234567)", "12345"},
      {"korvix_key('0103000000000000')", "<error>"},
      {"korvix_phonetic(x'4DFC6C6C6572')", "MLR"},  // the bytes of "Müller" in Windows-1252
      {"korvix_phonetic(NULL)", "<NULL>"},
      {"korvix_describe(NULL)", "<NULL>"},
  };
  for (const auto& [expression, expected] : cases) {
    EXPECT_EQ(Eval("SELECT " + expression), expected) << expression;
  }
}

INSTANTIATE_TEST_SUITE_P(Both, SqliteFunctionsTest, ::testing::Values("adopted", "loaded"));

TEST(SqliteConnectionOpenedByTheLibrary, BuildsKeysInSql) {
  std::string error;
  const auto connection = db::OpenDatabase(":memory:", &error);
  ASSERT_TRUE(connection) << error;
  db::Recordset rs;
  ASSERT_TRUE(rs.Open("SELECT korvix_key('0103000000000000', '12345|x') AS k", connection.get(),
                      db::adOpenForwardOnly, db::adLockReadOnly));
  db::Value key;
  ASSERT_TRUE(rs.Field("k", &key));
  EXPECT_EQ(key, "123");
}

}  // namespace
}  // namespace korvix::testing
