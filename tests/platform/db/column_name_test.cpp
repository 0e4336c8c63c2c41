#include "platform/db/column_name.h"

#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace korvix::db {
namespace {

TEST(ColumnNameTest, FindsColumnsWithoutRegardToCase) {
  const std::vector<std::string> columns = {"algorithmcode", "Code", "code", "Straße", "NAME"};
  struct Case {
    const char* name;
    std::optional<std::size_t> index;
  };
  const Case cases[] = {
      {"AlgorithmCode", 0},
      {"ALGORITHMCODE", 0},
      {"code", 2},  // the exact spelling wins over an earlier folded match
      {"Code", 1},
      {"CODE", 1},
      {"name", 4},
      {"Straße", 3},
      {"STRASSE", std::nullopt},  // only ASCII letters fold
      {"Algorithm", std::nullopt},
      {"", std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FindColumn(columns, c.name), c.index) << c.name;
  }
  EXPECT_EQ(FindColumn({}, "a"), std::nullopt);
}

}  // namespace
}  // namespace korvix::db
