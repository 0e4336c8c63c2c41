// korvix dedupe as a user runs it: formats, CSV input, bad records, output.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "run_tool.h"

extern char** environ;

namespace korvix::testing {
namespace {

// PLZ 5, Straße 5, the first letter of the phonetic code of Bez1.
const std::string kCode = "010500000000000003050000000000000501010000000000";

// Record strings: Windows-1252 bytes in line 3, an empty line 5, a quote
// and a comma for the CSV report to quote.
const std::string kRecords =
    "10115|Berlin|Hauptstr. 1|S|Meier\n"
    "20095|Hamburg|Am Markt 2|S|Schulz, Hans\n"
    "10115|Berlin|Hauptstra\xDF" "e 1|S|M\xFCller\n"
    "20095|Hamburg|Am Markt 9|S|Schultz\n"
    "\n"
    "80331|M\xC3\xBCnchen|Weg 3|S|Gasthof \"Zur Post\"\n"
    "10115|Berlin|Hauptstrasse 1|S|Maier\n"
    "20095|Hamburg|Am Markt 2|S|Scholz\n";

// The figures change from run to run only in the seconds: "seconds 0.02"
// and "\"seconds\": 0.021" become "seconds S" and "\"seconds\": S".
std::string Steady(const std::string& text) {
  std::string out;
  std::size_t from = 0;
  for (std::size_t at; (at = text.find("seconds", from)) != std::string::npos;) {
    std::size_t p = at + 7;
    if (p < text.size() && text[p] == '"') ++p;
    if (p < text.size() && text[p] == ':') ++p;
    if (p < text.size() && text[p] == ' ') ++p;
    std::size_t end = p;
    while (end < text.size() && (std::isdigit(static_cast<unsigned char>(text[end])) || text[end] == '.')) ++end;
    out.append(text, from, p - from);
    if (end > p) out += "S";
    from = end;
  }
  return out + text.substr(from);
}

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::set<std::string> Names(const std::string& dir) {
  std::set<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir)) names.insert(e.path().filename());
  return names;
}

