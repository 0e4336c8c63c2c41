// The tool's own database: where it is, creating its tables, checking them,
// and how a database is named to the user.
//
// The tool is a host of the component, so unlike the component it may create
// tables. Every command that reads algorithms takes --db PATH|URI; without it
// the tool uses its default SQLite file, created and filled with samples the
// first time it is needed.
#ifndef KORVIX_TOOLS_DATABASE_H_
#define KORVIX_TOOLS_DATABASE_H_

#include <memory>
#include <string>
#include <vector>

#include "cli.h"
#include "korvix/db/connection.h"
#include "korvix/decisions.h"

namespace korvix::cli {

// The options every database command takes.
inline constexpr OptionDef kDbOption = {
    "db", "PATH|URI", "SQLite file or PostgreSQL URI (default: the tool's own database)"};
inline constexpr OptionDef kUserOption = {"user", "NR", "the staff number of the current user"};
inline constexpr OptionDef kAdminOption = {"admin", "", "the current user is an administrator"};

// The tool's own database, $XDG_DATA_HOME/korvix/korvix.sqlite or
// ~/.local/share/korvix/korvix.sqlite; makes its directory when missing.
std::string DefaultDatabasePath();

// `target` as the tool shows it: a password in a PostgreSQL URI
// (postgresql://user:PASSWORD@…, ?password=…) or key=value string
// (password=… or password='…') replaced by "***". Anything else unchanged.
std::string DisplayTarget(const std::string& target);

// `message` with `target` shown as DisplayTarget shows it, and any other
// appearance of its password (a connection library may quote a piece of
// the string it could not parse) replaced by "***".
std::string Masked(const std::string& message, const std::string& target);

// Creates the two tables where they are missing and, only when the algorithm
// table was new, adds sample staff and algorithms, all or nothing. Never
// changes a row that exists. Returns true when it created the algorithm
// table. Throws IoError, naming the database as `name` (a target, masked).
bool InitializeDatabase(db::Connection& connection, const std::string& name);

// Opens `target`, making a missing SQLite file when `create`. Throws
// IoError with the library's message, the target's password masked.
std::unique_ptr<db::Connection> OpenTarget(const std::string& target, bool create);

inline constexpr OptionDef kNoDecisionsOption = {
    "no-decisions", "", "ignore the decisions kept in the database (korvix decisions)"};

// The decisions kept in the database that --db names (or in the tool's own
// where it exists), for a run to honour; none with --no-decisions or where
// the database has no table of them. Nothing is created. Throws IoError
// when the database or its table cannot be used.
std::vector<Decision> KeptDecisions(const Args& args);

// Opens the database that --db names (or the default, initialised on first
// use) and checks that it has the tables the commands read. Throws IoError
// with a one-line message when it cannot: nothing is written then.
std::unique_ptr<db::Connection> OpenToolDatabase(const Args& args);

}  // namespace korvix::cli

#endif  // KORVIX_TOOLS_DATABASE_H_
