// Writing JSON strings, for every report and listing that prints JSON.
#ifndef KORVIX_BASE_JSON_H_
#define KORVIX_BASE_JSON_H_

#include <span>
#include <string>
#include <string_view>
#include <utility>

namespace korvix::base {

// Appends `text` (valid UTF-8) as a JSON string literal, quotes included.
// Inline, so that the command line shares it without an exported symbol.
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

// Appends {"key": "value", ...} with every value a JSON string, in order.
inline void AppendJsonObject(std::span<const std::pair<std::string_view, std::string>> fields,
                             std::string* out) {
  out->push_back('{');
  for (const auto& [key, value] : fields) {
    if (out->back() != '{') out->append(", ");
    AppendJsonString(key, out);
    out->append(": ");
    AppendJsonString(value, out);
  }
  out->push_back('}');
}

}  // namespace korvix::base

#endif  // KORVIX_BASE_JSON_H_
