// korvix dedupe as a user runs it: every report format over the sample,
// several keys, verification and a base on small files, and the refusals;
// and the commands beside it that explain and measure its decisions.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "run_tool.h"
#include "test_files.h"

namespace korvix::testing {
namespace {

// The sample's own algorithm "Adresse und Name": PLZ, street, sound of Bez1.
const std::string kAddress = "010500000000000003050000000000000504110000000000";
// PLZ alone, and Bez1 alone.
const std::string kPlz = "0105000000000000";
const std::string kBez1 = "0510000000000000";

std::string Source(const std::string& name) {
  const char* dir = std::getenv("KORVIX_SOURCE_DIR");
  return std::string(dir != nullptr ? dir : ".") + "/" + name;
}

// The seconds change from run to run: "seconds 0.02" and "\"seconds\": 0.021"
// become "seconds S" and "\"seconds\": S".
std::string Steady(std::string text) {
  for (std::size_t at = 0; (at = text.find("seconds", at)) != std::string::npos;) {
    at = text.find_first_not_of("\": ", at + 7);
    const std::size_t end = std::min(text.size(), text.find_first_not_of("0123456789.", at));
    if (end > at) text.replace(at, end - at, "S");
  }
  return text;
}

ToolResult Dedupe(std::vector<std::string> args, const std::string& input = "") {
  args.insert(args.begin(), "dedupe");
  return RunTool(args, input);
}

// Each report format over the sample against its golden file (written anew
// with KORVIX_UPDATE_GOLDEN=1 after a deliberate change).
TEST(DedupeTool, ReportsOfTheSampleMatchTheirGoldenFiles) {
  const struct {
    std::vector<std::string> args;
    const char* golden;
  } cases[] = {
      {{Source("data/sample.txt")}, "recommended.txt"},
      {{"--format", "csv", Source("data/sample.csv")}, "recommended.csv"},
      {{"--algorithm", kAddress, "--algorithm", "01050000000000000504010000000000", "--verify",
        "--format", "json", Source("data/sample.txt")},
       "two_keys.json"},
      {{"--algorithm", kAddress, "--sorted", Source("data/sample.txt")}, "sorted.txt"},
      // Marks against each group's first record; markup in a name is text.
      {{"--id", "Kundennr", "--format", "html", Source("tests/dedupe/golden/review.csv")}, "review.html"},
  };
  for (const auto& c : cases) {
    const ToolResult r = Dedupe(c.args);
    ASSERT_EQ(r.status, 0) << c.golden << ": " << r.err;
    const std::string golden = Source(std::string("tests/dedupe/golden/") + c.golden);
    if (std::getenv("KORVIX_UPDATE_GOLDEN") != nullptr) std::ofstream(golden) << Steady(r.out);
    EXPECT_TRUE(Steady(r.out) == ReadFile(golden)) << c.golden << " differs; run with KORVIX_UPDATE_GOLDEN=1 and review the diff";
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
  const ToolResult csv = Dedupe({Source("data/sample.csv")});
  EXPECT_EQ(csv.err, "");
  EXPECT_TRUE(without_lines(csv.out) == without_lines(Dedupe({Source("data/sample.txt")}).out));
}

TEST(DedupeTool, KeysOfSeveralAlgorithmsJoinTransitively) {
  const TempDir dir;
  // 1 and 2 share a PLZ, 2 and 3 a name, 4 and 5 a PLZ; 6 shares nothing.
  const std::string file = dir.File("r.txt",
                                    "10115|a||S|Meier\n10115|b||S|Schulz\n20095|c||S|Schulz\n"
                                    "30000|d||S|Otto\n30000|e||S|Jahn\n40000|f||S|Ende\n");
  const ToolResult r = Dedupe({"--algorithm", kPlz, "--algorithm", kBez1, file});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Steady(r.out),
            "group 1 (3 records)\n"
            "  1: 10115|a||S|Meier  (algorithm 1, key 10115)\n"
            "  2: 10115|b||S|Schulz  (algorithm 1, key 10115)\n"
            "  3: 20095|c||S|Schulz  (algorithm 2, key Schulz----)\n\n"
            "group 2 (2 records)\n"
            "  4: 30000|d||S|Otto  (algorithm 1, key 30000)\n"
            "  5: 30000|e||S|Jahn  (algorithm 1, key 30000)\n\n"
            "records 6, groups 2, records in groups 5, seconds S, skipped 0\n");
  // One algorithm: the groups of its keys, headed by the key.
  EXPECT_EQ(Steady(Dedupe({"--algorithm", kBez1, file}).out),
            "key Schulz---- (2 records)\n  2: 10115|b||S|Schulz\n  3: 20095|c||S|Schulz\n\n"
            "records 6, groups 1, records in groups 2, seconds S, skipped 0\n");
}

TEST(DedupeTool, ExplainTellsEachPartAndTheDecision) {
  ToolResult r = RunTool({"explain", "10115|Berlin|Weg 1|D|Dietz GmbH|", "10115|Berlin|Weg 1|D|Dietz|Elli"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "a  10115|BERLIN|WEG 1|D|DIETZ|  (organisation)\n"
            "b  10115|BERLIN|WEG 1|D|DIETZ|ELLI  (person)\n"
            "  kind          0.000\n  name          1.000\n  first name    0.900\n"
            "  street        1.000\n  house number  1.000\n  plz           1.000\n"
            "  town          1.000\n"
            "score           0.000  (organisation and person)\n"
            "two customers: the score stays below 0.700\n");
  r = RunTool({"explain", "--json", "--verify", "0.9", "1|X|Weg 89|H|Hönig|Katrin", "1|X|Weg 89-91|H|Hönig|Kathrin"});
  EXPECT_EQ(r.out,
            "{\"a\": \"1|X|WEG 89|H|HOENIG|KATRIN\", \"b\": \"1|X|WEG 89-91|H|HOENIG|KATHRIN\", "
            "\"kind_a\": \"person\", \"kind_b\": \"person\", \"parts\": {\"kind\": 1.000, \"name\": 1.000, "
            "\"first_name\": 0.950, \"street\": 1.000, \"house_number\": 0.950, \"plz\": 1.000, "
            "\"town\": 1.000}, \"score\": 0.902, \"rule\": \"parts\"}\n");
  for (const std::vector<std::string>& wrong : {std::vector<std::string>{"explain", "1|X"},
                                                {"explain", "--verify", "2", "a", "b"}}) {
    EXPECT_EQ(RunTool(wrong).status, 2) << wrong.back();
  }
}

// Pairs sampled for labelling, labelled, and measured: the labels that
// agree with the run give precision and recall 1 at its threshold.
TEST(DedupeTool, SampledPairsLabelledAndEvaluated) {
  const TempDir dir;
  const std::string sample = dir.path() + "/sample.csv";
  ToolResult r = Dedupe({"--sample-pairs", "12", "--output", sample, Source("data/sample.txt")});
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
  r = RunTool({"evaluate", label_file, Source("data/sample.txt")});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(r.out.starts_with("labelled pairs 12\nprecision 1.000, recall 1.000, F1 1.000\n\n"
                                "threshold  precision  recall     F1")) << r.out;
  EXPECT_NE(r.out.find("    0.800      1.000   1.000  1.000"), std::string::npos) << r.out;
  // Labels that cannot be read, and sampling without scores.
  EXPECT_EQ(RunTool({"evaluate", dir.File("bad.csv", "record_a,record_b,same\n3,4,vielleicht\n"),
                     Source("data/sample.txt")}).err,
            "korvix evaluate: " + dir.path() + "/bad.csv: line 2: same is 'vielleicht', not yes or no\n");
  EXPECT_EQ(RunTool({"evaluate", dir.File("cols.csv", "x,y\n"), Source("data/sample.txt")}).status, 1);
  EXPECT_EQ(Dedupe({"--algorithm", kPlz, "--sample-pairs", "5", Source("data/sample.txt")}).status, 2);
}

TEST(DedupeTool, VerificationKeepsDuplicatesAndDropsTheFamily) {
  const TempDir dir;
  const std::string file = dir.File("r.csv",
                                    "PLZ;Ort;Strasse;Name;Vorname\n"
                                    "10115;Berlin;Hauptstraße 1;Meier;Hans\n"
                                    "10115;BERLIN;Hauptstr. 1;Dr. Meier;Hans\n"
                                    "10115;Berlin;Hauptstraße 1;Meier;Erika\n"
                                    "1067;Dresden;Am Markt 2;Hans;Schulz\n"
                                    "01067;Dresden;Am Markt 2;Schulz;Hans\n");
  const ToolResult r = Dedupe({"--algorithm", kPlz, "--verify", "--format", "csv", file});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "\xEF\xBB\xBFline;key;group;record;algorithm;score;linked_to;kind;name;first_name;street;"
            "house_number;plz;town;kept_apart;PLZ;Ort;Strasse;Name;Vorname\n"
            "2;10115;1;1;1;1.000;2;1.000;1.000;1.000;1.000;1.000;1.000;1.000;;10115;Berlin;Hauptstraße 1;Meier;Hans\n"
            "3;10115;1;2;1;1.000;1;1.000;1.000;1.000;1.000;1.000;1.000;1.000;;10115;BERLIN;Hauptstr. 1;Dr. Meier;Hans\n"
            "4;10115;0;3;0;0.000;;;;;;;;;;10115;Berlin;Hauptstraße 1;Meier;Erika\n"
            "5;1067-;0;4;0;0.000;;;;;;;;;;1067;Dresden;Am Markt 2;Hans;Schulz\n"
            "6;01067;0;5;0;0.000;;;;;;;;;;01067;Dresden;Am Markt 2;Schulz;Hans\n");
  // Normalised, the lost zero of the PLZ no longer parts the swapped names.
  const ToolResult n = Dedupe({"--algorithm", kPlz, "--verify", "0.9", "--normalize", file});
  EXPECT_NE(n.out.find("group 1 (2 records)\n  5: 1067|Dresden|Am Markt 2||Hans|Schulz|||  (algorithm 1, key "
                       "01067, score 1.000)\n"), std::string::npos) << n.out;
  EXPECT_NE(n.out.find("records 5, groups 2, records in groups 4, pairs compared 4"), std::string::npos) << n.out;
}

TEST(DedupeTool, BaseMatchingReportsEachNewRecordWithItsMatches) {
  const TempDir dir;
  const std::string base = dir.File("base.txt",
                                    "10115|Berlin|Hauptstraße 1|S|Meier|Hans\n"
                                    "10115|Berlin|Hauptstraße 1|S|Meier|Hans\n"  // a pair inside the base
                                    "20095|Hamburg|Am Markt 2|S|Schulz|Eva\n");
  const std::string news = dir.File("new.txt",
                                    "10115|Berlin|Hauptstr. 1|S|Meyer|Hans\n"
                                    "80331|München|Weg 3|S|Huber|Max\n"
                                    "80331|München|Weg 3|S|Huber|Max\n");  // a pair inside the new
  ToolResult r = Dedupe({"--base", base, news});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Steady(r.out),
            "1: 10115|Berlin|Hauptstr. 1|S|Meyer|Hans\n"
            "  base 1: 10115|Berlin|Hauptstraße 1|S|Meier|Hans  (algorithm 1, key 10115HAUPTSR 1, score 0.900)\n"
            "  base 2: 10115|Berlin|Hauptstraße 1|S|Meier|Hans  (algorithm 1, key 10115HAUPTSR 1, score 0.900)\n\n"
            "records 3, base records 3, records matched 1, pairs 2, pairs compared 2, seconds S, skipped 0\n");
  r = Dedupe({"--base", base, "--format", "csv", "--id", "6", news});
  EXPECT_EQ(r.out,
            "\xEF\xBB\xBFline,key,group,record,id,algorithm,score,base_line,base_record,base_id,"
            "kind,name,first_name,street,house_number,plz,town,data\n"
            "1,10115HAUPTSR 1,1,1,Hans,1,0.900,1,1,Hans,1.000,0.900,1.000,1.000,1.000,1.000,1.000,"
            "10115|Berlin|Hauptstr. 1|S|Meyer|Hans\n"
            "1,10115HAUPTSR 1,1,1,Hans,1,0.900,2,2,Hans,1.000,0.900,1.000,1.000,1.000,1.000,1.000,"
            "10115|Berlin|Hauptstr. 1|S|Meyer|Hans\n"
            "2,80331WEG 3-G 3,0,2,Max,0,0.000,,,,,,,,,,,80331|München|Weg 3|S|Huber|Max\n"
            "3,80331WEG 3-G 3,0,3,Max,0,0.000,,,,,,,,,,,80331|München|Weg 3|S|Huber|Max\n");
  r = Dedupe({"--base", base, "--id", "5", news});
  EXPECT_TRUE(r.out.starts_with("1 [Meyer]: 10115|Berlin|Hauptstr. 1|S|Meyer|Hans\n"
                                "  base 1 [Meier]: 10115|Berlin|Hauptstraße 1|S|Meier|Hans  (algorithm 1,"))
      << r.out;
}

// --id puts the customer's own number beside the line in every format.
TEST(DedupeTool, TheIdColumnStandsBesideTheLineNumber) {
  const TempDir dir;
  const std::string file = dir.File("k.csv", "Kundennr;PLZ;Name\nK-7;10115;Meier\nK-8;10115;Mayer\n");
  const struct {
    std::string format;
    std::string part;  // of the report
  } cases[] = {
      {"text", "key 10115 (2 records)\n  2 [K-7]: 10115||||Meier||||\n  3 [K-8]: 10115||||Mayer||||\n"},
      {"json", "{\"line\": 3, \"id\": \"K-8\", \"record\": 2, \"key\": \"10115\""},
      {"csv", "line;key;group;record;id;algorithm;Kundennr;PLZ;Name\n2;10115;1;1;K-7;1;K-7;10115;Meier\n"},
      {"html", "<tr><th>line</th><th>id</th><th>record</th></tr>\n<tr><td>2</td><td>K-7</td>"},
  };
  for (const auto& c : cases) {
    for (const char* id : {"kundennr", "1"}) {  // by name in any case, or by number
      const ToolResult r = Dedupe({"--algorithm", kPlz, "--format", c.format, "--id", id, file});
      EXPECT_NE(r.out.find(c.part), std::string::npos) << c.format << " " << id << ":\n" << r.out;
    }
  }
  EXPECT_NE(Dedupe({"--algorithm", kPlz, "--sorted", "--id", "Kundennr", file}).out.find("10115  3 [K-8]: 10115"),
            std::string::npos);
}

// A CSV report opens right in Excel: the input's delimiter and line ends, a
// byte order mark, or Windows-1252 with what it cannot hold marked.
TEST(DedupeTool, TheCsvReportIsWrittenForExcel) {
  const TempDir dir;
  const std::string crlf = dir.File("k.csv", "PLZ,Name\r\n10115,Müller €\r\n10115,Łukasz\r\n");
  const struct {
    std::string encoding;
    std::string out, err;
  } cases[] = {
      {"", "\xEF\xBB\xBFline,key,group,record,algorithm,PLZ,Name\r\n2,10115,1,1,1,10115,Müller €\r\n"
           "3,10115,1,2,1,10115,Łukasz\r\n", ""},
      {"utf-8", "line,key,group,record,algorithm,PLZ,Name\r\n2,10115,1,1,1,10115,Müller €\r\n"
                "3,10115,1,2,1,10115,Łukasz\r\n", ""},
      {"windows-1252", "line,key,group,record,algorithm,PLZ,Name\r\n2,10115,1,1,1,10115,M\xFCller \x80\r\n"
                       "3,10115,1,2,1,10115,?ukasz\r\n",
       "korvix dedupe: characters that Windows-1252 cannot hold, written as '?': 1\n"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = {"--algorithm", kPlz, "--format", "csv", crlf};
    if (!c.encoding.empty()) args.insert(args.end(), {"--output-encoding", c.encoding});
    const ToolResult r = Dedupe(args);
    EXPECT_EQ(r.out, c.out) << c.encoding;
    EXPECT_TRUE(Steady(r.err).starts_with(c.err + "korvix dedupe: records 2,")) << r.err;
  }
  // The text report too, for a console that shows Windows-1252.
  EXPECT_TRUE(Dedupe({"--algorithm", kPlz, "--output-encoding", "windows-1252", crlf})
                  .out.starts_with("key 10115 (2 records)\n  2: 10115||||M\xFCller \x80||||\n  3: 10115||||?ukasz"));
}

// What people read shows every byte: legacy bytes as Windows-1252 reads
// them, control characters as escapes, in the records and the column list.
TEST(DedupeTool, TextShowsInvalidBytesAndControlsReadably) {
  const TempDir dir;
  const std::string file =
      dir.File("k.csv", "PLZ;Stra\xDF" "e;Name;Notiz\x81\n10115;Weg\x1B[2J;M\xFCller\tA;\n10115;;B;\n");
  const ToolResult r = Dedupe({"--algorithm", kPlz, "--verbose", file});
  EXPECT_NE(r.out.find("  2: 10115||Weg\\x1B[2J||Müller\\tA||||\n"), std::string::npos) << r.out;
  EXPECT_NE(r.err.find("Straße <- \"Straße\" (column 2)"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("columns not used: \"Notiz\\x81\""), std::string::npos) << r.err;
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

TEST(DedupeTool, RefusalsNameTheProblem) {
  const TempDir dir;
  const std::string csv = dir.File("k.csv", "Telefon;zip;Nom\xE9\n1;10115;x\n");
  const struct {
    std::vector<std::string> args;
    int status;
    std::string err;
  } cases[] = {
      {{"--algorithm", kAddress, csv}, 2,
       "korvix dedupe: no column feeds Straße, Bez1, which the algorithm reads (columns: \"Telefon\", "
       "\"zip\", \"Nom\\xE9\"); tie it to a column with --map, such as --map Straße=Telefon\n"},
      {{"--algorithm", kAddress, "--map", "Strasse=Telefon,Bez1=Nom\xE9", csv}, 0, ""},
      {{"--map", "Foo=zip", csv}, 2, "\"Foo\" is not a record field"},
      {{"--verify", "1.5", csv}, 2, "--verify takes a threshold above 0 and at most 1, not '1.5'"},
      {{"--format", "xml", csv}, 2, "--format must be text, csv, json or html"},
      {{"--algorithm", kPlz, "--id", "Kdnr", csv}, 2, "--id: the header has no column \"Kdnr\" (columns: \"Telefon\""},
      {{"--input-format", "records", "--id", "zip", csv}, 2, "give the number of an item, not 'zip'"},
      {{"--output-encoding", "latin1", csv}, 2, "--output-encoding must be utf-8, utf-8-bom or windows-1252"},
      {{"--format", "json", "--output-encoding", "utf-8-bom", csv}, 2, "UTF-8 without a byte order mark"},
      {{"--format", "html", "--sorted", csv}, 2, "--sorted is for text, csv and json reports, not html"},
      {{"--input-format", "records", "--map", "PLZ=a", csv}, 2, "for CSV input"},
      {{dir.path() + "/missing.txt"}, 1, "cannot open"},
  };
  for (const auto& c : cases) {
    const ToolResult r = Dedupe(c.args);
    EXPECT_EQ(r.status, c.status) << ::testing::PrintToString(c.args) << r.err;
    EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
  }
}

TEST(DedupeTool, AFailedRunLeavesTheOutputAsItWas) {
  const TempDir dir;
  const std::string csv = dir.File("k.csv", "PLZ,Name\n10115,a\n10115,b,c\n");
  const std::string report = dir.File("report.txt", "the last good report\n");
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--algorithm", kPlz, "--strict", "--output", report, csv},
        std::vector<std::string>{"--algorithm", kPlz, "--output", report, dir.path() + "/missing"}}) {
    const ToolResult r = Dedupe(args);
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(ReadFile(report), "the last good report\n");
  }
  const ToolResult r = Dedupe({"--algorithm", kPlz, "--output", report, csv});
  EXPECT_EQ(r.err, "korvix dedupe: " + csv + ": line 3: 3 fields, the header has 2; record skipped\n");
  EXPECT_EQ(Steady(ReadFile(report)), "records 1, groups 0, records in groups 0, seconds S, skipped 1\n");
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

}  // namespace
}  // namespace korvix::testing
