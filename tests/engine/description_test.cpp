#include "korvix/description.h"

#include <gtest/gtest.h>

#include "case_file.h"

namespace korvix {
namespace {

TEST(DescribeAlgorithm, ExamplesAndEdgeCases) {
  for (const testing::Case& c : testing::ReadCases("engine/cases/descriptions.tsv", 2)) {
    EXPECT_EQ(DescribeAlgorithm(c[0]), c[1]) << c.where;
  }
}

}  // namespace
}  // namespace korvix
