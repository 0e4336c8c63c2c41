#include "korvix/key_builder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace korvix {
namespace {

const std::string kRecord = "12345|Musterstadt|Hauptstraße 5|MUELLER|Müller GmbH|Einkauf|||A";
const std::string kPlzStrBez1 = "010300000000000003050000000000000504110000000000";

TEST(BuildKey, WorkedExamplesAndEdgeCases) {
  const struct {
    std::string code, data, key;
  } cases[] = {
      // the worked examples
      {kPlzStrBez1, kRecord, "123HAUPTRGMB"},
      {"01060000000000000208100000000000", kRecord, "12345-terstadt"},
      {"09030000000000000202100000000000", kRecord, "A--dt"},
      {"5112000000000000", kRecord, "Müller GmbH "},
      {kPlzStrBez1, "", "------------"}, {kPlzStrBez1, "1|2", "1-----------"},
      // no slots
      {"", kRecord, ""}, {"0003000000000000", kRecord, ""},
      // length 0 adds nothing; a later slot still counts
      {"01000000000000000103000000000000", kRecord, "123"},
      // filled on the right from the left, on the left from the right
      {"0208000000000000", "1|Ort", "Ort-----"}, {"0208100000000000", "1|Ort", "-----Ort"},
      // only punctuation: empty phonetic code, all dashes
      {"0204010000000000", "1|--!--", "----"},
      // compounds: an empty second item leaves the joining blank, trimmed off later
      {"5110000000000000", "1|2|3|4|Anna||x", "Anna------"}, {"5110000000000000", "1|2|3|4||Berg|x", "Berg------"},
      {"5210000000000000", "1|2|3|4|A||C", "A  C------"},
      {"5312000000000000", "1|2|3|4|A|B|C|D", "A B C D-----"},
      // compound items are not trimmed, only the whole part
      {"5112000000000000", "1|2|3|4| A | B |x", "A   B-------"},
      // only the street is upper-cased and normalised, not a compound holding one
      {"0312000000000000", "1|2|Lange Straße 12", "LANGESTR 12-"},
      {"5112000000000000", "1|2|3|4|Lange|Straße", "Lange Straße"},
      {"0412000000000000", "1|2|3|Lange Straße", "Lange Straße"},
      // field numbers 10-50 read further items, normally missing
      {"1003000000000000", kRecord, "---"}, {"1003000000000000", "1|2|3|4|5|6|7|8|9|zehn", "zeh"},
      // a negative length skips cutting: the trimmed part goes in whole
      {"02-1000000000000", "1| Musterstadt ", "Musterstadt"},
      // above 53: the previous slot's finished part, worked again
      {"01040000000000009903000000000000", "12345", "1234123"}, {"9903000000000000", "12345", "---"},
      {"01070000000000009903100000000000", "12345", "12345--5--"},
      // blanks around values are trimmed, tabs stay
      {"0206000000000000", "1|  \tOrt ", "\tOrt--"},
      // characters, not bytes, are counted
      {"0203100000000000", "1|Düsseldorfß", "rfß"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(BuildKey(c.code, c.data), c.key) << "code '" << c.code << "' data '" << c.data << "'";
    EXPECT_EQ(KeyBuilder(c.code).Key(c.data), c.key) << "code '" << c.code << "'";
  }
}

TEST(NormalizeStreet, ReplacementsInOrder) {
  std::string many = "Str", many_shortened = "STR";
  for (int i = 0; i < 20; ++i) many += " str.", many_shortened += "STR.";
  const struct {
    std::string in, out;
  } cases[] = {
      {"Lange Straße 12", "LANGESTR 12"},
      {"Am Strand 3", "AMSTRAND 3"},
      {"Berliner Str. 5", "BERLINERSTR. 5"},
      {"Hauptstraße 5", "HAUPTSTR 5"}, {"Hauptstrasse 5", "HAUPTSTR 5"},
      {"Lange Strasse", "LANGESTR"},
      {"straße", "STR"}, {"", ""}, {"Weg 1", "WEG 1"},
      // two blanks: the one directly before STR goes, both before a long form
      {"A  Str", "A STR"},
      {"Alte  Straße", "ALTESTR"},
      // a replacement may form a new match for a later step
      {"A  STRASSEAßE", "ASTR"},
      {"xSTRASSESSE", "XSTRSSE"},
      // umlauts and accents upper-cased; ß kept
      {"Königsallee", "KÖNIGSALLEE"},
      {"Rue de l'église", "RUE DE L'ÉGLISE"},
      // more street words than the one-pass road keeps track of
      {many, many_shortened},
  };
  for (const auto& c : cases) EXPECT_EQ(NormalizeStreet(c.in), c.out) << c.in;
}

// A street cut from the left is normalised only as far as the cut needs:
// the result must equal the whole street's, wherever the start ends.
TEST(KeyBuilder, StreetCutFromTheLeftAsFromTheWholeStreet) {
  const struct {
    std::string street, key;  // the key of the street's first six characters
  } cases[] = {
      {"Hauptstraße 5", "HAUPTS"}, {"Ag  Strasse 1", "AGSTR "}, {"Ax Strasse", "AXSTR-"},
      {"Gstrasseassea", "GSTRAS"}, {"xG\xCC\x81 Str 4", "XǴSTR "}, {"Abcde   Straße", "ABCDE "},
      {"Bcdefg  Str", "BCDEFG"}, {"Bcdefgh  Str", "BCDEFG"}, {"Bcdefg Strasse", "BCDEFG"},
      {"Bcdef Strasseasse", "BCDEFS"}, {"Eeeeeeeeee", "EEEEEE"}, {"  x  y  ", "X  Y--"},
      {"Rg  Strasse 1", "RGSTR "}, {"G1 Straße", "G1STR-"}, {"Abcde  ſtrasse", "ABCDES"},
  };
  const KeyBuilder builder("0306000000000000");
  for (const auto& c : cases) EXPECT_EQ(builder.Key("1|2|" + c.street), c.key) << c.street;
}

// Batches large enough to be split over threads, and a reused key string.
TEST(KeyBuilder, BatchesAndReusedKeysEqualOneByOne) {
  std::vector<std::string> records;
  for (int i = 0; i < 20000; ++i) records.push_back(std::to_string(i) + "|Ort|Straße " + std::to_string(i) + "|S|Mü");
  const KeyBuilder builder(kPlzStrBez1);
  EXPECT_EQ(builder.key_length(), 12);
  for (unsigned threads : {0u, 1u, 2u, 7u}) {
    const std::vector<std::string> keys = builder.Keys(records, threads);
    std::string key = "leftover";
    for (std::size_t i = 0; i < records.size(); i += 997) {
      builder.Key(records[i], &key);
      EXPECT_EQ(keys[i], key) << "record " << i;
      EXPECT_EQ(key, BuildKey(kPlzStrBez1, records[i]));
    }
  }
}

}  // namespace
}  // namespace korvix