TEST(DedupeTool, EveryFormatGroupedAndSorted) {
  const TempDir dir;
  const std::string file = dir.File("r.txt", kRecords);
  const std::string summary = "records 7, groups 2, records in groups 6, seconds S, skipped 0";
  const std::string json_head =
      "{\"algorithm\": {\"code\": \"" + kCode + "\", \"name\": \"5(PLZ)+5(Straße)+1['sndx:Bez1]\"},\n";
  const std::string json_summary =
      "\"summary\": {\"records\": 7, \"groups\": 2, \"records_in_groups\": 6, \"skipped\": 0, "
      "\"seconds\": S}}\n";
  const struct {
    std::vector<std::string> options;
    std::string out;
  } cases[] = {
      {{},
       "key 10115HAUPTM (3 records)\n"
       "  1: 10115|Berlin|Hauptstr. 1|S|Meier\n"
       "  3: 10115|Berlin|Hauptstraße 1|S|Müller\n"
       "  7: 10115|Berlin|Hauptstrasse 1|S|Maier\n"
       "\n"
       "key 20095AM MAC (3 records)\n"
       "  2: 20095|Hamburg|Am Markt 2|S|Schulz, Hans\n"
       "  4: 20095|Hamburg|Am Markt 9|S|Schultz\n"
       "  8: 20095|Hamburg|Am Markt 2|S|Scholz\n"
       "\n" + summary + "\n"},
      {{"--sorted"},
       "10115HAUPTM  1: 10115|Berlin|Hauptstr. 1|S|Meier\n"
       "10115HAUPTM  3: 10115|Berlin|Hauptstraße 1|S|Müller\n"
       "10115HAUPTM  7: 10115|Berlin|Hauptstrasse 1|S|Maier\n"
       "20095AM MAC  2: 20095|Hamburg|Am Markt 2|S|Schulz, Hans\n"
       "20095AM MAC  4: 20095|Hamburg|Am Markt 9|S|Schultz\n"
       "20095AM MAC  8: 20095|Hamburg|Am Markt 2|S|Scholz\n"
       "80331WEG 3G  6: 80331|München|Weg 3|S|Gasthof \"Zur Post\"\n" + summary + "\n"},
      {{"--format", "csv"},
       "line,key,group,record\r\n"
       "1,10115HAUPTM,1,10115|Berlin|Hauptstr. 1|S|Meier\r\n"
       "2,20095AM MAC,2,\"20095|Hamburg|Am Markt 2|S|Schulz, Hans\"\r\n"
       "3,10115HAUPTM,1,10115|Berlin|Hauptstraße 1|S|Müller\r\n"
       "4,20095AM MAC,2,20095|Hamburg|Am Markt 9|S|Schultz\r\n"
       "6,80331WEG 3G,0,\"80331|München|Weg 3|S|Gasthof \"\"Zur Post\"\"\"\r\n"
       "7,10115HAUPTM,1,10115|Berlin|Hauptstrasse 1|S|Maier\r\n"
       "8,20095AM MAC,2,20095|Hamburg|Am Markt 2|S|Scholz\r\n"},
      {{"--format", "csv", "--sorted"},
       "line,key,group,record\r\n"
       "1,10115HAUPTM,1,10115|Berlin|Hauptstr. 1|S|Meier\r\n"
       "3,10115HAUPTM,1,10115|Berlin|Hauptstraße 1|S|Müller\r\n"
       "7,10115HAUPTM,1,10115|Berlin|Hauptstrasse 1|S|Maier\r\n"
       "2,20095AM MAC,2,\"20095|Hamburg|Am Markt 2|S|Schulz, Hans\"\r\n"
       "4,20095AM MAC,2,20095|Hamburg|Am Markt 9|S|Schultz\r\n"
       "8,20095AM MAC,2,20095|Hamburg|Am Markt 2|S|Scholz\r\n"
       "6,80331WEG 3G,0,\"80331|München|Weg 3|S|Gasthof \"\"Zur Post\"\"\"\r\n"},
      {{"--format", "json"},
       json_head +
           "\"groups\": [\n"
           "{\"key\": \"10115HAUPTM\", \"size\": 3, \"records\": [\n"
           "  {\"line\": 1, \"record\": \"10115|Berlin|Hauptstr. 1|S|Meier\"},\n"
           "  {\"line\": 3, \"record\": \"10115|Berlin|Hauptstraße 1|S|Müller\"},\n"
           "  {\"line\": 7, \"record\": \"10115|Berlin|Hauptstrasse 1|S|Maier\"}]},\n"
           "{\"key\": \"20095AM MAC\", \"size\": 3, \"records\": [\n"
           "  {\"line\": 2, \"record\": \"20095|Hamburg|Am Markt 2|S|Schulz, Hans\"},\n"
           "  {\"line\": 4, \"record\": \"20095|Hamburg|Am Markt 9|S|Schultz\"},\n"
           "  {\"line\": 8, \"record\": \"20095|Hamburg|Am Markt 2|S|Scholz\"}]}\n"
           "],\n" + json_summary},
      {{"--format", "json", "--sorted"},
       json_head +
           "\"records\": [\n"
           "{\"line\": 1, \"key\": \"10115HAUPTM\", \"group\": 1, \"record\": \"10115|Berlin|Hauptstr. 1|S|Meier\"},\n"
           "{\"line\": 3, \"key\": \"10115HAUPTM\", \"group\": 1, \"record\": \"10115|Berlin|Hauptstraße 1|S|Müller\"},\n"
           "{\"line\": 7, \"key\": \"10115HAUPTM\", \"group\": 1, \"record\": \"10115|Berlin|Hauptstrasse 1|S|Maier\"},\n"
           "{\"line\": 2, \"key\": \"20095AM MAC\", \"group\": 2, \"record\": \"20095|Hamburg|Am Markt 2|S|Schulz, Hans\"},\n"
           "{\"line\": 4, \"key\": \"20095AM MAC\", \"group\": 2, \"record\": \"20095|Hamburg|Am Markt 9|S|Schultz\"},\n"
           "{\"line\": 8, \"key\": \"20095AM MAC\", \"group\": 2, \"record\": \"20095|Hamburg|Am Markt 2|S|Scholz\"},\n"
           "{\"line\": 6, \"key\": \"80331WEG 3G\", \"group\": 0, \"record\": \"80331|München|Weg 3|S|Gasthof \\\"Zur Post\\\"\"}\n"
           "],\n" + json_summary},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = {"dedupe", "--algorithm", kCode, file};
    args.insert(args.end(), c.options.begin(), c.options.end());
    const ToolResult r = RunTool(args);
    ASSERT_EQ(r.status, 0) << ::testing::PrintToString(c.options) << r.err;
    EXPECT_EQ(Steady(r.out), c.out) << ::testing::PrintToString(c.options);
    // The CSV report is data; its figures go to stderr.
    const bool csv = c.options.size() > 1 && c.options[1] == "csv";
    EXPECT_EQ(Steady(r.err), csv ? "korvix dedupe: " + summary + "\n" : "");
  }
}

