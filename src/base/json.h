// Writing JSON strings, for every report that prints JSON.
#ifndef KORVIX_BASE_JSON_H_
#define KORVIX_BASE_JSON_H_

#include <string>
#include <string_view>

namespace korvix::base {

// Appends `text` (valid UTF-8) as a JSON string literal, quotes included.
// Inline: reports write many of them.
inline void AppendJsonString(std::string_view text, std::string* out) {
  static constexpr char kHex[] = "0123456789abcdef";
  out->push_back('"');
  for (const char c : text) {
    switch (c) {
      case '"': out->append("\\\""); break;
      case '\\': out->append("\\\\"); break;
      case '\n': out->append("\\n"); break;
      case '\r': out->append("\\r"); break;
      case '\t': out->append("\\t"); break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          out->append("\\u00");
          out->push_back(kHex[(c >> 4) & 0xF]);
          out->push_back(kHex[c & 0xF]);
        } else {
          out->push_back(c);
        }
    }
  }
  out->push_back('"');
}

}  // namespace korvix::base

#endif  // KORVIX_BASE_JSON_H_
