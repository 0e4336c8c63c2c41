// CSV files with a header row read into record strings.
#include "dedupe/csv_source.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "cli.h"
#include "dedupe_test_files.h"

namespace korvix::cli {
namespace {

struct Result {
  std::vector<std::string> records;  // record strings
  std::vector<std::uint64_t> lines;
  std::vector<std::string> messages;  // of the skipped records
  std::uint64_t skipped = 0;
};

Result ReadAll(const std::string& input, const std::optional<std::string>& map = std::nullopt,
               std::size_t block = 7) {
  const testing::TempFile file(input);
  Result result;
  BadRecordPolicy policy;
  policy.report = [&](const std::string& m) { result.messages.push_back(m); };
  CsvSource source(file.fd(), "t.csv", CsvReader::kDetect, map, policy, block);
  RecordBatch batch;
  std::string scratch;
  while (source.Read(&batch)) {
    source.Split(&batch);
    for (std::size_t i = 0; i < batch.records.size(); ++i) {
      result.records.emplace_back(batch.record(i));
      const RecordPlace& p = batch.records[i].place;
      result.lines.push_back(p.line);
      // The record's bytes, read again, give the same record string.
      EXPECT_EQ(source.RecordString(input.substr(p.offset, p.length), &scratch), batch.record(i));
    }
  }
  // Up to the end of the last record, its line end aside.
  EXPECT_LE(source.bytes_read(), input.size());
  EXPECT_GE(source.bytes_read() + 2, input.size());
  result.skipped = source.skipped();
  return result;
}

TEST(CsvSource, MakesRecordStringsFromQuotedFieldsOfAnyDelimiter) {
  const struct {
    const char* what;
    std::string input;
    std::vector<std::string> records;
    std::vector<std::uint64_t> lines;
  } cases[] = {
      {"columns by name, in any order, unknown ones left out",
       "Kundennr;Name1;PLZ;Ort\n7;Meier;10115;Berlin\n8;Schulz;20095;Hamburg\n",
       {"10115|Berlin|||Meier||||", "20095|Hamburg|||Schulz||||"},
       {2, 3}},
      {"quoted delimiter, doubled quote, a '|' that would shift the items",
       "PLZ;Ort;Name1\n10115;\"Berlin; Mitte\";\"Gasthof \"\"Zur Post\"\" a|b\"\n",
       {"10115|Berlin; Mitte|||Gasthof \"Zur Post\" a b||||"},
       {2}},
      {"line breaks inside quotes become blanks and still count as lines",
       "PLZ;Ort;Name3\r\n1;A;\"Tor 2\r\nHof\"\r\n2;B;\"x\ny\nz\"\r\n3;C;\r\n",
       {"1|A|||||Tor 2 Hof||", "2|B|||||x y z||", "3|C|||||||"},
       {2, 4, 7}},
      {"byte order mark and comma",
       "\xEF\xBB\xBFzip,city,street\n10115,Berlin,\"Hauptstr. 1, Hof\"\n",
       {"10115|Berlin|Hauptstr. 1, Hof||||||"},
       {2}},
      {"Windows-1252 header and values", "PLZ;Stra\xDF" "e\n1;Br\xFC" "ckenstr. 5\n",
       {"1||Br\xFC" "ckenstr. 5||||||"}, {2}},
      {"empty lines are no records", "PLZ\n\n1\n\r\n2\n", {"1||||||||", "2||||||||"}, {3, 5}},
      {"no input, no header, no records", "", {}, {}},
  };
  for (const auto& c : cases) {
    const Result r = ReadAll(c.input);
    EXPECT_EQ(r.records, c.records) << c.what;
    EXPECT_EQ(r.lines, c.lines) << c.what;
    EXPECT_TRUE(r.messages.empty()) << c.what << ": " << r.messages.front();
  }
}

TEST(CsvSource, MapOptionChoosesTheColumns) {
  const Result r = ReadAll("a;b;c\n1;2;3\n", "PLZ=c,Bez1=a");
  EXPECT_EQ(r.records, std::vector<std::string>{"3||||1||||"});
  EXPECT_THROW(ReadAll("a;b\n1;2\n", "PLZ=x"), UsageError);
  EXPECT_THROW(ReadAll("a;b\n1;2\n"), UsageError);  // no column names a field
}

TEST(CsvSource, ReportsAndCountsRecordsThatCannotBeUsed) {
  const std::string input =
      "PLZ;Ort;Name1\n"
      "1;A;x\n"          // line 2
      "2;B\n"            // 3: short
      "3;C;y;extra\n"    // 4: long
      "4;\"D\";z\n"      // 5
      "5;\"E\"x;w\n"     // 6: text after a closing quote
      "6;F\"G;v\n"       // 7: quote inside an unquoted field
      "7;\"H\nI\";u\n"   // 8-9
      "8;J;t\n";         // 10
  const Result r = ReadAll(input);
  EXPECT_EQ(r.lines, (std::vector<std::uint64_t>{2, 5, 8, 10}));
  EXPECT_EQ(r.skipped, 4u);
  ASSERT_EQ(r.messages.size(), 4u);
  EXPECT_EQ(r.messages[0], "t.csv: line 3: 2 fields, the header has 3");
  EXPECT_EQ(r.messages[1], "t.csv: line 4: 4 fields, the header has 3");
  EXPECT_NE(r.messages[2].find("t.csv: line 6: "), std::string::npos) << r.messages[2];
  EXPECT_NE(r.messages[3].find("t.csv: line 7: "), std::string::npos) << r.messages[3];

  // A quote left open swallows the rest: reported, not dropped silently.
  const Result open = ReadAll("PLZ\n1\n\"2\n3\n");
  EXPECT_EQ(open.records, std::vector<std::string>{"1||||||||"});
  EXPECT_EQ(open.skipped, 1u);
}

TEST(CsvSource, StrictEndsAtTheFirstBadRecord) {
  const testing::TempFile file("PLZ;Ort\n1;A\n2\n3;C\n");
  BadRecordPolicy policy;
  policy.strict = true;
  policy.report = [](const std::string&) { ADD_FAILURE() << "reported instead of thrown"; };
  CsvSource source(file.fd(), "t.csv", CsvReader::kDetect, std::nullopt, policy);
  RecordBatch batch;
  try {
    source.Read(&batch);
    FAIL() << "no error";
  } catch (const IoError& e) {
    EXPECT_STREQ(e.what(), "t.csv: line 3: 1 field, the header has 2");
  }
}

TEST(CsvSource, AnUnreadableHeaderEndsTheRun) {
  const testing::TempFile file("PLZ;\"Ort\"x\n1;A\n");
  EXPECT_THROW(CsvSource(file.fd(), "t.csv", CsvReader::kDetect, std::nullopt, {}), IoError);
}

}  // namespace
}  // namespace korvix::cli
