// PgConnection: a Connection over one libpq session.
//
// Row identity for updatable record sets: each row is fetched with its
// system columns tableoid, ctid and xmin. ctid is the physical place of the
// row version that was read, and xmin the transaction that wrote that
// version; tableoid names the table (or partition) holding it. A version
// never moves while it lives: an UPDATE writes a new version with a new
// ctid and xmin, a DELETE ends it. So for the life of a record set the
// triple names exactly the delivered row, twins included, and a write that
// names it either reaches that row unchanged or finds nothing and fails:
// after a concurrent change, and also when VACUUM has since given the
// place to another row, which then has another xmin. Only a rewrite of
// the whole table (VACUUM FULL, CLUSTER) moves live rows; a record set
// lives for one operation, and a write after such a rewrite fails unless
// the new occupant of the place was written by the same transaction.
//
// Values go into statements escaped by libpq for the session as it stands
// (PQescapeStringConn: its encoding, and backslashes doubled while the
// server reads them as escapes), so a setting of standard_conforming_strings
// made by the server, the database, the role or the host cannot open a
// value's literal. Lock takes a transaction-scoped advisory lock on a hash
// of the key; two keys that share a hash only wait for each other.
#ifndef KORVIX_PLATFORM_DB_POSTGRES_PG_CONNECTION_H_
#define KORVIX_PLATFORM_DB_POSTGRES_PG_CONNECTION_H_

#include <libpq-fe.h>

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

#include "korvix/db/connection.h"
#include "db/backend.h"

namespace korvix::db::postgres {

class PgConnection final : public Connection, private Backend {
 public:
  // Finishes `conn` at the end iff `owned`.
  PgConnection(PGconn* conn, bool owned, std::chrono::milliseconds timeout)
      : conn_(conn), owned_(owned), timeout_(timeout) {}
  ~PgConnection() override;

  bool IsOpen() const noexcept override;
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

  // Runs a rollback that could not run when it was due, before anything else.
  void Settle();
  // True while an earlier statement that timed out is still being cancelled.
  bool StillBusy() const;

  PGconn* conn_;
  bool owned_;
  std::chrono::milliseconds timeout_;
  std::string rollback_due_;
};

}  // namespace korvix::db::postgres

#endif  // KORVIX_PLATFORM_DB_POSTGRES_PG_CONNECTION_H_
