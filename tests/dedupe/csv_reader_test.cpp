#include "csv_reader.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "cli.h"
#include "gtest/gtest.h"

namespace korvix::cli {
namespace {

// A file descriptor holding `bytes`, read from the start.
class MemFile {
 public:
  explicit MemFile(std::string_view bytes) : fd_(::memfd_create("csv", MFD_CLOEXEC)) {
    EXPECT_GE(fd_, 0);
    EXPECT_EQ(::write(fd_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    ::lseek(fd_, 0, SEEK_SET);
  }
  ~MemFile() { ::close(fd_); }
  int fd() const { return fd_; }

 private:
  int fd_;
};

// A record as a test expects it: its line and fields, or a piece of its error.
struct Expected {
  std::uint64_t line;
  std::vector<std::string> fields;
  std::string error = {};  // a substring of the message; empty for a good record
};

// A record kept past the next call of Next.
struct Got {
  std::uint64_t line, offset, length;
  std::vector<std::string> fields;
  std::string error;
  bool ok() const { return error.empty(); }
};

struct Read {
  std::vector<Got> records;
  char delimiter;
};

Read ReadAll(std::string_view input, char delimiter, std::size_t block,
             std::size_t max_record = CsvReader::kDefaultMaxRecord) {
  MemFile file(input);
  CsvReader reader(file.fd(), "t.csv", delimiter, block, max_record);
  Read out;
  CsvRecord r;
  while (reader.Next(&r)) {
    out.records.push_back({r.line, r.offset, r.length, {r.fields.begin(), r.fields.end()}, r.error});
  }
  out.delimiter = reader.delimiter();
  return out;
}

std::vector<std::string> Strings(const std::vector<std::string_view>& views) {
  return {views.begin(), views.end()};
}

// Block sizes that put buffer boundaries everywhere, and the default.
constexpr std::size_t kBlocks[] = {4, 5, 7, 16, CsvReader::kDefaultBlock};

void ExpectRecords(std::string_view input, char delimiter, const std::vector<Expected>& want,
                   const std::string& label) {
  for (std::size_t block : kBlocks) {
    SCOPED_TRACE(label + ", block " + std::to_string(block));
    const Read got = ReadAll(input, delimiter, block);
    ASSERT_EQ(got.records.size(), want.size());
    for (std::size_t i = 0; i < want.size(); ++i) {
      const Got& r = got.records[i];
      SCOPED_TRACE("record " + std::to_string(i));
      EXPECT_EQ(r.line, want[i].line);
      if (want[i].error.empty()) {
        EXPECT_EQ(r.error, "");
        EXPECT_EQ(r.fields, want[i].fields);
      } else {
        EXPECT_NE(r.error.find(want[i].error), std::string::npos) << r.error;
        EXPECT_TRUE(r.fields.empty());
      }
      // The bytes that offset and length locate hold the same record again.
      ASSERT_LE(r.offset + r.length, input.size());
      if (r.ok()) {
        CsvRecord again;
        ParseCsvRecord(input.substr(r.offset, r.length), got.delimiter, &again);
        EXPECT_EQ(again.error, "");
        EXPECT_EQ(Strings(again.fields), want[i].fields);
      }
      // The record ends at a line end or at the end of the input.
      const std::string_view after = input.substr(r.offset + r.length);
      EXPECT_TRUE(after.empty() || after.starts_with("\n") || after.starts_with("\r\n") ||
                  after == "\r")
          << "bytes after the record: " << after.substr(0, 10);
    }
  }
}

TEST(CsvReaderTest, WellFormedRecords) {
  const std::string long_field(300, 'x');
  const std::string long_quoted = std::string(150, 'q') + "\"\"" + std::string(150, 'r');
  const struct {
    const char* label;
    std::string input;
    char delimiter;
    std::vector<Expected> want;
  } cases[] = {
      {"plain", "a;b;c\nd;e;f\n", ';', {{1, {"a", "b", "c"}}, {2, {"d", "e", "f"}}}},
      {"no final newline", "a;b\nc;d", ';', {{1, {"a", "b"}}, {2, {"c", "d"}}}},
      {"CRLF", "a;b\r\nc;d\r\n", ';', {{1, {"a", "b"}}, {2, {"c", "d"}}}},
      {"CR without LF is no line end", "a;b\r", ';', {{1, {"a", "b\r"}}}},
      {"CR alone at the end", "a\n\r", ';', {{1, {"a"}}, {2, {"\r"}}}},
      {"CR before CRLF", "a\r\r\nb\n", ';', {{1, {"a\r"}}, {2, {"b"}}}},
      {"CR inside a field", "a\rb;c\n", ';', {{1, {"a\rb", "c"}}}},
      {"empty fields", ";;\n;x;\n", ';', {{1, {"", "", ""}}, {2, {"", "x", ""}}}},
      {"empty last field", "a;\nb;", ';', {{1, {"a", ""}}, {2, {"b", ""}}}},
      {"blank lines skipped", "a;b\n\n\r\nc;d\n\n", ';', {{1, {"a", "b"}}, {4, {"c", "d"}}}},
      {"only blank lines", "\n\r\n\n", ';', {}},
      {"empty input", "", ';', {}},
      {"blank field is kept", " \n", ';', {{1, {" "}}}},
      {"quoted delimiter", "\"a;b\";c\n", ';', {{1, {"a;b", "c"}}}},
      {"doubled quotes", "\"say \"\"hi\"\"\";x\n", ';', {{1, {"say \"hi\"", "x"}}}},
      {"quote pair at the end", "\"a\"\"\";b", ';', {{1, {"a\"", "b"}}}},
      {"empty quoted fields", "\"\";\"\"\n\"\"\n", ';', {{1, {"", ""}}, {2, {""}}}},
      {"quoted last field, no newline", "a;\"b\"", ';', {{1, {"a", "b"}}}},
      {"quoted field then CRLF", "\"a\"\r\nb\r\n", ';', {{1, {"a"}}, {2, {"b"}}}},
      {"embedded LF", "\"l1\nl2\";x\nnext;y\n", ';',
       {{1, {"l1\nl2", "x"}}, {3, {"next", "y"}}}},
      {"embedded CRLF", "\"l1\r\nl2\r\n\";x\r\nnext;y\r\n", ';',
       {{1, {"l1\r\nl2\r\n", "x"}}, {4, {"next", "y"}}}},
      {"quoted line breaks only", "\"\n\n\"\nz\n", ';', {{1, {"\n\n"}}, {4, {"z"}}}},
      {"BOM", "\xEF\xBB\xBF" "a;b\nc;d\n", ';', {{1, {"a", "b"}}, {2, {"c", "d"}}}},
      {"BOM before a quote", "\xEF\xBB\xBF\"a\";b\n", ';', {{1, {"a", "b"}}}},
      {"BOM alone", "\xEF\xBB\xBF", ';', {}},
      {"comma given", "a,b;c\n", ',', {{1, {"a", "b;c"}}}},
      {"tab given", "a\tb c\t\"d\te\"\n", '\t', {{1, {"a", "b c", "d\te"}}}},
      {"bytes pass unchanged", "M\xFCller;\xC3\xA4\xFF\n", ';', {{1, {"M\xFCller", "\xC3\xA4\xFF"}}}},
      {"long unquoted field", "a;" + long_field + ";b\nc\n", ';',
       {{1, {"a", long_field, "b"}}, {2, {"c"}}}},
      {"long quoted field", "\"" + long_quoted + "\";z\r\nc\r\n", ';',
       {{1, {std::string(150, 'q') + "\"" + std::string(150, 'r'), "z"}}, {2, {"c"}}}},
  };
  for (const auto& c : cases) ExpectRecords(c.input, c.delimiter, c.want, c.label);
}

TEST(CsvReaderTest, MalformedRecordsAreReportedAndSkipped) {
  const struct {
    const char* label;
    std::string input;
    std::vector<Expected> want;
  } cases[] = {
      {"quote inside an unquoted field", "a\"b;c\nd;e\n",
       {{1, {}, "t.csv: line 1: quote inside the unquoted field 1"}, {2, {"d", "e"}}}},
      {"quote late in a field", "x;ab\"c\"d;e\r\nd;e\r\n",
       {{1, {}, "quote inside the unquoted field 2"}, {2, {"d", "e"}}}},
      {"text after the closing quote", "\"a\"b;c\nd;e\n",
       {{1, {}, "t.csv: line 1: text after the closing quote of field 1"}, {2, {"d", "e"}}}},
      {"blank after the closing quote", "x;\"a\" ;c\nd\n",
       {{1, {}, "text after the closing quote of field 2"}, {2, {"d"}}}},
      {"CR alone after the closing quote", "\"a\"\rb\nd\n",
       {{1, {}, "text after the closing quote of field 1"}, {2, {"d"}}}},
      {"CR after the closing quote at the end", "x;\"a\"\r",
       {{1, {}, "text after the closing quote of field 2"}}},
      {"error on a later line of the record", "\"x\ny\"z;1\nq;r\n",
       {{1, {}, "t.csv: line 2 (record from line 1): text after the closing quote of field 1"},
        {3, {"q", "r"}}}},
      {"unclosed quote at the end", "a;b\n\"open;x\ny;z\n",
       {{1, {"a", "b"}}, {2, {}, "t.csv: line 2: the quote that opens field 1 is not closed"}}},
      {"unclosed quote on a later line", "a;\"b\nc;\"d\n",
       {{1, {}, "t.csv: line 2 (record from line 1): text after the closing quote of field 2"}}},
      {"unclosed quote of field 2, record from line 1", "\"a\nb\";\"c\nd\n",
       {{1, {}, "line 2 (record from line 1): the quote that opens field 2 is not closed"}}},
      {"errors in a row", "a\"\nb\"\"\n\"c\"x\nok\n",
       {{1, {}, "quote inside"}, {2, {}, "quote inside"}, {3, {}, "text after"}, {4, {"ok"}}}},
      {"error at the last line without newline", "ok\nbad\"", {{1, {"ok"}}, {2, {}, "quote inside"}}},
  };
  for (const auto& c : cases) ExpectRecords(c.input, ';', c.want, c.label);
}

TEST(CsvReaderTest, DetectsTheDelimiterFromTheFirstLine) {
  const struct {
    std::string input;
    char want;
  } cases[] = {
      {"PLZ;Ort;Strasse\n1;2;3\n", ';'},
      {"PLZ,Ort,Strasse\n1,2,3\n", ','},
      {"a\tb\tc\n", '\t'},
      {"\"a;b;c\",x,y\n", ','},          // inside quotes does not count
      {"\"x\ny;z;w\",b\n", ','},          // the first line runs past a quoted line break
      {"\"a\"\";\"\"b\",c\n", ','},       // doubled quotes stay inside
      {"a;b,c\n", ';'},                   // a tie goes to ';'
      {"a,b\tc\n", ','},                  // and then to ','
      {"single\n", ';'},
      {"", ';'},
      {"a,b\nc;d;e;f\n", ','},            // only the first line decides
      {"\xEF\xBB\xBF" "a,b\n", ','},
      {"a,b,c;d", ','},                   // no line end at all
  };
  // Detection sees as much of the first line as one block holds.
  for (const auto& c : cases) {
    for (std::size_t block : {std::size_t{16}, CsvReader::kDefaultBlock}) {
      SCOPED_TRACE(c.input + ", block " + std::to_string(block));
      MemFile file(c.input);
      CsvReader reader(file.fd(), "t.csv", CsvReader::kDetect, block);
      CsvRecord record;
      reader.Next(&record);
      EXPECT_EQ(reader.delimiter(), c.want);
    }
  }
  // The detected delimiter splits the records.
  const Read got = ReadAll("zip,city\n\"1,2\",b\n", CsvReader::kDetect, 16);
  ASSERT_EQ(got.records.size(), 2u);
  EXPECT_EQ(got.records[1].fields, (std::vector<std::string>{"1,2", "b"}));
}

TEST(CsvReaderTest, OffsetsAndLengthsLocateTheRecordBytes) {
  // BOM; a CRLF record; a quoted line break; a last record without line end.
  const std::string input = "\xEF\xBB\xBF" "a;b\r\n\"x\ny\";z\r\n\r\nlast";
  const struct {
    std::uint64_t line, offset, length;
  } want[] = {{1, 3, 3}, {2, 8, 7}, {5, 19, 4}};
  for (std::size_t block : kBlocks) {
    SCOPED_TRACE(block);
    const Read got = ReadAll(input, ';', block);
    ASSERT_EQ(got.records.size(), std::size(want));
    for (std::size_t i = 0; i < std::size(want); ++i) {
      EXPECT_EQ(got.records[i].line, want[i].line);
      EXPECT_EQ(got.records[i].offset, want[i].offset);
      EXPECT_EQ(got.records[i].length, want[i].length);
    }
  }
  // Malformed records are located as well, up to their line end.
  const Read bad = ReadAll("ok\r\nba\"d;x\r\nnext", ';', 5);
  ASSERT_EQ(bad.records.size(), 3u);
  EXPECT_EQ(bad.records[1].offset, 4u);
  EXPECT_EQ(bad.records[1].length, 6u);
  EXPECT_EQ(bad.records[2].offset, 12u);
}

TEST(CsvReaderTest, RecordLimitBoundsMemory) {
  const std::string big(100, 'x');
  const struct {
    std::string input;
    std::vector<Expected> want;
  } cases[] = {
      {"\"" + big + "\";a\nnext\n", {{1, {}, "longer than 32 bytes"}, {2, {"next"}}}},
      {"a;\"" + big + "\n" + big, {{1, {}, "is not closed"}}},
      {"a;\"" + big + "\"x\nnext\n", {{1, {}, "text after the closing quote"}, {2, {"next"}}}},
      {"\"" + std::string(30, 'y') + "\";b\n", {{1, {std::string(30, 'y'), "b"}}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.input);
    const Read got = ReadAll(c.input, ';', 8, 32);
    ASSERT_EQ(got.records.size(), c.want.size());
    for (std::size_t i = 0; i < c.want.size(); ++i) {
      EXPECT_EQ(got.records[i].line, c.want[i].line);
      if (c.want[i].error.empty()) {
        EXPECT_EQ(got.records[i].fields, c.want[i].fields);
      } else {
        EXPECT_NE(got.records[i].error.find(c.want[i].error), std::string::npos)
            << got.records[i].error;
      }
    }
  }
}

TEST(CsvReaderTest, ReadFailureThrowsIoError) {
  const int dir = ::open("/", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  ASSERT_GE(dir, 0);
  CsvReader reader(dir, "/", ';');
  CsvRecord record;
  EXPECT_THROW(reader.Next(&record), IoError);
  ::close(dir);
}

TEST(CsvReaderTest, ParseCsvRecordOwnsItsFields) {
  const struct {
    std::string bytes;
    char delimiter;
    std::vector<std::string> want;
  } cases[] = {
      {"a;b", ';', {"a", "b"}},
      {"\"a;b\";\"c\"\"d\"", ';', {"a;b", "c\"d"}},
      {"\"l1\r\nl2\",x", ',', {"l1\r\nl2", "x"}},
      {"", ';', {}},
  };
  for (const auto& c : cases) {
    CsvRecord record;
    {
      const std::string temporary = c.bytes;  // fields must not point into it
      ParseCsvRecord(temporary, c.delimiter, &record);
    }
    EXPECT_EQ(record.error, "");
    EXPECT_EQ(Strings(record.fields), c.want) << c.bytes;
  }
  CsvRecord bad;
  ParseCsvRecord("x\"y", ';', &bad);
  EXPECT_NE(bad.error.find("quote inside"), std::string::npos);
}

TEST(CsvReaderTest, DelimiterFromOption) {
  const struct {
    const char* value;
    char want;  // 0: a usage error
  } cases[] = {{";", ';'}, {",", ','}, {"tab", '\t'}, {"\t", '\t'}, {"\\t", '\t'},
               {"semicolon", ';'}, {"comma", ','}, {"|", '|'}, {"", 0}, {"\"", 0},
               {"\n", 0}, {";;", 0}, {"TAB", 0}};
  for (const auto& c : cases) {
    if (c.want == 0) {
      EXPECT_THROW(DelimiterFromOption(c.value), UsageError) << c.value;
    } else {
      EXPECT_EQ(DelimiterFromOption(c.value), c.want) << c.value;
    }
  }
}

}  // namespace
}  // namespace korvix::cli
