// The one-pass engine against a literal step-by-step reading of the rules,
// on texts built from the pieces where they could part: replacements that
// feed one another (C, H, K, D, T runs; STRASSE after a blank or a street
// word), umlauts and ß beside them, digits and "&" beside letters, blanks,
// combining marks and other characters NFC changes, bytes that are not UTF-8.
// Every short sequence of pieces is tried, then long random ones.
#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>
#include <vector>

#include "engine/phonetic_code.h"
#include "korvix/key_builder.h"
#include "korvix/phonetic.h"
#include "reference.h"

namespace korvix {
namespace {

using Pieces = std::vector<std::string>;

const Pieces kPhoneticPieces = {
    "C", "c", "H", "h", "K", "D", "d", "T", "t", "CH", "ck", "dt", "S", "B", "P", "a", "E", "ä", "Ö", "ü", "ß", "\t",
    "\xDF" /* ß in Windows-1252 */, "&", "1", "6", "8", "0", " ", "-", "u\xCC\x88" /* u + ¨ */,
    "\xCC\xA7" /* combining cedilla */, "ı", "ſ", "é", "ſch", "\xE2\x84\xA6" /* Ω sign */,
    // not UTF-8: a cut sequence, Windows-1252 0x80-0x9F, overlong, surrogate, above U+10FFFF
    "\xC3", "\x80", "\x81", "\x9F", "\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xF0\x9F\x98\x80"};

const Pieces kStreetPieces = {
    "S", "T", "R", "A", "E", "ß", "SS", " ", "\t", "STR", "ASSE", "AßE", "STRASSE", "STRAßE", "s",
    "str", "a", "ſ", "x", "\xDF", "e\xCC\x81", "\xE1\x84\x80" /* Hangul L */, "\xE1\x85\xA1" /* V */,
    "\xEA\xB0\x80" /* LV */, "\xE1\x86\xA7" /* U+11A7 */};

std::string RandomText(std::mt19937& rng, const Pieces& pieces, int most) {
  std::string text;
  for (int n = static_cast<int>(rng() % (most + 1)); n > 0; --n) text += pieces[rng() % pieces.size()];
  return text;
}

// Calls `check` with every concatenation of up to `all` pieces, then with
// 200000 random ones of up to `most`.
void Explore(const Pieces& pieces, std::size_t all, int most,
             const std::function<void(const std::string&)>& check) {
  std::vector<std::size_t> at;
  while (at.size() <= all) {
    std::string text;
    for (std::size_t k : at) text += pieces[k];
    check(text);
    if (::testing::Test::HasFatalFailure()) return;
    std::size_t k = 0;  // the next sequence: count up like an odometer
    for (; k < at.size() && ++at[k] == pieces.size(); ++k) at[k] = 0;
    if (k == at.size()) at.push_back(0);
  }
  std::mt19937 rng(7);
  for (int i = 0; i < 200000 && !::testing::Test::HasFatalFailure(); ++i) check(RandomText(rng, pieces, most));
}

// Both readings of the phonetic code: in chunks where the processor can
// (texts long enough to take two of 32 bytes among them), and byte by byte,
// which the rest of the processors take.
TEST(Reference, PhoneticCodes) {
  Explore(kPhoneticPieces, 3, 32, [](const std::string& t) {
    const reference::Text chars = reference::Decode(t);
    const std::string expected = reference::Encode(reference::PhoneticCode(chars));
    ASSERT_EQ(PhoneticCode(t), expected) << "'" << t << "'";
    std::string bytewise;
    engine::AppendPhoneticCodeByteByByte(t, &bytewise);
    ASSERT_EQ(bytewise, expected) << "byte by byte: '" << t << "'";
    std::string sse41;
    if (engine::AppendPhoneticCodeSse41(t, &sse41)) {
      ASSERT_EQ(sse41, expected) << "SSE4.1: '" << t << "'";
    }
    ASSERT_EQ(ReducePhonetic(t), reference::Encode(reference::ReducePhonetic(chars))) << "'" << t << "'";
    ASSERT_EQ(NormalizeText(t), reference::Encode(chars)) << "'" << t << "'";
  });
}

TEST(Reference, Streets) {
  Explore(kStreetPieces, 4, 12, [](const std::string& t) {
    ASSERT_EQ(NormalizeStreet(t), reference::Encode(reference::NormalizeStreet(reference::Decode(t))))
        << "'" << t << "'";
  });
}

// A street cut from the left is worked only as far as the cut reaches.
TEST(Reference, StreetsCutFromTheLeft) {
  const std::vector<std::string> codes = {"0301000000000000", "0303000000000000", "0305000000000000",
                                          "0307000000000000"};
  std::vector<KeyBuilder> builders(codes.begin(), codes.end());
  Explore(kStreetPieces, 3, 12, [&](const std::string& t) {
    const reference::Text record = reference::Decode("1|2|" + t);
    for (std::size_t k = 0; k < codes.size(); ++k) {
      ASSERT_EQ(builders[k].Key("1|2|" + t),
                reference::Encode(reference::BuildKey(reference::Decode(codes[k]), record)))
          << codes[k] << " '" << t << "'";
    }
  });
}

// Mostly well-formed slots, with odd numbers, blanks and letters mixed in.
std::string RandomCode(std::mt19937& rng) {
  const auto pick = [&](const Pieces& from) { return from[rng() % from.size()]; };
  static const Pieces kFields = {"01", "02", "03", "04", "05", "06", "07", "08", "09", "51", "52",
                                 "53", "10", "50", "99", "-1", " 3", "3 ", "1.", "00", "xx", "54", "0ä"};
  static const Pieces kLengths = {"00", "01", "03", "05", "09", "12", "99", "-2", " 4", "4 ", ".5", "2.", "ab"};
  static const Pieces kSwitches = {"0", "1", "1", "2", " ", "x", "9"};
  static const Pieces kFillers = {"0000000000", "0000000000", "12345x7890"};
  std::string code;
  for (int n = static_cast<int>(rng() % 12); n > 0; --n) {
    code += pick(kFields) + pick(kLengths) + pick(kSwitches) + pick(kSwitches) + pick(kFillers);
  }
  if (rng() % 6 == 0 && !code.empty()) code.resize(rng() % code.size());
  return code;
}

TEST(Reference, Keys) {
  std::mt19937 rng(20261206);
  Pieces items = kPhoneticPieces;
  items.insert(items.end(), kStreetPieces.begin(), kStreetPieces.end());
  for (int i = 0; i < 20000; ++i) {
    const std::string code = RandomCode(rng);
    const reference::Text chars = reference::Decode(code);
    const KeyBuilder builder(code);
    std::vector<std::string> records;
    for (int k = 0; k < 5; ++k) {
      std::string record;
      for (int item = static_cast<int>(rng() % 12); item > 0; --item) record += RandomText(rng, items, 6) + "|";
      records.push_back(record.substr(0, record.size() - (rng() % 2)));
    }
    const std::vector<std::string> batch = builder.Keys(records);
    for (std::size_t k = 0; k < records.size(); ++k) {
      const std::string& r = records[k];
      const std::string expected = reference::Encode(reference::BuildKey(chars, reference::Decode(r)));
      ASSERT_EQ(builder.Key(r), expected) << "code '" << code << "' record '" << r << "'";
      ASSERT_EQ(BuildKey(code, r), expected);
      ASSERT_EQ(batch[k], expected);
      const int index = static_cast<int>(rng() % 14) - 1;
      ASSERT_EQ(GetDataField(r, index),
                reference::Encode(reference::GetDataField(reference::Decode(r), index)));
    }
  }
}

}  // namespace
}  // namespace korvix
