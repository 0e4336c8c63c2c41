#include "db/column_name.h"

namespace korvix::db {
namespace {

char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

bool SameColumnName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  }
  return true;
}

std::optional<std::size_t> FindColumn(const std::vector<std::string>& columns,
                                      std::string_view name) {
  for (std::size_t i = 0; i < columns.size(); ++i) {
    if (columns[i] == name) return i;
  }
  for (std::size_t i = 0; i < columns.size(); ++i) {
    if (SameColumnName(columns[i], name)) return i;
  }
  return std::nullopt;
}

}  // namespace korvix::db
