// Backend: what a record set needs from the database behind a connection.
//
// Every connection class implements it. A record set fetches all rows of
// its statement when it opens and then works on that copy, so a back end
// never keeps a statement or a lock open between two operations: other
// writers are blocked only for the length of one statement.
//
// A test can derive a connection of its own from Connection and Backend to
// make any single step fail.
#ifndef KORVIX_PLATFORM_DB_BACKEND_H_
#define KORVIX_PLATFORM_DB_BACKEND_H_

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "korvix/db/recordset.h"
#include "platform/db/table_select.h"

namespace korvix::db {

// What a back end needs to find a delivered row again in order to write it
// back: its row identity and whatever proves that it is still the row that
// was read. Opaque to everyone else.
class RowKey {
 public:
  virtual ~RowKey() = default;
};

struct Row {
  std::vector<Value> values;    // one per column of the row set, in order
  std::unique_ptr<RowKey> key;  // set for rows of updatable sets only
};

struct RowSet {
  std::vector<std::string> columns;  // names as the database reports them
  std::vector<Row> rows;
};

// One column to write; `column` is spelled as in RowSet::columns.
struct Assignment {
  std::string column;
  Value value;
};

class Backend {
 public:
  virtual ~Backend() = default;

  // Runs the query `sql` and stores all its rows in *out. With `table` not
  // null the set is updatable: `sql` has that shape, and every row gets a
  // key. Fails for a statement that is not a query.
  virtual bool Query(std::string_view sql, const TableSelect* table, RowSet* out,
                     std::string* error) = 0;

  // Inserts a row into table.name with `values` (other columns take their
  // defaults) and stores the row as the table now holds it, in the order
  // of `columns`, with its key, in *stored.
  virtual bool InsertRow(const TableSelect& table, const std::vector<std::string>& columns,
                         const std::vector<Assignment>& values, Row* stored,
                         std::string* error) = 0;

  // Writes `values` into the row that `key` identifies and stores the row
  // as it now stands in *stored. Fails, writing nothing, when that row is
  // gone or was changed since it was read.
  virtual bool UpdateRow(const TableSelect& table, const std::vector<std::string>& columns,
                         const RowKey& key, const std::vector<Assignment>& values, Row* stored,
                         std::string* error) = 0;

  // Deletes the row that `key` identifies, under the same condition.
  virtual bool DeleteRow(const TableSelect& table, const std::vector<std::string>& columns,
                         const RowKey& key, std::string* error) = 0;
};

}  // namespace korvix::db

#endif  // KORVIX_PLATFORM_DB_BACKEND_H_
