// korvix dedupe as a user runs it: every report format over the sample,
// and small files through the scenario files (groups, base, explain,
// reports, refusals);
// and the commands beside it that explain and measure its decisions.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "case_file.h"
#include "run_tool.h"
#include "scenario.h"
#include "test_files.h"

namespace korvix::testing {
namespace {

// The sample's own algorithm "Adresse und Name": PLZ, street, sound of Bez1.
const std::string kAddress = "010500000000000003050000000000000504110000000000";
// PLZ alone.
const std::string kPlz = "0105000000000000";

ToolResult Dedupe(std::vector<std::string> args, const std::string& input = "") {
  args.insert(args.begin(), "dedupe");
  return RunTool(args, input);
}

// Each report format over the sample against its golden file (written anew
// with KORVIX_UPDATE_GOLDEN=1 after a deliberate change).
TEST(DedupeTool, ReportsOfTheSampleMatchTheirGoldenFiles) {
  for (const Case& c : ReadCases("dedupe/golden/reports.tsv", 2, 12)) {
    const std::string golden = TestDataPath("dedupe/golden/" + c[0]);
    const ToolResult r = RunTool(Arguments(c, 1, {{"$DATA", SourcePath("data")}, {"$GOLDEN", TestDataPath("dedupe/golden")}}));
    ASSERT_EQ(r.status, 0) << c.where << ": " << r.err;
    if (std::getenv("KORVIX_UPDATE_GOLDEN") != nullptr) std::ofstream(golden) << Steady(r.out);
    EXPECT_TRUE(Steady(r.out) == ReadFile(golden)) << c[0] << " differs; run with KORVIX_UPDATE_GOLDEN=1 and review the diff";
  }
  // The sample as CSV, some values spanning lines, gives the groups of its
  // record strings; only the line numbers differ.
  const auto without_lines = [](const std::string& report) {
    std::string out;
    std::istringstream in(report);
    for (std::string line; std::getline(in, line);) {
      out += line.starts_with("  ") ? line.substr(line.find(": ")) : line;
      out += '\n';
    }
    return Steady(out);
  };
  const ToolResult csv = Dedupe({SourcePath("data/sample.csv")});
  EXPECT_EQ(csv.err, "");
  EXPECT_TRUE(without_lines(csv.out) == without_lines(Dedupe({SourcePath("data/sample.txt")}).out));
}

// Pairs sampled for labelling, labelled, and measured: the labels that
// agree with the run give precision and recall 1 at its threshold.
TEST(DedupeTool, SampledPairsLabelledAndEvaluated) {
  const TempDir dir;
  const std::string sample = dir.path() + "/sample.csv";
  ToolResult r = Dedupe({"--sample-pairs", "12", "--output", sample, SourcePath("data/sample.txt")});
  ASSERT_EQ(r.status, 0) << r.err;
  std::ifstream in(sample);
  std::string line, labels = "record_a,record_b,same\n";
  std::getline(in, line);
  EXPECT_EQ(line, "\xEF\xBB\xBFrecord_a,record_b,score,kind,name,first_name,street,house_number,plz,town,"
                  "same,data_a,data_b");
  std::size_t rows = 0, linked = 0;
  double last = 2;
  while (std::getline(in, line)) {
    std::stringstream cells(line);
    std::string a, b, score;
    std::getline(cells, a, ',');
    std::getline(cells, b, ',');
    std::getline(cells, score, ',');
    EXPECT_LE(std::stod(score), last) << "highest first";
    last = std::stod(score);
    const bool same = last >= 0.8;
    labels += a + "," + b + "," + (same ? "ja" : "Nein") + "\n";
    linked += same;
    ++rows;
  }
  EXPECT_EQ(rows, 12u);
  EXPECT_GT(linked, 0u);
  EXPECT_LT(linked, rows) << "spread over the scores";
  const std::string label_file = dir.File("labels.csv", labels + "1,2,\n");  // one left unlabelled
  r = RunTool({"evaluate", label_file, SourcePath("data/sample.txt")});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(r.out.starts_with("labelled pairs 12\nprecision 1.000, recall 1.000, F1 1.000\n\n"
                                "threshold  precision  recall     F1")) << r.out;
  EXPECT_NE(r.out.find("    0.800      1.000   1.000  1.000"), std::string::npos) << r.out;
}

// The scenarios: groups, base matching, explain, the reports' columns and
// encodings, refusals, survivors, group numbers kept from an earlier run,
// decisions honoured by the next run, labels that evaluate refuses, an
// index grown.
TEST(DedupeTool, Scenarios) {
  for (const char* name : {"groups", "reports", "survivors", "group_numbers", "decisions", "evaluate", "match"}) {
    RunScenarios(std::string("dedupe/scenarios/") + name + ".scenario");
  }
}

// A page of millions of rows helps nobody: the HTML report stops and says so.
TEST(DedupeTool, TheHtmlReportStopsAtItsLimit) {
  std::string input;
  for (int i = 0; i < 20001; ++i) input += "10115|Berlin\n";
  const ToolResult r = Dedupe({"--algorithm", kPlz, "--format", "html", "-"}, input);
  std::size_t rows = 0;
  for (std::size_t at = 0; (at = r.out.find("<tr><td>", at)) != std::string::npos; ++at) ++rows;
  EXPECT_EQ(rows, 20000u);
  EXPECT_NE(r.out.find("records not shown 1, groups not shown in full 1;"), std::string::npos);
}

TEST(DedupeTool, StandardInputIsSpilledAndReadAgain) {
  std::string input;
  for (int i = 0; i < 40000; ++i) {
    input += std::to_string(10000 + i % 1000) + "|Ort|Weg " + std::to_string(i % 3) + "|S|Name " +
             std::to_string(i) + "|" + std::string(50, 'x') + "\n";
  }
  const TempDir dir;
  const std::string file = dir.File("r.txt", input);
  for (const char* format : {"text", "csv"}) {
    const ToolResult from_file = Dedupe({"--algorithm", kAddress, "--format", format, file});
    const ToolResult from_stdin = Dedupe({"--algorithm", kAddress, "--format", format, "-"}, input);
    ASSERT_EQ(from_stdin.status, 0) << from_stdin.err;
    EXPECT_TRUE(Steady(from_stdin.out) == Steady(from_file.out)) << format;
  }
}

// Beyond --memory the large arrays go to a file and the keys' sort to
// pieces, both in a folder of the run's own in --temp-dir: the same report,
// the process's peak near the limit, and nothing left there after the run,
// a SIGTERM in it, or a full disk.
TEST(DedupeTool, RunsBeyondTheMemoryLimitThroughTemporaryFiles) {
  // Long first names swell what is kept to verify more than the keys, and
  // the records are too many for the sort's entries in a quarter of 16M.
  std::string input;
  const auto word = [](int j) {
    std::string w;
    for (int k = 0; k < 4; ++k, j /= 60) w += {"bdfgklmnprst"[j % 12], "aeiou"[j / 12 % 5]};
    return w;
  };
  for (int i = 0; i < 140000; ++i) {
    const int j = i % 50 == 0 ? i / 2 : i;
    input += std::to_string(10000 + j) + "|Ort " + word(j) + "|" + word(j + 7) + "weg 1|S|" + word(j) +
             "|Vorname " + std::string(100, 'v') + "|||K\n";
  }
  const TempDir dir;
  const std::string file = dir.File("r.txt", input);
  const std::string temp = dir.Path("t");
  std::filesystem::create_directory(temp);
  const std::string dead = temp + "/korvix-2147483646-abcdef";  // of a run killed
  std::filesystem::create_directory(dead);
  // Well within its limit, a run keeps every array in memory.
  const ToolResult whole = Dedupe({"--verbose", "--memory", "512M", "--format", "csv", file});
  EXPECT_EQ(whole.err.find(" went to a file"), std::string::npos) << whole.err;
  const ToolResult spilled = Dedupe({"--verbose", "--memory", "16M", "--temp-dir", temp, "--format", "csv", file});
  ASSERT_EQ(spilled.status, 0) << spilled.err;
  EXPECT_NE(spilled.err.find("keys sorted in pieces in " + temp + "/korvix-"), std::string::npos) << spilled.err;
  EXPECT_NE(spilled.err.find(" went to a file in " + temp + "/korvix-"), std::string::npos) << spilled.err;
#if !defined(__SANITIZE_ADDRESS__)  // its shadow memory is not the run's
  const auto peak = [](const std::string& err) {
    const std::size_t at = err.find("peak memory of the process ");
    return at == std::string::npos ? 0 : std::stod(err.substr(at + 27));
  };
  // The program itself and its buffers hold some 30 MiB beside the limit.
  EXPECT_LT(peak(spilled.err), 16 + 34) << spilled.err;
  EXPECT_LT(peak(spilled.err) + 6, peak(whole.err)) << whole.err;
#endif
  EXPECT_TRUE(spilled.out == whole.out);
  EXPECT_TRUE(std::filesystem::is_empty(temp));
  // Ended by SIGTERM while the report waits for a reader, or by a file size
  // limit (as a full disk) while it spills: the status tells, nothing stays.
  const std::string run = "$KORVIX dedupe -q --sorted --memory 16M --temp-dir t r.txt";
  const ToolResult ends = RunShell("cd " + dir.path() + " && mkfifo p && exec 3<>p; " + run + " >p & k=$!; " +
                                   "while [ -z \"$(ls t)\" ]; do sleep 0.01; done; kill -TERM $k; wait $k; "
                                   "echo $? $(ls -A t); (ulimit -f 20; " + run + " --output out); echo $? $(ls -A)");
  EXPECT_EQ(ends.out, "143\n1 p r.txt t\n");
  EXPECT_NE(ends.err.find("cannot write the temporary file"), std::string::npos) << ends.err;
  EXPECT_NE(ends.err.find(" t/korvix-"), std::string::npos) << ends.err;
  EXPECT_NE(ends.err.find("free space there or give another folder (--temp-dir)"), std::string::npos);
  const ToolResult unusable = Dedupe({"--temp-dir", file, file});
  EXPECT_EQ(unusable.status, 1);
  EXPECT_EQ(unusable.err, "korvix dedupe: cannot use the temporary folder " + file +
                              " (Not a directory): give a folder this user may write in (--temp-dir)\n");
}

// korvix match against an index reports what dedupe --base reports against
// the base file, byte for byte, in every format, with an id column too.
TEST(MatchTool, ReportsAsDedupeWithTheBaseFile) {
  // The sample cut in two at a line that starts a record: some values span lines.
  const std::string sample = ReadFile(SourcePath("data/sample.csv"));
  const std::size_t header = sample.find('\n') + 1;
  std::size_t cut = sample.size() / 2;
  for (;; ++cut) {
    cut = sample.find('\n', cut) + 1;
    if (std::count(sample.begin(), sample.begin() + static_cast<long>(cut), '"') % 2 == 0) break;
  }
  TempDir dir;
  const std::string base = dir.File("base.csv", sample.substr(0, cut));
  const std::string input = dir.File("new.csv", sample.substr(0, header) + sample.substr(cut));
  const std::string index = dir.Path("base.kxi"), with_id = dir.Path("id.kxi");
  ASSERT_EQ(RunTool({"index", "build", "-q", "--output", index, base}).status, 0);
  ASSERT_EQ(RunTool({"index", "build", "-q", "--id", "Suchbegriff", "--output", with_id, base}).status, 0);
  for (const char* format : {"text", "csv", "json"}) {
    for (const bool id : {false, true}) {
      std::vector<std::string> dedupe = {"dedupe", "-q", "--format", format, "--base", base, input};
      if (id) dedupe.insert(dedupe.begin() + 1, {"--id", "Suchbegriff"});
      const ToolResult expected = RunTool(dedupe);
      const ToolResult got = RunTool({"match", "-q", "--format", format, "--index", id ? with_id : index, input});
      ASSERT_EQ(got.status, 0) << got.err;
      EXPECT_GT(expected.out.size(), 1000u);
      EXPECT_TRUE(Steady(got.out) == Steady(expected.out)) << format << (id ? " with id" : "");
    }
  }
}

}  // namespace
}  // namespace korvix::testing
