// No input makes the engine throw, crash or return invalid UTF-8.
#include <gtest/gtest.h>
#include <utf8proc.h>

#include <random>
#include <string>

#include "korvix/algorithm_code.h"
#include "korvix/description.h"
#include "korvix/key_builder.h"
#include "korvix/phonetic.h"

namespace korvix {
namespace {

bool IsValidUtf8(const std::string& s) {
  const auto* bytes = reinterpret_cast<const utf8proc_uint8_t*>(s.data());
  utf8proc_int32_t c;
  for (utf8proc_ssize_t i = 0, n = 0; i < static_cast<utf8proc_ssize_t>(s.size()); i += n) {
    if ((n = utf8proc_iterate(bytes + i, static_cast<utf8proc_ssize_t>(s.size()) - i, &c)) <= 0) return false;
  }
  return true;
}

TEST(Robustness, ArbitraryBytesGiveValidUtf8) {
  std::mt19937 rng(42);
  std::uniform_int_distribution<int> byte(0, 255);
  const std::string codes[] = {"010300000000000003050000000000000504110000000000",
                               "5106010000000000", "0399110000000000", "03-1000000000000", ""};
  for (int i = 0; i < 3000; ++i) {
    std::string junk(static_cast<std::size_t>(byte(rng)), '\0');
    for (char& c : junk) c = static_cast<char>(byte(rng) % 3 == 0 ? '|' : byte(rng));
    for (const std::string& code : codes) ASSERT_TRUE(IsValidUtf8(BuildKey(code, junk)));
    for (const std::string& out : {PhoneticCode(junk), ReducePhonetic(junk), NormalizeStreet(junk),
                                   NormalizeText(junk), DescribeAlgorithm(junk), GetDataField(junk, 2)}) {
      ASSERT_TRUE(IsValidUtf8(out)) << junk;
    }
    (void)ReadAlgorithmCode(junk);
  }
}

// Long inputs take the paths that do not fit the small buffers.
TEST(Robustness, MegabyteInputs) {
  const std::string record = "1|2|" + std::string(1 << 20, 'S') + " STRASSE";
  EXPECT_EQ(BuildKey("0305000000000000", record), "SSSSS");
  EXPECT_EQ(BuildKey("0305100000000000", record), "SSSTR");
  EXPECT_EQ(PhoneticCode(std::string(1 << 20, 'a')), "");
  EXPECT_EQ(PhoneticCode(std::string(1 << 20, 'b')), "B");
  EXPECT_EQ(PhoneticCode(std::string(1 << 20, '6')).size(), 3u << 20);
  std::string long_code;
  while (long_code.size() < (1 << 20)) long_code += "0101000000000000";
  EXPECT_EQ(BuildKey(long_code, "x"), "xxxxxxxxxx");
  EXPECT_EQ(DescribeAlgorithm(long_code).size(), 10 * 6 + 9u);  // "1(PLZ)" ten times
}

}  // namespace
}  // namespace korvix
