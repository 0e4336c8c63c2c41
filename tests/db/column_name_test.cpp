#include "db/column_name.h"

#include <gtest/gtest.h>

namespace korvix::db {
namespace {

TEST(ColumnNameTest, FindsColumnsWithoutRegardToAsciiCaseTheExactSpellingFirst) {
  const std::vector<std::string> columns = {"algorithmcode", "Code", "code", "Straße"};
  const std::pair<const char*, std::optional<std::size_t>> cases[] = {
      {"AlgorithmCode", 0}, {"code", 2}, {"CODE", 1}, {"Code", 1}, {"Straße", 3},
      {"STRASSE", std::nullopt}, {"Algorithm", std::nullopt}, {"", std::nullopt}};
  for (const auto& [name, index] : cases) EXPECT_EQ(FindColumn(columns, name), index) << name;
}

}  // namespace
}  // namespace korvix::db
