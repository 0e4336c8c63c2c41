#include "base/text.h"

#include "base/json.h"
#include "korvix/text.h"

#include <utf8proc.h>

#include <bit>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace korvix::text {
namespace {

constexpr auto kNfc = static_cast<utf8proc_option_t>(UTF8PROC_STABLE | UTF8PROC_COMPOSE);

// Writes the UTF-8 form of `c` at `to`; returns the end.
char* WriteUtf8(char32_t c, char* to) {
  if (c < 0x80) {
    *to++ = static_cast<char>(c);
  } else if (c < 0x800) {
    *to++ = static_cast<char>(0xC0 | (c >> 6));
    *to++ = static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    *to++ = static_cast<char>(0xE0 | (c >> 12));
    *to++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    *to++ = static_cast<char>(0x80 | (c & 0x3F));
  } else {
    *to++ = static_cast<char>(0xF0 | (c >> 18));
    *to++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    *to++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    *to++ = static_cast<char>(0x80 | (c & 0x3F));
  }
  return to;
}

// One bit per character of the Basic Multilingual Plane: NfcSensitive.
class NfcSensitiveTable {
 public:
  NfcSensitiveTable() {
    // utf8proc also joins U+11A7, which Unicode never composes, to a Hangul
    // syllable before it: the whole block of conjoining jamo counts.
    for (char32_t c = 0x1100; c < 0x1200; ++c) Set(c);
    for (char32_t c = 0; c < 0x10000; ++c) {
      const auto cp = static_cast<utf8proc_int32_t>(c);
      if (utf8proc_get_property(cp)->combining_class != 0) Set(c);
      utf8proc_int32_t parts[8];
      int boundclass = 0;
      const utf8proc_ssize_t n =
          utf8proc_decompose_char(cp, parts, 8, UTF8PROC_DECOMPOSE, &boundclass);
      if (n == 1 && parts[0] == cp) continue;
      // A character that NFC does not give back is quick-check "No"; every
      // later part of a decomposition may compose with what stands before
      // it ("Maybe"). Composites outside this plane need not be looked at:
      // the characters of those planes count as sensitive anyway.
      if (Nfc(cp) != cp) Set(c);
      for (utf8proc_ssize_t k = 1; k < n && k < 8; ++k) {
        if (parts[k] < 0x10000) Set(static_cast<char32_t>(parts[k]));
      }
    }
  }

  bool Has(char32_t c) const { return c >= 0x10000 || ((bits_[c >> 6] >> (c & 63)) & 1) != 0; }

 private:
  void Set(char32_t c) { bits_[c >> 6] |= std::uint64_t{1} << (c & 63); }

  // The NFC of one character, or -1 when it is more than one.
  static utf8proc_int32_t Nfc(utf8proc_int32_t c) {
    utf8proc_uint8_t utf8[4];
    const utf8proc_ssize_t len = utf8proc_encode_char(c, utf8);
    utf8proc_uint8_t* nfc = nullptr;
    const utf8proc_ssize_t n = utf8proc_map(utf8, len, &nfc, kNfc);
    utf8proc_int32_t first = -1;
    if (n > 0 && utf8proc_iterate(nfc, n, &first) != n) first = -1;
    std::free(nfc);
    return first;
  }

