// The text model of the engine.
//
// Host strings are UTF-8. Internally a character is a Unicode code point held
// in a std::u32string. Bytes that are not valid UTF-8 are read one by one as
// Windows-1252, so legacy data keeps its umlauts. Decoded text is in NFC, so a
// decomposed and a precomposed "ü" are the same character.
#ifndef KORVIX_ENGINE_TEXT_H_
#define KORVIX_ENGINE_TEXT_H_

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
void AppendUtf8(char32_t c, std::string* out);
std::string Encode(TextView chars);

// True when `bytes` is pure ASCII: decoding would only widen each byte.
bool IsAscii(std::string_view bytes);

// The simple (one-to-one) upper-case mapping of Unicode, except that ß stays ß.
char32_t Upper(char32_t c);

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
