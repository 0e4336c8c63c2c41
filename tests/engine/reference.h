// A literal, slow reading of the key rules, step by step and pass by pass,
// as an oracle for the engine's one-pass implementation.
#ifndef KORVIX_TESTS_ENGINE_REFERENCE_H_
#define KORVIX_TESTS_ENGINE_REFERENCE_H_

#include <cmath>
#include <string>

#include "base/text.h"

namespace korvix::reference {

using text::Text;

inline Text Trim(Text s) {
  while (!s.empty() && s.front() == U' ') s.erase(0, 1);
  while (!s.empty() && s.back() == U' ') s.pop_back();
  return s;
}

inline Text Upper(Text s) {
  for (char32_t& c : s) c = text::Upper(c);
  return s;
}

// Every occurrence, searched from the left, without overlap.
inline Text Replace(const Text& s, const Text& what, const Text& by) {
  Text out;
  std::size_t i = 0;
  for (;;) {
    const std::size_t hit = s.find(what, i);
    if (hit == Text::npos) break;
    out += s.substr(i, hit - i);
    out += by;
    i = hit + what.size();
  }
  return out + s.substr(i);
}

inline Text Mid(const Text& s, std::size_t pos1, std::size_t len) {
  if (pos1 - 1 >= s.size()) return Text();
  return s.substr(pos1 - 1, len);
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
  if (!digits) return 0;
  return static_cast<int>(std::nearbyint(std::stod(num)));  // default rounding: half to even
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
  const Text w = Upper(word);
  Text kept, code;
  for (char32_t c : w) {
    Text ch(1, c);
    if (Text(U"AEIOUHWY").find(c) != Text::npos) ch.clear();
    if (!kept.empty() && !ch.empty() && kept.back() == ch[0]) ch.clear();
    kept += ch;
    if (ch.empty()) continue;
    const char32_t x = ch[0];
    if (x == U'B' || x == U'P') code += U'B';
    else if (x == U'F' || x == U'V') code += U'F';
    else if (x == U'C' || x == U'K' || x == U'S') code += U'C';
    else if (x == U'G' || x == U'J') code += U'G';
    else if (x == U'Q' || x == U'X' || x == U'Z') code += U'Q';
    else if (x == U'D' || x == U'T') code += U'D';
    else if (x == U'L') code += U'L';
    else if (x == U'M' || x == U'N') code += U'M';
    else if (x == U'R') code += U'R';
    else if (x < U'A' || x > U'Z') code += x;
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
  const Text allowed = U"ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  for (char32_t c : s) {
    if (allowed.find(c) != Text::npos) filtered += c;
    else if (c == U' ' && !filtered.empty() && filtered.back() != U' ') filtered += c;
  }
  filtered += U' ';
  Text result;
  while (filtered.find(U' ') != Text::npos) {
    const std::size_t bar = filtered.find(U' ');
    result += ReducePhonetic(Trim(filtered.substr(0, bar)));
    filtered = filtered.substr(bar + 1);
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

inline Text DescribeAlgorithm(const Text& algorithm) {
  const Text code = algorithm + Text(255, U' ');
  Text description, item;
  for (int n = 0; n <= 9; ++n) {
    const int field = Val(Mid(code, 16 * n + 1, 2));
    if (field == 0) break;
    if (field < 51) item = GetDataField(U"PLZ|Ort|Straße|Suchbegriff|Bez1|Bez2|Bez3|Bez4|Kundengruppe", field);
    else if (field == 51) item = U"Bez1+2";
    else if (field == 52) item = U"Bez1+2+3";
    else if (field == 53) item = U"Bez1+2+3+4";
    const int length = Val(Mid(code, 16 * n + 3, 2));
    const int direction = Val(Mid(code, 16 * n + 5, 1));
    const int phonetic = Val(Mid(code, 16 * n + 6, 1));
    item = phonetic == 1 ? U"['sndx:" + item + U"]" : U"(" + item + U")";
    const std::string len = std::to_string(length);
    item = Text(len.begin(), len.end()) + (direction == 1 ? U"R" : U"") + item;
    if (!description.empty()) description += U"+";
    description += item;
  }
  return description;
}

}  // namespace korvix::reference

#endif  // KORVIX_TESTS_ENGINE_REFERENCE_H_
