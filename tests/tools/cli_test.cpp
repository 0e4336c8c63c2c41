// The commands that need no database, as a user runs them: options, exit
// statuses, messages, help, and the keys, codes and reports they print.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>

#include "run_tool.h"

namespace korvix::testing {
namespace {

const std::string kCode = "010300000000000003050000000000000504110000000000";
const std::string kReadable = "3(PLZ)+5(Straße)+4R['sndx:Bez1]";

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
      {{"\xFE"}, 2, "unknown command '\\xFE'"},  // valid UTF-8 whatever was given
      {{"key"}, 2, "give one algorithm"},
      {{"key", "--algorithm"}, 2, "--algorithm: 1 required CODE missing"},
      {{"key", "-a", kCode, "--colour"}, 2, "unknown option --colour\nTry 'korvix key --help'."},
      {{"key", "-a", kCode, dir.path() + "/none.txt"}, 1, "none.txt: No such file"},
      {{"key", "-a", kCode, "--threads", "0", file}, 2, "--threads takes a number from 1 to 1024"},
      {{"key", "-qa", kCode, file}, 2, "unknown option -qa"},  // key has no --quiet
      {{"key", "--algorithm=" + kCode, "--", file}, 0, ""},
      {{"dedupe", "-a", kCode}, 2, "exactly one FILE"},
      {{"dedupe", "-q", "--verbose", file}, 2, "--quiet or --verbose"},
      {{"dedupe", "-qf", "json", "-o", dir.path() + "/r.json", "--threads", "2", file}, 0, ""},
      {{"soundex", dir.path()}, 1, "cannot read"},
      {{"init", "stray"}, 2, "unexpected argument 'stray'"},
      {{"algorithms", "frob"}, 2, "'frob' is no command of korvix algorithms"},
      {{"algorithms", "--json=yes"}, 2, "option --json takes no value"},
  };
  for (const auto& c : cases) {
    const ToolResult r = RunTool(c.args);
    EXPECT_EQ(r.status, c.status) << ::testing::PrintToString(c.args) << r.err;
    EXPECT_NE(r.err.find(c.err_part), std::string::npos) << r.err;
  }
}

// The command line refuses a code that the editor could not have written,
// which the key builder would read anyway and key every record alike.
TEST(Cli, AlgorithmsThatNoEditorWritesAreRefusedWithThePlace) {
  std::string eleven;
  for (int i = 0; i < 11; ++i) eleven += "0201000000000000";
  const struct {
    std::string given;
    std::string err_part;  // "" when accepted
  } cases[] = {
      {"", "no code given"},
      {" 0103000000000000", "character 1 (' ') is not a digit"},
      {"0103x", "character 5 ('x') is not a digit"},
      {"Adresse und Name", "a name goes with --name"},
      {"01030000000000000", "17 characters, 16 for each slot: the slot from character 17"},
      {eleven, "11 slots, at most 10"},
      {"0003000000000000", "characters 1-2: field number 00 names no field"},
      {"01030000000000005403000000000000", "characters 17-18: field number 54"},
      {"0100000000000000", "characters 3-4: length 00"},
      {"3(plz)", "character 3: no field is named \"plz\" (did you mean \"PLZ\"?)"},
      {"3()", "character 3: no field named: the fields 10 to 50 have no label"},
      {"1099290000000000", ""},  // an item past Kundengruppe, 99 long, any direction digit
      {kReadable, ""},
  };
  for (const auto& c : cases) {
    const ToolResult r = RunTool({"key", "-a", c.given}, "12345\n");
    EXPECT_EQ(r.status, c.err_part.empty() ? 0 : 2) << c.given << r.err;
    EXPECT_NE(r.err.find(c.err_part), std::string::npos) << r.err;
    if (!c.err_part.empty()) {
      EXPECT_NE(r.err.find("see 'korvix"), std::string::npos) << r.err;
    }
  }
}

TEST(Cli, HelpAndVersionOnEveryCommandAndFailedWrites) {
  const char* const paths[] = {"key",  "soundex",    "describe",       "dedupe",
                               "init", "name",       "algorithms",     "algorithms add",
                               "algorithms remove",  "algorithms rename"};
  for (const std::string path : paths) {
    const ToolResult help = RunShell("$KORVIX " + path + " --help");
    EXPECT_EQ(help.status, 0) << path;
    EXPECT_EQ(help.out.rfind("Usage: korvix " + path + " ", 0), 0u) << help.out;
    EXPECT_NE(help.out.find("\n  -h, --help "), std::string::npos);
    EXPECT_EQ(RunShell("$KORVIX " + path + " -h").out, help.out);
    EXPECT_EQ(RunShell("$KORVIX " + path + " --version").out, "korvix 2.0.0\n");
    // A full disk is an error, for a help text too.
    const ToolResult full = RunShell("$KORVIX " + path + " --help > /dev/full");
    EXPECT_EQ(full.status, 1) << path;
    EXPECT_NE(full.err.find("cannot write standard output"), std::string::npos) << full.err;
  }
  EXPECT_EQ(RunShell("$KORVIX --help >/dev/full").status, 1);
  EXPECT_EQ(RunShell("echo 12345 | $KORVIX key -a " + kCode + " >/dev/full").status, 1);
}

