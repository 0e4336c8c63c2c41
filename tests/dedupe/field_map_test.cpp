// Which CSV column feeds which field: by name, by --map, and the refusals.
#include "dedupe/read/field_map.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dedupe/core/error.h"
#include "korvix/algorithm_code.h"
#include "korvix/fields.h"

namespace korvix::dedupe {
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

TEST(FieldMap, MapsByNamesThenByOption) {
  const struct {
    std::vector<std::string_view> header;
    const char* option;
    std::vector<int> want;
  } cases[] = {
      {{"PLZ", "Ort", "Strasse", "Suchbegriff", "Name1", "Name2", "Name3", "Name4", "Kundengruppe"},
       "", {0, 1, 2, 3, 4, 5, 6, 7, 8}},
      {{" Postleitzahl ", "STADT", "\tStraße", "Matchcode", "Firma", "Vorname", "bez3", "BEZ4",
        "Customer_Group"}, "", {0, 1, 2, 3, 4, 5, 6, 7, 8}},
      {{"STRA\xDF" "E", "Post-Leitzahl"}, "", {1, kNone, 0, kNone, kNone, kNone, kNone, kNone, kNone}},
      {{"Name", "Name1", "Firma"}, "", {kNone, kNone, kNone, kNone, 1, kNone, kNone, kNone, kNone}},
      {{"zip", "Postleitzahl"}, "", {1, kNone, kNone, kNone, kNone, kNone, kNone, kNone, kNone}},
      // A partial --map keeps the recognised columns of the other fields ...
      {{"zip", "city", "Kunde"}, "Bez1=kunde", {0, 1, kNone, kNone, 2, kNone, kNone, kNone, kNone}},
      // ... and a column it names feeds only the fields named with it.
      {{"zip", "Name", "Firma"}, " strasse = NAME , ", {0, kNone, 1, kNone, 2, kNone, kNone, kNone, kNone}},
      {{"a", "b"}, "Suchbegriff=a,Bez1=a", {kNone, kNone, kNone, 0, 0, kNone, kNone, kNone, kNone}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.header) + " " + c.option);
    const FieldMap map = FieldMap::Make(c.header, c.option);
    EXPECT_EQ(Columns(map), c.want);
  }
}

TEST(FieldMap, RefusalsSayWhyAndShowBadBytesEscaped) {
  const struct {
    std::vector<std::string_view> header;
    const char* option;
    const char* message;  // a part of it
  } cases[] = {
      {{"foo", "M\xFCll"}, "", "(columns: \"foo\", \"M\\xFCll\"); give --map FIELD=COLUMN"},
      {{"zip"}, "Foo=zip", "\"Foo\" is not a record field; the fields are PLZ, Ort, Straße"},
      {{"zip", "city"}, "PLZ=postcode", "the header has no column \"postcode\"; its columns are \"zip\", \"city\""},
      {{"zip"}, "PLZ", "\"PLZ\" is not FIELD=COLUMN"},
      {{"zip", "city"}, "Strasse=zip,Straße=city", "field Straße is mapped twice"},
      {{"zip"}, " , ,", "no FIELD=COLUMN given"},
  };
  for (const auto& c : cases) {
    try {
      FieldMap::Make(c.header, c.option);
      ADD_FAILURE() << "no error for " << c.option;
    } catch (const Error& e) {
      EXPECT_EQ(e.code(), ErrorCode::kInvalidArgument);
      EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
    }
  }
  // A field an algorithm reads must have a column.
  const std::vector<std::string_view> header = {"Telefon\xE4", "zip"};
  const FieldMap map = FieldMap::Make(header);
  const int reads_plz[] = {kFieldPlz};
  EXPECT_NO_THROW(map.RequireFields(reads_plz));
  const int reads_more[] = {kFieldPlz, kFieldStrasse, kFieldBez1, kFieldStrasse};
  try {
    map.RequireFields(reads_more);
    ADD_FAILURE() << "no refusal";
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()),
              "no column feeds Straße, Bez1, which the algorithm reads (columns: \"Telefon\\xE4\", "
              "\"zip\"); tie it to a column with --map, such as --map Straße=Telefon\\xE4");
  }
}

TEST(FieldMap, BuildsRecordStringsAndDescribesItself) {
  const std::vector<std::string_view> header = {"Telefon", "PLZ", "Name1", "Ort", "Name3"};
  const FieldMap map = FieldMap::Make(header);
  const struct {
    std::vector<std::string_view> fields;
    const char* want;
  } cases[] = {
      {{"0301234", "12345", "Müller GmbH", "Berlin", ""}, "12345|Berlin|||Müller GmbH||||"},
      {{"x", " 1 ", "A|B", "||", "c"}, " 1 |  |||A B||c||"},  // a "|" would shift the items
      {{"x", "1", "l1\nl2", "o", "a\r\nb\rc\n"}, "1|o|||l1 l2||a b c ||"},
      {{"x", "M\xFCller", "\"q\"", ";", "\t"}, "M\xFCller|;|||\"q\"||\t||"},
  };
  for (const auto& c : cases) {
    std::string out = "stale";
    ASSERT_TRUE(map.RecordString(c.fields, &out));
    EXPECT_EQ(out, c.want);
  }
  std::string out = "kept";
  EXPECT_FALSE(map.RecordString(std::vector<std::string_view>{"a", "b"}, &out));
  EXPECT_EQ(out, "kept");
  const std::vector<std::string> lines = map.Describe();
  EXPECT_EQ(lines.front(), "PLZ <- \"PLZ\" (column 2)");
  EXPECT_EQ(lines[2], "Straße: no column, stays empty");
  EXPECT_EQ(lines.back(), "columns not used: \"Telefon\"");
}

TEST(FieldTable, LabelsAndColumnNames) {
  const struct {
    int number;
    const char* label;
  } labels[] = {{-3, "PLZ"}, {1, "PLZ"}, {3, "Straße"}, {9, "Kundengruppe"}, {10, ""},
                {50, ""},    {51, "Bez1+2"}, {53, "Bez1+2+3+4"}, {54, ""}};
  for (const auto& l : labels) EXPECT_EQ(FieldLabel(l.number), l.label) << l.number;
  const struct {
    const char* name;
    int field, rank;
  } columns[] = {{"STRAßE", 3, 0}, {"Strasse", 3, 0}, {"Stra\xDF" "e", 3, 0}, {"street", 3, 2},
                 {"Customer-Group", 9, 4}, {"Bez.1", 5, 0}, {"Telefon", 0, 0}, {"Bez1+2", 0, 0}};
  for (const auto& c : columns) {
    int rank = -1;
    EXPECT_EQ(FieldOfColumn(c.name, &rank), c.field) << c.name;
    if (c.field != 0) {
      EXPECT_EQ(rank, c.rank) << c.name;
    }
  }
  EXPECT_EQ(FieldOfLabel("strasse"), 3);
  EXPECT_EQ(FieldOfLabel("BEZ4"), 8);
  EXPECT_EQ(FieldOfLabel("Bez1+2"), 0);
}

}  // namespace
}  // namespace korvix::dedupe
