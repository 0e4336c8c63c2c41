#include "connection.h"

#include "bindings.h"
#include "korvix/db/open.h"
#include "text.h"

namespace korvix::python {

bool Connection::IsOpen() {
  std::lock_guard<std::mutex> lock(mutex_);
  return connection_ != nullptr && connection_->IsOpen();
}

bool Connection::Execute(const std::string& sql) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (connection_ == nullptr) {
    if (error_.empty()) error_ = "the connection is closed";
    return false;
  }
  std::string error;
  const bool done = connection_->Execute(sql, &error);
  if (!done) error_ = error.empty() ? "the statement failed" : error;
  return done;
}

void Connection::Close() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (connection_ != nullptr) connection_->Close();
  connection_.reset();
}

std::string Connection::error() {
  std::lock_guard<std::mutex> lock(mutex_);
  return error_;
}

namespace {

std::shared_ptr<Connection> Connect(const Text& target, bool create) {
  std::string path = target.str();
  py::gil_scoped_release release;
  std::string error;
  auto connection = db::OpenDatabase(path, &error, {.create_if_missing = create});
  if (connection == nullptr && error.empty()) error = "cannot open the database";
  return std::make_shared<Connection>(std::move(connection), std::move(error));
}

}  // namespace

void BindConnection(py::module_& module) {
  py::class_<Connection, std::shared_ptr<Connection>>(module, "Connection",
                                                      "A database connection; see connect().")
      .def_property_readonly(
          "is_open", [](Connection& c) { return c.IsOpen(); },
          "True while the connection can run statements.")
      .def_property_readonly(
          "error", [](Connection& c) { return ToStr(c.error()); },
          "Why opening or the last execute() failed; '' when nothing failed.")
      .def(
          "execute",
          [](Connection& c, const Text& sql) {
            std::string text = sql.str();
            py::gil_scoped_release release;
            return c.Execute(text);
          },
          py::arg("sql"),
          "Runs host-side SQL (creating tables, seeding rows); rows it gives are "
          "discarded. Returns False and sets `error` when it fails.")
      .def(
          "close",
          [](Connection& c) {
            py::gil_scoped_release release;
            c.Close();
          },
          "Ends the session. Closing twice does nothing.")
      .def("__bool__", [](Connection& c) { return c.IsOpen(); })
      .def("__enter__", [](std::shared_ptr<Connection> c) { return c; })
      .def("__exit__", [](Connection& c, py::args) {
        py::gil_scoped_release release;
        c.Close();
      })
      .def("__repr__", [](Connection& c) {
        return c.IsOpen() ? std::string("<korvix.Connection open>")
                          : std::string("<korvix.Connection closed>");
      });

  module.def("connect", &Connect, py::arg("path_or_uri"), py::kw_only(),
             py::arg("create") = false,
             "Opens a SQLite file, or a PostgreSQL server by URI (postgresql://...) or\n"
             "key=value string. With create=True a missing SQLite file is made.\n"
             "Never raises: a connection that could not be opened is closed (falsy)\n"
             "and its `error` says why.");
}

}  // namespace korvix::python
