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
  EXPECT_EQ(Exec(db, left), Rows({{"9", "10", "1"}}));
  Exec(db, "DROP EXTENSION korvix CASCADE");
  EXPECT_EQ(Exec(db, left), Rows({{"0", "0", "0"}}));
}

TEST_F(PostgresExtensionTest, DuplicateCheckGivesTheLibrarysResultsInUtf8AndLatin1Databases) {
  const auto records = CheckRecords(150);
  const auto pairs = ScorePairs(records);
  Rows expected;
  for (std::size_t i = 0; i < records.size(); ++i) {
    const auto keys = RecommendedKeys(records[i]);
    for (std::size_t k = 0; k < keys.size(); ++k)
      expected.push_back({std::to_string(i + 1), NormalizeRecord(records[i]), keys[k]});
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

TEST_F(PostgresExtensionTest, AGinIndexFindsTheDuplicatesOfANewRecord) {
  PGconn* db = NewDatabase("lookup");
  const auto records = SampleRecords(1000);
  Exec(db, "CREATE TABLE customers (id serial PRIMARY KEY, record text)");
  for (const std::string& record : records)
    Exec(db, "INSERT INTO customers (record) VALUES ($1)", false, {record});
  Exec(db, "CREATE INDEX customers_keys ON customers USING gin (korvix_keys(record)); "
           "ANALYZE customers");

  const std::string fresh =
      "51049|Koeln|Hamburger Strasse 95|NEUMANN|Dachdeckerei Neumann GmbH|Personalabteilung|||A";
  const auto fresh_keys = RecommendedKeys(fresh);
  const double threshold = RecommendedDedupe().verify;
  std::vector<std::pair<double, std::size_t>> found;
  for (std::size_t i = 0; i < records.size(); ++i) {
    bool candidate = false;
    for (const std::string& key : RecommendedKeys(records[i]))
      candidate |= std::find(fresh_keys.begin(), fresh_keys.end(), key) != fresh_keys.end();
    if (candidate && ScoreRecords(records[i], fresh) >= threshold)
      found.emplace_back(-ScoreRecords(records[i], fresh), i + 1);
  }
  std::sort(found.begin(), found.end());
  Rows expected;
  for (const auto& [score, id] : found) expected.push_back({std::to_string(id)});
  ASSERT_GE(expected.size(), 2u);

  const std::string lookup =
      "SELECT id FROM customers WHERE korvix_keys(record) && korvix_keys($1) "
      "AND korvix_score(record, $1) >= " + std::to_string(threshold) +
      " ORDER BY korvix_score(record, $1) DESC, id";
  EXPECT_EQ(Exec(db, lookup, false, {fresh}), expected);
  // On a small table a scan may cost less; the index must still serve.
  Exec(db, "SET enable_seqscan = off");
  const std::string plan = std::regex_replace(lookup, std::regex("\\$1"), "'" + fresh + "'");
  EXPECT_THAT(Exec(db, "EXPLAIN (FORMAT JSON) " + plan),
              ElementsAre(ElementsAre(HasSubstr(R"("Index Name": "customers_keys")"))));
}

TEST_F(PostgresExtensionTest, UpdatingFromTheFirstVersionAddsTheDuplicateCheck) {
  PGconn* db = Connect("postgres");
  Exec(db, "CREATE DATABASE updated TEMPLATE template0");
  db = Connect("updated");
  Exec(db, "CREATE EXTENSION korvix VERSION '2.0'");
  const std::string state = "SELECT extversion, (SELECT count(*) FROM pg_proc WHERE proname LIKE "
                            "'korvix%') FROM pg_extension WHERE extname = 'korvix'";
  EXPECT_EQ(Exec(db, state), Rows({{"2.0", "4"}}));
  Exec(db, "ALTER EXTENSION korvix UPDATE");
  EXPECT_EQ(Exec(db, state), Rows({{"2.2", "9"}}));
  EXPECT_EQ(Exec(db, "SELECT korvix_normalize('1067|a'), cardinality(korvix_keys('1|a')), "
                     "korvix_score('', '') >= 0, korvix_code('5(PLZ)')"),
            Rows({{NormalizeRecord("1067|a"), "3", "t", "0105000000000000"}}));
}

}  // namespace
}  // namespace korvix::testing
