// Opening a database by one "path or URI", for hosts such as the
// command-line tool that take it from their user.
#ifndef KORVIX_DB_OPEN_H_
#define KORVIX_DB_OPEN_H_

#include <memory>
#include <string>
#include <string_view>

#include "korvix/db/connection.h"
#include "korvix/export.h"

namespace korvix::db {

struct OpenOptions {
  // SQLite only: create the database file when it does not exist.
  bool create_if_missing = false;
};

// Opens `target`: a PostgreSQL URI ("postgresql://…", "postgres://…") or a
// libpq key=value string ("host=db dbname=korvix") connects to that server
// with default options; anything else is the path of a SQLite file (write
// "./host=x.db" for a file whose name looks like key=value pairs).
// Throws korvix::Error (kDatabase) with a message fit for the user when it
// cannot be opened.
KORVIX_EXPORT std::unique_ptr<Connection> OpenDatabase(std::string_view target,
                                                       const OpenOptions& options = {});

}  // namespace korvix::db

#endif  // KORVIX_DB_OPEN_H_
