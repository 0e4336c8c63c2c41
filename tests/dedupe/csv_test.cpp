// Reading the input: CSV records and record-string lines, across every
// place where a buffer boundary can fall.
#include <fcntl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dedupe/read/csv_reader.h"
#include "dedupe/core/error.h"
#include "dedupe/read/line_source.h"
#include "test_files.h"

namespace korvix::dedupe {
namespace {

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

TEST(CsvReader, WellFormedRecords) {
  const std::string long_field(300, 'x');
  const struct {
    std::string input;
    std::vector<Expected> want;
  } cases[] = {
      {"a;b;c\nd;e;f\n", {{1, {"a", "b", "c"}}, {2, {"d", "e", "f"}}}},
      {"a;b\r\nc;d", {{1, {"a", "b"}}, {2, {"c", "d"}}}},  // CRLF, no final line end
      {"a;b\r", {{1, {"a", "b\r"}}}},                     // CR alone is data
      {"a\r\r\nb\n", {{1, {"a\r"}}, {2, {"b"}}}},
      {";;\n;x;\n", {{1, {"", "", ""}}, {2, {"", "x", ""}}}},
      {"a;b\n\n\r\nc;d\n\n", {{1, {"a", "b"}}, {4, {"c", "d"}}}},  // blank lines hold no record
      {"", {}},
      {"\"a;b\";c\n", {{1, {"a;b", "c"}}}},
      {"\"say \"\"hi\"\"\";x\n", {{1, {"say \"hi\"", "x"}}}},
      {"\"\";\"\"\n", {{1, {"", ""}}}},
      {"\"l1\r\nl2\r\n\";x\r\nnext;y\r\n", {{1, {"l1\r\nl2\r\n", "x"}}, {4, {"next", "y"}}}},
      {"\xEF\xBB\xBF\"a\";b\n", {{1, {"a", "b"}}}},  // BOM
      {"\xEF\xBB\xBF", {}},
      {"M\xFCller;\xC3\xA4\xFF\n", {{1, {"M\xFCller", "\xC3\xA4\xFF"}}}},  // bytes as they are
      {"a;" + long_field + ";b\nc\n", {{1, {"a", long_field, "b"}}, {2, {"c"}}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.input);
    ExpectRecords(c.input, ';', c.want);
  }
}

TEST(CsvReader, MalformedRecordsAreReportedAndSkipped) {
  const struct {
    std::string input;
    std::vector<Expected> want;
  } cases[] = {
      {"a\"b;c\nd;e\n", {{1, {}, "t.csv: line 1: quote inside the unquoted field 1"}, {2, {"d", "e"}}}},
      {"\"a\"b;c\nd\n", {{1, {}, "t.csv: line 1: text after the closing quote of field 1"}, {2, {"d"}}}},
      {"x;\"a\"\r", {{1, {}, "text after the closing quote of field 2"}}},
      {"\"x\ny\"z;1\nq\n",
       {{1, {}, "t.csv: line 2 (record from line 1): text after the closing quote"}, {3, {"q"}}}},
      {"a;b\n\"open;x\ny;z\n", {{1, {"a", "b"}}, {2, {}, "the quote that opens field 1 is not closed"}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.input);
    ExpectRecords(c.input, ';', c.want);
  }
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
  const struct {
    std::string input;
    char want;
  } cases[] = {
      {"PLZ;Ort;Strasse\n1;2;3\n", ';'},
      {"PLZ,Ort,Strasse\n1,2,3\n", ','},
      {"a\tb\tc\n", '\t'},
      {"\"a;b;c\",x,y\n", ','},   // inside quotes does not count
      {"\"x\ny;z;w\",b\n", ','},  // the first line runs past a quoted line break
      {"a;b,c\n", ';'},           // ties: ';', then ','
      {"a,b\nc;d;e;f\n", ','},    // only the first line decides
      {"\xEF\xBB\xBF" "a,b\n", ','},
      // A header longer than any block: its later columns count too.
      {"a;" + wide + ",b," + wide + ",c,d\n1,2,3,4\n", ','},
  };
  for (const auto& c : cases) {
    for (std::size_t block : {std::size_t{16}, CsvReader::kDefaultBlock}) {
      SCOPED_TRACE(c.input.substr(0, 20) + ", block " + std::to_string(block));
      const TempFile file(c.input);
      CsvReader reader(file.fd(), "t.csv", CsvReader::kDetect, block);
      CsvRecord record;
      reader.Next(&record);
      EXPECT_EQ(reader.delimiter(), c.want);
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
  struct Found {
    std::string record;
    std::uint64_t line, offset;
    bool operator==(const Found&) const = default;
  };
  const struct {
    std::string input;
    std::vector<Found> want;
  } cases[] = {
      {"a|b\nc|d", {{"a|b", 1, 0}, {"c|d", 2, 4}}},
      {"a\r\n\r\n\nb\r\n", {{"a", 1, 0}, {"b", 4, 6}}},  // CRLF; empty lines hold no record
      {"\xEF\xBB\xBF" "a\nb", {{"a", 1, 3}, {"b", 2, 5}}},  // the BOM is no part of the record
      {"x\xEF\xBB\xBF\n", {{"x\xEF\xBB\xBF", 1, 0}}},       // elsewhere it is
      {std::string(50, 'l') + "\nz", {{std::string(50, 'l'), 1, 0}, {"z", 2, 51}}},
      {"", {}},
  };
  for (const auto& c : cases) {
    for (std::size_t block : {std::size_t{1}, std::size_t{3}, std::size_t{1} << 20}) {
      SCOPED_TRACE(c.input + ", block " + std::to_string(block));
      const TempFile file(c.input);
      LineSource source(file.fd(), "t", block);
      std::vector<Found> found;
      for (RecordBatch batch; source.Read(&batch);) {
        source.Split(&batch);
        for (std::size_t i = 0; i < batch.records.size(); ++i) {
          const RecordPlace& p = batch.records[i].place;
          EXPECT_EQ(c.input.substr(p.offset, p.length), batch.record(i));
          found.push_back({std::string(batch.record(i)), p.line, p.offset});
        }
      }
      EXPECT_TRUE(found == c.want);
    }
  }
}

}  // namespace
}  // namespace korvix::dedupe
