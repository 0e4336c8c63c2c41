#include "field_map.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "cli.h"
#include "csv_reader.h"
#include "gtest/gtest.h"

namespace korvix::cli {
namespace {

constexpr int kNone = -1;

// The column of each of the nine fields, kNone where unmapped.
std::vector<int> Columns(const FieldMap& map) {
  std::vector<int> out;
  for (std::size_t f = 0; f < kRecordFields; ++f) {
    out.push_back(map.column(f) == FieldMap::kUnmapped ? kNone : static_cast<int>(map.column(f)));
  }
  return out;
}

TEST(FieldMapTest, MapsByHeaderNames) {
  const struct {
    std::vector<std::string_view> header;
    std::vector<int> want;
  } cases[] = {
      {{"PLZ", "Ort", "Strasse", "Suchbegriff", "Name1", "Name2", "Name3", "Name4",
        "Kundengruppe"},
       {0, 1, 2, 3, 4, 5, 6, 7, 8}},
      {{"Kundengruppe", "Bez4", "Bez3", "Bez2", "Bez1", "Suchbegriff", "Straße", "Ort", "PLZ"},
       {8, 7, 6, 5, 4, 3, 2, 1, 0}},
      {{"zip", "city", "street", "search", "name", "Name2"}, {0, 1, 2, 3, 4, 5, kNone, kNone, kNone}},
      {{" Postleitzahl ", "STADT", "\tStraße", "Matchcode", "Firma", "Vorname", "bez3", "BEZ4",
        "Customer_Group"},
       {0, 1, 2, 3, 4, 5, 6, 7, 8}},
      {{"Post-Leitzahl", "Kunden Gruppe", "Bez.1", "postal code"}, {0, kNone, kNone, kNone, 2, kNone, kNone, kNone, 1}},
      {{"STRAßE"}, {kNone, kNone, 0, kNone, kNone, kNone, kNone, kNone, kNone}},
      {{"STRA\xDF" "E"}, {kNone, kNone, 0, kNone, kNone, kNone, kNone, kNone, kNone}},  // Latin-1
      {{"Telefon", "town", "E-Mail"}, {kNone, 1, kNone, kNone, kNone, kNone, kNone, kNone, kNone}},
      // The more specific name wins, then the first column.
      {{"Name", "Name1", "Firma"}, {kNone, kNone, kNone, kNone, 1, kNone, kNone, kNone, kNone}},
      {{"plz", "PLZ", "zip"}, {0, kNone, kNone, kNone, kNone, kNone, kNone, kNone, kNone}},
      {{"zip", "Postleitzahl"}, {1, kNone, kNone, kNone, kNone, kNone, kNone, kNone, kNone}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.header));
    const FieldMap map = FieldMap::FromHeader(c.header);
    EXPECT_EQ(Columns(map), c.want);
    EXPECT_EQ(map.columns(), c.header.size());
  }
}

TEST(FieldMapTest, HeaderWithoutAnyKnownNameIsAUsageError) {
  const std::vector<std::string_view> headers[] = {{"foo", "bar"}, {}, {"Strassen", "PLZ2"}};
  for (const auto& header : headers) {
    try {
      FieldMap::FromHeader(header);
      ADD_FAILURE() << "no error for " << testing::PrintToString(header);
    } catch (const UsageError& e) {
      EXPECT_NE(std::string(e.what()).find("--map"), std::string::npos) << e.what();
    }
  }
}

TEST(FieldMapTest, MapsByOption) {
  const std::vector<std::string_view> header = {"zip", "City", "street", "Name", "Telefon"};
  const struct {
    const char* option;
    std::vector<int> want;
  } cases[] = {
      {"PLZ=zip,Ort=city,Straße=street", {0, 1, 2, kNone, kNone, kNone, kNone, kNone, kNone}},
      {" strasse = STREET , bez1=Name ,", {kNone, kNone, 2, kNone, 3, kNone, kNone, kNone, kNone}},
      {"STRAßE=street", {kNone, kNone, 2, kNone, kNone, kNone, kNone, kNone, kNone}},
      // One column may feed two fields.
      {"Suchbegriff=Name,Bez1=Name", {kNone, kNone, kNone, 3, 3, kNone, kNone, kNone, kNone}},
      {"Kundengruppe=Telefon,PLZ=zip", {0, kNone, kNone, kNone, kNone, kNone, kNone, kNone, 4}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.option);
    EXPECT_EQ(Columns(FieldMap::FromOption(c.option, header)), c.want);
  }
}

TEST(FieldMapTest, BadOptionIsAUsageErrorThatSaysWhy) {
  const std::vector<std::string_view> header = {"zip", "city"};
  const struct {
    const char* option;
    const char* message;  // a part of it
  } cases[] = {
      {"Foo=zip", "\"Foo\" is not a record field; the fields are PLZ, Ort, Straße"},
      {"zip=PLZ", "\"zip\" is not a record field"},  // backwards
      {"PLZ=postcode", "the header has no column \"postcode\"; its columns are \"zip\", \"city\""},
      {"PLZ", "\"PLZ\" is not FIELD=COLUMN"},
      {"PLZ=zip,Ort=city,plz=city", "field PLZ is mapped twice"},
      {"Strasse=zip,Straße=city", "field Straße is mapped twice"},
      {"", "no FIELD=COLUMN given"},
      {" , ,", "no FIELD=COLUMN given"},
      {"PLZ=", "no column \"\""},
  };
  for (const auto& c : cases) {
    try {
      FieldMap::FromOption(c.option, header);
      ADD_FAILURE() << "no error for " << c.option;
    } catch (const UsageError& e) {
      EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos)
          << c.option << ": " << e.what();
    }
  }
}

