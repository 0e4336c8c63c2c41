// Reading the input: CSV records and record-string lines, across every
// place where a buffer boundary can fall.
#include <fcntl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "case_file.h"
#include "dedupe/read/csv_reader.h"
#include "dedupe/core/error.h"
#include "dedupe/read/line_source.h"
#include "test_files.h"

namespace korvix::dedupe {
namespace {

using korvix::testing::Case;
using korvix::testing::ReadCases;
using korvix::testing::TempFile;

// A record as a test expects it: its line and fields, or a piece of its error.
struct Expected {
  std::uint64_t line;
  std::vector<std::string> fields;
  std::string error = {};
};

// Block sizes that put buffer boundaries everywhere, and the default.
constexpr std::size_t kBlocks[] = {4, 5, 7, 16, CsvReader::kDefaultBlock};

void ExpectRecords(std::string_view input, char delimiter, const std::vector<Expected>& want) {
  for (std::size_t block : kBlocks) {
    SCOPED_TRACE("block " + std::to_string(block));
    const TempFile file(input);
    CsvReader reader(file.fd(), "t.csv", delimiter, block);
    CsvRecord r;
    std::size_t i = 0;
    for (; reader.Next(&r); ++i) {
      ASSERT_LT(i, want.size());
      EXPECT_EQ(r.line, want[i].line);
      if (want[i].error.empty()) {
        EXPECT_EQ(r.error, "");
        EXPECT_EQ(std::vector<std::string>(r.fields.begin(), r.fields.end()), want[i].fields);
        // The bytes that offset and length locate parse as the same record.
        CsvRecord again;
        ParseCsvRecord(input.substr(r.offset, r.length), reader.delimiter(), &again);
        EXPECT_EQ(std::vector<std::string>(again.fields.begin(), again.fields.end()), want[i].fields);
      } else {
        EXPECT_NE(r.error.find(want[i].error), std::string::npos) << r.error;
      }
      const std::string_view after = input.substr(r.offset + r.length);
      EXPECT_TRUE(after.empty() || after.starts_with("\n") || after.starts_with("\r\n") || after == "\r");
    }
    EXPECT_EQ(i, want.size());
  }
}

// "1[a][b]2!error!" as a list of records (see cases/csv.tsv).
std::vector<Expected> Records(const std::string& text) {
  std::vector<Expected> records;
  for (std::size_t i = 0; i < text.size();) {
    Expected& e = records.emplace_back();
    std::size_t end = text.find_first_of("[!", i);
    e.line = std::stoull(text.substr(i, end - i));
    if (text[end] == '!') {
      const std::size_t close = text.find('!', end + 1);
      e.error = text.substr(end + 1, close - end - 1);
      i = close + 1;
      continue;
    }
    for (i = end; i < text.size() && text[i] == '[';) {
      const std::size_t close = text.find(']', i);
      e.fields.push_back(text.substr(i + 1, close - i - 1));
      i = close + 1;
    }
  }
  return records;
}

TEST(CsvReader, RecordsAndMalformedRecordsReportedAndSkipped) {
  for (const Case& c : ReadCases("dedupe/cases/csv.tsv", 2)) {
    SCOPED_TRACE(c.where);
    ExpectRecords(c[0], ';', Records(c[1]));
  }
  const std::string long_field(300, 'x');
  ExpectRecords("a;" + long_field + ";b\nc\n", ';', {{1, {"a", long_field, "b"}}, {2, {"c"}}});
  // A record longer than the limit is refused, and so is not kept whole.
  const TempFile file("\"" + std::string(100, 'x') + "\";a\nnext\n");
  CsvReader reader(file.fd(), "t.csv", ';', 8, 32);
  CsvRecord r;
  ASSERT_TRUE(reader.Next(&r));
  EXPECT_NE(r.error.find("longer than 32 bytes"), std::string::npos);
  ASSERT_TRUE(reader.Next(&r));
  EXPECT_EQ(r.fields.at(0), "next");
}

TEST(CsvReader, DetectsTheDelimiterFromTheWholeFirstLine) {
  const std::string wide(3000, 'x');
  std::vector<std::pair<std::string, char>> cases;
  for (const Case& c : ReadCases("dedupe/cases/csv_delimiter.tsv", 2)) cases.emplace_back(c[0], c[1].at(0));
  // A header longer than any block: its later columns count too.
  cases.emplace_back("a;" + wide + ",b," + wide + ",c,d\n1,2,3,4\n", ',');
  for (const auto& c : cases) {
    for (std::size_t block : {std::size_t{16}, CsvReader::kDefaultBlock}) {
      SCOPED_TRACE(c.first.substr(0, 20) + ", block " + std::to_string(block));
      const TempFile file(c.first);
      CsvReader reader(file.fd(), "t.csv", CsvReader::kDetect, block);
      CsvRecord record;
      reader.Next(&record);
      EXPECT_EQ(reader.delimiter(), c.second);
    }
  }
}

TEST(CsvReader, DelimiterOptionAndReadFailure) {
  for (const auto& [value, want] : {std::pair(";", ';'), {",", ','}, {"tab", '\t'}, {"\\t", '\t'}, {"|", '|'}}) {
    EXPECT_EQ(DelimiterFromOption(value), want) << value;
  }
  for (const char* bad : {"", "\"", "\n", ";;"}) EXPECT_THROW(DelimiterFromOption(bad), Error) << bad;
  const int dir = ::open("/", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  CsvReader reader(dir, "/", ';');
  CsvRecord record;
  EXPECT_THROW(reader.Next(&record), Error);
  ::close(dir);
}

TEST(LineSource, RecordsWithTheirPlacesInBlocksOfAnySize) {
  for (const Case& c : ReadCases("dedupe/cases/lines.tsv", 2)) {
    for (std::size_t block : {std::size_t{1}, std::size_t{3}, std::size_t{1} << 20}) {
      SCOPED_TRACE(c.where + ", block " + std::to_string(block));
      const TempFile file(c[0]);
      LineSource source(file.fd(), "t", block);
      std::string found;
      for (RecordBatch batch; source.Read(&batch);) {
        source.Split(&batch);
        for (std::size_t i = 0; i < batch.records.size(); ++i) {
          const RecordPlace& p = batch.records[i].place;
          EXPECT_EQ(c[0].substr(p.offset, p.length), batch.record(i));
          found += std::to_string(p.line) + "@" + std::to_string(p.offset) + "[" + std::string(batch.record(i)) + "]";
        }
      }
      EXPECT_EQ(found, c[1]);
    }
  }
}

}  // namespace
}  // namespace korvix::dedupe
