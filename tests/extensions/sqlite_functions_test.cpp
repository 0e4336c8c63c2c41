// The SQLite functions on a connection that the library adopted, and as the
// loadable extension; and on the connections that the library opens.
#include <sqlite3.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include <gmock/gmock.h>
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

using ::testing::HasSubstr;

class SqliteFunctionsTest : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    ASSERT_EQ(sqlite3_open(":memory:", &db_), SQLITE_OK);
    if (std::string(GetParam()) == "adopted") {
      adopted_ = db::AdoptSqlite(db_);
    } else {
      char* error = nullptr;
      sqlite3_db_config(db_, SQLITE_DBCONFIG_ENABLE_LOAD_EXTENSION, 1, nullptr);
      // No entry point given: SQLite derives it from the file name.
      ASSERT_EQ(sqlite3_load_extension(db_, KORVIX_SQLITE_MODULE, nullptr, &error), SQLITE_OK)
          << error;
    }
  }
  void TearDown() override {
    adopted_.reset();
    EXPECT_EQ(sqlite3_close(db_), SQLITE_OK);
  }

  // Column `column` of the first row of `sql` with `text` bound to ?1, or
  // "<NULL>", or "<error>" when the statement fails.
  std::string Eval(const std::string& sql, const std::string& text = "", int column = 0) {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) return "<error>";
    sqlite3_bind_text(stmt, 1, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
    std::string value = "<error>";
    if (sqlite3_step(stmt) == SQLITE_ROW) {
      const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt, column));
      value = p == nullptr ? "<NULL>" : std::string(p, sqlite3_column_bytes(stmt, column));
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
  ASSERT_EQ(records.size(), 152u);
  std::string sql = "CREATE TABLE codes (code); CREATE TABLE r (record, f1, f2, f3, f4, f5, f6, "
                    "f7, f8, f9);";
  for (const std::string& code : codes) sql += "INSERT INTO codes VALUES ('" + code + "');";
  std::string expected;
  for (const std::string& record : records) {
    sql += "INSERT INTO r VALUES ('" + record + "'";
    for (int i = 1; i <= 9; ++i) sql += ", '" + GetDataField(record, i) + "'";
    sql += ");";
  }
  for (const std::string& code : codes) {
    for (const std::string& record : records) {
      const std::string key = BuildKey(code, record);
      expected += key + "/" + key + "/" + PhoneticCode(record) + "/" + DescribeAlgorithm(code) + "\n";
    }
  }
  ASSERT_EQ(sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
  // The code changes from row to row here; a constant one is kept parsed
  // (the index test, and the shell's test over a thousand records).
  EXPECT_EQ(Eval("SELECT group_concat(k, '') FROM (SELECT korvix_key(code, record) || '/' || "
                 "korvix_key(code, f1, f2, f3, f4, f5, f6, f7, f8, f9) || '/' || "
                 "korvix_phonetic(record) || '/' || korvix_describe(code) || char(10) AS k "
                 "FROM codes, r ORDER BY codes.rowid, r.rowid)"),
            expected);
}

TEST_P(SqliteFunctionsTest, NullsNumbersBlobsAndWrongCalls) {
  const std::string three = "010400000000000002040000000000000304000000000000";
  const struct {
    std::string sql, expected;
  } cases[] = {
      {"SELECT korvix_key(NULL, '1|2')", "<NULL>"},
      {"SELECT korvix_key('0103000000000000', NULL)", "<NULL>"},
      {"SELECT korvix_key('" + three + "', '12', NULL, 'Weg')", BuildKey(three, "12||Weg")},
      {"SELECT korvix_key('0105000000000000', 1234567)", "12345"},
      {"SELECT korvix_key('0103000000000000')", "<error>"},
      {"SELECT korvix_phonetic(x'4DFC6C6C6572')", PhoneticCode("Müller")},  // Windows-1252
      {"SELECT korvix_phonetic(NULL)", "<NULL>"},
      {"SELECT korvix_describe(NULL)", "<NULL>"},
  };
  for (const auto& c : cases) EXPECT_EQ(Eval(c.sql), c.expected) << c.sql;
}

TEST_P(SqliteFunctionsTest, AnIndexOnTheKeyServesLookups) {
  const std::string key = "korvix_key('010500000000000003050000000000000504110000000000', plz, "
                          "ort, strasse, suchbegriff, bez1)";
  ASSERT_EQ(sqlite3_exec(db_, ("CREATE TABLE c (plz, ort, strasse, suchbegriff, bez1);"
                               "INSERT INTO c VALUES ('10115', 'Berlin', 'Hauptstraße 1', '', "
                               "'Meier'), ('10115', 'Berlin', 'Hauptstr. 1', '', 'Mayer'), "
                               "('20095', 'Hamburg', 'Hauptstraße 1', '', 'Meier');"
                               "CREATE INDEX c_key ON c (" + key + ")").c_str(),
                         nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db_);
  EXPECT_EQ(Eval("SELECT count(*) FROM c WHERE " + key + " = ?1", "10115HAUPT--MR"), "2");
  EXPECT_THAT(Eval("EXPLAIN QUERY PLAN SELECT * FROM c WHERE " + key + " = 'x'", "", 3),
              HasSubstr("USING INDEX c_key"));
}

INSTANTIATE_TEST_SUITE_P(Both, SqliteFunctionsTest, ::testing::Values("adopted", "loaded"));

TEST(SqliteConnectionsOfTheLibrary, CanBuildKeysInSql) {
  const std::string path = ::testing::TempDir() + "korvix-sql-functions.sqlite";
  std::string error;
  std::unique_ptr<db::Connection> connections[] = {
      db::OpenSqlite(path, {.create_if_missing = true}, &error), db::OpenDatabase(path, &error)};
  for (const auto& connection : connections) {
    ASSERT_TRUE(connection) << error;
    db::Recordset rs;
    ASSERT_TRUE(rs.Open("SELECT korvix_key('0103000000000000', '12345|x') AS k", connection.get(),
                        db::adOpenForwardOnly, db::adLockReadOnly));
    db::Value key;
    ASSERT_TRUE(rs.Field("k", &key));
    EXPECT_EQ(key, "123");
  }
  std::filesystem::remove(path);
}

}  // namespace
}  // namespace korvix::testing