TEST(FieldMapTest, BuildsRecordStrings) {
  const std::vector<std::string_view> header = {"Telefon", "PLZ", "Name1", "Ort", "Name3"};
  const FieldMap map = FieldMap::FromHeader(header);
  const struct {
    std::vector<std::string_view> fields;
    const char* want;
  } cases[] = {
      {{"0301234", "12345", "Müller GmbH", "Berlin", ""}, "12345|Berlin|||Müller GmbH||||"},
      {{"", "", "", "", ""}, "||||||||"},
      {{"x", " 1 ", " a ", "b", "c"}, " 1 |b||| a ||c||"},  // blanks stay
      {{"x", "1", "A|B", "||", "c"}, "1|  |||A B||c||"},
      {{"x", "1", "l1\nl2", "o", "a\r\nb\rc\n"}, "1|o|||l1 l2||a b c ||"},
      {{"x", "1", "\r\n\r\n", "o", "\n\r"}, "1|o|||  ||  ||"},
      {{"x", "M\xFCller", "\"q\"", ";", "\t"}, "M\xFCller|;|||\"q\"||\t||"},
  };
  for (const auto& c : cases) {
    std::string out = "stale";
    ASSERT_TRUE(map.RecordString(c.fields, &out));
    EXPECT_EQ(out, c.want);
  }
  // A record of another width is refused and leaves the output alone.
  for (const std::vector<std::string_view>& fields :
       {std::vector<std::string_view>{"a", "b", "c", "d"},
        std::vector<std::string_view>{"a", "b", "c", "d", "e", "f"},
        std::vector<std::string_view>{}}) {
    std::string out = "kept";
    EXPECT_FALSE(map.RecordString(fields, &out));
    EXPECT_EQ(out, "kept");
  }
}

TEST(FieldMapTest, DescribesTheMapping) {
  const std::vector<std::string_view> header = {"Telefon", "zip", " Name "};
  const std::vector<std::string> lines = FieldMap::FromHeader(header).Describe();
  const std::vector<std::string> want = {
      "PLZ <- \"zip\" (column 2)",       "Ort: no column, stays empty",
      "Straße: no column, stays empty",  "Suchbegriff: no column, stays empty",
      "Bez1 <- \"Name\" (column 3)",     "Bez2: no column, stays empty",
      "Bez3: no column, stays empty",    "Bez4: no column, stays empty",
      "Kundengruppe: no column, stays empty", "columns not used: \"Telefon\"",
  };
  EXPECT_EQ(lines, want);
}

