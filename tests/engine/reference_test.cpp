// The one-pass engine against a literal step-by-step reading of the rules,
// on many generated inputs that stress the places where they could part:
// replacements that create new matches, blanks, compounds, odd codes.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "base/text.h"
#include "korvix/description.h"
#include "korvix/key_builder.h"
#include "korvix/phonetic.h"
#include "reference.h"

namespace korvix {
namespace {

using text::Decode;
using text::Encode;

class Generator {
 public:
  explicit Generator(unsigned seed) : rng_(seed) {}

  int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }

  // Text made of pieces that matter to the street and phonetic rules.
  std::string Text(int max_pieces) {
    static const char* const kPieces[] = {
        "S", "T", "R", "A", "SS", "ß", "E", " ", "  ", "STR", "STRASSE", "STRAßE", "str", "strasse",
        "straße", "C", "H", "K", "CH", "CK", "D", "DT", "TH", "ä", "Ö", "ü", "&", "0", "1", "5",
        "6", "8", "9", "-", ".", "\t", "é", "Ä", "x", "M", "N", "B", "P", "Mü", "\xFC", "\x80",
        "u\xCC\x88", "\xC3", "a", "o", "W", "Y", "Q", "Z", "\xCE\xA3"};
    std::string s;
    for (int n = Pick(max_pieces + 1); n > 0; --n) s += kPieces[Pick(std::size(kPieces))];
    return s;
  }

  std::string Record() {
    std::string r;
    const int items = Pick(12);
    for (int i = 0; i < items; ++i) {
      if (i > 0) r += "|";
      r += Text(6);
    }
    return r;
  }

  // Mostly well-formed slots, with odd numbers, blanks and letters mixed in.
  std::string Code() {
    static const char* const kFields[] = {"01", "02", "03", "04", "05", "06", "07", "08",
                                          "09", "51", "52", "53", "10", "50", "99", "-1",
                                          " 3", "3 ", "1.", "00", "xx", "54"};
    static const char* const kLengths[] = {"00", "01", "03", "05", "09", "12", "99",
                                           "-2", " 4", "4 ", ".5", "2.", "ab"};
    static const char* const kSwitches[] = {"0", "1", "1", "2", " ", "x", "9"};
    std::string code;
    for (int n = Pick(12); n > 0; --n) {
      code += kFields[Pick(std::size(kFields))];
      code += kLengths[Pick(std::size(kLengths))];
      code += kSwitches[Pick(std::size(kSwitches))];
      code += kSwitches[Pick(std::size(kSwitches))];
      code += Pick(8) == 0 ? "12345x7890" : "0000000000";
    }
    if (Pick(6) == 0 && !code.empty()) code.resize(Pick(static_cast<int>(code.size())));
    return code;
  }

 private:
  std::mt19937 rng_;
};

TEST(Reference, KeysOfGeneratedCodesAndRecords) {
  Generator gen(20261206);
  for (int i = 0; i < 4000; ++i) {
    const std::string code = gen.Code();
    const KeyBuilder builder(code);
    std::vector<std::string> records;
    for (int k = 0; k < 5; ++k) records.push_back(gen.Record());
    const std::vector<std::string> batch = builder.Keys(records, 2);
    for (std::size_t k = 0; k < records.size(); ++k) {
      const std::string expected = Encode(reference::BuildKey(Decode(code), Decode(records[k])));
      ASSERT_EQ(builder.Key(records[k]), expected) << "code '" << code << "' record '" << records[k] << "'";
      ASSERT_EQ(BuildKey(code, records[k]), expected);
      ASSERT_EQ(batch[k], expected);
    }
  }
}

TEST(Reference, PhoneticCodesAndStreets) {
  Generator gen(7);
  for (int i = 0; i < 20000; ++i) {
    const std::string t = gen.Text(12);
    ASSERT_EQ(PhoneticCode(t), Encode(reference::PhoneticCode(Decode(t)))) << "'" << t << "'";
    ASSERT_EQ(NormalizeStreet(t), Encode(reference::NormalizeStreet(Decode(t)))) << "'" << t << "'";
    ASSERT_EQ(ReducePhonetic(t), Encode(reference::ReducePhonetic(Decode(t)))) << "'" << t << "'";
  }
}

TEST(Reference, DescriptionsOfGeneratedCodes) {
  Generator gen(11);
  for (int i = 0; i < 5000; ++i) {
    const std::string code = gen.Code();
    ASSERT_EQ(DescribeAlgorithm(code), Encode(reference::DescribeAlgorithm(Decode(code)))) << code;
  }
}

}  // namespace
}  // namespace korvix
