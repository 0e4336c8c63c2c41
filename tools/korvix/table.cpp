#include "table.h"

#include <utf8proc.h>

#include <algorithm>

#include "base/text.h"

namespace korvix::cli {
namespace {

// Columns on a terminal: a combining mark takes none, a wide character two.
std::size_t Width(const std::string& utf8) {
  std::size_t n = 0;
  for (std::size_t i = 0; i < utf8.size();) {
    const text::Character c = text::DecodeCharacter(utf8, i);
    n += static_cast<std::size_t>(
        std::max(0, utf8proc_charwidth(static_cast<utf8proc_int32_t>(c.code))));
    i += c.length;
  }
  return n;
}

}  // namespace

std::string TextTable::Render() const {
  std::vector<std::size_t> widths;
  for (const auto& row : rows_) {
    if (widths.size() < row.size()) widths.resize(row.size());
    for (std::size_t i = 0; i < row.size(); ++i) widths[i] = std::max(widths[i], Width(row[i]));
  }
  std::string out;
  for (const auto& row : rows_) {
    std::string line;
    for (std::size_t i = 0; i < row.size(); ++i) {
      line += row[i];
      if (i + 1 < row.size()) line.append(widths[i] - Width(row[i]) + 2, ' ');
    }
    out += line + "\n";
  }
  return out;
}

}  // namespace korvix::cli
