#include "db/target.h"

#include <libpq-fe.h>

#include <string>

namespace korvix::db {

bool IsPostgresTarget(std::string_view target) {
  if (target.starts_with("postgresql://") || target.starts_with("postgres://")) return true;
  if (target.find('=') == std::string_view::npos) return false;
  // libpq refuses unknown keywords, so "data=1.db" stays a file name.
  char* message = nullptr;
  PQconninfoOption* options = PQconninfoParse(std::string(target).c_str(), &message);
  PQfreemem(message);
  if (options == nullptr) return false;
  PQconninfoFree(options);
  return true;
}

}  // namespace korvix::db
