// The PostgreSQL extension in a throw-away server: the library's results in
// UTF-8 and LATIN1 databases, NULLs, the index, parallel scans, and that
// DROP EXTENSION leaves nothing behind. Needs this build's extension in the
// server's directories (the fixture PostgresExtension.Install puts it there
// when run as root).
#include <libpq-fe.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "extensions/cases.h"
#include "korvix/description.h"
#include "korvix/key_builder.h"
#include "korvix/phonetic.h"
#include "platform/db/pg_cluster.h"

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
  // The rows of `sql`; fails the test, unless `may_fail`, when it fails.
  Rows Exec(PGconn* c, const std::string& sql, bool may_fail = false) {
    PGresult* r = PQexec(c, sql.c_str());
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

TEST_F(PostgresExtensionTest, NullsAndOddArguments) {
  PGconn* db = NewDatabase("odd");
  const std::string three = "'010400000000000002040000000000000304000000000000'";
  const std::pair<std::string, std::string> cases[] = {
      {"korvix_key(NULL, '1|2')", "<NULL>"},
      {"korvix_key('0103000000000000', NULL)", "<NULL>"},
      {"korvix_key('0103000000000000', VARIADIC NULL::text[])", "<NULL>"},
      // A NULL field reads as an empty one, and no fields as an empty record.
      {"korvix_key(" + three + ", '12', NULL, 'Weg')", "12------WEG-"},
      {"korvix_key(" + three + ", VARIADIC '{}'::text[])", "------------"},
      {"korvix_phonetic(NULL)", "<NULL>"},
      {"korvix_describe(NULL)", "<NULL>"},
  };
  for (const auto& [expression, result] : cases) {
    EXPECT_EQ(Exec(db, "SELECT " + expression), Rows{{result}}) << expression;
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
  EXPECT_EQ(Exec(db, left), Rows({{"4", "5", "1"}}));
  Exec(db, "DROP EXTENSION korvix CASCADE");
  EXPECT_EQ(Exec(db, left), Rows({{"0", "0", "0"}}));
}

}  // namespace
}  // namespace korvix::testing
