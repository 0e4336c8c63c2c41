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
  const struct {
    std::vector<std::string> args;
    int status;
  } cases[] = {
      {{"algorithms", "--db", text}, 1},
      {{"init", "--db", text}, 1},
      {{"algorithms", "--db", dir.path() + "/missing.sqlite"}, 1},
      {{"algorithms", "--db", broken}, 1},  // not an empty list
      {{"algorithms", "--admin", "--db", broken}, 1},
      {{"name", "--algorithm", "0103000000000000", "--db", broken}, 1},
      {{"dedupe", "--name", "Adresse und Name", "--db", broken, data}, 1},
      {{"init", "--db", broken}, 1},
      {{"algorithms", "--db", read_only}, 0},  // reading needs no write access
  };
  for (const auto& c : cases) {
    const ToolResult r = RunTool(c.args);
    EXPECT_EQ(r.status, c.status) << ::testing::PrintToString(c.args) << r.err;
    EXPECT_TRUE(c.status == 0 || std::count(r.err.begin(), r.err.end(), '\n') == 1) << r.err;
  }
  EXPECT_EQ(ReadFile(text), "not a database\n");
  struct stat st;
  EXPECT_NE(stat((dir.path() + "/missing.sqlite").c_str(), &st), 0);
}

TEST(DbCommands, APasswordIsNeverShown) {
  const TempDir dir;
  const struct {
    std::string target;
    std::vector<std::string> secrets;
  } cases[] = {
      // not a libpq string, so a file name: the message quotes it
      {"host=/nonexistent password=geheim eins", {"geheim", "eins"}},
      {"password='gehe im' host=/x kaputt", {"gehe im", "gehe", "im'"}},
      {"postgresql://anna:geh%zzeim@/db?host=" + dir.path(), {"geh%zzeim", "zzeim"}},
      {"postgresql://anna@/db?host=" + dir.path() + "&password=geheimer&port=1", {"geheimer"}},
  };
  for (const auto& c : cases) {
    for (const char* command : {"init", "algorithms"}) {
      const ToolResult r = RunTool({command, "--db", c.target});
      EXPECT_EQ(r.status, 1) << c.target;
      for (const std::string& secret : c.secrets) {
        EXPECT_EQ((r.out + r.err).find(secret), std::string::npos) << r.err;
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
    for (std::size_t i = 1; i < c.fields.size(); ++i) script += " '" + (c[i] == "$DB" ? db : c[i]) + "'";
    const ToolResult r = RunShell(script);
    EXPECT_EQ(r.out, c[0] + "\n") << c.where << r.err;
  }
}

}  // namespace
}  // namespace korvix::testing
