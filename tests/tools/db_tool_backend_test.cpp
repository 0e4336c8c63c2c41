// The tool's database commands on every back end: a SQLite path or a
// PostgreSQL connection string after --db.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "db/backend_fixture.h"
#include "run_tool.h"
#include "test_files.h"

namespace korvix::db::testing {
namespace {

using korvix::testing::RunTool;
using korvix::testing::ToolResult;

class DbToolTest : public BackendTest {};

TEST_P(DbToolTest, InitListNameAndDedupeOnTheSameTables) {
  Exec("DROP TABLE DoubletAlgorithms");
  std::string db = Target();
  ToolResult r = RunTool({"algorithms", "--db", db});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
  EXPECT_NE(r.err.find("korvix init"), std::string::npos) << r.err;

  Exec("DROP TABLE Personalstamm");
  if (GetParam() == BackendKind::kPostgres) db += " password=geheim";  // the server trusts
  r = RunTool({"init", "--db", db});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("tables created"), std::string::npos);
  EXPECT_EQ(r.out.find("geheim"), std::string::npos) << r.out;
  EXPECT_EQ(RunTool({"init", "--db", db}).out.find("tables created"), std::string::npos);
  // An administrator sees everybody's private rows with the owner's name, a
  // user the public rows and the own ones, in code order.
  const std::string admin = RunTool({"algorithms", "--admin", "--db", db}).out;
  EXPECT_NE(admin.find("Privat (Jürgen Schmitz)"), std::string::npos) << admin;
  EXPECT_EQ(std::count(admin.begin(), admin.end(), '\n'), 6);  // heading and five rows
  const std::string anna = RunTool({"algorithms", "--json", "--user", "1001", "--db", db}).out;
  EXPECT_NE(anna.find("\"status\": \"Privat (Dr. Anna Becker)\""), std::string::npos) << anna;
  EXPECT_EQ(anna.find("Jürgen Schmitz"), std::string::npos);
  r = RunTool({"algorithms", "--db", db});
  EXPECT_EQ(r.out.find("Privat"), std::string::npos);
  EXPECT_LT(r.out.find("Name phonetisch"), r.out.find("5(PLZ)+8(Suchbegriff)"));
  // A staff number made to break out of its statement sees the public rows
  // only, also where the role reads backslashes in strings as escapes.
  std::string legacy = db;
  if (GetParam() == BackendKind::kPostgres) {
    Exec("DROP ROLE IF EXISTS korvix_alt; CREATE ROLE korvix_alt LOGIN;"
         "ALTER ROLE korvix_alt SET standard_conforming_strings = off;"
         "GRANT SELECT ON DoubletAlgorithms, Personalstamm TO korvix_alt");
    legacy = cluster_->ConnInfo("korvix_alt");
  }
  for (const char* nr : {"\\' or 1=1 --", "' or '1'='1"}) {
    r = RunTool({"algorithms", "--user", nr, "--db", legacy});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.find("Privat"), std::string::npos) << r.out;
  }
  for (const char* user : {"1001", "1002"}) {  // 1002 sees only the description of 1001's
    r = RunTool({"name", "--algorithm", "090300000000000001050000000000000504110000000000",
                 "--user", user, "--db", db});
    EXPECT_EQ(r.out, user == std::string("1001") ? "Kundengruppe zuerst\n"
                                                 : "3(Kundengruppe)+5(PLZ)+4R['sndx:Bez1]\n");
  }
  const korvix::testing::TempDir dir;
  const std::string data = dir.File("d.txt", "10115|B|Weg 1|S|Meier\n10115|B|Weg 1|S|Mayer\n");
  r = RunTool({"dedupe", "--name", "Adresse und Name", "--db", db, data});
  EXPECT_NE(r.out.find("key 10115WEG 1--MR (2 records)"), std::string::npos) << r.err;
  EXPECT_EQ(RunTool({"dedupe", "--name", "Kundengruppe zuerst", "--db", db, data}).status, 2);
}

INSTANTIATE_TEST_SUITE_P(Backends, DbToolTest,
                         ::testing::Values(BackendKind::kSqlite, BackendKind::kPostgres),
                         BackendName);

}  // namespace
}  // namespace korvix::db::testing
