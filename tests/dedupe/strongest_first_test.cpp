// The order in which links join groups, against a plain stable sort.
#include "dedupe/link/strongest_first.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>
#include <vector>

namespace korvix::dedupe {
namespace {

// Scores below, at and above the threshold; many equal (copies score 1);
// parts of one upper half of the bits large enough to be counted, and
// small ones sorted.
TEST(StrongestFirst, OrdersLikeAStableSortByDescendingScore) {
  std::mt19937 random(7);
  struct Case {
    const char* what;
    std::size_t pairs;
    float from, to, ones;  // scores drawn in [from, to), a share of them exactly 1
  };
  const Case cases[] = {
      {"few, spread", 1000, 0.0f, 1.0f, 0.2f},
      {"many in one narrow band", 200000, 0.9f, 0.9035f, 0.1f},
      {"mostly ones", 100000, 0.85f, 1.0f, 0.9f},
      {"none alike", 5000, 0.9f, 1.0f, 0.0f},
  };
  for (const Case& c : cases) {
    std::uniform_real_distribution<float> score(c.from, c.to);
    std::bernoulli_distribution one(c.ones);
    std::vector<float> scores(c.pairs);
    for (float& s : scores) s = one(random) ? 1.0f : score(random);
    scores[0] = 0.9f;  // exactly the threshold: kept
    for (const unsigned threads : {1u, 2u}) {
      const StrongestFirst order(scores, 0.9f, threads);
      std::vector<std::uint32_t> got;
      order.ForEach([&](std::size_t k, std::uint32_t pair) {
        EXPECT_EQ(k, got.size());
        got.push_back(pair);
      });
      EXPECT_EQ(order.size(), got.size());
      std::vector<std::uint32_t> want;
      for (std::uint32_t i = 0; i < scores.size(); ++i) {
        if (scores[i] >= 0.9f) want.push_back(i);
      }
      std::stable_sort(want.begin(), want.end(), [&](std::uint32_t a, std::uint32_t b) { return scores[a] > scores[b]; });
      EXPECT_TRUE(std::equal(got.begin(), got.end(), want.begin(), want.end())) << c.what << ", threads " << threads;
    }
  }
}

}  // namespace
}  // namespace korvix::dedupe
