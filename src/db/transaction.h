// Transaction: the writes of one operation, made whole or not at all.
//
//   Transaction tx(connection);
//   if (!tx.ok() || !tx.Lock("DoubletAlgorithms/0103…/1001") || !Write…) return;  // rolled back
//   tx.Commit();
//
// On a session that is already inside a transaction (a host's adopted
// handle, or an outer Transaction) it is a savepoint instead: committing
// releases the savepoint and leaves the outer transaction to its owner, who
// alone ends it; rolling back undoes only what was done since. The
// statements that begin and end it run through Backend::RunScript and are
// not in the statement log.
#ifndef KORVIX_PLATFORM_DB_TRANSACTION_H_
#define KORVIX_PLATFORM_DB_TRANSACTION_H_

#include <string>
#include <string_view>

#include "korvix/db/connection.h"

namespace korvix::db {

class Transaction {
 public:
  // Begins on `connection` (which may be null or closed: then ok() is false).
  explicit Transaction(Connection* connection);
  // Rolls back unless committed.
  ~Transaction();
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;

  // True iff the transaction has begun and has not ended.
  bool ok() const { return open_; }

  // Holds `key` against every other session's transaction until this one
  // ends (Backend::Lock). False, with error() set, when it cannot.
  [[nodiscard]] bool Lock(std::string_view key);

  // Makes the changes lasting. False when that failed; everything done in
  // the transaction is then undone.
  [[nodiscard]] bool Commit();

  // Undoes everything done in the transaction and ends it.
  void Rollback();

  // Why the latest step failed.
  const std::string& error() const { return error_; }

 private:
  Connection* connection_;
  bool open_ = false;
  bool savepoint_ = false;  // nested in a transaction that is not ours
  std::string error_;
};

}  // namespace korvix::db

#endif  // KORVIX_PLATFORM_DB_TRANSACTION_H_
