// korvix.Connection: a database connection that Python code opened.
//
// connect() gives an open one or raises korvix.DatabaseError. A connection
// serves one thread at a time; calls from several Python threads take turns
// on its lock, which is taken with the GIL released.
#ifndef KORVIX_PYTHON_CONNECTION_H_
#define KORVIX_PYTHON_CONNECTION_H_

#include <pybind11/pybind11.h>

#include <memory>
#include <mutex>
#include <string>

#include "korvix/db/connection.h"

namespace korvix::python {

class Connection {
 public:
  explicit Connection(std::unique_ptr<db::Connection> connection)
      : connection_(std::move(connection)) {}

  // The connection for one call of the component, while `lock` holds the
  // turn; null when there is none.
  db::Connection* Use(std::unique_lock<std::mutex>& lock) {
    lock = std::unique_lock<std::mutex>(mutex_);
    return connection_.get();
  }

  bool IsOpen();
  // Runs `sql`; throws korvix::Error (kDatabase) when it fails or the
  // connection is closed.
  void Execute(const std::string& sql);
  void Close();

 private:
  std::mutex mutex_;
  std::unique_ptr<db::Connection> connection_;
};

}  // namespace korvix::python

#endif  // KORVIX_PYTHON_CONNECTION_H_
