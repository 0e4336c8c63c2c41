// The PostgreSQL extension in a throw-away server: the library's results in
// UTF-8 and LATIN1 databases, NULLs, the index, parallel scans, and that
// DROP EXTENSION leaves nothing behind. Needs this build's extension in the
// server's directories (the fixture PostgresExtension.Install puts it there
// when run as root).
#include <libpq-fe.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
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

using ::testing::ContainsRegex;
using ::testing::HasSubstr;
using ::testing::Not;
using Row = std::vector<std::optional<std::string>>;  // nullopt: NULL

std::string FileBytes(const char* path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class PostgresExtensionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string why;
    if (FileBytes(KORVIX_PG_INSTALLED) != FileBytes(KORVIX_PG_MODULE)) {
      why = "the extension of this build is not in the server's directories; as root: "
            "cmake --install <build> --component postgresql";
    } else {
      cluster_ = db::testing::SharedCluster(&why);
    }
    if (cluster_ == nullptr && db::testing::ServerRequired()) FAIL() << why;
    if (cluster_ == nullptr) GTEST_SKIP() << why;
  }
  void TearDown() override {
    for (PGconn* c : connections_) PQfinish(c);
  }

  // Connects to a new database in `encoding` that has the extension.
  PGconn* NewDatabase(const std::string& name, const std::string& encoding = "utf8") {
    PGconn* admin = Connect("postgres");
    Exec(admin, "CREATE DATABASE " + name + " TEMPLATE template0 LOCALE 'C' ENCODING " + encoding);
    PGconn* db = Connect(name);
    Exec(db, "CREATE EXTENSION korvix");
    return db;
  }
  PGconn* Connect(const std::string& name) {
    PGconn* c = PQconnectdb((cluster_->ConnInfo() + " dbname=" + name).c_str());
    connections_.push_back(c);
    EXPECT_EQ(PQstatus(c), CONNECTION_OK) << PQerrorMessage(c);
    PQsetClientEncoding(c, "UTF8");
    return c;
  }
  // Runs `sql`; returns its rows, or fails the test (unless `may_fail`) and
  // returns none when it fails.
  std::vector<Row> Exec(PGconn* c, const std::string& sql, bool may_fail = false) {
    std::unique_ptr<PGresult, decltype(&PQclear)> r(PQexec(c, sql.c_str()), PQclear);
    const auto status = PQresultStatus(r.get());
    if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK) {
      EXPECT_TRUE(may_fail) << sql << ": " << PQerrorMessage(c);
      return {};
    }
    std::vector<Row> rows(PQntuples(r.get()));
    for (int i = 0; i < PQntuples(r.get()); ++i) {
      for (int j = 0; j < PQnfields(r.get()); ++j) {
        if (PQgetisnull(r.get(), i, j)) rows[i].push_back(std::nullopt);
        else rows[i].push_back(PQgetvalue(r.get(), i, j));
      }
    }
    return rows;
  }
  std::string Plan(PGconn* c, const std::string& sql) {
    std::string plan;
    for (const Row& line : Exec(c, "EXPLAIN " + sql)) plan += *line[0] + "\n";
    return plan;
  }

  db::testing::PgCluster* cluster_ = nullptr;
  std::vector<PGconn*> connections_;
};

TEST_F(PostgresExtensionTest, GivesTheLibrarysResultsInUtf8AndLatin1Databases) {
  const auto codes = VariantCodes();
  const auto records = SampleRecords(150);
  for (const std::string encoding : {"utf8", "latin1"}) {
    PGconn* db = NewDatabase(encoding, encoding);
    std::string sql = "CREATE TABLE codes (n serial, code text); CREATE TABLE r (n serial, record text);";
    for (const std::string& code : codes) sql += "INSERT INTO codes (code) VALUES ('" + code + "');";
    for (const std::string& record : records) sql += "INSERT INTO r (record) VALUES ('" + record + "');";
    Exec(db, sql);
    const auto rows = Exec(db,
        "SELECT korvix_key(code, record), korvix_key(code, VARIADIC string_to_array(record, '|')), "
        "korvix_phonetic(record), korvix_describe(code) FROM codes, r ORDER BY codes.n, r.n");
    ASSERT_EQ(rows.size(), codes.size() * records.size()) << encoding;
    for (std::size_t i = 0; i < rows.size(); ++i) {
      const std::string& code = codes[i / records.size()];
      const std::string& record = records[i % records.size()];
      const std::string key = BuildKey(code, record);
      ASSERT_EQ(rows[i], Row({key, key, PhoneticCode(record), DescribeAlgorithm(code)}))
          << encoding << ", " << code << ", " << record;
    }
  }
}

