#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "korvix/algorithm_code.h"
#include "korvix/description.h"
#include "korvix/fields.h"

namespace korvix {
namespace {

std::string Repeated(const std::string& item, int n) {
  std::string text = item;
  for (int i = 1; i < n; ++i) text += "+" + item;
  return text;
}

TEST(ParseDescription, CodesAndRefusalsWithTheirPosition) {
  std::string ten_ort_slots;
  for (int i = 0; i < 10; ++i) ten_ort_slots += "0201000000000000";
  const struct {
    std::string text;
    std::string code;        // expected when accepted
    std::size_t position;    // expected when refused
    std::string message_part;
  } cases[] = {
      {"3(PLZ)", "0103000000000000", 0, ""},
      {"3(PLZ)+5(Straße)+4R['sndx:Bez1]", "010300000000000003050000000000000504110000000000", 0,
       ""},
      {"12(Bez1+2)+8['sndx:Bez1+2]", "51120000000000005108010000000000", 0, ""},
      {"99R['sndx:Kundengruppe]+1(Bez1+2+3+4)", "09991100000000005301000000000000", 0, ""},
      {Repeated("1(Ort)", 10), ten_ort_slots, 0, ""},
      {"", "", 1, "empty"},
      {"(PLZ)", "", 1, "expected a length"},
      {"-1(PLZ)", "", 1, "expected a length"},
      {"0(PLZ)", "", 1, "1 to 99, not 0"},
      {"100(PLZ)", "", 1, "1 to 99, not 100"},
      {"03(PLZ)", "", 1, "leading zero"},
      {"3PLZ", "", 2, "expected \"(\" or \"['sndx:\""},
      {"3RR(PLZ)", "", 3, "expected \"(\""},
      {"3(PLZ", "", 2, "no \")\" closes"},
      {"3['sndx:Bez1)", "", 2, "no \"]\" closes"},
      {"3()", "", 3, "fields 10 to 50 have no label"},
      {"3(plz)", "", 3, "no field is named \"plz\" (did you mean \"PLZ\"?); the fields are PLZ"},
      {"5(Strasse)", "", 3, "did you mean \"Straße\"?"},
      {"5(Stra\xDF" "e)", "", 3, "no field is named \"Stra\\xDFe\" (did you mean \"Straße\"?)"},
      {"3(Bez5)", "", 3, "no field is named \"Bez5\"; the fields"},
      {"5(Straße)x", "", 10, "expected \"+\""},  // positions count characters, not bytes
      {"3(PLZ) +4(Ort)", "", 7, "expected \"+\""},
      {"3(PLZ)+", "", 8, "expected a length"},
      {"3(PLZ)++4(Ort)", "", 8, "expected a length"},
      {Repeated("1(Ort)", 11), "", 71, "at most 10 items"},
  };
  for (const auto& c : cases) {
    std::string code = "unchanged";
    DescriptionError error;
    const bool ok = ParseDescription(c.text, &code, &error);
    if (c.position == 0) {
      ASSERT_TRUE(ok) << c.text << ": " << error.message;
      EXPECT_EQ(code, c.code) << c.text;
      EXPECT_EQ(DescribeAlgorithm(code), c.text);
    } else {
      ASSERT_FALSE(ok) << c.text;
      EXPECT_EQ(code, "unchanged");
      EXPECT_EQ(error.position, c.position) << c.text << ": " << error.message;
      EXPECT_NE(error.message.find(c.message_part), std::string::npos) << error.message;
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
