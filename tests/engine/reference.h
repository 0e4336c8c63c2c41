// A literal, slow reading of the key rules, step by step and pass by pass,
// as an oracle for the engine's one-pass implementation. It shares no code
// with the component: it reads host text with utf8proc alone and puts every
// text into NFC, where the engine looks first whether it must.
#ifndef KORVIX_TESTS_ENGINE_REFERENCE_H_
#define KORVIX_TESTS_ENGINE_REFERENCE_H_

#include <utf8proc.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>

namespace korvix::reference {

using Text = std::u32string;

inline std::string Encode(const Text& t) {
  std::string s;
  utf8proc_uint8_t buf[4];
  for (char32_t c : t) s.append(reinterpret_cast<char*>(buf), utf8proc_encode_char(static_cast<utf8proc_int32_t>(c), buf));
  return s;
}

// UTF-8, each byte outside a valid sequence read as Windows-1252; then NFC.
inline Text Decode(std::string_view bytes) {
  static const char16_t kCp1252[32] = {
      0x20AC, 0x81, 0x201A, 0x192, 0x201E, 0x2026, 0x2020, 0x2021, 0x2C6, 0x2030, 0x160,
      0x2039, 0x152, 0x8D, 0x17D, 0x8F, 0x90, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
      0x2013, 0x2014, 0x2DC, 0x2122, 0x161, 0x203A, 0x153, 0x9D, 0x17E, 0x178};
  Text raw;
  for (std::size_t i = 0; i < bytes.size();) {
    utf8proc_int32_t c = 0;
    const auto n = utf8proc_iterate(reinterpret_cast<const utf8proc_uint8_t*>(bytes.data() + i),
                                    static_cast<utf8proc_ssize_t>(bytes.size() - i), &c);
    const auto b = static_cast<unsigned char>(bytes[i]);
    raw += n > 0 ? char32_t(c) : b >= 0x80 && b < 0xA0 ? char32_t(kCp1252[b - 0x80]) : char32_t(b);
    i += n > 0 ? static_cast<std::size_t>(n) : 1;
  }
  const std::string utf8 = Encode(raw);
  utf8proc_uint8_t* nfc = nullptr;
  const auto len = utf8proc_map(reinterpret_cast<const utf8proc_uint8_t*>(utf8.data()),
                                static_cast<utf8proc_ssize_t>(utf8.size()), &nfc,
                                static_cast<utf8proc_option_t>(UTF8PROC_STABLE | UTF8PROC_COMPOSE));
  Text out;
  for (utf8proc_ssize_t i = 0; i < len;) {
    utf8proc_int32_t c = 0;
    i += utf8proc_iterate(nfc + i, len - i, &c);
    out += char32_t(c);
  }
  std::free(nfc);
  return out;
}

inline Text Trim(Text s) {
  while (!s.empty() && s.front() == U' ') s.erase(0, 1);
  while (!s.empty() && s.back() == U' ') s.pop_back();
  return s;
}

inline Text Upper(Text s) {
  for (char32_t& c : s) {
    if (c != U'ß') c = static_cast<char32_t>(utf8proc_toupper(static_cast<utf8proc_int32_t>(c)));
  }
  return s;
}

// Every occurrence, searched from the left, without overlap.
inline Text Replace(const Text& s, const Text& what, const Text& by) {
  Text out;
  std::size_t i = 0;
  for (std::size_t hit; (hit = s.find(what, i)) != Text::npos; i = hit + what.size()) {
    out += s.substr(i, hit - i) + by;
  }
  return out + s.substr(i);
}

inline Text Mid(const Text& s, std::size_t pos1, std::size_t len) {
  return pos1 - 1 >= s.size() ? Text() : s.substr(pos1 - 1, len);
}

// The leading number: blanks skipped, sign, digits, point, digits; banker's rounding.
inline int Val(const Text& s) {
  Text t;
  for (char32_t c : s) if (c != U' ') t += c;
  std::string num;
  std::size_t i = 0;
  if (i < t.size() && (t[i] == U'+' || t[i] == U'-')) num += char(t[i++]);
  bool digits = false;
  while (i < t.size() && t[i] >= U'0' && t[i] <= U'9') { num += char(t[i++]); digits = true; }
  if (i < t.size() && t[i] == U'.') {
    num += '.';
    ++i;
    while (i < t.size() && t[i] >= U'0' && t[i] <= U'9') { num += char(t[i++]); digits = true; }
  }
  return digits ? static_cast<int>(std::nearbyint(std::stod(num))) : 0;  // rounds half to even
}

inline Text GetDataField(const Text& text, int index) {
  Text s = text + U"|";
  for (int k = 1; k <= index - 1; ++k) {
    const std::size_t bar = s.find(U'|');
    if (bar == Text::npos) { s.clear(); break; }
    s = s.substr(bar + 1);
  }
  const std::size_t bar = s.find(U'|');
  return bar == Text::npos ? Text() : s.substr(0, bar);
}

inline Text NormalizeStreet(const Text& v) {
  Text s = Replace(Upper(v), U" STRASSE", U"STR");
  s = Replace(Upper(s), U" STRAßE", U"STR");
  s = Replace(Upper(s), U" STR", U"STR");
  s = Replace(Upper(s), U"STRASSE", U"STR");
  return Replace(Upper(s), U"STRAßE", U"STR");
}

inline Text ReducePhonetic(const Text& word) {
  Text kept, code;
  for (char32_t c : Upper(word)) {
    Text ch(1, c);
    if (std::u32string_view(U"AEIOUHWY").find(c) != Text::npos) ch.clear();
    if (!kept.empty() && !ch.empty() && kept.back() == ch[0]) ch.clear();
    kept += ch;
    if (ch.empty()) continue;
    static const std::u32string_view groups[] = {U"BP", U"FV", U"CKS", U"GJ", U"QXZ", U"DT", U"L", U"MN", U"R"};
    char32_t group = c;  // outside A-Z: itself
    for (std::u32string_view g : groups) if (g.find(c) != Text::npos) group = g[0];
    code += group;
  }
  return code;
}

inline Text PhoneticCode(const Text& text) {
  Text s = Upper(Trim(text));
  const std::pair<const char32_t*, const char32_t*> steps[] = {
      {U"CH", U"K"}, {U"CK", U"K"}, {U"DT", U"T"}, {U"TH", U"T"}, {U"Ä", U"A"},
      {U"Ö", U"O"}, {U"Ü", U"U"}, {U"ß", U"S"}, {U"&", U" UND "}, {U"1", U" EINS "},
      {U"2", U" ZWEI "}, {U"3", U" DREI "}, {U"4", U" VIER "}, {U"5", U" FUENF "},
      {U"6", U" SECHS "}, {U"7", U" SIEBEN "}, {U"8", U" ACHT "}, {U"9", U" NEUN "},
      {U"0", U" NULL "}};
  for (const auto& [what, by] : steps) s = Replace(s, what, by);
  Text filtered;
  for (char32_t c : s) {
    if (std::u32string_view(U"ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789").find(c) != Text::npos) filtered += c;
    else if (c == U' ' && !filtered.empty() && filtered.back() != U' ') filtered += c;
  }
  filtered += U' ';
  Text result;
  for (std::size_t bar; (bar = filtered.find(U' ')) != Text::npos; filtered = filtered.substr(bar + 1)) {
    result += ReducePhonetic(Trim(filtered.substr(0, bar)));
  }
  return result;
}

inline Text BuildKey(const Text& algorithm, const Text& data) {
  const Text code = algorithm + Text(255, U' ');
  Text key, part;
  for (int n = 0; n <= 9; ++n) {
    const int field = Val(Mid(code, 16 * n + 1, 2));
    if (field == 0) break;
    if (field < 51) {
      part = Trim(GetDataField(data, field));
    } else if (field == 51) {
      part = GetDataField(data, 5) + U" " + GetDataField(data, 6);
    } else if (field == 52) {
      part = GetDataField(data, 5) + U" " + GetDataField(data, 6) + U" " + GetDataField(data, 7);
    } else if (field == 53) {
      part = GetDataField(data, 5) + U" " + GetDataField(data, 6) + U" " +
             GetDataField(data, 7) + U" " + GetDataField(data, 8);
    }
    if (field == 3) part = NormalizeStreet(part);
    const int length = Val(Mid(code, 16 * n + 3, 2));
    const int direction = Val(Mid(code, 16 * n + 5, 1));
    const int phonetic = Val(Mid(code, 16 * n + 6, 1));
    part = Trim(part);
    if (phonetic == 1) part = PhoneticCode(part);
    if (length >= 0) {
      const std::size_t len = static_cast<std::size_t>(length);
      if (direction == 1) {
        const Text filled = Text(len, U'-') + part;
        part = filled.substr(filled.size() - len);
      } else {
        part = (part + Text(len, U'-')).substr(0, len);
      }
    }
    key += part;
  }
  return key;
}

}  // namespace korvix::reference

#endif  // KORVIX_TESTS_ENGINE_REFERENCE_H_
