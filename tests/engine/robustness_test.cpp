// No input makes the engine throw, crash or return invalid UTF-8.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "base/text.h"
#include "korvix/algorithm_code.h"
#include "korvix/description.h"
#include "korvix/key_builder.h"
#include "korvix/phonetic.h"

namespace korvix {
namespace {

bool IsValidUtf8(const std::string& s) {
  return text::Encode(text::Decode(s)) == s;
}

TEST(Robustness, ArbitraryBytesGiveValidUtf8) {
  std::mt19937 rng(42);
  std::uniform_int_distribution<int> byte(0, 255);
  const std::string codes[] = {"010300000000000003050000000000000504110000000000",
                               "5106010000000000", "0399110000000000", ""};
  for (int i = 0; i < 3000; ++i) {
    std::string junk(static_cast<std::size_t>(byte(rng)), '\0');
    for (char& c : junk) c = static_cast<char>(byte(rng) % 3 == 0 ? '|' : byte(rng));
    for (const std::string& code : codes) ASSERT_TRUE(IsValidUtf8(BuildKey(code, junk)));
    ASSERT_TRUE(IsValidUtf8(PhoneticCode(junk)));
    ASSERT_TRUE(IsValidUtf8(NormalizeStreet(junk)));
    ASSERT_TRUE(IsValidUtf8(DescribeAlgorithm(junk)));
    ASSERT_TRUE(IsValidUtf8(GetDataField(junk, 2)));
    (void)ReadAlgorithmCode(junk);
  }
}

TEST(Robustness, MegabyteInputs) {
  const std::string big(1 << 20, 'a');
  const std::string record = "1|2|" + std::string(1 << 20, 'S') + " STRASSE";
  EXPECT_EQ(BuildKey("0305000000000000", record), "SSSSS");
  EXPECT_EQ(BuildKey("0305100000000000", record), "SSSTR");
  EXPECT_EQ(PhoneticCode(big), "");
  EXPECT_EQ(PhoneticCode(std::string(1 << 20, 'b')), "B");
  std::string long_code;
  while (long_code.size() < (1 << 20)) long_code += "0101000000000000";
  EXPECT_EQ(BuildKey(long_code, "x"), "xxxxxxxxxx");
  EXPECT_EQ(DescribeAlgorithm(long_code).size(), 10 * 6 + 9u);  // "1(PLZ)" ten times
}

TEST(Robustness, CallerDataIsUnchanged) {
  const std::string data = "12345|Ort|Straße|S|M\xFCller";
  const std::string copy = data;
  (void)BuildKey("0305011000000000", data);
  EXPECT_EQ(data, copy);
}

}  // namespace
}  // namespace korvix
