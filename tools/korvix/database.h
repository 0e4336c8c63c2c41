// The tool's own database: where it is, creating its tables, checking them.
//
// The tool is a host of the component, so unlike the component it may create
// tables. Every command that reads algorithms takes --db PATH|URI; without it
// the tool uses its default SQLite file, created and filled with samples the
// first time it is needed.
#ifndef KORVIX_TOOLS_DATABASE_H_
#define KORVIX_TOOLS_DATABASE_H_

#include <memory>
#include <string>

#include "cli.h"
#include "korvix/db/connection.h"

namespace korvix::cli {

// The options every database command takes.
inline constexpr OptionSpec kDbOption = {
    "db", "PATH|URI", "SQLite file or PostgreSQL URI (default: the tool's own database)"};
inline constexpr OptionSpec kUserOption = {"user", "NR", "the staff number of the current user"};
inline constexpr OptionSpec kAdminOption = {"admin", "", "the current user is an administrator"};

// The tool's own database, $XDG_DATA_HOME/korvix/korvix.sqlite or
// ~/.local/share/korvix/korvix.sqlite; makes its directory when missing.
std::string DefaultDatabasePath();

// Creates the two tables where they are missing and, only when the algorithm
// table was new, adds sample staff and algorithms. Never changes a row that
// exists. Returns true when it created the algorithm table. Throws IoError.
bool InitializeDatabase(db::Connection& connection, const std::string& name);

// Opens the database that --db names (or the default, initialised on first
// use) and checks that it has the tables the commands read. Throws IoError
// with a one-line message when it cannot: nothing is written then.
std::unique_ptr<db::Connection> OpenToolDatabase(const Args& args);

}  // namespace korvix::cli

#endif  // KORVIX_TOOLS_DATABASE_H_
