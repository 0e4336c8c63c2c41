#include "korvix/phonetic.h"

#include <gtest/gtest.h>

#include <string>

#include "engine/phonetic_code.h"

namespace korvix {
namespace {

TEST(PhoneticCode, WorkedExamplesAndEdgeCases) {
  const struct {
    std::string text, code;
  } cases[] = {
      {"Meier", "MR"}, {"Mayer", "MR"}, {"Meyer", "MR"}, {"Maier", "MR"},
      {"Müller", "MLR"}, {"Mueller", "MLR"}, {"Miller", "MLR"},
      {"Schmidt", "CCMD"}, {"Schmitt", "CCMD"}, {"Schmid", "CCMD"},
      {"Hoffmann", "FMM"}, {"Hofmann", "FMM"}, {"Fischer", "FCCR"},
      {"Thomas", "DMC"}, {"Tomas", "DMC"}, {"Koch", "C"}, {"Kock", "C"},
      {"Bäcker", "BCR"}, {"Baecker", "BCR"}, {"Becker", "BCR"},
      {"Müller & Söhne", "MLRMDCM"}, {"Haus 12", "CMCQ"}, {"Straße", "CDRC"},
      {"Anna", "M"}, {"Otto", "D"},
      // nothing codable; a hyphen joins, blanks separate
      {"", ""}, {" !?.,- ", ""}, {"Meier-Schulz", "MRCCLQ"}, {"Meier    Schulz", "MRCCLQ"},
      // digits become words; the inserted words keep their CH
      {"6", "CCC"}, {"8", "CD"}, {"0", "ML"}, {"&", "MD"},
      // replacement steps feed one another: CCH gives K, DTH gives T; one pass each
      {"Bacch", "BC"}, {"Wadth", "D"}, {"Bacccho", "BCC"},
      // letters outside A-Z and the umlauts count for nothing (Café gives CF)
      {"Café", "CF"}, {"Čech", "C"}, {"M\xFCller", "MLR"}, {"Mu\xCC\x88ller", "MLR"},
  };
  for (const auto& c : cases) EXPECT_EQ(PhoneticCode(c.text), c.code) << c.text;
}

// Sixteen bytes are coded at once: rules that look ahead, ß and the letter
// kept must cross from one chunk to the next, and a chunk with a digit or a
// character beyond U+00FF goes byte by byte between chunks that do not.
TEST(PhoneticCode, AcrossChunks) {
  const std::string a15(15, 'a');
  const struct {
    std::string text, code;
  } cases[] = {
      {a15 + "ch", "C"}, {a15 + "ck", "C"}, {a15 + "dt", "D"}, {a15 + "\xC3\x9F", "C"},
      {std::string(14, 'a') + "cch", "C"}, {a15 + "acch", "C"}, {a15 + "c", "C"},
      {"b" + std::string(31, '-') + "b", "B"},           // a chunk of nothing keeps the letter
      {"b" + std::string(15, '-') + " b", "BB"},          // a blank ends the word
      {"b" + std::string(14, '-') + "1b", "BMCB"},        // a digit does too
      {a15 + "\xC4\xB1" + a15 + "nn", "M"},              // ı is a vowel; it joins
      {a15 + "u\xCC\x88" + a15 + "ll", "L"},             // normalised first
      {std::string(40, 'x'), "Q"}, {std::string(40, 'c'), "C"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PhoneticCode(c.text), c.code) << c.text;
    std::string byte_by_byte;
    engine::AppendPhoneticCodeByteByByte(c.text, &byte_by_byte);
    EXPECT_EQ(byte_by_byte, c.code) << c.text;
  }
}

}  // namespace
}  // namespace korvix