  std::array<std::uint64_t, 0x10000 / 64> bits_{};
};

// Replaces out[start..] by its NFC. The bytes there must be valid UTF-8.
void NfcFrom(std::size_t start, std::string* out) {
  utf8proc_uint8_t* nfc = nullptr;
  const utf8proc_ssize_t n =
      utf8proc_map(reinterpret_cast<const utf8proc_uint8_t*>(out->data() + start),
                   static_cast<utf8proc_ssize_t>(out->size() - start), &nfc, kNfc);
  if (n >= 0 && nfc != nullptr) {
    out->replace(start, out->npos, reinterpret_cast<const char*>(nfc), static_cast<std::size_t>(n));
  }
  std::free(nfc);
}

// Appends `bytes` as valid UTF-8, each byte that is not part of valid UTF-8
// as its Windows-1252 character; returns whether an NfcSensitive character
// was among them.
bool AppendValidUtf8(std::string_view bytes, std::string* out) {
  bool sensitive = false;
  std::size_t run = 0;  // start of the valid bytes not yet appended
  for (std::size_t i = 0; i < bytes.size();) {
    if (static_cast<unsigned char>(bytes[i]) < 0x80) {
      ++i;
      continue;
    }
    const Character c = DecodeCharacter(bytes, i);
    sensitive |= NfcSensitive(c.code);
    if (c.length == 1) {
      out->append(bytes.substr(run, i - run));
      AppendUtf8Multibyte(c.code, out);
      run = i + 1;
    }
    i += c.length;
  }
  out->append(bytes.substr(run));
  return sensitive;
}

// Appends the code points of `bytes` to `*out`; returns whether an
// NfcSensitive character was among them.
bool DecodeAppend(std::string_view bytes, Text* out) {
  // Never more characters than bytes: write in place, then cut to size.
  const std::size_t old = out->size();
  out->resize(old + bytes.size());
  char32_t* to = out->data() + old;
  bool sensitive = false;
  for (std::size_t i = 0; i < bytes.size();) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    if (b < 0x80) {
      *to++ = b;
      ++i;
      continue;
    }
    const Character c = DecodeCharacter(bytes, i);
    i += c.length;
    sensitive |= NfcSensitive(c.code);
    *to++ = c.code;
  }
  out->resize(static_cast<std::size_t>(to - out->data()));
  return sensitive;
}

}  // namespace

bool NfcSensitiveFromU0300(char32_t c) {
  static const NfcSensitiveTable table;  // built on first use: about a millisecond
  return table.Has(c);
}

void AppendNormalized(std::string_view bytes, std::string* out) {
  if (IsAscii(bytes)) {
    out->append(bytes);
    return;
  }
  const std::size_t start = out->size();
  if (AppendValidUtf8(bytes, out)) NfcFrom(start, out);
}

bool IsNormalized(std::string_view bytes) {
  if (IsAscii(bytes)) return true;
  for (std::size_t i = 0; i < bytes.size();) {
    if (static_cast<unsigned char>(bytes[i]) < 0x80) {
      ++i;
      continue;
    }
    const Character c = DecodeCharacter(bytes, i);
    if (c.length == 1 || NfcSensitive(c.code)) return false;
    i += c.length;
  }
  return true;
}

