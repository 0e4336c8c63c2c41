// The text model of the component.
//
// Host strings are UTF-8. Bytes that are not valid UTF-8 are read one by one
// as Windows-1252, so legacy data keeps its umlauts. Text is read in NFC, so
// a decomposed and a precomposed "ü" are the same character. The engine
// works on the UTF-8 bytes themselves; a character as a Unicode code point
// (char32_t, std::u32string) is for the few places that need one.
#ifndef KORVIX_BASE_TEXT_H_
#define KORVIX_BASE_TEXT_H_

#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace korvix::text {

using Text = std::u32string;
using TextView = std::u32string_view;

inline constexpr char32_t kBlank = U' ';

// Windows-1252 for the bytes 0x80-0x9F; the five unassigned ones map to the
// C1 control of the same value, as Windows itself does.
inline constexpr std::array<char16_t, 32> kCp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// One character of a host string: its code point and how many bytes it took.
struct Character {
  char32_t code;
  std::size_t length;
};

// The character that starts at bytes[i] (i < bytes.size()): a well-formed
// UTF-8 sequence, or else the single byte read as Windows-1252. Overlong
// forms, surrogates, code points past U+10FFFF and cut sequences are not
// well-formed. Inline, so that every library of the component reads host
// text the same way without a call per character.
inline Character DecodeCharacter(std::string_view bytes, std::size_t i) {
  const auto at = [&](std::size_t k) { return static_cast<unsigned char>(bytes[i + k]); };
  const auto continues = [&](std::size_t n) {
    for (std::size_t k = 1; k < n; ++k) {
      if ((at(k) & 0xC0) != 0x80) return false;
    }
    return true;
  };
  const unsigned char b0 = at(0);
  const std::size_t left = bytes.size() - i;
  if (b0 < 0x80) return {b0, 1};
  if (b0 >= 0xC2 && b0 <= 0xDF && left >= 2 && continues(2)) {
    return {char32_t(b0 & 0x1F) << 6 | (at(1) & 0x3F), 2};
  }
  if (b0 >= 0xE0 && b0 <= 0xEF && left >= 3 && continues(3) &&
      !(b0 == 0xE0 && at(1) < 0xA0) &&   // overlong
      !(b0 == 0xED && at(1) > 0x9F)) {   // surrogate
    return {char32_t(b0 & 0x0F) << 12 | char32_t(at(1) & 0x3F) << 6 | (at(2) & 0x3F), 3};
  }
  if (b0 >= 0xF0 && b0 <= 0xF4 && left >= 4 && continues(4) &&
      !(b0 == 0xF0 && at(1) < 0x90) &&   // overlong
      !(b0 == 0xF4 && at(1) > 0x8F)) {   // above U+10FFFF
    return {char32_t(b0 & 0x07) << 18 | char32_t(at(1) & 0x3F) << 12 |
                char32_t(at(2) & 0x3F) << 6 | (at(3) & 0x3F),
            4};
  }
  return {b0 < 0xA0 ? char32_t(kCp1252High[b0 - 0x80]) : char32_t(b0), 1};
}

// Replaces `*out` with the code points of `bytes`, in NFC.
void Decode(std::string_view bytes, Text* out);
Text Decode(std::string_view bytes);

// Appends the UTF-8 form of `chars` to `*out`.
void AppendUtf8(TextView chars, std::string* out);
std::string Encode(TextView chars);
void AppendUtf8Multibyte(char32_t c, std::string* out);
inline void AppendUtf8(char32_t c, std::string* out) {
  if (c < 0x80) {
    out->push_back(static_cast<char>(c));
  } else {
    AppendUtf8Multibyte(c, out);
  }
}

