// The loadable SQLite extension: the functions of sql/sqlite_functions.h for
// any SQLite host, `.load korvix_sqlite` in the sqlite3 shell or
// sqlite3_load_extension(db, "korvix_sqlite", nullptr, &error) in a program.
#include <sqlite3ext.h>
SQLITE_EXTENSION_INIT1

#include "korvix/export.h"
#include "sql/sqlite_functions.h"

// SQLite finds this entry point by the file name korvix_sqlite.so.
extern "C" KORVIX_EXPORT int sqlite3_korvixsqlite_init(sqlite3* db, char** /*error*/,
                                                      const sqlite3_api_routines* api) {
  SQLITE_EXTENSION_INIT2(api);
  return korvix::sql::RegisterSqliteFunctions(db);
}
