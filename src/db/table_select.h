// The one statement shape that an updatable record set accepts:
//
//   Select * From <table> [Where …] [Order By …] [Limit …]
//
// Keywords in any case, any blanks between the pieces. Knowing the table is
// what lets a back end fetch each row's identity alongside it and write a
// changed row back.
#ifndef KORVIX_PLATFORM_DB_TABLE_SELECT_H_
#define KORVIX_PLATFORM_DB_TABLE_SELECT_H_

#include <optional>
#include <string>
#include <string_view>

namespace korvix::db {

struct TableSelect {
  // The table as written in the statement, quotes and schema included, so
  // that a back end resolves it in statements of its own exactly as in the
  // caller's (PostgreSQL folds an unquoted name, SQLite ignores its case).
  std::string table;
  // Everything after the "*": " From <table> Where …". A back end puts its
  // own column list in front of it.
  std::string from_clause;
};

// Returns the parts of `sql` when it has the shape above, else nullopt.
std::optional<TableSelect> ParseTableSelect(std::string_view sql);

// Returns true iff `sql` begins with the keyword SELECT (after blanks and
// opening parentheses): the only statements a record set runs.
bool IsSelect(std::string_view sql);

// Returns `name` as a quoted SQL identifier: "a""b" for a"b.
std::string QuoteIdentifier(std::string_view name);

}  // namespace korvix::db

#endif  // KORVIX_PLATFORM_DB_TABLE_SELECT_H_
