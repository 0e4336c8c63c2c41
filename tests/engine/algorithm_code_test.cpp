#include "korvix/algorithm_code.h"
#include "korvix/error.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

namespace korvix {
namespace {

TEST(ReadNumber, LeadingNumberRoundedHalfToEven) {
  const struct {
    std::string text;
    int value;
  } cases[] = {
      {"03", 3},   {" 3", 3},     {"3 ", 3},     {"  ", 0},   {"", 0},     {"-1", -1},
      {"+7", 7},   {"x1", 0},     {"1x", 1},     {"12", 12},  {"0.5", 0},  {"1.5", 2},
      {"2.5", 2},  {"2.51", 3},   {"-2.5", -2},  {"-3.5", -4}, {".", 0},   {"-", 0},
      {"5.", 5},   {".7", 1},     {"1 2", 12},   {"3 Stellen", 3}, {"１", 0},  // full-width: no digit
      {"- 4", -4}, {"99999999999999999999", INT_MAX}, {"-99999999999999999999", INT_MIN},
  };
  for (const auto& c : cases) EXPECT_EQ(ReadNumber(c.text), c.value) << "'" << c.text << "'";
}

TEST(ReadAlgorithmCode, SlotsUpToTheEndMark) {
  using S = AlgorithmSlot;
  const struct {
    std::string code;
    std::vector<AlgorithmSlot> slots;
  } cases[] = {
      {"", {}},
      {"0000000000000000", {}},
      {"0103000000000000", {S{1, 3, 0, 0}}},
      {"010300000000000003050000000000000504110000000000",
       {S{1, 3, 0, 0}, S{3, 5, 0, 0}, S{5, 4, 1, 1}}},
      {"5106010000000000", {S{51, 6, 0, 1}}},
      {"0103", {S{1, 3, 0, 0}}},
      {"01032A", {S{1, 3, 2, 0}}},
      {"0103000000000000x", {S{1, 3, 0, 0}}},  // the 17th character is no field number
      {"01030000000000000000000000000000" "0201000000000000", {S{1, 3, 0, 0}}},
  };
  for (const auto& c : cases) EXPECT_EQ(ReadAlgorithmCode(c.code), c.slots) << c.code;
  std::string eleven;
  for (int i = 0; i < 11; ++i) eleven += "0201000000000000";
  EXPECT_EQ(ReadAlgorithmCode(eleven).size(), 10u);
}

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

// A code from a person is checked before it keys anything: the key builder
// reads any text, and a typo would give every record the same key.
TEST(ReadAlgorithm, TakesCodesAndReadableFormsAndSaysWhatIsWrongWithTheRest) {
  const std::string plz_ort = "0105000000000000" "0203000000000000";
  EXPECT_EQ(ReadAlgorithm(plz_ort), plz_ort);
  EXPECT_EQ(ReadAlgorithm("5(PLZ)+3(Ort)"), plz_ort);
  EXPECT_EQ(ReadAlgorithm(std::string(10 * 16, '1')), std::string(10 * 16, '1'));
  const struct {
    std::string given;
    std::string says;
  } refused[] = {
      {"", "no code given"},
      {"Adresse und Name", "character 1 ('A') is not a digit"},
      {"0105\xFF" "00000000000", "character 5 ('\\xFF') is not a digit"},  // shown as valid UTF-8
      {"01050000000000", "the code has 14 characters, 16 for each slot: the slot from character 1"},
      {plz_ort + "03", "the slot from character 33 is cut short"},
      {std::string(11 * 16, '1'), "11 slots, at most 10 are read: character 161 on"},
      {"0005000000000000", "characters 1-2: field number 00 names no field"},
      {"5400000000000000", "characters 1-2: field number 54 names no field"},
      {"5300000000000000", "characters 3-4: length 00"},
      {plz_ort.substr(0, 16) + "0200000000000000", "characters 19-20: length 00"},
      {"5(PLZ", "character"},
      {"5(Nirgends)", "character 3: "},
  };
  for (const auto& c : refused) {
    try {
      ReadAlgorithm(c.given);
      ADD_FAILURE() << c.given << " was read";
    } catch (const Error& e) {
      EXPECT_EQ(e.code(), ErrorCode::kInvalidArgument);
      EXPECT_NE(std::string(e.what()).find(c.says), std::string::npos) << c.given << ": " << e.what();
    }
    EXPECT_NE(AlgorithmCodeProblem(c.given), "") << c.given;
  }
  EXPECT_EQ(AlgorithmCodeProblem(plz_ort), "");
}

}  // namespace
}  // namespace korvix
