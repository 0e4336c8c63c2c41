// Backend: what the component's own layers reach behind a Connection.
//
// Every connection class implements it. A record set fetches all rows of
// its statement when it opens and then works on that copy, so a back end
// never keeps a statement open between two operations. Locks are held only
// inside a transaction (db/transaction.h), which the store opens
// around each write so that a write is whole or not at all.
//
// A test can derive a connection of its own from Connection and Backend,
// forwarding to a real one through BackendOf, to make any single step fail.
#ifndef KORVIX_PLATFORM_DB_BACKEND_H_
#define KORVIX_PLATFORM_DB_BACKEND_H_

#include <cstddef>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "korvix/db/connection.h"
#include "db/recordset.h"
#include "db/table_select.h"

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

  // ---- Record sets.

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

  // ---- The session.

  // Runs `sql`, one or more statements whose rows are discarded: what
  // Connection::Execute runs, and the statements that begin and end a
  // savepoint. False, with *error (if not null) saying why, when it fails.
  virtual bool RunScript(std::string_view sql, std::string* error) = 0;

  // Returns `value` written as the inside of a single-quoted string literal
  // that this session reads back as exactly `value`: quotes doubled, and
  // backslashes too where the session reads them as escapes (PostgreSQL
  // with standard_conforming_strings off), in the session's encoding. A
  // value that cannot be written so (a NUL byte, bytes invalid in the
  // session's encoding) comes out such that the statement fails.
  virtual std::string EscapeString(std::string_view value) = 0;

  // True while the session is inside a transaction, whoever began it.
  virtual bool InTransaction() = 0;

  // Begins a transaction. On SQLite it takes the database's write lock at
  // once, so that what the transaction reads stays true until it writes.
  virtual bool Begin(std::string* error) = 0;

  // Inside a transaction: waits until no other session's transaction holds
  // `key`, then holds it until this one ends. Where Begin already locked
  // the whole database (SQLite) there is nothing more to hold.
  virtual bool Lock(std::string_view key, std::string* error) = 0;

  // Runs `sql`, which rolls back a transaction or savepoint. When the
  // session cannot run it now (a statement that timed out is still being
  // cancelled), it runs before the session's next statement, so a session
  // is never left inside a transaction that nobody will end.
  virtual void Rollback(std::string_view sql) = 0;

  // The texts of the record sets opened on this session (see
  // db/statement_log.h).
  void LogStatement(std::string_view sql);
  const std::deque<std::string>& statement_log() const { return log_; }
  void ClearStatementLog() { log_.clear(); }
  static constexpr std::size_t kStatementLogCapacity = 10000;

 private:
  std::deque<std::string> log_;
};

// The back end of `connection`.
Backend& BackendOf(Connection& connection);

// Backend::EscapeString of `connection`; with no connection, only the
// quotes doubled (the statement cannot run anyway).
std::string StringLiteralBody(Connection* connection, std::string_view value);

// `value` with its single quotes doubled: the whole escaping of a string
// literal where a backslash is a plain character.
std::string DoubleQuotes(std::string_view value);

}  // namespace korvix::db

#endif  // KORVIX_PLATFORM_DB_BACKEND_H_
