#include "base/text.h"

#include <gtest/gtest.h>
#include <utf8proc.h>

#include <string>

#include "reference.h"

namespace korvix::text {
namespace {

// Text without NfcSensitive characters is taken as NFC without asking
// utf8proc: no such character may change, or compose with a starter before it.
TEST(NfcSensitive, EveryOtherCharacterStaysAfterAnyStarterThatComposes) {
  const char32_t starters[] = {U'A', U'e', U'ä', 0x1100, 0xAC00, 0x0B95, 0x0BC6, 0x0DD9, 0x1025, 0x09C7};
  for (char32_t c = 0; c < 0x10000; ++c) {
    for (char32_t s : starters) {
      if (NfcSensitive(c) || (c >= 0xD800 && c < 0xE000)) break;
      const std::u32string text = {s, c};
      ASSERT_EQ(reference::Decode(reference::Encode(text)), text) << std::hex << static_cast<unsigned>(c);
    }
  }
}

TEST(Upper, SimpleMappingExceptSharpS) {
  for (char32_t c = 0; c < 0x110000; ++c) {
    const auto mapped = static_cast<char32_t>(utf8proc_toupper(static_cast<utf8proc_int32_t>(c)));
    ASSERT_EQ(Upper(c), c == U'ß' ? c : mapped) << std::hex << static_cast<unsigned>(c);
    // The phonetic code relies on it: only ı and ſ have a capital in A-Z.
    if (c >= 0x80 && mapped < 0x80) {
      ASSERT_TRUE(c == U'ı' || c == U'ſ') << std::hex << unsigned{c};
    }
    if (c >= 0x3000 || (c >= 0xD800 && c < 0xE000)) continue;
    const std::string utf8 = reference::Encode(std::u32string(1, c));
    std::string upper;  // the upper case of its NFC
    AppendUpper(utf8, &upper);
    ASSERT_EQ(upper, reference::Encode(reference::Upper(reference::Decode(utf8)))) << std::hex << unsigned{c};
  }
  std::string german;
  AppendUpper("Straße äöü ÿ müller-lüdenscheidt éàç µ \xFC", &german);  // sixteen at a time, then not
  EXPECT_EQ(german, "STRAßE ÄÖÜ Ÿ MÜLLER-LÜDENSCHEIDT ÉÀÇ Μ Ü");
}

}  // namespace
}  // namespace korvix::text
