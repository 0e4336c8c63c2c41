// Recordset: the rows of one statement over a host connection, read forward
// and, when opened updatable, changed, added and deleted one row at a time.
//
// Every operation reports failure as its result and never throws, so a
// caller can skip a failed step and go on. A record set that is not open
// (never opened, failed to open, or closed) fails every operation except
// Close, which then has no effect.
//
//   Recordset rs;
//   if (rs.Open("Select * From DoubletAlgorithms Order By AlgorithmCode",
//               &connection, adOpenKeyset, adLockReadOnly)) {
//     while (rs.Eof() == false) {
//       Value code;
//       if (rs.Field("AlgorithmCode", &code)) ...;
//       if (!rs.MoveNext()) break;
//     }
//   }
//   rs.Close();
//
// Rows are fetched when the set opens; later changes by others do not show
// in it. An updatable set writes each change straight to the table and
// touches exactly the row it delivered: when that row has been changed or
// deleted by someone else since, Update and Delete fail instead of writing
// over the other change.
#ifndef KORVIX_PLATFORM_DB_RECORDSET_H_
#define KORVIX_PLATFORM_DB_RECORDSET_H_

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "korvix/db/connection.h"  // Connection, Value

namespace korvix::db {

enum CursorType : int { adOpenForwardOnly = 0, adOpenKeyset = 1 };
enum LockType : int { adLockReadOnly = 1, adLockOptimistic = 3 };
inline constexpr int adCmdUnspecified = -1;
inline constexpr int adCmdText = 1;
inline constexpr int adAffectCurrent = 1;

class Recordset {
 public:
  Recordset();  // closed
  ~Recordset();
  Recordset(Recordset&&) noexcept;
  Recordset& operator=(Recordset&&) noexcept;
  Recordset(const Recordset&) = delete;
  Recordset& operator=(const Recordset&) = delete;

  // Runs the query `source` on `connection` and positions on its first row
  // (Eof() true when there is none). An open set is closed first.
  // `lock` adLockReadOnly reads; adLockOptimistic also writes, and needs a
  // statement of the form "Select * From <table> [Where …] [Order By …]".
  // `options` is adCmdUnspecified or adCmdText: `source` is SQL text.
  // A null or closed connection, a statement that fails or that is not a
  // query leave the set closed and return false. `connection` must outlive
  // the open set.
  [[nodiscard]] bool Open(std::string_view source, Connection* connection, CursorType cursor,
                          LockType lock, int options = adCmdUnspecified) noexcept;

  bool IsOpen() const noexcept;

  // True when there is no current row; std::nullopt when the set is not open.
  std::optional<bool> Eof() const noexcept;

  // Stores the current row's value of column `name` (any case) in *value.
  [[nodiscard]] bool Field(std::string_view name, Value* value) const noexcept;

  // Gives column `name` (any case) of the current row the value `value`;
  // stored by Update. Updatable sets only.
  [[nodiscard]] bool SetField(std::string_view name, const Value& value) noexcept;

  // Makes the next row current, or turns Eof() true after the last row.
  // Changes set on the current row and not yet stored are stored first; if
  // that fails the set stays on the row and MoveNext fails.
  [[nodiscard]] bool MoveNext() noexcept;

  // Appends a new row, every column Null, and makes it current. It reaches
  // the table with Update; unstored changes of the row left are stored first.
  [[nodiscard]] bool AddNew() noexcept;

  // Stores the changes of the current row: inserts a row made by AddNew,
  // otherwise writes the changed columns of the delivered row. The row then
  // shows the values as stored. On failure the changes stay pending.
  [[nodiscard]] bool Update() noexcept;

  // Deletes the current row from the table (`affect` must be
  // adAffectCurrent). The row stays current but has no values until
  // MoveNext. Pending changes of the row are dropped.
  [[nodiscard]] bool Delete(int affect = adAffectCurrent) noexcept;

  // Closes the set and drops pending changes. Returns false, with no other
  // effect, when the set is not open.
  bool Close() noexcept;

  // Why the latest operation failed; empty after one that succeeded.
  const std::string& last_error() const noexcept;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace korvix::db

#endif  // KORVIX_PLATFORM_DB_RECORDSET_H_
