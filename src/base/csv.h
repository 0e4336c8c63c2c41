// Writing CSV fields, for every file the component writes as CSV.
#ifndef KORVIX_BASE_CSV_H_
#define KORVIX_BASE_CSV_H_

#include <string>
#include <string_view>

namespace korvix::base {

// Appends `value` as one field: quoted when it holds the delimiter, a quote
// or a line break, a quote inside doubled.
inline void AppendCsvField(std::string_view value, char delimiter, std::string* out) {
  const char special[] = {delimiter, '"', '\r', '\n'};
  if (value.find_first_of(std::string_view(special, sizeof special)) == std::string_view::npos) {
    out->append(value);
    return;
  }
  out->push_back('"');
  for (const char c : value) {
    if (c == '"') out->push_back('"');
    out->push_back(c);
  }
  out->push_back('"');
}

}  // namespace korvix::base

#endif  // KORVIX_BASE_CSV_H_
