// The SQLite functions as the library registers them on a handle it adopts,
// and as the loadable extension; then on a connection the library opens.
#include <sqlite3.h>

#include <algorithm>
#include <charconv>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "extensions/cases.h"
#include "extensions/sql_test_file.h"
#include "korvix/db/open.h"
#include "korvix/db/sqlite.h"
#include "korvix/dedupe.h"
#include "korvix/description.h"
#include "korvix/key_builder.h"
#include "korvix/phonetic.h"
#include "db/recordset.h"

namespace korvix::testing {
namespace {

using Rows = std::vector<std::vector<std::string>>;  // NULL reads "<NULL>"

// A real as the shortest text that reads back as the same double.
std::string Shortest(double value) {
  char buffer[32];
  return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, value).ptr);
}

// The rows of `sql` with `texts` bound to its parameters in order; reals
// as Shortest gives them. Fails the test when it fails.
Rows Query(sqlite3* db, const std::string& sql, const std::vector<std::string>& texts = {}) {
  sqlite3_stmt* stmt = nullptr;
  Rows rows;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
    ADD_FAILURE() << sql << ": " << sqlite3_errmsg(db);
    return rows;
  }
  for (std::size_t i = 0; i < texts.size(); ++i)
    sqlite3_bind_text(stmt, static_cast<int>(i + 1), texts[i].data(),
                      static_cast<int>(texts[i].size()), SQLITE_STATIC);
  int rc;
  while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
    auto& row = rows.emplace_back();
    for (int j = 0; j < sqlite3_column_count(stmt); ++j) {
      if (sqlite3_column_type(stmt, j) == SQLITE_NULL) {
        row.push_back("<NULL>");
      } else if (sqlite3_column_type(stmt, j) == SQLITE_FLOAT) {
        row.push_back(Shortest(sqlite3_column_double(stmt, j)));
      } else {
        row.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(stmt, j)),
                         sqlite3_column_bytes(stmt, j));
      }
    }
  }
  EXPECT_EQ(rc, SQLITE_DONE) << sql << ": " << sqlite3_errmsg(db);
  sqlite3_finalize(stmt);
  return rows;
}

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
  EXPECT_EQ(Query(db_, "SELECT group_concat(k, '') FROM (SELECT korvix_key(code, t) || '/' || "
                 "korvix_key(code, a, b, c, d, e, f, g, h, i) || '/' || korvix_phonetic(t) "
                 "|| '/' || korvix_describe(code) || char(10) AS k FROM codes, r "
                 "ORDER BY codes.rowid, r.rowid)"),
            Rows{{expected}});
}

TEST_P(SqliteFunctionsTest, TheCasesOfEveryDatabase) {
  for (const SqlCase& c : ReadSqlCases("extensions/functions.test", "sqlite")) {
    sqlite3_stmt* stmt = nullptr;
    std::vector<std::string> rows;
    int rc = sqlite3_prepare_v2(db_, c.sql.c_str(), -1, &stmt, nullptr);
    while (rc == SQLITE_OK || rc == SQLITE_ROW) {
      if ((rc = sqlite3_step(stmt)) != SQLITE_ROW) break;
      std::string& row = rows.emplace_back();
      for (int j = 0; j < sqlite3_column_count(stmt); ++j) {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, j));
        row += (j == 0 ? "" : "\t") +
               SqlCaseValue(text == nullptr ? std::nullopt
                                            : std::optional<std::string>({text, static_cast<std::size_t>(
                                                                                    sqlite3_column_bytes(stmt, j))}));
      }
    }
    sqlite3_finalize(stmt);
    EXPECT_EQ(rc == SQLITE_DONE, c.kind != SqlCase::kError) << c.where << ": " << sqlite3_errmsg(db_);
    if (c.kind == SqlCase::kQuery) {
      EXPECT_EQ(rows, c.rows) << c.where;
    }
  }
}

TEST_P(SqliteFunctionsTest, DuplicateCheckGivesTheLibrarysResults) {
  const auto records = CheckRecords(150);
  const auto job_keys = JobKeys(records);
  Rows normalized, keys;
  for (std::size_t i = 0; i < records.size(); ++i) {
    normalized.push_back({NormalizeRecord(records[i])});
    for (const std::string& key : job_keys[i]) keys.push_back({records[i], key});
  }
  ASSERT_EQ(sqlite3_exec(db_, "CREATE TABLE r (t)", nullptr, nullptr, nullptr), SQLITE_OK);
  for (const std::string& record : records) Query(db_, "INSERT INTO r VALUES (?)", {record});
  EXPECT_EQ(Query(db_, "SELECT korvix_normalize(t) FROM r ORDER BY rowid"), normalized);
  // A join with the table-valued function, as a trigger or a look-up uses it.
  EXPECT_EQ(Query(db_, "SELECT t, key FROM r, korvix_keys(r.t) k ORDER BY r.rowid, k.rowid"), keys);
  for (const auto& [a, b] : ScorePairs(records)) {
    EXPECT_EQ(Query(db_, "SELECT korvix_score(?1, ?2), korvix_explain(?1, ?2)", {a, b}),
              Rows({{Shortest(ScoreRecords(a, b)), ComparisonJson(CompareRecords(a, b))}}))
        << a << " / " << b;
  }
}