TEST(DedupeTool, GroupsLargestFirstAndEqualSizesByKey) {
  const TempDir dir;
  // Keyed by PLZ alone: 3 three times, 1, 2 and 5 twice each, 4 once.
  const std::string file = dir.File("r.txt", "3|a\n1|b\n2|c\n1|d\n3|e\n2|f\n3|g\n4|h\n5|i\n5|j\n");
  const ToolResult r = RunTool({"dedupe", "--algorithm", "0105000000000000", file});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Steady(r.out),
            "key 3---- (3 records)\n  1: 3|a\n  5: 3|e\n  7: 3|g\n\n"
            "key 1---- (2 records)\n  2: 1|b\n  4: 1|d\n\n"
            "key 2---- (2 records)\n  3: 2|c\n  6: 2|f\n\n"
            "key 5---- (2 records)\n  9: 5|i\n  10: 5|j\n\n"
            "records 10, groups 4, records in groups 9, seconds S, skipped 0\n");
}

// A CSV file with a byte order mark, ',' as delimiter, English column
// names, quoted fields with delimiters, quotes and line breaks, and rows
// that are too short, too long or malformed.
const std::string kCsv =
    "\xEF\xBB\xBFid,zip,city,street,name\r\n"                 // 1
    "7,10115,Berlin,\"Hauptstr. 1, Hof\",Meier\r\n"             // 2
    "8,10115,Berlin,Hauptstr. 1,\"Meyer\r\nc/o \"\"Post\"\"\"\r\n"  // 3-4
    "9,10115,Berlin\r\n"                                        // 5: short
    "10,20095,Hamburg,Am Markt 2,Schulz,extra\r\n"              // 6: long
    "11,20095,Hamburg,\"Am Markt\" 2,Scholz\r\n"                // 7: malformed
    "12,10115,Berlin,Hauptstraße 1,Maier\r\n";                  // 8