// The generator writes the same records as record strings and as CSV; read
// back through CsvReader and FieldMap, the CSV must give exactly the record
// strings, multi-line values and quoting included.
class GeneratorTest : public testing::Test {
 protected:
  void SetUp() override {
    const char* source = std::getenv("KORVIX_SOURCE_DIR");
    ASSERT_NE(source, nullptr) << "KORVIX_SOURCE_DIR must name the source directory";
    script_ = std::string(source) + "/scripts/generate_records.py";
    char dir[] = "/tmp/korvix-generator-XXXXXX";
    ASSERT_NE(::mkdtemp(dir), nullptr);
    dir_ = dir;
  }
  void TearDown() override {
    if (!dir_.empty()) std::filesystem::remove_all(dir_);
  }

  // Runs the generator with `options`, writing `file` in the temporary dir.
  std::string Generate(const std::string& options, const std::string& file) {
    const std::string path = dir_ + "/" + file;
    const std::string command = "python3 '" + script_ + "' " + options + " -o '" + path + "'";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    return path;
  }

  std::string script_;
  std::string dir_;
};

TEST_F(GeneratorTest, CsvReadsBackToTheRecordStrings) {
  const std::string common = "--count 400 --seed 11 --dup-rate 0.3";
  const std::string records_path = Generate(common + " --format records", "records.txt");
  std::vector<std::string> records;
  {
    std::ifstream in(records_path);
    for (std::string line; std::getline(in, line);) records.push_back(line);
  }
  ASSERT_EQ(records.size(), 400u);

  const struct {
    const char* options;
    const char* map;  // empty: by header names
    std::size_t block;
  } cases[] = {
      {"", "", CsvReader::kDefaultBlock},
      {"--delimiter , --line-end lf", "", 64},
      {"--csv-header 'zip;town;address;matchcode;company;firstname;name3;name4;group'", "", 100},
      {"--delimiter tab --csv-header a,b,c,d,e,f,g,h,i",
       "PLZ=a,Ort=b,Strasse=c,Suchbegriff=d,Bez1=e,Bez2=f,Bez3=g,Bez4=h,Kundengruppe=i", 4096},
  };
  int file_number = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.options);
    const std::string path = Generate(common + " --format csv " + c.options,
                                      "records" + std::to_string(++file_number) + ".csv");
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    CsvReader reader(fd, path, CsvReader::kDetect, c.block);
    CsvRecord record;
    ASSERT_TRUE(reader.Next(&record));
    const FieldMap map = *c.map ? FieldMap::FromOption(c.map, record.fields)
                                : FieldMap::FromHeader(record.fields);
    std::size_t n = 0, quoted = 0;
    std::uint64_t last_line = 0;
    std::string got;
    while (reader.Next(&record)) {
      ASSERT_TRUE(record.ok()) << record.error;
      ASSERT_TRUE(map.RecordString(record.fields, &got)) << "line " << record.line;
      ASSERT_LT(n, records.size());
      EXPECT_EQ(got, records[n]) << "record " << n + 1 << ", line " << record.line;
      ++n;
      last_line = record.line;
      quoted += got.find('"') != std::string::npos;
    }
    ::close(fd);
    EXPECT_EQ(n, records.size());
    // The sample must exercise the hard parts, or the comparison proves little.
    EXPECT_GT(last_line, n + 1) << "no record spans two lines";
    EXPECT_GT(quoted, 0u);
  }
}

TEST_F(GeneratorTest, SameSeedSameRecordsOtherSeedOthers) {
  const auto read = [](const std::string& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  const std::string a = read(Generate("--count 200 --seed 5", "a.txt"));
  const std::string b = read(Generate("--count 200 --seed 5", "b.txt"));
  const std::string c = read(Generate("--count 200 --seed 6", "c.txt"));
  EXPECT_EQ(a, b);
  EXPECT_NE(a, c);
  std::size_t lines = 0;
  for (std::size_t at = 0; (at = a.find('\n', at)) != std::string::npos; ++at) {
    ++lines;
    const std::size_t start = a.rfind('\n', at - 1);
    const std::string_view line(a.data() + (start == std::string::npos ? 0 : start + 1),
                                at - (start == std::string::npos ? 0 : start + 1));
    EXPECT_EQ(std::count(line.begin(), line.end(), '|'), 8) << line;
  }
  EXPECT_EQ(lines, 200u);
}

}  // namespace
}  // namespace korvix::cli
