// init, name, algorithms and dedupe --name over the tool's own databases.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <algorithm>
#include <sstream>
#include <string>

#include "run_tool.h"

namespace korvix::testing {
namespace {

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

TEST(DbCommands, InitCreatesOnceAndNeverChangesRows) {
  const TempDir dir;
  const std::string db = dir.path() + "/k.sqlite";
  ToolResult r = RunTool({"init", "--db", db});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("tables created"), std::string::npos);
  const std::string before = RunTool({"algorithms", "--admin", "--db", db}).out;
  r = RunTool({"init", "--db", db});
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("nothing changed"), std::string::npos);
  EXPECT_EQ(RunTool({"algorithms", "--admin", "--db", db}).out, before);
}

TEST(DbCommands, ListsWhatEachUserSees) {
  const TempDir dir;
  const std::string db = dir.path() + "/k.sqlite";
  ASSERT_EQ(RunTool({"init", "--db", db}).status, 0);
  const std::string admin = RunTool({"algorithms", "--admin", "--db", db}).out;
  const std::string anna = RunTool({"algorithms", "--user", "1001", "--db", db}).out;
  const std::string nobody = RunTool({"algorithms", "--db", db}).out;
  // An administrator sees the private rows of everybody, with the owner's name.
  EXPECT_NE(admin.find("Privat (Dr. Anna Becker)"), std::string::npos);
  EXPECT_NE(admin.find("Privat (Jürgen Schmitz)"), std::string::npos);
  // A user the public rows and the own ones.
  EXPECT_NE(anna.find("Kundengruppe zuerst"), std::string::npos);
  EXPECT_EQ(anna.find("Jürgen Schmitz"), std::string::npos);
  EXPECT_EQ(nobody.find("Privat"), std::string::npos);
  // An unnamed row is listed under its description, in code order.
  EXPECT_LT(nobody.find("Name phonetisch"), nobody.find("5(PLZ)+8(Suchbegriff)"));
  const std::string json = RunTool({"algorithms", "--json", "--user", "1001", "--db", db}).out;
  EXPECT_NE(json.find("\"status\": \"Privat (Dr. Anna Becker)\""), std::string::npos) << json;
}

TEST(DbCommands, NameLookupAndDedupeByName) {
  const TempDir dir;
  const std::string db = dir.path() + "/k.sqlite";
  ASSERT_EQ(RunTool({"init", "--db", db}).status, 0);
  const struct {
    std::vector<std::string> args;
    std::string out;
  } cases[] = {
      {{"name", "--algorithm", "010500000000000003050000000000000504110000000000"}, "Adresse und Name\n"},
      {{"name", "--algorithm", "090300000000000001050000000000000504110000000000", "--user", "1001"},
       "Kundengruppe zuerst\n"},
      // somebody else's private algorithm: only the description
      {{"name", "--algorithm", "090300000000000001050000000000000504110000000000", "--user", "1002"},
       "3(Kundengruppe)+5(PLZ)+4R['sndx:Bez1]\n"},
      {{"name", "--algorithm", "0103000000000000"}, "3(PLZ)\n"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = c.args;
    args.insert(args.end(), {"--db", db});
    const ToolResult r = RunTool(args);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, c.out);
  }
  const std::string data = dir.File("d.txt", "10115|B|Weg 1|S|Meier\n10115|B|Weg 1|S|Mayer\n");
  ToolResult r = RunTool({"dedupe", "--name", "Adresse und Name", "--db", db, data});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("key 10115WEG 1--MR (2 records)"), std::string::npos) << r.out;
  r = RunTool({"dedupe", "--name", "Kundengruppe zuerst", "--db", db, data});
  EXPECT_EQ(r.status, 2);  // private to 1001
  EXPECT_NE(r.err.find("no algorithm named 'Kundengruppe zuerst'"), std::string::npos);
}

TEST(DbCommands, UnusableDatabasesGiveOneLineAndStayUntouched) {
  const TempDir dir;
  const std::string text = dir.File("notes.txt", "not a database\n");
  const std::string empty_db = dir.path() + "/empty.sqlite";
  ASSERT_EQ(RunTool({"init", "--db", empty_db}).status, 0);
  const std::string read_only = dir.path() + "/ro.sqlite";
  ASSERT_EQ(RunTool({"init", "--db", read_only}).status, 0);
  chmod(read_only.c_str(), 0444);
  const struct {
    std::vector<std::string> args;
    int status;
  } cases[] = {
      {{"algorithms", "--db", text}, 1},
      {{"init", "--db", text}, 1},
      {{"name", "--algorithm", "0103000000000000", "--db", text}, 1},
      {{"algorithms", "--db", dir.path() + "/missing.sqlite"}, 1},
      {{"algorithms", "--db", read_only}, 0},  // reading needs no write access
  };
  for (const auto& c : cases) {
    const ToolResult r = RunTool(c.args);
    EXPECT_EQ(r.status, c.status) << ::testing::PrintToString(c.args) << r.err;
    if (c.status != 0) {
      EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    }
  }
  EXPECT_EQ(Slurp(text), "not a database\n");
  struct stat st;
  EXPECT_NE(stat((dir.path() + "/missing.sqlite").c_str(), &st), 0);
}

TEST(DbCommands, DefaultDatabaseIsMadeOnFirstUse) {
  const TempDir dir;
  // init too makes the directory of the default database
  EXPECT_EQ(RunTool({"init"}, "", {"XDG_DATA_HOME=" + dir.path() + "/new"}).status, 0);
  const std::string env = "XDG_DATA_HOME=" + dir.path();
  const ToolResult r = RunTool({"algorithms"}, "", {env});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("Adresse und Name"), std::string::npos);
  struct stat st;
  EXPECT_EQ(stat((dir.path() + "/korvix/korvix.sqlite").c_str(), &st), 0);
}

}  // namespace
}  // namespace korvix::testing
