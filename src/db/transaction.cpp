#include "db/transaction.h"

#include "db/backend.h"

namespace korvix::db {
namespace {

// One name serves every level: both databases stack savepoints of the same
// name and act on the innermost.
constexpr const char* kSavepoint = "SAVEPOINT korvix_write";
constexpr const char* kRelease = "RELEASE SAVEPOINT korvix_write";
constexpr const char* kRollbackToSavepoint =
    "ROLLBACK TO SAVEPOINT korvix_write; RELEASE SAVEPOINT korvix_write";

}  // namespace

Transaction::Transaction(Connection* connection) : connection_(connection) {
  if (connection_ == nullptr || !connection_->IsOpen()) {
    error_ = connection_ == nullptr ? "no connection" : "the connection is closed";
    return;
  }
  Backend& backend = BackendOf(*connection_);
  savepoint_ = backend.InTransaction();
  open_ = savepoint_ ? backend.RunScript(kSavepoint, &error_) : backend.Begin(&error_);
  // A BEGIN whose answer was lost may have begun all the same.
  if (!open_ && !savepoint_) backend.Rollback("ROLLBACK");
}

Transaction::~Transaction() { Rollback(); }

bool Transaction::Lock(std::string_view key) {
  if (!open_) return false;
  if (BackendOf(*connection_).Lock(key, &error_)) return true;
  Rollback();
  return false;
}

bool Transaction::Commit() {
  if (!open_) return false;
  if (BackendOf(*connection_).RunScript(savepoint_ ? kRelease : "COMMIT", &error_)) {
    open_ = false;
    return true;
  }
  Rollback();
  return false;
}

void Transaction::Rollback() {
  if (!open_) return;
  open_ = false;
  BackendOf(*connection_).Rollback(savepoint_ ? kRollbackToSavepoint : "ROLLBACK");
}

}  // namespace korvix::db
