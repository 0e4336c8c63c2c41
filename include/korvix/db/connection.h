// Connection: the host's open database session, as the component sees it.
//
// The host opens a connection (OpenDatabase, OpenSqlite, OpenPostgres, or by
// adopting a handle of its own) and hands it to the component, which only
// reads and writes rows through it and never opens, closes or replaces it.
// Nothing above this layer can tell which database lies behind a
// connection: the same statements run unchanged on every back end.
//
// A connection serves one thread at a time and must outlive every call it
// is handed to. Only Execute throws.
#ifndef KORVIX_DB_CONNECTION_H_
#define KORVIX_DB_CONNECTION_H_

#include <optional>
#include <string>
#include <string_view>

#include "korvix/error.h"
#include "korvix/export.h"

namespace korvix::db {

// A column's value as text; std::nullopt is Null. Numbers read as their
// decimal text, so every value can be appended to a string.
using Value = std::optional<std::string>;

class Backend;  // the statement runner behind a connection; internal

class KORVIX_EXPORT Connection {
 public:
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;
  virtual ~Connection();

  // Returns true iff the session can run statements. A session that the
  // server dropped reads as closed once an operation has run into the loss.
  virtual bool IsOpen() const noexcept = 0;

  // Host side only: ends the session. A handle adopted from the host is let
  // go, not closed; the host still owns it. Closing twice has no effect.
  virtual void Close() noexcept = 0;

  // Runs `sql` (one or more statements whose rows, if any, are discarded):
  // for a host's set-up work such as creating tables or seeding rows. The
  // dialogs never run their statements through it. Throws korvix::Error
  // (kDatabase) saying why when it fails.
  void Execute(std::string_view sql);

 protected:
  Connection();

 private:
  friend Backend& BackendOf(Connection& connection);
  virtual Backend& backend() = 0;
};

}  // namespace korvix::db

#endif  // KORVIX_DB_CONNECTION_H_
