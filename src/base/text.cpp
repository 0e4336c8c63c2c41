#include "base/text.h"

#include "korvix/text.h"

#include <utf8proc.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace korvix::text {
namespace {

// Below U+0300 every character is its own NFC and composes with nothing
// before it, so text without such characters needs no normalisation.
constexpr char32_t kFirstCombining = 0x300;

// Appends the code points of `bytes` to `*out`; returns the largest one.
char32_t DecodeAppend(std::string_view bytes, Text* out) {
  // Never more characters than bytes: write in place, then cut to size.
  const std::size_t old = out->size();
  out->resize(old + bytes.size());
  char32_t* to = out->data() + old;
  char32_t max = 0;
  for (std::size_t i = 0; i < bytes.size();) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    if (b < 0x80) {
      *to++ = b;
      ++i;
      continue;
    }
    const Character c = DecodeCharacter(bytes, i);
    i += c.length;
    if (c.code > max) max = c.code;
    *to++ = c.code;
  }
  out->resize(static_cast<std::size_t>(to - out->data()));
  return max;
}

void NormalizeNfc(Text* t) {
  std::string utf8;
  AppendUtf8(*t, &utf8);
  utf8proc_uint8_t* nfc = nullptr;
  const utf8proc_ssize_t n =
      utf8proc_map(reinterpret_cast<const utf8proc_uint8_t*>(utf8.data()),
                   static_cast<utf8proc_ssize_t>(utf8.size()), &nfc,
                   static_cast<utf8proc_option_t>(UTF8PROC_STABLE | UTF8PROC_COMPOSE));
  if (n >= 0 && nfc != nullptr) {
    t->clear();
    DecodeAppend(std::string_view(reinterpret_cast<const char*>(nfc), static_cast<std::size_t>(n)), t);
  }
  std::free(nfc);
}

}  // namespace

void Decode(std::string_view bytes, Text* out) {
  out->clear();
  out->reserve(bytes.size());
  if (DecodeAppend(bytes, out) >= kFirstCombining) NormalizeNfc(out);
}

Text Decode(std::string_view bytes) {
  Text t;
  Decode(bytes, &t);
  return t;
}

void AppendUtf8Multibyte(char32_t c, std::string* out) {
  if (c < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (c >> 6)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (c >> 12)));
    out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (c >> 18)));
    out->push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

void AppendUtf8(TextView chars, std::string* out) {
  for (char32_t c : chars) AppendUtf8(c, out);
}

std::string Encode(TextView chars) {
  std::string s;
  s.reserve(chars.size());
  AppendUtf8(chars, &s);
  return s;
}


char32_t UpperBeyondLatin1(char32_t c) {
  return static_cast<char32_t>(utf8proc_toupper(static_cast<utf8proc_int32_t>(c)));
}

char32_t Lower(char32_t c) {
  if (c < 0x80) return c >= U'A' && c <= U'Z' ? c + 0x20 : c;
  return static_cast<char32_t>(utf8proc_tolower(static_cast<utf8proc_int32_t>(c)));
}

std::string FoldCase(std::string_view bytes) {
  const std::string nfc = NormalizeText(bytes);
  utf8proc_uint8_t* folded = nullptr;
  const utf8proc_ssize_t n = utf8proc_map(
      reinterpret_cast<const utf8proc_uint8_t*>(nfc.data()), static_cast<utf8proc_ssize_t>(nfc.size()),
      &folded, static_cast<utf8proc_option_t>(UTF8PROC_STABLE | UTF8PROC_COMPOSE | UTF8PROC_CASEFOLD));
  std::string out = n >= 0 && folded != nullptr
                        ? std::string(reinterpret_cast<const char*>(folded), static_cast<std::size_t>(n))
                        : nfc;
  std::free(folded);
  return out;
}

}  // namespace korvix::text

namespace korvix {

std::string NormalizeText(std::string_view bytes) {
  if (text::IsAscii(bytes)) return std::string(bytes);
  return text::Encode(text::Decode(bytes));
}

}  // namespace korvix
