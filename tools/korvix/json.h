// Writing JSON strings.
#ifndef KORVIX_TOOLS_JSON_H_
#define KORVIX_TOOLS_JSON_H_

#include <string>
#include <string_view>

namespace korvix::cli {

// Appends `text` (valid UTF-8) as a JSON string literal, quotes included.
void AppendJsonString(std::string_view text, std::string* out);

}  // namespace korvix::cli

#endif  // KORVIX_TOOLS_JSON_H_
