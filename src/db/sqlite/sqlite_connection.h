// SqliteConnection: a Connection over one sqlite3 handle.
//
// Row identity for updatable record sets: each row is fetched with its
// rowid, and a typed copy of every value it had. A write names the rowid
// and requires every column to still hold its old value, so it reaches the
// delivered row and no other: twins that share every value have different
// rowids, and a rowid that SQLite reused for a new row after a delete does
// not match the old values. A row changed since it was read is not written.
//
// Transactions begin IMMEDIATE: the write lock is taken before the first
// read, so a look-up and the write it decides are never split by another
// writer, who waits (busy timeout) instead. SQLite has no backslash escapes
// in string literals: doubling quotes is the whole escaping.
#ifndef KORVIX_PLATFORM_DB_SQLITE_SQLITE_CONNECTION_H_
#define KORVIX_PLATFORM_DB_SQLITE_SQLITE_CONNECTION_H_

#include <sqlite3.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "korvix/db/connection.h"
#include "db/backend.h"

namespace korvix::db::sqlite {

class SqliteConnection final : public Connection, private Backend {
 public:
  // Closes `db` at the end iff `owned`.
  SqliteConnection(sqlite3* db, bool owned) : db_(db), owned_(owned) {}
  ~SqliteConnection() override;

  bool IsOpen() const noexcept override { return db_ != nullptr; }
  sqlite3* handle() const { return db_; }
  void Close() noexcept override;

 private:
  Backend& backend() override { return *this; }

  bool RunScript(std::string_view sql, std::string* error) override;
  bool Query(std::string_view sql, const TableSelect* table, RowSet* out,
             std::string* error) override;
  bool InsertRow(const TableSelect& table, const std::vector<std::string>& columns,
                 const std::vector<Assignment>& values, Row* stored, std::string* error) override;
  bool UpdateRow(const TableSelect& table, const std::vector<std::string>& columns,
                 const RowKey& key, const std::vector<Assignment>& values, Row* stored,
                 std::string* error) override;
  bool DeleteRow(const TableSelect& table, const std::vector<std::string>& columns,
                 const RowKey& key, std::string* error) override;
  std::string EscapeString(std::string_view value) override;
  bool InTransaction() override;
  bool Begin(std::string* error) override;
  bool Lock(std::string_view key, std::string* error) override;
  void Rollback(std::string_view sql) override;

  sqlite3* db_;
  bool owned_;
};

// Opens the database file at `path` with sqlite3_open_v2 `flags`, lets
// statements wait up to `busy_timeout_ms` for a lock, and reads the schema
// so that a file that is not a database fails here rather than on a later
// query. Returns null and stores why in *error (if not null) otherwise.
std::unique_ptr<SqliteConnection> OpenFile(std::string_view path, int flags, int busy_timeout_ms,
                                           std::string* error);

}  // namespace korvix::db::sqlite

#endif  // KORVIX_PLATFORM_DB_SQLITE_SQLITE_CONNECTION_H_
