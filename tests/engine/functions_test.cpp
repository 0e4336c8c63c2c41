// The engine's functions on the tables under engine/cases: a line names the
// function, its arguments and, last, the result; "~" before the result
// asks only that the result hold it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "case_file.h"
#include "engine/phonetic_code.h"
#include "korvix/algorithm_code.h"
#include "korvix/description.h"
#include "korvix/error.h"
#include "korvix/fields.h"
#include "korvix/key_builder.h"
#include "korvix/phonetic.h"

namespace korvix {
namespace {

using Args = std::vector<std::string>;

std::string Read(const std::string& given) {
  try {
    return ReadAlgorithm(given);
  } catch (const Error& e) {
    if (e.code() != ErrorCode::kInvalidArgument) return "error code " + std::to_string(int(e.code()));
    return AlgorithmCodeProblem(given).empty() ? "refused, but no problem found" : e.what();
  }
}

// Each function with the number of its arguments.
const std::map<std::string, std::pair<std::size_t, std::function<std::string(const Args&)>>> kFunctions = {
    {"key", {2, [](const Args& a) {
       const std::string key = BuildKey(a[0], a[1]);
       return KeyBuilder(a[0]).Key(a[1]) == key ? key : "KeyBuilder differs from " + key;
     }}},
    {"street", {1, [](const Args& a) { return NormalizeStreet(a[0]); }}},
    {"phonetic", {1, [](const Args& a) {
       std::string bytewise, sse41;
       engine::AppendPhoneticCodeByteByByte(a[0], &bytewise);
       if (engine::AppendPhoneticCodeSse41(a[0], &sse41) && sse41 != bytewise) return "SSE4.1 " + sse41;
       return PhoneticCode(a[0]) == bytewise ? bytewise : "byte by byte " + bytewise;
     }}},
    {"number", {1, [](const Args& a) { return std::to_string(ReadNumber(a[0])); }}},
    {"slots", {1, [](const Args& a) {
       std::string text;
       for (const AlgorithmSlot& s : ReadAlgorithmCode(a[0])) {
         text += (text.empty() ? "" : " ") + std::to_string(s.field) + "," + std::to_string(s.length) + "," +
                 std::to_string(s.direction) + "," + std::to_string(s.phonetic);
       }
       return text;
     }}},
    {"read", {1, [](const Args& a) { return Read(a[0]); }}},
    {"problem", {1, [](const Args& a) { return AlgorithmCodeProblem(a[0]); }}},
    {"describe", {1, [](const Args& a) { return DescribeAlgorithm(a[0]); }}},
};

class Functions : public ::testing::TestWithParam<const char*> {};

TEST_P(Functions, AsTheTableSays) {
  for (const testing::Case& c : testing::ReadCases(std::string("engine/cases/") + GetParam(), 3, 4)) {
    const auto function = kFunctions.find(c[0]);
    ASSERT_TRUE(function != kFunctions.end() && function->second.first == c.fields.size() - 2) << c.where;
    const std::string got = function->second.second(Args(c.fields.begin() + 1, c.fields.end() - 1));
    const std::string& want = c.fields.back();
    if (want.starts_with("~")) {
      EXPECT_THAT(got, ::testing::HasSubstr(want.substr(1))) << c.where;
    } else {
      EXPECT_EQ(got, want) << c.where;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Engine, Functions, ::testing::Values("keys.tsv", "phonetic.tsv", "codes.tsv", "descriptions.tsv"),
                         [](const auto& info) { return std::string(info.param).substr(0, std::string(info.param).find('.')); });

TEST(ReadSlot, EachSlotOnItsOwn) {
  const std::string code = "0000000000000000" "0105120000000000";
  EXPECT_EQ(ReadSlot(code, 0), (AlgorithmSlot{0, 0, 0, 0}));
  EXPECT_EQ(ReadSlot(code, 1), (AlgorithmSlot{1, 5, 1, 2}));  // after an end mark
  EXPECT_EQ(ReadSlot(code, 9), (AlgorithmSlot{0, 0, 0, 0}));
}

TEST(WriteAlgorithmCode, RoundTripsAndStopsAtAnEmptyField) {
  using S = AlgorithmSlot;
  const std::vector<AlgorithmSlot> slots = {S{1, 3, 0, 0}, S{53, 9, 1, 1}, S{9, 12, 0, 0}};
  const std::string code = WriteAlgorithmCode(slots);
  EXPECT_EQ(code, "0103000000000000" "5309110000000000" "0912000000000000");
  EXPECT_EQ(ReadAlgorithmCode(code), slots);
  const std::vector<AlgorithmSlot> gap = {S{1, 3, 0, 0}, S{0, 3, 0, 0}, S{2, 3, 0, 0}};
  EXPECT_EQ(WriteAlgorithmCode(gap), "0103000000000000");
  // a switch read as any non-1 value is written as 0
  EXPECT_EQ(WriteAlgorithmCode(std::vector<AlgorithmSlot>{S{2, 1, 2, 7}}), "0201000000000000");
  EXPECT_EQ(WriteAlgorithmCode({}), "");
}

// Batches large enough to be split over threads, and a reused key string.
TEST(KeyBuilder, BatchesAndReusedKeysEqualOneByOne) {
  const std::string code = "010300000000000003050000000000000504110000000000";
  std::vector<std::string> records;
  for (int i = 0; i < 20000; ++i) records.push_back(std::to_string(i) + "|Ort|Straße " + std::to_string(i) + "|S|Mü");
  const KeyBuilder builder(code);
  EXPECT_EQ(builder.key_length(), 12);
  for (unsigned threads : {0u, 1u, 2u, 7u}) {
    const std::vector<std::string> keys = builder.Keys(records, threads);
    std::string key = "leftover";
    for (std::size_t i = 0; i < records.size(); i += 997) {
      builder.Key(records[i], &key);
      EXPECT_EQ(keys[i], key) << "record " << i;
      EXPECT_EQ(key, BuildKey(code, records[i]));
    }
  }
}

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