// True when `bytes` is pure ASCII: decoding would only widen each byte.
inline bool IsAscii(std::string_view bytes) {
  const char* p = bytes.data();
  const std::size_t n = bytes.size();
  // Two loads that overlap cover any length from one to twice their width,
  // so short texts (most values of a record) take no loop.
  const auto high = [p](std::size_t at, auto word) {
    std::memcpy(&word, p + at, sizeof word);
    return word & static_cast<decltype(word)>(0x8080808080808080ULL);
  };
  if (n < 4) {
    unsigned bits = 0;
    for (std::size_t i = 0; i < n; ++i) bits |= static_cast<unsigned char>(p[i]);
    return (bits & 0x80) == 0;
  }
  if (n <= 8) return (high(0, std::uint32_t{}) | high(n - 4, std::uint32_t{})) == 0;
  if (n <= 16) return (high(0, std::uint64_t{}) | high(n - 8, std::uint64_t{})) == 0;
  std::size_t i = 0;
#if defined(__SSE2__)
  // Sixteen bytes at a time: one high bit anywhere makes the text non-ASCII.
  __m128i any = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + n - 16));
  for (; i + 16 <= n; i += 16) {
    any = _mm_or_si128(any, _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i)));
  }
  return _mm_movemask_epi8(any) == 0;
#else
  std::uint64_t bits = high(n - 8, std::uint64_t{});
  for (; i + 8 <= n; i += 8) bits |= high(i, std::uint64_t{});
  return bits == 0;
#endif
}

// Below U+0300 no character changes under NFC or changes a neighbour.
inline constexpr char32_t kFirstNfcSensitive = 0x300;
bool NfcSensitiveFromU0300(char32_t c);

// True when `c` may change under NFC or make the character before it change:
// its NFC quick check is not "Yes" or its combining class is not 0 (the
// characters beyond U+FFFF, rare in any host's data, all count). Text
// without such characters is already in NFC. In German text practically
// only the combining marks U+0300-U+036F are.
inline bool NfcSensitive(char32_t c) {
  return c >= kFirstNfcSensitive && NfcSensitiveFromU0300(c);
}

// Appends `bytes` as the component reads them: valid UTF-8 in NFC. Copies
// them unchanged when they already are.
void AppendNormalized(std::string_view bytes, std::string* out);

// True when `bytes` are valid UTF-8 without NfcSensitive characters, so
// that AppendNormalized would copy them unchanged. False does not say that
// it would not: characters beyond U+FFFF, for one, always count as sensitive.
bool IsNormalized(std::string_view bytes);

// Appends the upper case (see Upper) of `bytes` as the component reads them
// (see AppendNormalized), as UTF-8. Text that needs no normalisation, as
// German text practically never does, is upper-cased straight from its
// bytes, the letters of U+00C0-U+00FF without a call per character.
void AppendUpper(std::string_view bytes, std::string* out);

// Latin-1 upper case, kept as code so the common case needs no library call;
// the tests check it against the library for every character.
constexpr char32_t UpperLatin1(char32_t c) {
  if (c >= U'a' && c <= U'z') return c - 0x20;
  if (c < 0xB5) return c;
  if (c == 0xB5) return 0x39C;                                // micro sign to Greek capital mu
  if ((c >= 0xE0 && c <= 0xFE) && c != 0xF7) return c - 0x20;  // à-þ except ÷
  if (c == 0xFF) return 0x178;                                // ÿ to Ÿ
  return c;                                                   // ß included: it stays ß
}
char32_t UpperBeyondLatin1(char32_t c);

// The simple (one-to-one) upper-case mapping of Unicode, except that ß stays ß.
inline char32_t Upper(char32_t c) { return c < 0x100 ? UpperLatin1(c) : UpperBeyondLatin1(c); }

// The simple lower-case mapping of Unicode.
char32_t Lower(char32_t c);

// `bytes` read as the component reads text (UTF-8, else Windows-1252; NFC)
// with Unicode's full case folding, as UTF-8: "STRAßE" and "strasse" fold
// alike. For comparing names without regard to case.
std::string FoldCase(std::string_view bytes);

// `s` without leading and trailing blanks (U+0020 only; tabs stay).
template <class CharT>
std::basic_string_view<CharT> TrimBlanks(std::basic_string_view<CharT> s) {
  std::size_t b = 0, e = s.size();
  while (b < e && s[b] == CharT(' ')) ++b;
  while (e > b && s[e - 1] == CharT(' ')) --e;
  return s.substr(b, e - b);
}

}  // namespace korvix::text

#endif  // KORVIX_BASE_TEXT_H_