TEST_F(PostgresExtensionTest, NullsAndOddArguments) {
  PGconn* db = NewDatabase("odd");
  const std::string three = "010400000000000002040000000000000304000000000000";
  const struct {
    std::string expression;
    std::optional<std::string> expected;
  } cases[] = {
      {"korvix_key(NULL, '1|2')", std::nullopt},
      {"korvix_key('0103000000000000', NULL)", std::nullopt},
      {"korvix_key('0103000000000000', VARIADIC NULL::text[])", std::nullopt},
      // A NULL field reads as an empty one, and no fields as an empty record.
      {"korvix_key('" + three + "', '12', NULL, 'Weg')", BuildKey(three, "12||Weg")},
      {"korvix_key('" + three + "', VARIADIC '{}'::text[])", BuildKey(three, "")},
      {"korvix_key('0103000000000000', '12345|x')", "123"},
      {"korvix_phonetic(NULL)", std::nullopt},
      {"korvix_describe(NULL)", std::nullopt},
  };
  for (const auto& c : cases) {
    const auto rows = Exec(db, "SELECT " + c.expression);
    ASSERT_EQ(rows.size(), 1u) << c.expression;
    EXPECT_EQ(rows[0][0], c.expected) << c.expression;
  }
}

TEST_F(PostgresExtensionTest, AnIndexServesLookupsAndParallelScansAgree) {
  PGconn* db = NewDatabase("customers");
  const std::string key = "korvix_key('010500000000000003050000000000000504110000000000', plz, "
                          "ort, strasse, suchbegriff, bez1, bez2, bez3, bez4, gruppe)";
  Exec(db, "CREATE TABLE customers (plz text, ort text, strasse text, suchbegriff text, "
           "bez1 text, bez2 text, bez3 text, bez4 text, gruppe text)");
  std::string rows;
  for (const std::string& record : SampleRecords(5000)) {
    if (!record.empty()) rows += "('" + std::string(GetDataField(record, 1)) + "', '" +
                                 GetDataField(record, 2) + "', '" + GetDataField(record, 3) +
                                 "', '', '" + GetDataField(record, 5) + "', '', '', '', ''),";
  }
  rows.pop_back();
  Exec(db, "INSERT INTO customers VALUES " + rows);
  Exec(db, "CREATE INDEX customers_key ON customers (" + key + "); ANALYZE customers");
  EXPECT_THAT(Plan(db, "SELECT * FROM customers WHERE " + key + " = '10115HAUPT--MR'"),
              HasSubstr("customers_key"));

  const std::string sum = "SELECT count(*), sum(hashtext(" + key + ")) FROM customers";
  Exec(db, "SET parallel_setup_cost = 0; SET parallel_tuple_cost = 0; "
           "SET min_parallel_table_scan_size = 0; SET max_parallel_workers_per_gather = 2");
  EXPECT_THAT(Plan(db, "(ANALYZE) " + sum), ContainsRegex("Workers Launched: [12]"));
  const auto parallel = Exec(db, sum);
  Exec(db, "SET max_parallel_workers_per_gather = 0");
  EXPECT_THAT(Plan(db, sum), Not(HasSubstr("Parallel")));
  EXPECT_EQ(Exec(db, sum), parallel);
}

TEST_F(PostgresExtensionTest, DropExtensionLeavesNothingBehind) {
  PGconn* db = NewDatabase("dropped");
  const std::string oid = *Exec(db, "SELECT oid FROM pg_extension WHERE extname = 'korvix'")[0][0];
  Exec(db, "CREATE TABLE t (a text); CREATE INDEX t_key ON t (korvix_key('0103000000000000', a))");
  Exec(db, "DROP EXTENSION korvix", /*may_fail=*/true);  // refused: the index needs it
  EXPECT_EQ(Exec(db, "SELECT count(*) FROM pg_proc WHERE proname LIKE 'korvix%'")[0][0], "4");
  Exec(db, "DROP EXTENSION korvix CASCADE");
  EXPECT_EQ(Exec(db, "SELECT (SELECT count(*) FROM pg_proc WHERE proname LIKE 'korvix%') + "
                     "(SELECT count(*) FROM pg_depend WHERE refobjid = " + oid + " OR objid = " +
                     oid + ") + (SELECT count(*) FROM pg_class WHERE relname = 't_key')")[0][0],
            "0");
  Exec(db, "CREATE EXTENSION korvix");
}

}  // namespace
}  // namespace korvix::testing
