#include "table.h"

#include <utf8proc.h>

#include <algorithm>

namespace korvix::cli {
namespace {

// Columns on a terminal: a combining mark takes none, a wide character two.
std::size_t Width(const std::string& utf8) {
  std::size_t n = 0;
  const auto* bytes = reinterpret_cast<const utf8proc_uint8_t*>(utf8.data());
  for (std::size_t i = 0; i < utf8.size();) {
    utf8proc_int32_t c = 0;
    const utf8proc_ssize_t length =
        utf8proc_iterate(bytes + i, static_cast<utf8proc_ssize_t>(utf8.size() - i), &c);
    // A byte that is no UTF-8 (the cells hold the library's text, so hardly
    // ever) takes a column, as a terminal shows it.
    n += length > 0 ? static_cast<std::size_t>(std::max(0, utf8proc_charwidth(c))) : 1;
    i += length > 0 ? static_cast<std::size_t>(length) : 1;
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
