#include "korvix/doublet_functions.h"

#include <gtest/gtest.h>

#include <string>

namespace korvix {
namespace {

const std::string kCode = "010300000000000003050000000000000504110000000000";
const std::string kRecord = "12345|Musterstadt|Hauptstraße 5|MUELLER|Müller GmbH|Einkauf|||A";

TEST(DoubletFunctions, MethodsForwardToTheEngine) {
  const DoubletFunctions df;
  EXPECT_EQ(df.BuildDoubletKey(kCode, kRecord), "123HAUPTRGMB");
  EXPECT_EQ(df.TranslateAlgorithm(kCode), "3(PLZ)+5(Straße)+4R['sndx:Bez1]");
  EXPECT_EQ(df.BuildSoundexString("Meier"), "MR");
  // empty code and text
  EXPECT_EQ(df.BuildDoubletKey("", kRecord), "");
  EXPECT_EQ(df.TranslateAlgorithm(""), "");
  EXPECT_EQ(df.BuildSoundexString(""), "");
  // no connection: the description stands in for the name
  EXPECT_EQ(df.GetAlgorithmName(nullptr, kCode, "1001"), "3(PLZ)+5(Straße)+4R['sndx:Bez1]");
  EXPECT_EQ(df.GetAlgorithmName(nullptr, "", ""), "");
}

TEST(DoubletFunctions, ObjectsShareNothingAndDataStaysUnchanged) {
  const DoubletFunctions one, two;
  const std::string data = kRecord;
  for (const std::string& code : {kCode, std::string("5112000000000000"), std::string("")}) {
    EXPECT_EQ(one.BuildDoubletKey(code, data), two.BuildDoubletKey(code, data));
    EXPECT_EQ(one.TranslateAlgorithm(code), two.TranslateAlgorithm(code));
  }
  EXPECT_EQ(data, kRecord);
  EXPECT_EQ(std::string(kProgId), "Korvix.DoubletFunctions");
}

}  // namespace
}  // namespace korvix
