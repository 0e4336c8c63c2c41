#include "db/postgres/pg_connection.h"

#include <memory>
#include <string>

#include "db/postgres/timed_exec.h"

namespace korvix::db {

namespace postgres {

PgConnection::~PgConnection() { Close(); }

bool PgConnection::IsOpen() const noexcept {
  return conn_ != nullptr && PQstatus(conn_) == CONNECTION_OK;
}

void PgConnection::Close() noexcept {
  if (conn_ != nullptr && owned_) PQfinish(conn_);
  conn_ = nullptr;
}

bool PgConnection::RunScript(std::string_view sql, std::string* error) {
  Settle();
  std::string why;
  const bool ok = ExecScript(conn_, sql, timeout_, &why);
  if (!ok && error != nullptr) *error = why;
  return ok;
}

std::string PgConnection::EscapeString(std::string_view value) {
  // libpq stops at a NUL; the NUL kept after the escaped part ends the
  // statement text inside the open literal, so the statement fails.
  const std::string_view part = value.substr(0, value.find('\0'));
  const std::string_view rest = value.substr(part.size());
  std::string out(part.size() * 2 + 1, '\0');
  int failed = 0;
  if (conn_ != nullptr) {
    out.resize(PQescapeStringConn(conn_, out.data(), part.data(), part.size(), &failed));
  }
  // No session, or bytes invalid in its encoding: the server refuses the
  // whole statement for those bytes, so doubling quotes keeps it shut.
  if (conn_ == nullptr || failed != 0) out = DoubleQuotes(part);
  out.append(rest);
  return out;
}

bool PgConnection::InTransaction() {
  if (conn_ == nullptr) return false;
  const PGTransactionStatusType status = PQtransactionStatus(conn_);
  return status == PQTRANS_INTRANS || status == PQTRANS_INERROR;
}

bool PgConnection::Begin(std::string* error) { return RunScript("BEGIN", error); }

bool PgConnection::Lock(std::string_view key, std::string* error) {
  Settle();
  return ExecParams(conn_, "SELECT pg_advisory_xact_lock(hashtextextended($1, 0))",
                    {std::string(key)}, timeout_, error) != nullptr;
}

void PgConnection::Rollback(std::string_view sql) {
  Settle();
  std::string ignored;
  if (!ExecScript(conn_, sql, timeout_, &ignored) && StillBusy()) rollback_due_ = sql;
}

bool PgConnection::StillBusy() const {
  return conn_ != nullptr && PQtransactionStatus(conn_) == PQTRANS_ACTIVE;
}

void PgConnection::Settle() {
  if (rollback_due_.empty()) return;
  // Only a rollback that never reached the server is due; one the server
  // refused is not sent again into whatever the session does next.
  std::string ignored;
  if (ExecScript(conn_, rollback_due_, timeout_, &ignored) || !StillBusy()) rollback_due_.clear();
}

}  // namespace postgres

}  // namespace korvix::db