namespace {

// AppendUpper of text as it stands; when kCheckNfc, returns false instead,
// appending nothing, when it holds an NfcSensitive character.
template <bool kCheckNfc>
bool AppendUpperAsIs(std::string_view bytes, std::string* out) {
  const std::size_t old = out->size();
  const std::size_t n = bytes.size();
  // No character's upper case takes more than 4 bytes per byte read (a
  // Windows-1252 byte may become a 3-byte character): write in place.
  out->resize(old + 4 * n);
  char* to = out->data() + old;
  const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
  for (std::size_t i = 0; i < n;) {
#if defined(__SSE2__)
    if (i + 16 <= n) {
      // Sixteen bytes at once while they are ASCII or the two bytes of a
      // character of U+0080-U+00FE after C3 (ß, ä, é...): case keeps their
      // length, a-z and à-þ (but ÷) lose 0x20 in their last byte.
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
      const __m128i lead = _mm_cmpeq_epi8(v, _mm_set1_epi8(static_cast<char>(0xC3)));
      const __m128i tail = _mm_cmplt_epi8(v, _mm_set1_epi8(static_cast<char>(0xBF)));  // 80-BE
      const __m128i after_lead = _mm_slli_si128(lead, 1);
      const __m128i ok = _mm_or_si128(_mm_cmpgt_epi8(v, _mm_set1_epi8(-1)),  // ASCII
                                      _mm_or_si128(_mm_and_si128(lead, _mm_srli_si128(tail, 1)),
                                                   _mm_and_si128(tail, after_lead)));
      const auto good = static_cast<unsigned>(_mm_movemask_epi8(ok));
      const std::size_t take = static_cast<std::size_t>(std::countr_one(good));
      if (take > 0) {
        const __m128i ascii_lower = _mm_and_si128(_mm_cmpgt_epi8(v, _mm_set1_epi8('a' - 1)),
                                                  _mm_cmplt_epi8(v, _mm_set1_epi8('z' + 1)));
        const __m128i latin_lower = _mm_andnot_si128(
            _mm_cmpeq_epi8(v, _mm_set1_epi8(static_cast<char>(0xB7))),
            _mm_and_si128(_mm_and_si128(after_lead, tail),
                          _mm_cmpgt_epi8(v, _mm_set1_epi8(static_cast<char>(0x9F)))));
        const __m128i lower = _mm_or_si128(ascii_lower, latin_lower);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to),
                         _mm_sub_epi8(v, _mm_and_si128(lower, _mm_set1_epi8(0x20))));
        to += take;
        i += take;
        continue;
      }
    }
#endif
    const unsigned char b = in[i];
    if (b < 0x80) {
      *to++ = static_cast<char>(b >= 'a' && b <= 'z' ? b - 0x20 : b);
      ++i;
      continue;
    }
    // U+00C0-U+00FF, the letters of German text: à-þ move down by 0x20 within
    // the same lead byte; ß and ÷ stay; ÿ goes the long way.
    if (b == 0xC3 && i + 1 < n && in[i + 1] >= 0x80 && in[i + 1] < 0xBF) {
      const unsigned char t = in[i + 1];
      *to++ = static_cast<char>(b);
      *to++ = static_cast<char>(t >= 0xA0 && t != 0xB7 ? t - 0x20 : t);
      i += 2;
      continue;
    }
    const Character c = DecodeCharacter(bytes, i);
    if (kCheckNfc && NfcSensitive(c.code)) {
      out->resize(old);
      return false;
    }
    to = WriteUtf8(Upper(c.code), to);
    i += c.length;
  }
  out->resize(static_cast<std::size_t>(to - out->data()));
  return true;
}

}  // namespace

void AppendUpper(std::string_view bytes, std::string* out) {
  if (AppendUpperAsIs<true>(bytes, out)) return;
  std::string normalized;
  AppendNormalized(bytes, &normalized);
  AppendUpperAsIs<false>(normalized, out);
}

void Decode(std::string_view bytes, Text* out) {
  out->clear();
  out->reserve(bytes.size());
  if (!DecodeAppend(bytes, out)) return;
  std::string utf8;
  AppendUtf8(*out, &utf8);
  NfcFrom(0, &utf8);
  out->clear();
  DecodeAppend(utf8, out);
}

Text Decode(std::string_view bytes) {
  Text t;
  Decode(bytes, &t);
  return t;
}

void AppendUtf8Multibyte(char32_t c, std::string* out) {
  char utf8[4];
  out->append(utf8, static_cast<std::size_t>(WriteUtf8(c, utf8) - utf8));
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
  std::string nfc;
  AppendNormalized(bytes, &nfc);
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

std::string MessageText(std::string_view bytes) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(bytes.size());
  for (std::size_t i = 0; i < bytes.size();) {
    const text::Character c = text::DecodeCharacter(bytes, i);
    const auto b = static_cast<unsigned char>(bytes[i]);
    if (c.length == 1 && b >= 0x80) {
      out += "\\x";
      out.push_back(kHex[b >> 4]);
      out.push_back(kHex[b & 0xF]);
    } else {
      out.append(bytes.substr(i, c.length));
    }
    i += c.length;
  }
  return out;
}

std::string JsonString(std::string_view text) {
  std::string out;
  base::AppendJsonString(text, &out);
  return out;
}

}  // namespace korvix
