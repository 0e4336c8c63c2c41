#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "case_file.h"
#include "korvix/algorithm_code.h"
#include "korvix/description.h"
#include "korvix/fields.h"

namespace korvix {
namespace {

TEST(ParseDescription, CodesAndRefusalsWithTheirPosition) {
  for (const testing::Case& c : testing::ReadCases("engine/cases/parse_descriptions.tsv", 4)) {
    std::string code = "unchanged";
    DescriptionError error;
    const bool ok = ParseDescription(c[0], &code, &error);
    if (c[2] == "0") {
      ASSERT_TRUE(ok) << c.where << ": " << error.message;
      EXPECT_EQ(code, c[1]) << c.where;
      EXPECT_EQ(DescribeAlgorithm(code), c[0]) << c.where;
    } else {
      ASSERT_FALSE(ok) << c.where;
      EXPECT_EQ(code, "unchanged");
      EXPECT_EQ(std::to_string(error.position), c[2]) << c.where << ": " << error.message;
      EXPECT_NE(error.message.find(c[3]), std::string::npos) << c.where << ": " << error.message;
    }
  }
}

// Every slot that the editor can write (each field of its box, lengths 1 to
// 9, both directions, phonetic switch off and on), alone and in codes of one
// to ten slots, comes back from its description.
TEST(ParseDescription, EveryEditorSlotRoundTrips) {
  std::vector<AlgorithmSlot> all;
  for (const RecordField& f : RecordFields()) {
    for (int length = 1; length <= 9; ++length) {
      for (int direction = 0; direction <= 1; ++direction) {
        for (int phonetic = 0; phonetic <= 1; ++phonetic) {
          all.push_back({f.number, length, direction, phonetic});
        }
      }
    }
  }
  ASSERT_EQ(all.size(), 12u * 9 * 2 * 2);
  for (std::size_t i = 0; i < all.size(); ++i) {
    std::vector<AlgorithmSlot> slots;
    for (std::size_t k = 0; k <= i % kMaxSlots; ++k) {
      slots.push_back(all[(i + k * 37) % all.size()]);
    }
    const std::string code = WriteAlgorithmCode(slots);
    std::string parsed;
    DescriptionError error;
    ASSERT_TRUE(ParseDescription(DescribeAlgorithm(code), &parsed, &error))
        << DescribeAlgorithm(code) << ": " << error.message;
    EXPECT_EQ(parsed, code);
  }
}

}  // namespace
}  // namespace korvix