TEST(Cli, ManualPageHasEveryCommandAndOption) {
  std::stringstream page;
  page << std::ifstream(KORVIX_MAN_PATH).rdbuf();
  ASSERT_NE(page.str().find(".TH KORVIX 1"), std::string::npos);
  for (const char* path : {"dedupe", "key", "describe", "algorithms add", "algorithms rename"}) {
    EXPECT_NE(page.str().find(".SS \"korvix " + std::string(path) + "\""), std::string::npos);
    // every option line of the help: "  -a, --algorithm CODE" becomes "\-\-algorithm"
    std::istringstream help(RunShell("$KORVIX " + std::string(path) + " --help").out);
    for (std::string line; std::getline(help, line);) {
      const std::size_t at = line.find("--");
      if (!line.starts_with("  ") || at > 6 || line.find(" --help ") != std::string::npos) continue;
      std::string option = "--" + line.substr(at + 2, line.find(' ', at) - at - 2);
      for (std::size_t h = 0; (h = option.find('-', h)) != std::string::npos; h += 2) {
        option.insert(h, "\\");
      }
      EXPECT_NE(page.str().find("\\fB" + option + "\\fR"), std::string::npos) << option;
    }
  }
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

// Short forms, "=" values, the readable form and any number of threads
// give the keys of the code, across batches.
TEST(Cli, EveryWayOfGivingTheAlgorithmKeysAlike) {
  std::string input;
  const int n = 200003;  // not a multiple of any batch size
  for (int i = 0; i < n; ++i) {
    input += std::to_string(i) + "|Ort|Weg " + std::to_string(i % 7) + "\n";
  }
  const ToolResult expected = RunTool({"key", "--algorithm", kCode}, input);
  ASSERT_EQ(expected.status, 0);
  EXPECT_EQ(static_cast<int>(std::count(expected.out.begin(), expected.out.end(), '\n')), n);
  EXPECT_EQ(expected.out.substr(0, 26), "0--WEG 0----\n1--WEG 1----\n");
  const std::vector<std::string> ways[] = {
      {"-a", kCode},           {"-a" + kCode},           {"--algorithm=" + kCode},
      {"-a", kReadable},       {"--threads", "1", "-a", kCode},
      {"--threads=3", "-a", kCode},
  };
  for (std::vector<std::string> args : ways) {
    args.insert(args.begin(), "key");
    EXPECT_EQ(RunTool(args, input).out, expected.out) << ::testing::PrintToString(args);
  }
}

TEST(Cli, SoundexAndDescribeBothWaysLineByLine) {
  EXPECT_EQ(RunTool({"soundex"}, "Meier\r\nMüller & Söhne\n\nHaus 12").out,
            "MR\nMLRMDCM\n\nCMCQ\n");
  EXPECT_EQ(RunTool({"describe"}, kCode + "\n\n5306110000000000\n").out,
            kReadable + "\n\n6R['sndx:Bez1+2+3+4]\n");
  EXPECT_EQ(RunTool({"describe", "--code"}, kReadable + "\r\n6R['sndx:Bez1+2+3+4]\n").out,
            kCode + "\n5306110000000000\n");
  const ToolResult r = RunTool({"describe", "--code"}, "3(PLZ)\n3(PLZ)+3()\n4(Ort)\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "0103000000000000\n");  // the lines before the wrong one
  EXPECT_NE(r.err.find("standard input, line 2: \"3(PLZ)+3()\": character 10: no field named"),
            std::string::npos) << r.err;
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
  const ToolResult r = RunTool({"dedupe", "--algorithm", "5(PLZ)+5(Straße)+2['sndx:Bez1]", file});
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

// The progress line is drawn only for a person at a terminal that can show
// it, and never with an escape sequence.
TEST(Cli, ProgressOnlyOnATerminalThatCanShowIt) {
  const TempDir dir;
  std::string records;
  for (int i = 0; records.size() < (17u << 20); ++i) {
    records += std::to_string(10000 + i % 90000) + "|Musterstadt|Hauptstraße " +
               std::to_string(i % 300) + "|S|Kunde " + std::to_string(i) + "\n";
  }
  const std::string file = dir.File("big.txt", records);
  const struct {
    std::vector<std::string> env;
    std::string option;
    bool terminal, progress;
  } cases[] = {
      {{"TERM=xterm"}, "--sorted", true, true},
      {{"TERM=xterm", "NO_COLOR=1"}, "--sorted", true, true},
      {{"TERM=dumb"}, "--sorted", true, false},
      {{"TERM="}, "--sorted", true, false},
      {{"TERM=xterm"}, "--quiet", true, false},
      {{"TERM=xterm"}, "--sorted", false, false},
  };
  for (const auto& c : cases) {
    const ToolResult r =
        RunTool({"dedupe", "-a", "0105000000000000", c.option, "-o", "/dev/null", file}, "",
                c.env, c.terminal);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err.find("% read, ") != std::string::npos, c.progress) << c.env[0] << r.err;
    EXPECT_EQ(r.err.find('\033'), std::string::npos);
  }
}

TEST(Cli, RunningOutOfMemoryIsOneLineAndStatusOne) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the address sanitizer needs more address space than the limit leaves";
#endif
  for (const char* shell : {
           // A line without end grows until no memory is left.
           "ulimit -v 400000; exec $KORVIX soundex < /dev/zero",
           // A line that fits, whose code does not: the engine, which never
           // throws, runs out of memory inside.
           "ulimit -v 600000; head -c 150000000 /dev/zero | tr '\\0' 8 | $KORVIX soundex",
       }) {
    const ToolResult r = RunShell(shell);
    EXPECT_EQ(r.status, 1) << shell;
    EXPECT_EQ(r.err, "korvix soundex: out of memory\n") << shell;
  }
}

}  // namespace
}  // namespace korvix::testing
