// The PostgreSQL extension in a throw-away server: the library's results in
// UTF-8 and LATIN1 databases, NULLs, the index, parallel scans, and that
// DROP EXTENSION leaves nothing behind. Needs this build's extension in the
// server's directories (the fixture PostgresExtension.Install puts it there
// when run as root).
#include <libpq-fe.h>

#include <algorithm>
#include <fstream>
#include <cstdlib>
#include <iterator>
#include <optional>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "extensions/cases.h"
#include "extensions/sql_test_file.h"
#include "korvix/dedupe.h"
#include "korvix/description.h"
#include "korvix/key_builder.h"
#include "korvix/phonetic.h"
#include "db/pg_cluster.h"

namespace korvix::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using Rows = std::vector<std::vector<std::string>>;  // NULL reads "<NULL>"

class PostgresExtensionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::ifstream built(KORVIX_PG_MODULE), installed(KORVIX_PG_INSTALLED);
    std::string why = "this build's extension is not in the server's directories; as root: "
                      "cmake --install <build> --component postgresql";
    if (std::equal(std::istreambuf_iterator<char>(built), {},
                   std::istreambuf_iterator<char>(installed), {})) {
      cluster_ = db::testing::SharedCluster(&why);
    }
    if (cluster_ == nullptr && db::testing::ServerRequired()) FAIL() << why;
    if (cluster_ == nullptr) GTEST_SKIP() << why;
  }
  void TearDown() override { std::for_each(connections_.begin(), connections_.end(), PQfinish); }

  // Connects to a new database in `encoding` that has the extension.
  PGconn* NewDatabase(const std::string& name, const std::string& encoding = "utf8") {
    Exec(Connect("postgres"),
         "CREATE DATABASE " + name + " TEMPLATE template0 LOCALE 'C' ENCODING " + encoding);
    PGconn* db = Connect(name);
    Exec(db, "CREATE EXTENSION korvix");
    return db;
  }
  PGconn* Connect(const std::string& name) {
    const std::string conninfo = cluster_->ConnInfo() + " client_encoding=UTF8 dbname=" + name;
    PGconn* c = connections_.emplace_back(PQconnectdb(conninfo.c_str()));
    EXPECT_EQ(PQstatus(c), CONNECTION_OK) << PQerrorMessage(c);
    return c;
  }
  // The rows of `sql`, with `params` as $1, $2, ...; fails the test, unless
  // `may_fail`, when it fails.
  Rows Exec(PGconn* c, const std::string& sql, bool may_fail = false,
            const std::vector<std::string>& params = {}) {
    std::vector<const char*> values;
    for (const std::string& p : params) values.push_back(p.c_str());
    PGresult* r = params.empty() ? PQexec(c, sql.c_str())
                                 : PQexecParams(c, sql.c_str(), static_cast<int>(values.size()),
                                                nullptr, values.data(), nullptr, nullptr, 0);
    const bool ok = PQresultStatus(r) == PGRES_TUPLES_OK || PQresultStatus(r) == PGRES_COMMAND_OK;
    EXPECT_TRUE(ok || may_fail) << sql << ": " << PQerrorMessage(c);
    Rows rows(ok ? PQntuples(r) : 0);
    for (int i = 0; i < static_cast<int>(rows.size()); ++i)
      for (int j = 0; j < PQnfields(r); ++j)
        rows[i].push_back(PQgetisnull(r, i, j) ? "<NULL>" : PQgetvalue(r, i, j));
    PQclear(r);
    return rows;
  }

  db::testing::PgCluster* cluster_ = nullptr;
  std::vector<PGconn*> connections_;
};

