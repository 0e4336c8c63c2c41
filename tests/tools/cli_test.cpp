// The key, soundex, describe and dedupe commands as a user runs them.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "run_tool.h"

namespace korvix::testing {
namespace {

const std::string kCode = "010300000000000003050000000000000504110000000000";

TEST(Cli, ExitStatusesAndMessages) {
  const TempDir dir;
  const std::string file = dir.File("r.txt", "12345|Musterstadt|Hauptstraße 5|M|Müller GmbH\n");
  const struct {
    std::vector<std::string> args;
    int status;
    std::string err_part;  // a part of the message on standard error
  } cases[] = {
      {{}, 2, "Usage: korvix COMMAND"},
      {{"frobnicate"}, 2, "unknown command 'frobnicate'"},
      {{"key"}, 2, "--algorithm CODE is required"},
      {{"key", "--algorithm"}, 2, "needs a value"},
      {{"key", "--algorithm", kCode, "--colour"}, 2, "unknown option --colour"},
      {{"key", "--algorithm", kCode, dir.path() + "/none.txt"}, 1, "none.txt: No such file"},
      {{"key", "--algorithm", kCode, file}, 0, ""},
      {{"dedupe", "--algorithm", kCode}, 2, "exactly one FILE"},
      {{"soundex", dir.path()}, 1, "cannot read"},
  };
  for (const auto& c : cases) {
    const ToolResult r = RunTool(c.args);
    EXPECT_EQ(r.status, c.status) << ::testing::PrintToString(c.args) << r.err;
    EXPECT_NE(r.err.find(c.err_part), std::string::npos) << r.err;
  }
}

TEST(Cli, HelpOnEveryCommand) {
  for (const char* command : {"key", "soundex", "describe", "dedupe", "init", "name", "algorithms"}) {
    const ToolResult r = RunTool({command, "--help"});
    EXPECT_EQ(r.status, 0) << command;
    EXPECT_EQ(r.out.rfind(std::string("Usage: korvix ") + command, 0), 0u) << r.out;
    EXPECT_NE(r.out.find("--help"), std::string::npos);
  }
  EXPECT_EQ(RunTool({"--help"}).status, 0);
}

TEST(Cli, KeysInInputOrderWithCrlfAndAMissingLastNewline) {
  const std::string input =
      "12345|Musterstadt|Hauptstraße 5|MUELLER|Müller GmbH|Einkauf|||A\r\n"
      "\n"
      "1|2\r\n"
      "99999|Ort|Lange Strasse 7|X|Meier";
  const ToolResult r = RunTool({"key", "--algorithm", kCode}, input);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "123HAUPTRGMB\n------------\n1-----------\n999LANGE--MR\n");
}

TEST(Cli, AlgorithmTakenExactlyAsGiven) {
  // A blank in front shifts every slot: the first field number reads " 0".
  const ToolResult plain = RunTool({"key", "--algorithm", "0103000000000000"}, "12345\n");
  const ToolResult shifted = RunTool({"key", "--algorithm", " 0103000000000000"}, "12345\n");
  EXPECT_EQ(plain.out, "123\n");
  EXPECT_EQ(shifted.out, "\n");
}

TEST(Cli, StreamsLargeInputAcrossBatches) {
  std::string input;
  const int n = 200003;  // not a multiple of any batch size
  for (int i = 0; i < n; ++i) input += std::to_string(i) + "|Ort\n";
  const ToolResult r = RunTool({"key", "--algorithm", "0106100000000000"}, input);
  ASSERT_EQ(r.status, 0);
  EXPECT_EQ(static_cast<int>(std::count(r.out.begin(), r.out.end(), '\n')), n);
  EXPECT_EQ(r.out.substr(0, 14), "-----0\n-----1\n");
  EXPECT_EQ(r.out.substr(r.out.size() - 7), "200002\n");
}

TEST(Cli, SoundexAndDescribeLineByLine) {
  EXPECT_EQ(RunTool({"soundex"}, "Meier\r\nMüller & Söhne\n\nHaus 12").out, "MR\nMLRMDCM\n\nCMCQ\n");
  EXPECT_EQ(RunTool({"describe"}, kCode + "\n\n5306110000000000\n").out,
            "3(PLZ)+5(Straße)+4R['sndx:Bez1]\n\n6R['sndx:Bez1+2+3+4]\n");
}

TEST(Cli, DedupeGroupsLargestFirstWithLineNumbers) {
  const TempDir dir;
  const std::string file = dir.File("r.txt",
                                    "10115|Berlin|Hauptstr. 1|S|Meier\n"     // 1
                                    "20095|Hamburg|Am Markt 2|S|Schulz\n"    // 2
                                    "10115|Berlin|Hauptstraße 1|S|Mayer\n"   // 3
                                    "20095|Hamburg|Am Markt 9|S|Schultz\n"   // 4
                                    "80331|München|Weg 3|S|Huber\n"          // 5
                                    "10115|Berlin|Hauptstrasse 1|S|Maier\n"  // 6
                                    "20095|Hamburg|Am Markt 2|S|Scholz\n");  // 7
  const ToolResult r = RunTool({"dedupe", "--algorithm", "010500000000000003050000000000000502010000000000", file});
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string expected_groups =
      "key 10115HAUPTMR (3 records)\n"
      "  1: 10115|Berlin|Hauptstr. 1|S|Meier\n"
      "  3: 10115|Berlin|Hauptstraße 1|S|Mayer\n"
      "  6: 10115|Berlin|Hauptstrasse 1|S|Maier\n"
      "\n"
      "key 20095AM MACC (3 records)\n"
      "  2: 20095|Hamburg|Am Markt 2|S|Schulz\n"
      "  4: 20095|Hamburg|Am Markt 9|S|Schultz\n"
      "  7: 20095|Hamburg|Am Markt 2|S|Scholz\n"
      "\n";
  EXPECT_EQ(r.out.substr(0, expected_groups.size()), expected_groups);
  EXPECT_NE(r.out.find("records 7, groups 2, records in groups 6, seconds "), std::string::npos);
}

}  // namespace
}  // namespace korvix::testing