TEST(DedupeTool, CsvInputWithQuotesLineBreaksAndBadRows) {
  const TempDir dir;
  const std::string file = dir.File("kunden.csv", kCsv);
  // PLZ 5, Bez1 phonetic first letter: every Berlin record is one group.
  const std::string code = "01050000000000000501010000000000";
  ToolResult r = RunTool({"dedupe", "--algorithm", code, file});
  ASSERT_EQ(r.status, 0) << r.err;
  // The Straße column feeds no key here, but "street" names it.
  EXPECT_EQ(Steady(r.out),
            "key 10115M (3 records)\n"
            "  2: 10115|Berlin|Hauptstr. 1, Hof||Meier||||\n"
            "  3: 10115|Berlin|Hauptstr. 1||Meyer c/o \"Post\"||||\n"
            "  8: 10115|Berlin|Hauptstraße 1||Maier||||\n"
            "\n"
            "records 3, groups 1, records in groups 3, seconds S, skipped 3\n");
  const std::string err = r.err;
  EXPECT_NE(err.find("kunden.csv: line 5: 3 fields, the header has 5; record skipped"),
            std::string::npos) << err;
  EXPECT_NE(err.find("kunden.csv: line 6: 6 fields, the header has 5; record skipped"),
            std::string::npos) << err;
  EXPECT_NE(err.find("kunden.csv: line 7: "), std::string::npos) << err;

  // The CSV report gives back the columns as they were, in the file's delimiter.
  r = RunTool({"dedupe", "--algorithm", code, "--format", "csv", file});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "line,key,group,id,zip,city,street,name\r\n"
            "2,10115M,1,7,10115,Berlin,\"Hauptstr. 1, Hof\",Meier\r\n"
            "3,10115M,1,8,10115,Berlin,Hauptstr. 1,\"Meyer\r\nc/o \"\"Post\"\"\"\r\n"
            "8,10115M,1,12,10115,Berlin,Hauptstraße 1,Maier\r\n");

  // --map ties fields to columns the names do not give away.
  const std::string other = dir.File("other.txt", "a;b\n1;x\n1;y\n");
  r = RunTool({"dedupe", "--algorithm", code, "--input-format", "csv", "--map", "PLZ=a,Bez1=b",
               "--verbose", other});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("records 2, groups 0, records in groups 0"), std::string::npos) << r.out;
  EXPECT_NE(r.err.find("korvix dedupe: PLZ <- \"a\" (column 1)"), std::string::npos) << r.err;
}

TEST(DedupeTool, StrictEndsAtTheFirstBadRecordAndWritesNothing) {
  const TempDir dir;
  const std::string file = dir.File("kunden.csv", kCsv);
  const std::string report = dir.File("report.txt", "the last good report\n");
  const ToolResult r = RunTool({"dedupe", "--algorithm", "0105000000000000", "--strict",
                                "--output", report, file});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "korvix dedupe: " + file + ": line 5: 3 fields, the header has 5\n");
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(Slurp(report), "the last good report\n");
  EXPECT_EQ(Names(dir.path()), (std::set<std::string>{"kunden.csv", "report.txt"}));
}

TEST(DedupeTool, OutputFileIsReplacedWholeOrNotAtAll) {
  const TempDir dir;
  const std::string file = dir.File("r.txt", kRecords);
  const std::string report = dir.File("report.txt", "old\n");
  ToolResult r = RunTool({"dedupe", "--algorithm", kCode, "--output", report, file});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "");
  const std::string direct = RunTool({"dedupe", "--algorithm", kCode, file}).out;
  EXPECT_EQ(Steady(Slurp(report)), Steady(direct));
  EXPECT_EQ(Names(dir.path()), (std::set<std::string>{"r.txt", "report.txt"}));

  const struct {
    std::vector<std::string> args;
    int status;
    std::string err;
  } failures[] = {
      {{"--output", dir.path() + "/missing/report.txt", file}, 1, "cannot write"},
      {{"--output", report, dir.path() + "/missing.txt"}, 1, "cannot open"},
      {{"--output", report, dir.path()}, 1, "cannot read"},
      {{"--output", report, "--format", "xml", file}, 2, "--format must be text, csv or json"},
      {{"--output", report, "--input-format", "records", "--map", "PLZ=a", file}, 2, "for CSV input"},
  };
  for (const auto& f : failures) {
    std::vector<std::string> args = {"dedupe", "--algorithm", kCode};
    args.insert(args.end(), f.args.begin(), f.args.end());
    r = RunTool(args);
    EXPECT_EQ(r.status, f.status) << ::testing::PrintToString(f.args);
    EXPECT_NE(r.err.find(f.err), std::string::npos) << r.err;
    EXPECT_EQ(Steady(Slurp(report)), Steady(direct)) << "the report survives a failed run";
    EXPECT_EQ(Names(dir.path()), (std::set<std::string>{"r.txt", "report.txt"}));
  }
}

