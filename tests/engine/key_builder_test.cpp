#include "korvix/key_builder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace korvix {
namespace {

const std::string kRecord = "12345|Musterstadt|Hauptstraße 5|MUELLER|Müller GmbH|Einkauf|||A";
const std::string kPlzStrBez1 = "010300000000000003050000000000000504110000000000";

struct KeyCase {
  std::string code;
  std::string data;
  std::string key;
};

TEST(BuildKey, WorkedExamplesAndEdgeCases) {
  const std::vector<KeyCase> cases = {
      // the worked examples
      {kPlzStrBez1, kRecord, "123HAUPTRGMB"},
      {"01060000000000000208100000000000", kRecord, "12345-terstadt"},
      {"09030000000000000202100000000000", kRecord, "A--dt"},
      {"5112000000000000", kRecord, "Müller GmbH "},
      {kPlzStrBez1, "", "------------"},
      {kPlzStrBez1, "1|2", "1-----------"},
      // no slots
      {"", kRecord, ""},
      {"0003000000000000", kRecord, ""},
      {"  03000000000000", kRecord, ""},
      // a code cut inside its slot reads the missing characters as blanks
      {"0103", kRecord, "123"},
      {"01", kRecord, ""},  // length reads as 0
      // length 0 adds nothing; a later slot still counts
      {"01000000000000000103000000000000", kRecord, "123"},
      // filled on the right from the left, on the left from the right
      {"0208000000000000", "1|Ort", "Ort-----"},
      {"0208100000000000", "1|Ort", "-----Ort"},
      // direction and phonetic values other than exactly 1
      {"0203200000000000", "1|Ortschaft", "Ort"},
      {"020302000000000", "1|Meier", "Mei"},
      {"02031A0000000000", "1|Ortschaft", "aft"},
      // only punctuation: empty phonetic code, all dashes
      {"0204010000000000", "1|--!--", "----"},
      // compounds: an empty second item leaves the joining blank, trimmed off later
      {"5110000000000000", "1|2|3|4|Anna||x", "Anna------"},
      {"5110000000000000", "1|2|3|4||Berg|x", "Berg------"},
      {"5210000000000000", "1|2|3|4|A||C", "A  C------"},
      {"5312000000000000", "1|2|3|4|A|B|C|D", "A B C D-----"},
      // compound items are not trimmed, only the whole part
      {"5112000000000000", "1|2|3|4| A | B |x", "A   B-------"},
      // only the street is upper-cased and normalised, not a compound holding one
      {"0312000000000000", "1|2|Lange Straße 12", "LANGESTR 12-"},
      {"5112000000000000", "1|2|3|4|Lange|Straße", "Lange Straße"},
      {"0412000000000000", "1|2|3|Lange Straße", "Lange Straße"},
      // field numbers 10-50 read further items, normally missing
      {"1003000000000000", kRecord, "---"},
      {"1003000000000000", "1|2|3|4|5|6|7|8|9|zehn", "zeh"},
      // a negative field number reads item 1
      {"-103000000000000", kRecord, "123"},
      // a negative length skips cutting: the trimmed part goes in whole
      {"02-1000000000000", "1| Musterstadt ", "Musterstadt"},
      // above 53: the previous slot's finished part, worked again
      {"01040000000000009903000000000000", "12345", "1234123"},
      {"9903000000000000", "12345", "---"},
      {"01070000000000009903100000000000", "12345", "12345--5--"},
      // the filler is never read
      {"0103001234567890", kRecord, "123"},
      // an eleventh slot is ignored
      {[] {
         std::string c;
         for (int i = 0; i < 11; ++i) c += "0101000000000000";
         return c;
       }(),
       kRecord, "1111111111"},
      // blanks around values are trimmed, tabs stay
      {"0206000000000000", "1|  \tOrt ", "\tOrt--"},
      // characters, not bytes, are counted
      {"0203100000000000", "1|Düsseldorfß", "rfß"},
  };
  for (const KeyCase& c : cases) {
    EXPECT_EQ(BuildKey(c.code, c.data), c.key) << "code '" << c.code << "' data '" << c.data << "'";
    EXPECT_EQ(KeyBuilder(c.code).Key(c.data), c.key) << "code '" << c.code << "'";
  }
}

// Counts code points of valid UTF-8.
std::size_t Characters(const std::string& utf8) {
  std::size_t n = 0;
  for (unsigned char ch : utf8) n += (ch & 0xC0) != 0x80;
  return n;
}

TEST(BuildKey, KeyLengthIsTheSumOfTheSlotLengths) {
  const std::vector<std::string> records = {"", "|||||||||", kRecord, "ä|ö|ü|ß|é|€|\xFC|x|y",
                                            std::string(1000, 'x') + "|" + std::string(10, '|')};
  for (int len1 = 0; len1 <= 99; len1 += 11) {
    for (int len2 : {0, 1, 9, 99}) {
      const AlgorithmSlot slots[] = {{kFieldStrasse, len1, 0, 1},
                                     {kFieldBez12 + len1 % 3, len2, 1, len2 % 2}};
      const KeyBuilder builder(WriteAlgorithmCode(slots));
      ASSERT_EQ(builder.key_length(), len1 + len2);
      for (const std::string& r : records) {
        EXPECT_EQ(Characters(builder.Key(r)), static_cast<std::size_t>(len1 + len2)) << r;
      }
    }
  }
}

TEST(GetDataField, ItemsByIndex) {
  const struct {
    std::string text;
    int index;
    std::string item;
  } cases[] = {
      {"a|b|c", 1, "a"},   {"a|b|c", 2, "b"},   {"a|b|c", 3, "c"},  {"a|b|c", 4, ""},
      {"a|b|c", 0, "a"},   {"a|b|c", -5, "a"},  {"abc", 1, "abc"},  {"abc", 2, ""},
      {"a||b", 2, ""},     {"a||b", 3, "b"},    {"", 1, ""},        {"|", 1, ""},
      {"|", 2, ""},        {"|", 3, ""},        {" a |", 1, " a "}, {"a|b", 1000, ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(GetDataField(c.text, c.index), c.item) << c.text << " #" << c.index;
  }
}

TEST(NormalizeStreet, ReplacementsInOrder) {
  const struct {
    std::string in, out;
  } cases[] = {
      {"Lange Straße 12", "LANGESTR 12"},
      {"Am Strand 3", "AMSTRAND 3"},
      {"Berliner Str. 5", "BERLINERSTR. 5"},
      {"Hauptstraße 5", "HAUPTSTR 5"},
      {"Hauptstrasse 5", "HAUPTSTR 5"},
      {"Lange Strasse", "LANGESTR"},
      {"straße", "STR"},
      {"", ""},
      {"Weg 1", "WEG 1"},
      // two blanks: the one directly before STR goes
      {"A  Str", "A STR"},
      // a replacement may form a new match for a later step
      {"A  STRASSEAßE", "ASTR"},
      {"xSTRASSESSE", "XSTRSSE"},
      // umlauts and accents upper-cased; ß kept
      {"Königsallee", "KÖNIGSALLEE"},
      {"Rue de l'église", "RUE DE L'ÉGLISE"},
  };
  for (const auto& c : cases) EXPECT_EQ(NormalizeStreet(c.in), c.out) << c.in;
}

TEST(KeyBuilder, BatchEqualsOneByOneOnAnyThreadCount) {
  std::vector<std::string> records;
  for (int i = 0; i < 20000; ++i) {
    records.push_back(std::to_string(10000 + i) + "|Ort " + std::to_string(i % 97) +
                      "|Straße " + std::to_string(i) + "|S|Müller " + std::to_string(i % 13));
  }
  const KeyBuilder builder(kPlzStrBez1);
  for (unsigned threads : {0u, 1u, 2u, 7u}) {
    const std::vector<std::string> keys = builder.Keys(records, threads);
    ASSERT_EQ(keys.size(), records.size());
    for (std::size_t i = 0; i < records.size(); i += 997) {
      EXPECT_EQ(keys[i], BuildKey(kPlzStrBez1, records[i])) << "record " << i;
    }
  }
}

TEST(KeyBuilder, ReusedKeyStringIsReplacedNotAppended) {
  const KeyBuilder builder(kPlzStrBez1);
  std::string key = "leftover";
  builder.Key(kRecord, &key);
  EXPECT_EQ(key, "123HAUPTRGMB");
  builder.Key("1|2", &key);
  EXPECT_EQ(key, "1-----------");
}

}  // namespace
}  // namespace korvix
