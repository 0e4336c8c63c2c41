// Field names as record sets compare them.
#ifndef KORVIX_PLATFORM_DB_COLUMN_NAME_H_
#define KORVIX_PLATFORM_DB_COLUMN_NAME_H_

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korvix::db {

// Returns true iff `a` and `b` are equal when ASCII letters are compared
// without regard to case. Only ASCII folds, as in the databases' own folding
// of unquoted names.
bool SameColumnName(std::string_view a, std::string_view b);

// Returns the index of the column named `name` in `columns`: an exact match
// first, else the first that matches without regard to case.
std::optional<std::size_t> FindColumn(const std::vector<std::string>& columns,
                                      std::string_view name);

}  // namespace korvix::db

#endif  // KORVIX_PLATFORM_DB_COLUMN_NAME_H_