TEST_F(PostgresExtensionTest, GivesTheLibrarysResultsInUtf8AndLatin1Databases) {
  const auto codes = VariantCodes();
  const auto records = SampleRecords(150);
  std::string sql = "CREATE TABLE codes (n serial, code text); CREATE TABLE r (n serial, t text);";
  for (const std::string& code : codes) sql += "INSERT INTO codes (code) VALUES ('" + code + "');";
  for (const std::string& record : records) sql += "INSERT INTO r (t) VALUES ('" + record + "');";
  Rows expected;
  for (const std::string& code : codes)
    for (const std::string& record : records) {
      const std::string key = BuildKey(code, record);
      expected.push_back({code, record, key, key, PhoneticCode(record), DescribeAlgorithm(code)});
    }
  for (const std::string encoding : {"utf8", "latin1"}) {
    PGconn* db = NewDatabase(encoding, encoding);
    Exec(db, sql);
    const Rows rows = Exec(db, "SELECT code, t, korvix_key(code, t), korvix_key(code, VARIADIC "
                               "string_to_array(t, '|')), korvix_phonetic(t), "
                               "korvix_describe(code) FROM codes, r ORDER BY codes.n, r.n");
    ASSERT_EQ(rows.size(), expected.size()) << encoding;
    for (std::size_t i = 0; i < rows.size(); ++i) ASSERT_EQ(rows[i], expected[i]) << encoding;
  }
}

TEST_F(PostgresExtensionTest, TheCasesOfEveryDatabase) {
  PGconn* db = NewDatabase("cases");
  for (const SqlCase& c : ReadSqlCases("extensions/functions.test", "postgres")) {
    PGresult* r = PQexec(db, c.sql.c_str());
    const bool ok = PQresultStatus(r) == PGRES_TUPLES_OK || PQresultStatus(r) == PGRES_COMMAND_OK;
    EXPECT_EQ(ok, c.kind != SqlCase::kError) << c.where << ": " << PQerrorMessage(db);
    std::vector<std::string> rows(ok ? PQntuples(r) : 0);
    for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
      for (int j = 0; j < PQnfields(r); ++j) {
        std::optional<std::string> value;
        if (!PQgetisnull(r, i, j)) value = PQgetvalue(r, i, j);
        if (value && PQftype(r, j) == 16) value = *value == "t" ? "1" : "0";  // boolean
        rows[i] += (j == 0 ? "" : "\t") + SqlCaseValue(value);
      }
    }
    PQclear(r);
    if (c.kind == SqlCase::kQuery) {
      EXPECT_EQ(rows, c.rows) << c.where;
    }
  }
}

TEST_F(PostgresExtensionTest, AnIndexServesLookupsAndParallelScansAgree) {
  PGconn* db = NewDatabase("customers");
  const std::string key =
      "korvix_key('010500000000000003050000000000000504110000000000', plz, '', strasse, '', bez1)";
  Exec(db, "CREATE TABLE customers AS SELECT (10000 + i % 900)::text AS plz, 'Hauptstraße ' || "
           "i % 70 AS strasse, 'Meier' || i % 3 AS bez1 FROM generate_series(1, 5000) i;"
           "CREATE INDEX customers_key ON customers (" + key + "); ANALYZE customers");
  EXPECT_THAT(Exec(db, "EXPLAIN (FORMAT JSON) SELECT * FROM customers WHERE " + key + " = '-'"),
              ElementsAre(ElementsAre(HasSubstr(R"("Index Name": "customers_key")"))));

  const std::string sum = "SELECT count(*), sum(hashtext(" + key + ")) FROM customers";
  Exec(db, "SET parallel_setup_cost = 0; SET parallel_tuple_cost = 0; "
           "SET min_parallel_table_scan_size = 0; SET max_parallel_workers_per_gather = 2");
  EXPECT_THAT(Exec(db, "EXPLAIN (ANALYZE, FORMAT JSON) " + sum),
              ElementsAre(ElementsAre(::testing::ContainsRegex(R"("Workers Launched": [12])"))));
  const Rows parallel = Exec(db, sum);
  Exec(db, "SET max_parallel_workers_per_gather = 0");
  EXPECT_EQ(Exec(db, sum), parallel);
}

