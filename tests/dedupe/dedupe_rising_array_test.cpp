// The compact array of numbers that never fall.
#include "dedupe/rising_array.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace korvix::cli {
namespace {

TEST(RisingArray, GivesBackEveryValueAcrossTheFourGigabyteSteps) {
  constexpr std::uint64_t k4G = std::uint64_t{1} << 32;
  const std::vector<std::uint64_t> values = {
      0, 0, 1, 4294967295u, k4G, k4G, k4G + 7,
      3 * k4G + 1,  // two steps at once, as a long run of empty lines makes
      3 * k4G + 1, 5 * k4G, 0xFFFFFFFFFFFFFFFFu};
  RisingArray a;
  for (std::size_t n = 0; n < values.size(); ++n) {
    a.push_back(values[n]);
    ASSERT_EQ(a.size(), n + 1);
    EXPECT_EQ(a.back(), values[n]);
    for (std::size_t i = 0; i <= n; ++i) ASSERT_EQ(a[i], values[i]) << i << " of " << n;
  }
  a.clear();
  EXPECT_TRUE(a.empty());
  a.push_back(12);
  EXPECT_EQ(a[0], 12u);
}

}  // namespace
}  // namespace korvix::cli
