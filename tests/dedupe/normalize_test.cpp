// Normalising before keying, rule by rule.
#include <gtest/gtest.h>

#include <string>

#include "case_file.h"
#include "dedupe/compare/normalize.h"
#include "korvix/dedupe.h"
#include "korvix/key_builder.h"

namespace korvix::dedupe {
namespace {

using korvix::testing::Case;
using korvix::testing::ReadCases;

std::string Field(int item, std::string_view value) {
  std::string out;
  Normalizer().Field(item, value, &out);
  return out;
}

TEST(Normalize, EachRuleOnItsField) {
  for (const Case& c : ReadCases("dedupe/cases/normalize.tsv", 3)) {
    EXPECT_EQ(Field(std::stoi(c[0]), c[1]), c[2]) << c.where;
  }
  EXPECT_EQ(NormalizeRecord("1067|Köln||S|Dr. Müller GmbH|||x|A|extra ü"),
            "01067|KOELN||S|MUELLER|||X|A|EXTRA UE");
}

TEST(Normalize, SpellingsOfOneAddressGetOneKey) {
  const KeyBuilder builder("0105000000000000" "0204000000000000" "0306000000000000" "0504010000000000" "0603000000000000");
  const std::string want = builder.Key(NormalizeRecord("01067|Köln|Hauptstraße 5||Müller GmbH|Hans"));
  for (const char* record : {"1067|KOELN|Hauptstr. 5||Mueller Gesellschaft mbH|Hans",
                             "01067|köln |Hauptstrasse 5||Dr. Müller G.m.b.H.|Hans",
                             "01067|Köln|Hauptstr.5||MÜLLER GMBH|HANS"}) {
    EXPECT_EQ(builder.Key(NormalizeRecord(record)), want) << record;
  }
}

}  // namespace
}  // namespace korvix::dedupe