TEST_F(PostgresExtensionTest, DropExtensionLeavesNothingBehind) {
  PGconn* db = NewDatabase("dropped");
  const std::string oid = Exec(db, "SELECT oid FROM pg_extension WHERE extname = 'korvix'")[0][0];
  const std::string left =
      "SELECT (SELECT count(*) FROM pg_proc WHERE proname LIKE 'korvix%'), (SELECT count(*) FROM "
      "pg_depend WHERE " + oid + " IN (objid, refobjid)), (SELECT count(*) FROM pg_class WHERE "
      "relname = 't_key')";
  Exec(db, "CREATE TABLE t (a text); CREATE INDEX t_key ON t (korvix_key('0103000000000000', a))");
  Exec(db, "DROP EXTENSION korvix", /*may_fail=*/true);  // refused: the index needs it
  EXPECT_EQ(Exec(db, left), Rows({{"13", "14", "1"}}));
  Exec(db, "DROP EXTENSION korvix CASCADE");
  EXPECT_EQ(Exec(db, left), Rows({{"0", "0", "0"}}));
}

TEST_F(PostgresExtensionTest, DuplicateCheckGivesTheLibrarysResultsInUtf8AndLatin1Databases) {
  const auto records = CheckRecords(150);
  const auto pairs = ScorePairs(records);
  const auto job_keys = JobKeys(records);
  Rows expected;
  for (std::size_t i = 0; i < records.size(); ++i) {
    for (const std::string& key : job_keys[i])
      expected.push_back({std::to_string(i + 1), NormalizeRecord(records[i]), key});
  }
  for (const std::string encoding : {"utf8", "latin1"}) {
    PGconn* db = NewDatabase("check_" + encoding, encoding);
    Exec(db, "CREATE TABLE r (n serial, t text); CREATE TABLE p (n serial, a text, b text)");
    for (const std::string& record : records)
      Exec(db, "INSERT INTO r (t) VALUES ($1)", false, {record});
    for (const auto& [a, b] : pairs) Exec(db, "INSERT INTO p (a, b) VALUES ($1, $2)", false, {a, b});
    EXPECT_EQ(Exec(db, "SELECT n, korvix_normalize(t), key FROM r, unnest(korvix_keys(t)) WITH "
                       "ORDINALITY k(key, i) ORDER BY n, i"),
              expected) << encoding;
    const Rows scores = Exec(db, "SELECT korvix_score(a, b), korvix_explain(a, b) FROM p ORDER BY n");
    ASSERT_EQ(scores.size(), pairs.size()) << encoding;
    for (std::size_t i = 0; i < pairs.size(); ++i) {
      // The shortest text that reads back as the same double.
      EXPECT_EQ(std::strtod(scores[i][0].c_str(), nullptr),
                ScoreRecords(pairs[i].first, pairs[i].second))
          << encoding << ": " << pairs[i].first << " / " << pairs[i].second;
      const std::string json = ComparisonJson(CompareRecords(pairs[i].first, pairs[i].second));
      EXPECT_EQ(Exec(db, "SELECT $1::jsonb = $2::jsonb", false, {scores[i][1], json}),
                Rows{{"t"}})
          << encoding << ": " << scores[i][1] << " / " << json;
    }
  }
}

