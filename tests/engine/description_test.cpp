#include "korvix/description.h"

#include <gtest/gtest.h>

#include <string>

namespace korvix {
namespace {

TEST(DescribeAlgorithm, ExamplesAndEdgeCases) {
  const struct {
    std::string code, description;
  } cases[] = {
      {"0103000000000000", "3(PLZ)"},
      {"010300000000000003050000000000000504110000000000", "3(PLZ)+5(Straße)+4R['sndx:Bez1]"},
      {"01060000000000000208100000000000", "6(PLZ)+8R(Ort)"},
      {"51120000000000005108010000000000", "12(Bez1+2)+8['sndx:Bez1+2]"},
      {"5306110000000000", "6R['sndx:Bez1+2+3+4]"}, {"", ""},
      {"0400000000000000", "0(Suchbegriff)"},
      {"09990000000000005203000000000000", "99(Kundengruppe)+3(Bez1+2+3)"},
      {"0601000000000000070100000000000008010000000000000201000000000000",
       "1(Bez2)+1(Bez3)+1(Bez4)+1(Ort)"},
      // no label for 10-50; a negative field number takes the first label
      {"1003000000000000", "3()"}, {"-103000000000000", "3(PLZ)"},
      // values other than exactly 1 give neither R nor the phonetic brackets
      {"0103220000000000", "3(PLZ)"}, {"01031 0000000000", "3R(PLZ)"},
      // negative length keeps its sign
      {"01-1000000000000", "-1(PLZ)"},
      // stops at the first field number 0, and after ten slots
      {"01030000000000000000000000000000010300000000000", "3(PLZ)"}, {"0103", "3(PLZ)"},
      // above 53: the previous item decorated again
      {"01040000000000009903000000000000", "4(PLZ)+3(4(PLZ))"}, {"9903000000000000", "3()"},
      {"0104000000000000990310000000000099020100000000000",
       "4(PLZ)+3R(4(PLZ))+2['sndx:3R(4(PLZ))]"},
  };
  for (const auto& c : cases) EXPECT_EQ(DescribeAlgorithm(c.code), c.description) << c.code;
}

}  // namespace
}  // namespace korvix
