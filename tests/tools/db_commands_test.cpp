// The database commands on files that cannot be used, with passwords, and on
// the tool's own database.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <string>

#include "case_file.h"
#include "run_tool.h"
#include "scenario.h"
#include "test_files.h"

namespace korvix::testing {
namespace {

// Overwrites the first page of `table` in the SQLite file at `path`.
void Damage(const std::string& path, const char* table) {
  sqlite3* db = nullptr;
  sqlite3_stmt* stmt = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_prepare_v2(db, "SELECT rootpage FROM sqlite_schema WHERE name=?1", -1, &stmt,
                               nullptr), SQLITE_OK);
  sqlite3_bind_text(stmt, 1, table, -1, SQLITE_STATIC);
  ASSERT_EQ(sqlite3_step(stmt), SQLITE_ROW);
  const long page = sqlite3_column_int64(stmt, 0);
  sqlite3_finalize(stmt);
  sqlite3_close(db);
  std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
  file.seekp((page - 1) * 4096);
  file << std::string(4096, '\xff');
}

TEST(DbCommands, UnusableDatabasesAreOneLineErrorsAndStayUntouched) {
  const TempDir dir;
  const std::string text = dir.File("notes.txt", "not a database\n");
  const std::string broken = dir.path() + "/broken.sqlite", read_only = dir.path() + "/ro.sqlite";
  ASSERT_EQ(RunTool({"init", "--db", broken}).status, 0);
  Damage(broken, "DoubletAlgorithms");
  ASSERT_EQ(RunTool({"init", "--db", read_only}).status, 0);
  chmod(read_only.c_str(), 0444);
  const std::string data = dir.File("d.txt", "10115|B|Weg 1|S|Meier\n");
  for (const Case& c : ReadCases("tools/cases/unusable_databases.tsv", 2, 8)) {
    const ToolResult r = RunTool(Arguments(c, 1, {{"$TEXT", text}, {"$BROKEN", broken}, {"$RO", read_only},
                                                  {"$DATA", data}, {"$DIR", dir.path()}}));
    EXPECT_EQ(r.status, std::stoi(c[0])) << c.where << r.err;
    EXPECT_TRUE(c[0] == "0" || std::count(r.err.begin(), r.err.end(), '\n') == 1) << c.where << r.err;
  }
  EXPECT_EQ(ReadFile(text), "not a database\n");
  struct stat st;
  EXPECT_NE(stat((dir.path() + "/missing.sqlite").c_str(), &st), 0);
}

TEST(DbCommands, APasswordIsNeverShown) {
  const TempDir dir;
  for (const Case& c : ReadCases("tools/cases/passwords.tsv", 2)) {
    for (const char* command : {"init", "algorithms"}) {
      const ToolResult r = RunTool({command, "--db", Substitute(c[0], {{"$DIR", dir.path()}})});
      EXPECT_EQ(r.status, 1) << c.where;
      for (const std::string& secret : SplitField(c[1])) {
        EXPECT_EQ((r.out + r.err).find(secret), std::string::npos) << c.where << r.err;
      }
    }
  }
}

TEST(DbCommands, DefaultDatabaseIsMadeOnFirstUse) {
  const TempDir dir;
  // init too makes the directory of the default database
  EXPECT_EQ(RunTool({"init"}, "", {"XDG_DATA_HOME=" + dir.path() + "/new"}).status, 0);
  const ToolResult r = RunTool({"algorithms"}, "", {"XDG_DATA_HOME=" + dir.path()});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("Adresse und Name"), std::string::npos);
  struct stat st;
  EXPECT_EQ(stat((dir.path() + "/korvix/korvix.sqlite").c_str(), &st), 0);
}

// The dialogs' rights and save rules from the shell, step by step.
TEST(DbCommands, AlgorithmsAddRemoveRenameAsTheDialogsAllow) { RunScenarios("tools/scenarios/algorithms.scenario"); }

TEST(DbCommands, BashCompletesCommandsOptionsAndTheUsersAlgorithmNames) {
  const TempDir dir;
  const std::string db = dir.path() + "/c.sqlite";
  ASSERT_EQ(RunTool({"init", "--db", db}).status, 0);
  for (const Case& c : ReadCases("tools/cases/completions.tsv", 2, 8)) {
    std::string script =
        "exec bash -c '. \"$COMPLETION\"; COMP_WORDS=(\"$KORVIX\" \"$@\"); "
        "COMP_CWORD=$#; _korvix; echo \"${COMPREPLY[*]}\"' -";
    for (const std::string& word : Arguments(c, 1, {{"$DB", db}})) script += " '" + word + "'";
    const ToolResult r = RunShell(script);
    EXPECT_EQ(r.out, c[0] + "\n") << c.where << r.err;
  }
}

}  // namespace
}  // namespace korvix::testing
