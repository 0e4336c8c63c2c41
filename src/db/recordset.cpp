#include "db/recordset.h"

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "korvix/db/connection.h"
#include "db/backend.h"
#include "db/column_name.h"
#include "db/table_select.h"

namespace korvix::db {
namespace {

enum class RowState { kStored, kNew, kDeleted };

constexpr const char* kNeverOpened = "the record set is not open";
constexpr const char* kClosed = "the record set is closed";

}  // namespace

struct Recordset::Impl {
  Connection* connection = nullptr;
  bool open = false;
  std::optional<TableSelect> table;  // set iff the set is updatable
  RowSet set;
  std::vector<RowState> states;  // one per row of `set`
  std::size_t current = 0;       // == rows.size() at EOF
  std::vector<Assignment> pending;  // changes of the current row not yet stored
  std::string closed_reason = kNeverOpened;
  mutable std::string error;

  bool Fail(std::string message) const {
    error = std::move(message);
    return false;
  }
  bool Succeed() const {
    error.clear();
    return true;
  }
  bool FailOpen(const std::string& why) {
    closed_reason = std::string(kNeverOpened) + " (Open failed: " + why + ")";
    return Fail(why);
  }

  bool AtEof() const { return current >= set.rows.size(); }

  // The checks every row operation starts with; sets the error on failure.
  bool HasCurrentRow() const {
    if (!open) return Fail(closed_reason);
    if (AtEof()) return Fail("there is no current row (end of the record set)");
    if (states[current] == RowState::kDeleted) return Fail("the current row has been deleted");
    return true;
  }
  bool CanWrite() const {
    if (!open) return Fail(closed_reason);
    if (!table) return Fail("the record set is read-only");
    return true;
  }
  bool ConnectionUsable() const {
    if (!connection->IsOpen()) return Fail("the connection is closed");
    return true;
  }

  void SetPending(const std::string& column, const Value& value) {
    for (Assignment& a : pending) {
      if (a.column == column) {
        a.value = value;
        return;
      }
    }
    pending.push_back(Assignment{column, value});
  }

  // Stores the current row's pending changes; the caller has checked that
  // there is a current row. A new row without values is stored as a row of
  // defaults when asked for by Update, and dropped when merely left.
  bool StoreCurrent(bool store_empty_new_row) {
    const RowState state = states[current];
    if (pending.empty() && state != RowState::kNew) return Succeed();
    if (pending.empty() && !store_empty_new_row) {
      set.rows.pop_back();  // new rows are always last
      states.pop_back();
      return Succeed();
    }
    if (!ConnectionUsable()) return false;
    Row stored;
    std::string why;
    Backend& backend = BackendOf(*connection);
    const bool ok =
        state == RowState::kNew
            ? backend.InsertRow(*table, set.columns, pending, &stored, &why)
            : backend.UpdateRow(*table, set.columns, *set.rows[current].key, pending, &stored, &why);
    if (!ok) return Fail(why);
    set.rows[current] = std::move(stored);
    states[current] = RowState::kStored;
    pending.clear();
    return Succeed();
  }

