#include "engine/text.h"

#include "korvix/text.h"

#include <utf8proc.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace korvix::text {
namespace {

// Windows-1252 for the bytes 0x80-0x9F; the five unassigned ones map to the
// C1 control of the same value, as Windows itself does.
constexpr std::array<char16_t, 32> kCp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char32_t FromCp1252(unsigned char b) {
  return (b >= 0x80 && b < 0xA0) ? char32_t(kCp1252High[b - 0x80]) : char32_t(b);
}

bool IsContinuation(unsigned char b) { return (b & 0xC0) == 0x80; }

// Decodes one well-formed UTF-8 sequence at bytes[i]; returns its length, or 0
// when the bytes there are not well-formed (overlong, surrogate, too large or cut).
std::size_t DecodeSequence(std::string_view bytes, std::size_t i, char32_t* c) {
  const auto at = [&](std::size_t k) { return static_cast<unsigned char>(bytes[i + k]); };
  const unsigned char b0 = at(0);
  const std::size_t left = bytes.size() - i;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    if (left < 2 || !IsContinuation(at(1))) return 0;
    *c = char32_t(b0 & 0x1F) << 6 | (at(1) & 0x3F);
    return 2;
  }
  if (b0 >= 0xE0 && b0 <= 0xEF) {
    if (left < 3 || !IsContinuation(at(1)) || !IsContinuation(at(2))) return 0;
    if (b0 == 0xE0 && at(1) < 0xA0) return 0;  // overlong
    if (b0 == 0xED && at(1) > 0x9F) return 0;  // surrogate
    *c = char32_t(b0 & 0x0F) << 12 | char32_t(at(1) & 0x3F) << 6 | (at(2) & 0x3F);
    return 3;
  }
  if (b0 >= 0xF0 && b0 <= 0xF4) {
    if (left < 4 || !IsContinuation(at(1)) || !IsContinuation(at(2)) ||
        !IsContinuation(at(3)))
      return 0;
    if (b0 == 0xF0 && at(1) < 0x90) return 0;  // overlong
    if (b0 == 0xF4 && at(1) > 0x8F) return 0;  // above U+10FFFF
    *c = char32_t(b0 & 0x07) << 18 | char32_t(at(1) & 0x3F) << 12 |
         char32_t(at(2) & 0x3F) << 6 | (at(3) & 0x3F);
    return 4;
  }
  return 0;
}

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
    char32_t c = 0;
    const std::size_t len = DecodeSequence(bytes, i, &c);
    if (len == 0) {
      c = FromCp1252(b);
      i += 1;
    } else {
      i += len;
    }
    if (c > max) max = c;
    *to++ = c;
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

}  // namespace korvix::text

namespace korvix {

std::string NormalizeText(std::string_view bytes) {
  if (text::IsAscii(bytes)) return std::string(bytes);
  return text::Encode(text::Decode(bytes));
}

}  // namespace korvix