// The side table of docs/sql.md, kept by triggers, whose index finds a new
// record's candidates: the schema with the table kunden, and the look-up
// after "-- ?1".
std::pair<std::string, std::string> SideTableOfTheDocs() {
  const std::string docs = ReadFile(SourcePath("docs/sql.md"));
  const std::size_t begin = docs.find("```sql\nCREATE TABLE kunden_keys") + 7;
  const std::string sql = docs.substr(begin, docs.find("```", begin) - begin);
  const std::size_t lookup = sql.find("-- ?1");
  return {"CREATE TABLE kunden (id INTEGER PRIMARY KEY, plz, ort, strasse, suchbegriff, bez1, bez2, bez3, "
          "bez4, gruppe);" + sql.substr(0, lookup),
          sql.substr(lookup)};
}

// `id` and the nine items of `record`, as a row of kunden takes them.
std::vector<std::string> Row(int id, const std::string& record) {
  std::vector<std::string> row = {std::to_string(id)};
  for (int i = 1; i <= 9; ++i) row.push_back(GetDataField(record, i));
  return row;
}

TEST_P(SqliteFunctionsTest, TriggersKeepAnIndexedSideTableOfKeys) {
  // Functions and the table-valued function in triggers must be innocuous
  // where the schema is not trusted.
  sqlite3_db_config(db_, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
  const auto [schema, lookup] = SideTableOfTheDocs();
  ASSERT_EQ(sqlite3_exec(db_, schema.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db_);
  std::map<int, std::string> customers;  // what the table holds
  int id = 0;
  for (const std::string& record : SampleRecords(1000)) {
    customers[++id] = record;
    Query(db_, "INSERT INTO kunden VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)", Row(id, record));
    if (HasFailure()) return;  // once for all rows
  }
  customers[3] = "53202|Bonn|Frankfurter Str. 84|MÜLLER|Müller GmbH";
  Query(db_, "UPDATE kunden SET (plz, ort, strasse, suchbegriff, bez1, bez2, bez3, bez4, gruppe) = "
             "(?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10) WHERE id = ?1", Row(3, customers[3]));
  Query(db_, "UPDATE kunden SET id = id WHERE id = 4");  // not the record: keys kept
  customers.erase(5);
  Query(db_, "DELETE FROM kunden WHERE id = 5");

  std::vector<std::string> base;
  std::vector<int> ids;
  for (const auto& [i, record] : customers) {
    base.push_back(record);
    ids.push_back(i);
  }
  const auto job_keys = JobKeys(base);
  std::set<std::vector<std::string>> keys;
  for (std::size_t k = 0; k < base.size(); ++k)
    for (const std::string& key : job_keys[k]) keys.insert({key, std::to_string(ids[k])});
  const Rows stored = Query(db_, "SELECT key, id FROM kunden_keys ORDER BY key, id");
  EXPECT_EQ(std::set<std::vector<std::string>>(stored.begin(), stored.end()), keys);
  EXPECT_EQ(stored.size(), keys.size());

  // What the look-up finds, against korvix dedupe --base itself, is
  // sqlite_shell_test.sh's; here, that it goes through the index.
  const std::string fresh =
      "51049|Koeln|Hamburger Strasse 95|NEUMANN|Dachdeckerei Neumann GmbH|Personalabteilung|||A";
  Rows plan = Query(db_, "EXPLAIN QUERY PLAN " + lookup, {fresh});
  std::string details;
  for (const auto& row : plan) details += row.back() + "\n";
  EXPECT_THAT(details, ::testing::HasSubstr("SEARCH kunden_keys USING COVERING INDEX "
                                            "kunden_keys_key (key=?)"));
  EXPECT_THAT(details, ::testing::Not(::testing::HasSubstr("SCAN kunden")));
}

TEST_P(SqliteFunctionsTest, TheExactLookUpDecidesAsTheJobAgainstABase) {
  const auto [schema, lookup] = SideTableOfTheDocs();
  ASSERT_EQ(sqlite3_exec(db_, schema.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db_);
  const std::vector<std::string> building = Building();
  for (std::size_t i = 0; i < building.size(); ++i) {
    Query(db_, "INSERT INTO kunden VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)", Row(static_cast<int>(i + 1), building[i]));
  }
  const std::string exact = R"sql(
SELECT value ->> 'id', value ->> 'score' FROM json_each((
  SELECT korvix_matches(korvix_record(plz, ort, strasse, suchbegriff, bez1, bez2, bez3, bez4, gruppe), id, ?1)
  FROM kunden WHERE id IN (SELECT id FROM kunden_keys WHERE key IN (SELECT key FROM korvix_keys(?1))))))sql";
  std::set<std::vector<std::string>> found;
  for (const auto& row : Query(db_, exact, {kBuildingNew})) {
    found.insert({"1", row[0], ScoreText(std::strtod(row[1].c_str(), nullptr))});
  }
  EXPECT_EQ(found, BaseMatches({kBuildingNew}, building));
  // korvix_score sees two records alone, and so more than the job compares.
  EXPECT_GT(Query(db_, lookup, {kBuildingNew}).size(), found.size());
}

INSTANTIATE_TEST_SUITE_P(Both, SqliteFunctionsTest, ::testing::Values("adopted", "loaded"));

TEST(SqliteConnectionOpenedByTheLibrary, BuildsKeysInSql) {
  const auto connection = db::OpenDatabase(":memory:");
  db::Recordset rs;
  ASSERT_TRUE(rs.Open("SELECT korvix_key('0103000000000000', '12345|x') AS k", connection.get(),
                      db::adOpenForwardOnly, db::adLockReadOnly));
  db::Value key;
  ASSERT_TRUE(rs.Field("k", &key));
  EXPECT_EQ(key, "123");
}

}  // namespace
}  // namespace korvix::testing
