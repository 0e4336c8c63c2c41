// The text model of the engine.
//
// Host strings are UTF-8. Internally a character is a Unicode code point held
// in a std::u32string. Bytes that are not valid UTF-8 are read one by one as
// Windows-1252, so legacy data keeps its umlauts. Decoded text is in NFC, so a
// decomposed and a precomposed "ü" are the same character.
#ifndef KORVIX_ENGINE_TEXT_H_
#define KORVIX_ENGINE_TEXT_H_

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace korvix::text {

using Text = std::u32string;
using TextView = std::u32string_view;

inline constexpr char32_t kBlank = U' ';

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
  // Eight bytes at a time: one high bit anywhere makes the text non-ASCII.
  std::uint64_t any = 0;
  std::size_t i = 0;
  for (; i + 8 <= bytes.size(); i += 8) {
    std::uint64_t word;
    std::memcpy(&word, bytes.data() + i, 8);
    any |= word;
  }
  for (; i < bytes.size(); ++i) any |= static_cast<unsigned char>(bytes[i]);
  return (any & 0x8080808080808080ULL) == 0;
}

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

// `s` without leading and trailing blanks (U+0020 only; tabs stay).
template <class CharT>
std::basic_string_view<CharT> TrimBlanks(std::basic_string_view<CharT> s) {
  std::size_t b = 0, e = s.size();
  while (b < e && s[b] == CharT(' ')) ++b;
  while (e > b && s[e - 1] == CharT(' ')) --e;
  return s.substr(b, e - b);
}

}  // namespace korvix::text

#endif  // KORVIX_ENGINE_TEXT_H_
