// Telling the two kinds of "path or URI" apart.
#ifndef KORVIX_PLATFORM_DB_TARGET_H_
#define KORVIX_PLATFORM_DB_TARGET_H_

#include <string_view>

namespace korvix::db {

// Returns true iff `target` is a PostgreSQL connection string: a URI with
// the scheme postgresql:// or postgres:// (written in lower case, as libpq
// requires), or key=value pairs that libpq accepts ("host=… dbname=…").
// Everything else, a file name with "=" in it included, is a SQLite path.
bool IsPostgresTarget(std::string_view target);

}  // namespace korvix::db

#endif  // KORVIX_PLATFORM_DB_TARGET_H_
