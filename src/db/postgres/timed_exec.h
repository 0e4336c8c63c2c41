// Running statements over libpq with a bound on the wait.
//
// libpq's own PQexec waits for the server for as long as it takes, so a
// stopped or hung server would hang the host. These functions send the
// statement, wait for the answer with poll() until a deadline, and when it
// passes ask the server to cancel the statement and fail. A statement that
// failed this way has not been committed unless the cancel came too late.
#ifndef KORVIX_PLATFORM_DB_POSTGRES_TIMED_EXEC_H_
#define KORVIX_PLATFORM_DB_POSTGRES_TIMED_EXEC_H_

#include <libpq-fe.h>

#include <chrono>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "db/recordset.h"

namespace korvix::db::postgres {

struct ResultClear {
  void operator()(PGresult* result) const { PQclear(result); }
};
using ResultPtr = std::unique_ptr<PGresult, ResultClear>;

// Runs the single statement `sql` with text parameters ($1, $2, …; nullopt
// is NULL) and returns its result, or null with *error set when it could
// not be sent, failed on the server, or found no answer within `timeout`.
ResultPtr ExecParams(PGconn* conn, std::string_view sql, const std::vector<Value>& params,
                     std::chrono::milliseconds timeout, std::string* error);

// Runs `sql`, which may hold several statements; rows are discarded.
// Returns false with *error set on the first failure.
bool ExecScript(PGconn* conn, std::string_view sql, std::chrono::milliseconds timeout,
                std::string* error);

// libpq's message for the last failure on `conn`, on one line.
std::string ConnectionMessage(const PGconn* conn);

}  // namespace korvix::db::postgres

#endif  // KORVIX_PLATFORM_DB_POSTGRES_TIMED_EXEC_H_
