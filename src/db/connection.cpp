#include "korvix/db/connection.h"

#include "db/backend.h"
#include "db/statement_log.h"

namespace korvix::db {

Connection::Connection() = default;
Connection::~Connection() = default;

Backend& BackendOf(Connection& connection) { return connection.backend(); }

void Connection::Execute(std::string_view sql) {
  std::string error;
  if (!backend().RunScript(sql, &error)) {
    throw Error(ErrorCode::kDatabase, error.empty() ? "the statement failed" : error);
  }
}

std::string StringLiteralBody(Connection* connection, std::string_view value) {
  return connection != nullptr ? BackendOf(*connection).EscapeString(value) : DoubleQuotes(value);
}

std::string DoubleQuotes(std::string_view value) {
  std::string out;
  out.reserve(value.size());
  for (char c : value) {
    out.push_back(c);
    if (c == '\'') out.push_back('\'');
  }
  return out;
}

void Backend::LogStatement(std::string_view sql) {
  if (log_.size() == kStatementLogCapacity) log_.pop_front();
  log_.emplace_back(sql);
}

std::vector<std::string> StatementLog(Connection& connection) {
  const std::deque<std::string>& log = BackendOf(connection).statement_log();
  return std::vector<std::string>(log.begin(), log.end());
}

void ClearStatementLog(Connection& connection) { BackendOf(connection).ClearStatementLog(); }

}  // namespace korvix::db
