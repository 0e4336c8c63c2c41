// Which CSV column feeds which field: by name, by --map, and the refusals.
#include "dedupe/read/field_map.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "case_file.h"
#include "dedupe/core/error.h"
#include "korvix/algorithm_code.h"
#include "korvix/fields.h"

namespace korvix::dedupe {
namespace {

// The column of each of the nine fields, "-" where unmapped; or "!" and the
// refusal.
std::string Columns(const std::vector<std::string_view>& header, const std::string& option) {
  try {
    const FieldMap map = FieldMap::Make(header, option);
    std::string out;
    for (std::size_t f = 0; f < kRecordFields; ++f) {
      out += (f == 0 ? "" : " ") +
             (map.column(f) == FieldMap::kUnmapped ? std::string("-") : std::to_string(map.column(f)));
    }
    return out;
  } catch (const Error& e) {
    return std::string(e.code() == ErrorCode::kInvalidArgument ? "!" : "?") + e.what();
  }
}

TEST(FieldMap, MapsByNamesThenByOptionAndRefusalsSayWhy) {
  for (const korvix::testing::Case& c : korvix::testing::ReadCases("dedupe/cases/field_map.tsv", 3)) {
    std::vector<std::string_view> header;
    for (std::size_t at = 0, bar;; at = bar + 1) {
      bar = c[0].find('|', at);
      header.push_back(std::string_view(c[0]).substr(at, bar - at));
      if (bar == std::string::npos) break;
    }
    const std::string got = Columns(header, c[1]);
    if (c[2].starts_with("!")) {
      EXPECT_TRUE(got.starts_with("!") && got.find(c[2].substr(1)) != std::string::npos) << c.where << ": " << got;
    } else {
      EXPECT_EQ(got, c[2]) << c.where;
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
