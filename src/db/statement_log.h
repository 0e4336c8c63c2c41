// The statement log: the source text of every Recordset::Open on a
// connection, oldest first, exactly as the caller passed it, whether or not
// it ran. Transaction control and Connection::Execute are not logged, so the
// log shows the statements of the algorithm table and nothing else. Only the
// latest Backend::kStatementLogCapacity texts are kept, so a long-running
// host does not grow it without bound.
//
// For the component's tests and diagnostics; hosts do not see it.
#ifndef KORVIX_PLATFORM_DB_STATEMENT_LOG_H_
#define KORVIX_PLATFORM_DB_STATEMENT_LOG_H_

#include <string>
#include <vector>

#include "korvix/db/connection.h"

namespace korvix::db {

std::vector<std::string> StatementLog(Connection& connection);
void ClearStatementLog(Connection& connection);

}  // namespace korvix::db

#endif  // KORVIX_PLATFORM_DB_STATEMENT_LOG_H_