TEST(DedupeTool, StandardInputIsSpilledAndReadAgain) {
  const TempDir dir;
  // Several megabytes, so the input passes the spill in many blocks.
  std::string input;
  for (int i = 0; i < 40000; ++i) {
    input += std::to_string(10000 + i % 1000) + "|Ort|Weg " + std::to_string(i % 3) +
             "|S|Name " + std::to_string(i) + "|" + std::string(50, 'x') + "\n";
  }
  const std::string file = dir.File("r.txt", input);
  for (const char* format : {"text", "csv"}) {
    const ToolResult from_file = RunTool({"dedupe", "--algorithm", kCode, "--format", format, file});
    const ToolResult from_stdin =
        RunTool({"dedupe", "--algorithm", kCode, "--format", format, "-"}, input);
    ASSERT_EQ(from_stdin.status, 0) << from_stdin.err;
    EXPECT_EQ(Steady(from_stdin.out), Steady(from_file.out)) << format;
    EXPECT_NE(Steady(from_file.out + from_file.err).find("records 40000, groups 3000, records in groups 40000"),
              std::string::npos);
  }
}

bool HavePseudoTerminals() {
  int master = -1, slave = -1;
  if (::openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) return false;
  ::close(master);
  ::close(slave);
  return true;
}

// Runs korvix with its stderr on a terminal (a pseudo-terminal), its
// stdout to /dev/null; returns what the terminal showed and the status.
std::string RunOnTerminal(const std::vector<std::string>& args, int* status) {
  int master = -1, slave = -1;
  if (::openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) return "openpty failed";
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, slave, 2);
  posix_spawn_file_actions_addclose(&actions, master);
  std::vector<std::string> argv_s = {KORVIX_TOOL_PATH};
  argv_s.insert(argv_s.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : argv_s) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, KORVIX_TOOL_PATH, &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(slave);
  std::string shown;
  if (spawned == 0) {
    char buf[4096];
    for (;;) {
      const ssize_t n = ::read(master, buf, sizeof buf);
      if (n <= 0) break;  // EIO once the tool has ended and closed the terminal
      shown.append(buf, static_cast<std::size_t>(n));
    }
    ::waitpid(pid, status, 0);
  }
  ::close(master);
  return shown;
}

TEST(DedupeTool, ProgressOnATerminalForALargeInputOnly) {
  if (!HavePseudoTerminals()) GTEST_SKIP() << "no pseudo-terminals here";
  const TempDir dir;
  std::string records;
  while (records.size() < (std::size_t{20} << 20)) {
    records += std::to_string(10000 + records.size() % 90000) + "|Ort|Weg 1|S|Name|" +
               std::string(250, 'x') + "\n";  // long lines: fewer records to key
  }
  const std::string large = dir.File("large.txt", records);
  const std::string small = dir.File("small.txt", kRecords);
  int status = -1;
  const std::string shown = RunOnTerminal({"dedupe", "--algorithm", kCode, large}, &status);
  EXPECT_EQ(status, 0);
  EXPECT_NE(shown.find("% read, "), std::string::npos) << shown;
  EXPECT_NE(shown.find(" records/s"), std::string::npos) << shown;
  EXPECT_TRUE(shown.ends_with("\r\033[K")) << "the line is cleared at the end";

  EXPECT_EQ(RunOnTerminal({"dedupe", "--algorithm", kCode, small}, &status), "");
  EXPECT_EQ(status, 0);
  // Not a terminal: nothing but the report, however large the input.
  const ToolResult r = RunTool({"dedupe", "--algorithm", kCode, "--output", dir.path() + "/r", large});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
}

}  // namespace
}  // namespace korvix::testing
