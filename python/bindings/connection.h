// korvix.Connection: a database connection that Python code opened.
//
// Failure is a value, as everywhere in the component: a connection that
// could not be opened is a closed Connection whose `error` says why.
// A connection serves one thread at a time; calls from several Python
// threads take turns on its lock, which is taken with the GIL released.
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
  Connection(std::unique_ptr<db::Connection> connection, std::string error)
      : connection_(std::move(connection)), error_(std::move(error)) {}

  // The connection for one call of the component, while `lock` holds the
  // turn; null when there is none.
  db::Connection* Use(std::unique_lock<std::mutex>& lock) {
    lock = std::unique_lock<std::mutex>(mutex_);
    return connection_.get();
  }

  bool IsOpen();
  bool Execute(const std::string& sql);
  void Close();
  std::string error();

 private:
  std::mutex mutex_;
  std::unique_ptr<db::Connection> connection_;
  std::string error_;  // why the last open or execute failed
};



}  // namespace korvix::python

#endif  // KORVIX_PYTHON_CONNECTION_H_