  // Before leaving the current row: store what is pending on it.
  bool LeaveCurrent() {
    if (AtEof() || states[current] == RowState::kDeleted) return Succeed();
    return StoreCurrent(false);
  }
};

Recordset::Recordset() : impl_(std::make_unique<Impl>()) {}
Recordset::~Recordset() = default;
Recordset::Recordset(Recordset&& other) noexcept
    : impl_(std::exchange(other.impl_, std::make_unique<Impl>())) {}
Recordset& Recordset::operator=(Recordset&& other) noexcept {
  if (this != &other) impl_ = std::exchange(other.impl_, std::make_unique<Impl>());
  return *this;
}

bool Recordset::Open(std::string_view source, Connection* connection, CursorType cursor,
                     LockType lock, int options) noexcept {
  if (impl_->open) Close();
  *impl_ = Impl{};
  Impl& s = *impl_;

  if (connection == nullptr) return s.FailOpen("no connection");
  BackendOf(*connection).LogStatement(source);
  if (!connection->IsOpen()) return s.FailOpen("the connection is closed");
  if (cursor != adOpenForwardOnly && cursor != adOpenKeyset) {
    return s.FailOpen("unsupported cursor type " + std::to_string(static_cast<int>(cursor)));
  }
  if (lock != adLockReadOnly && lock != adLockOptimistic) {
    return s.FailOpen("unsupported lock type " + std::to_string(static_cast<int>(lock)));
  }
  if (options != adCmdUnspecified && options != adCmdText) {
    return s.FailOpen("unsupported options " + std::to_string(options) +
                      ": the source must be SQL text");
  }
  if (!IsSelect(source)) return s.FailOpen("a record set runs queries only (Select …)");
  if (lock == adLockOptimistic) {
    s.table = ParseTableSelect(source);
    if (!s.table) {
      return s.FailOpen(
          "an updatable record set needs a statement of the form "
          "Select * From <table> [Where …] [Order By …]");
    }
  }

  std::string why;
  RowSet set;
  if (!BackendOf(*connection).Query(source, s.table ? &*s.table : nullptr, &set, &why)) {
    return s.FailOpen(why);
  }
  for (const Row& row : set.rows) {
    if (row.values.size() != set.columns.size() || (s.table && !row.key)) {
      return s.FailOpen("the database delivered a malformed row");
    }
  }
  s.connection = connection;
  s.set = std::move(set);
  s.states.assign(s.set.rows.size(), RowState::kStored);
  s.open = true;
  return s.Succeed();
}

bool Recordset::IsOpen() const noexcept { return impl_->open; }

std::optional<bool> Recordset::Eof() const noexcept {
  if (!impl_->open) {
    impl_->Fail(impl_->closed_reason);
    return std::nullopt;
  }
  impl_->Succeed();
  return impl_->AtEof();
}

bool Recordset::Field(std::string_view name, Value* value) const noexcept {
  const Impl& s = *impl_;
  if (!s.HasCurrentRow()) return false;
  const std::optional<std::size_t> column = FindColumn(s.set.columns, name);
  if (!column) return s.Fail("no column \"" + std::string(name) + "\" in the record set");
  if (value != nullptr) *value = s.set.rows[s.current].values[*column];
  return s.Succeed();
}

bool Recordset::SetField(std::string_view name, const Value& value) noexcept {
  Impl& s = *impl_;
  if (!s.CanWrite() || !s.HasCurrentRow()) return false;
  const std::optional<std::size_t> column = FindColumn(s.set.columns, name);
  if (!column) return s.Fail("no column \"" + std::string(name) + "\" in the record set");
  // The row shows the new value at once, as it will read after Update.
  s.set.rows[s.current].values[*column] = value;
  s.SetPending(s.set.columns[*column], value);
  return s.Succeed();
}

bool Recordset::MoveNext() noexcept {
  Impl& s = *impl_;
  if (!s.open) return s.Fail(s.closed_reason);
  if (s.AtEof()) return s.Fail("there is no next row (end of the record set)");
  const std::size_t rows_before = s.set.rows.size();
  if (!s.LeaveCurrent()) return false;
  // A dropped empty new row was the last one: the set is now at its end.
  if (s.set.rows.size() == rows_before) ++s.current;
  s.pending.clear();
  return s.Succeed();
}

bool Recordset::AddNew() noexcept {
  Impl& s = *impl_;
  if (!s.CanWrite()) return false;
  if (!s.LeaveCurrent()) return false;
  s.pending.clear();
  s.set.rows.push_back(Row{std::vector<Value>(s.set.columns.size()), nullptr});
  s.states.push_back(RowState::kNew);
  s.current = s.set.rows.size() - 1;
  return s.Succeed();
}

bool Recordset::Update() noexcept {
  Impl& s = *impl_;
  if (!s.CanWrite() || !s.HasCurrentRow()) return false;
  return s.StoreCurrent(true);
}

bool Recordset::Delete(int affect) noexcept {
  Impl& s = *impl_;
  if (!s.CanWrite() || !s.HasCurrentRow()) return false;
  if (affect != adAffectCurrent) {
    return s.Fail("unsupported AffectRecords " + std::to_string(affect) +
                  ": only the current row can be deleted");
  }
  if (s.states[s.current] == RowState::kNew) {
    return s.Fail("the new row has not been stored yet");
  }
  if (!s.ConnectionUsable()) return false;
  std::string why;
  if (!BackendOf(*s.connection).DeleteRow(*s.table, s.set.columns, *s.set.rows[s.current].key,
                                         &why)) {
    return s.Fail(why);
  }
  s.states[s.current] = RowState::kDeleted;
  s.set.rows[s.current].values.assign(s.set.columns.size(), std::nullopt);
  s.pending.clear();
  return s.Succeed();
}

bool Recordset::Close() noexcept {
  if (!impl_->open) return false;
  *impl_ = Impl{};
  impl_->closed_reason = kClosed;
  return true;
}

const std::string& Recordset::last_error() const noexcept { return impl_->error; }

}  // namespace korvix::db