TEST_F(PostgresExtensionTest, AGinIndexFindsWhatTheJobFindsAgainstABase) {
  PGconn* db = NewDatabase("lookup");
  // The sample's first 1000 (after an empty record and one without a PLZ)
  // are the customers, the next thousand new ones; and a building of more
  // customers than the job compares all-pairs under one key.
  std::vector<std::string> base = SampleRecords(2000);
  std::vector<std::string> news(base.begin() + 1002, base.end());
  base.resize(1002);
  const std::vector<std::string> building = Building();
  base.insert(base.end(), building.begin(), building.end());
  news.push_back(kBuildingNew);
  Exec(db, "CREATE TABLE customers (id serial PRIMARY KEY, record text)");
  for (const std::string& record : base)
    Exec(db, "INSERT INTO customers (record) VALUES ($1)", false, {record});
  Exec(db, "CREATE INDEX customers_keys ON customers USING gin (korvix_keys(record)); "
           "ANALYZE customers");

  const auto expected = BaseMatches(news, base);
  ASSERT_GE(expected.size(), 50u);
  const std::string lookup =
      "SELECT id, korvix_score(record, $1) FROM customers WHERE korvix_keys(record) && "
      "korvix_keys($1) AND korvix_score(record, $1) >= " + std::to_string(RecommendedDedupe().verify) +
      " ORDER BY korvix_score(record, $1) DESC, id";
  std::set<std::vector<std::string>> found;
  for (std::size_t n = 0; n < news.size(); ++n)
    for (const auto& row : Exec(db, lookup, false, {news[n]}))
      found.insert({std::to_string(n + 1), row[0], ScoreText(std::strtod(row[1].c_str(), nullptr))});
  // korvix_score sees two records alone: every pair of the job, and in the
  // building some more.
  EXPECT_TRUE(std::includes(found.begin(), found.end(), expected.begin(), expected.end()));
  EXPECT_GT(found.size(), expected.size());
  // korvix_matches scores the rows together as the job does: exactly its pairs.
  const std::string exact =
      "SELECT m->>'id', m->>'score' FROM jsonb_array_elements((SELECT korvix_matches(record, id::text, $1) "
      "FROM customers WHERE korvix_keys(record) && korvix_keys($1))) m";
  std::set<std::vector<std::string>> matched;
  for (std::size_t n = 0; n < news.size(); ++n)
    for (const auto& row : Exec(db, exact, false, {news[n]}))
      matched.insert({std::to_string(n + 1), row[0], ScoreText(std::strtod(row[1].c_str(), nullptr))});
  EXPECT_EQ(matched, expected);

  // On a small table a scan may cost less; the index must still serve.
  Exec(db, "SET enable_seqscan = off");
  const std::string literal = "'" + std::regex_replace(news[0], std::regex("'"), "''") + "'";
  const std::string plan = std::regex_replace(lookup, std::regex("\\$1"), literal);
  EXPECT_THAT(Exec(db, "EXPLAIN (FORMAT JSON) " + plan),
              ElementsAre(ElementsAre(::testing::ContainsRegex(
                  R"("Node Type": "Bitmap Index Scan",[^}]*"Index Name": "customers_keys")"))));
}

// CREATE EXTENSION runs the one script of the newest version; a database of
// an older one updates through the chain of scripts, which must end with
// the same functions, of the same kinds, comments included.
TEST_F(PostgresExtensionTest, EveryVersionUpdatesToWhatANewDatabaseGets) {
  const std::string functions =
      "SELECT p.oid::regprocedure, provolatile, proisstrict, proparallel, prorettype::regtype, "
      "prosrc, obj_description(p.oid, 'pg_proc'), extversion FROM pg_proc p JOIN pg_depend d ON "
      "d.objid = p.oid JOIN pg_extension e ON e.oid = d.refobjid WHERE extname = 'korvix' ORDER BY 1";
  const Rows made = Exec(NewDatabase("made"), functions);
  ASSERT_EQ(made.size(), 13u);
  EXPECT_EQ(made[0].back(), "2.4");
  for (const std::string version : {"2.0", "2.1", "2.2", "2.3"}) {
    const std::string name = "from_" + version.substr(0, 1) + "_" + version.substr(2);
    Exec(Connect("postgres"), "CREATE DATABASE " + name + " TEMPLATE template0");
    PGconn* db = Connect(name);
    Exec(db, "CREATE EXTENSION korvix VERSION '" + version + "'");
    Exec(db, "ALTER EXTENSION korvix UPDATE");
    EXPECT_EQ(Exec(db, functions), made) << version;
  }
}

}  // namespace
}  // namespace korvix::testing
