#include "korvix/db/connection.h"

namespace korvix::db {

Connection::Connection() = default;
Connection::~Connection() = default;

std::vector<std::string> Connection::StatementLog() const {
  return std::vector<std::string>(log_.begin(), log_.end());
}

void Connection::ClearStatementLog() { log_.clear(); }

void Connection::LogStatement(std::string_view sql) {
  if (log_.size() == kStatementLogCapacity) log_.pop_front();
  log_.emplace_back(sql);
}

}  // namespace korvix::db
