// The commands that need no database, as a user runs them: options, exit
// statuses, messages, help, and the keys, codes and reports they print.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>

#include "case_file.h"
#include "run_tool.h"
#include "scenario.h"
#include "test_files.h"

namespace korvix::testing {
namespace {

const std::string kCode = "010300000000000003050000000000000504110000000000";
const std::string kReadable = "3(PLZ)+5(Straße)+4R['sndx:Bez1]";

TEST(Cli, ExitStatusesAndMessages) {
  const TempDir dir;
  const std::string file = dir.File("r.txt", "12345|Musterstadt|Hauptstraße 5|M|Müller GmbH\n");
  for (const Case& c : ReadCases("tools/cases/exit_statuses.tsv", 2, 12)) {
    const ToolResult r = RunTool(Arguments(c, 2, {{"$FILE", file}, {"$DIR", dir.path()}, {"$CODE", kCode}}));
    EXPECT_EQ(r.status, std::stoi(c[0])) << c.where << " " << r.err;
    EXPECT_NE(r.err.find(c[1]), std::string::npos) << c.where << " " << r.err;
  }
}

// The command line refuses a code that the editor could not have written.
TEST(Cli, AlgorithmsThatNoEditorWritesAreRefusedWithThePlace) {
  for (const Case& c : ReadCases("tools/cases/refused_codes.tsv", 2)) {
    const ToolResult r = RunTool({"key", "-a", c[0]}, "12345\n");
    EXPECT_EQ(r.status, c[1].empty() ? 0 : 2) << c.where << " " << r.err;
    EXPECT_NE(r.err.find(c[1]), std::string::npos) << c.where << " " << r.err;
    if (!c[1].empty()) {
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
  const std::string page = ReadFile(KORVIX_MAN_PATH);
  ASSERT_NE(page.find(".TH KORVIX 1"), std::string::npos);
  for (const char* path : {"dedupe", "key", "describe", "algorithms add", "algorithms rename"}) {
    EXPECT_NE(page.find(".SS \"korvix " + std::string(path) + "\""), std::string::npos);
    // every option line of the help: "  -a, --algorithm CODE" becomes "\-\-algorithm"
    std::istringstream help(RunShell("$KORVIX " + std::string(path) + " --help").out);
    for (std::string line; std::getline(help, line);) {
      const std::size_t at = line.find("--");
      if (!line.starts_with("  ") || at > 6 || line.find(" --help ") != std::string::npos) continue;
      std::string option = "--" + line.substr(at + 2, line.find(' ', at) - at - 2);
      for (std::size_t h = 0; (h = option.find('-', h)) != std::string::npos; h += 2) {
        option.insert(h, "\\");
      }
      EXPECT_NE(page.find("\\fB" + option + "\\fR"), std::string::npos) << option;
    }
  }
}

// Keys, codes, descriptions and groups line by line.
TEST(Cli, Scenarios) { RunScenarios("tools/scenarios/commands.scenario"); }

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
  for (const Case& c : ReadCases("tools/cases/progress.tsv", 4)) {
    const ToolResult r = RunTool({"dedupe", "-a", "0105000000000000", c[1], "-o", "/dev/null", file}, "",
                                 SplitField(c[0]), c[2] == "1");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err.find("% read, ") != std::string::npos, c[3] == "1") << c.where << r.err;
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
