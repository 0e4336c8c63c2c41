#include "base/text.h"

#include <gtest/gtest.h>
#include <utf8proc.h>

#include <string>

#include "korvix/text.h"

namespace korvix::text {
namespace {

TEST(Decode, Utf8WithWindows1252Fallback) {
  const struct {
    std::string bytes;
    std::u32string chars;
  } cases[] = {
      {"abc", U"abc"},
      {"M\xC3\xBCller", U"Müller"},             // UTF-8
      {"M\xFCller", U"Müller"},                 // Windows-1252 / Latin-1
      {"\x80\x8A\x9F", U"€ŠŸ"},                 // the 0x80-0x9F block
      {"\x81\x8D\x8F\x90\x9D", U"\u0081\u008D\u008F\u0090\u009D"},  // unassigned: C1 controls
      {"\xC3", U"Ã"},                           // cut sequence
      {"\xC3\x28", U"Ã("},                      // bad continuation
      {"\xC0\xAF", U"\u00C0\u00AF"},         // overlong
      {"\xED\xA0\x80", U"\u00ED\u00A0\u20AC"},  // a surrogate is not UTF-8
      {"\xF4\x90\x80\x80", U"\u00F4\u0090\u20AC\u20AC"},  // above U+10FFFF
      {"\xF0\x9F\x98\x80", U"\U0001F600"},
      {std::string("a\0b", 3), std::u32string(U"a\0b", 3)},  // NUL is a character
      {"u\xCC\x88", U"ü"},                      // decomposed to precomposed (NFC)
      {"\xE2\x84\xAB", U"Å"},                   // the Ångström sign normalises to Å
  };
  for (const auto& c : cases) EXPECT_EQ(Decode(c.bytes), c.chars) << c.bytes;
}

TEST(Encode, RoundTripIsValidUtf8) {
  for (const std::string s : {"Müller", "M\xFCller", "\x80", "\xF0\x9F\x98\x80", "a\xC3"}) {
    const std::string once = Encode(Decode(s));
    EXPECT_EQ(Encode(Decode(once)), once) << s;  // valid UTF-8 decodes without fallback
    EXPECT_EQ(NormalizeText(s), once);
  }
}

TEST(Upper, SimpleMappingExceptSharpS) {
  for (char32_t c = 0; c < 0x3000; ++c) {
    const char32_t expected =
        c == U'ß' ? c : static_cast<char32_t>(utf8proc_toupper(static_cast<utf8proc_int32_t>(c)));
    ASSERT_EQ(Upper(c), expected) << std::hex << static_cast<unsigned>(c);
  }
  EXPECT_EQ(Upper(U'ä'), U'Ä');
  EXPECT_EQ(Upper(U'ÿ'), U'Ÿ');
}

TEST(TrimBlanks, OnlyTheBlankCharacter) {
  EXPECT_EQ(TrimBlanks(std::string_view("  a b  ")), "a b");
  EXPECT_EQ(TrimBlanks(std::string_view("\ta\t")), "\ta\t");
  EXPECT_EQ(TrimBlanks(std::string_view("   ")), "");
  EXPECT_EQ(TrimBlanks(std::u32string_view(U"\u00A0x ")), U"\u00A0x");
}

}  // namespace
}  // namespace korvix::text
