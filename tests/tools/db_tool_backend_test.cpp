// The tool's database commands on every back end: a SQLite path or a
// PostgreSQL connection string after --db.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "db/backend_fixture.h"
#include "run_tool.h"
#include "scenario.h"

namespace korvix::db::testing {
namespace {

using korvix::testing::RunTool;
using korvix::testing::ToolResult;

class DbToolTest : public BackendTest {};

TEST_P(DbToolTest, InitListNameAndDedupeOnTheSameTables) {
  Exec("DROP TABLE DoubletAlgorithms");
  ToolResult r = RunTool({"algorithms", "--db", Target()});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
  EXPECT_NE(r.err.find("korvix init"), std::string::npos) << r.err;
  Exec("DROP TABLE Personalstamm");
  korvix::testing::RunScenarios("tools/scenarios/db_tool.scenario", {{"$DB", Target()}});
  if (GetParam() == BackendKind::kPostgres) {  // the server trusts any password
    r = RunTool({"init", "--db", Target() + " password=geheim"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.find("geheim"), std::string::npos) << r.out;
  }
}

KORVIX_ON_EACH_BACKEND(DbToolTest);

}  // namespace
}  // namespace korvix::db::testing
