// Which CSV column feeds which field: by name, by --map, and the refusals.
#include "dedupe/read/field_map.h"

#include <gmock/gmock.h>
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
  EXPECT_THAT([&] { map.RequireFields(reads_more); },
              ::testing::ThrowsMessage<Error>(::testing::StrEq(
                  "no column feeds Straße, Bez1, which the algorithm reads (columns: \"Telefon\\xE4\", "
                  "\"zip\"); tie it to a column with --map, such as --map Straße=Telefon\\xE4")));
}

TEST(FieldMap, BuildsRecordStringsAndDescribesItself) {
  const std::vector<std::string_view> header = {"Telefon", "PLZ", "Name1", "Ort", "Name3"};
  const FieldMap map = FieldMap::Make(header);
  for (const korvix::testing::Case& c : korvix::testing::ReadCases("dedupe/cases/record_strings.tsv", 6)) {
    std::string out = "stale";
    ASSERT_TRUE(map.RecordString(std::vector<std::string_view>(c.fields.begin(), c.fields.end() - 1), &out));
    EXPECT_EQ(out, c[5]) << c.where;
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
  for (const korvix::testing::Case& c : korvix::testing::ReadCases("dedupe/cases/field_names.tsv", 3)) {
    int rank = -1;
    std::string got;
    if (c[0] == "label") {
      got = FieldLabel(std::stoi(c[1]));
    } else if (c[0] == "column") {
      const int field = FieldOfColumn(c[1], &rank);
      got = std::to_string(field) + (field != 0 ? " " + std::to_string(rank) : "");
    } else {
      got = std::to_string(FieldOfLabel(c[1]));
    }
    EXPECT_EQ(got, c[2]) << c.where;
  }
}

}  // namespace
}  // namespace korvix::dedupe
