#include "connection.h"

#include "bindings.h"
#include "korvix/error.h"
#include "korvix/db/open.h"
#include "text.h"

namespace korvix::python {

bool Connection::IsOpen() {
  std::lock_guard<std::mutex> lock(mutex_);
  return connection_ != nullptr && connection_->IsOpen();
}

void Connection::Execute(const std::string& sql) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (connection_ == nullptr) throw korvix::Error(ErrorCode::kDatabase, "the connection is closed");
  connection_->Execute(sql);
}

void Connection::Close() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (connection_ != nullptr) connection_->Close();
  connection_.reset();
}

namespace {

std::shared_ptr<Connection> Connect(const Text& target, bool create) {
  std::string path = target.str();
  py::gil_scoped_release release;
  return std::make_shared<Connection>(db::OpenDatabase(path, {.create_if_missing = create}));
}

}  // namespace

void BindConnection(py::module_& module) {
  py::class_<Connection, std::shared_ptr<Connection>>(module, "Connection",
                                                      "A database connection; see connect().")
      .def_property_readonly(
          "is_open", [](Connection& c) { return c.IsOpen(); },
          "True while the connection can run statements.")
      .def(
          "execute",
          [](Connection& c, const Text& sql) {
            std::string text = sql.str();
            py::gil_scoped_release release;
            c.Execute(text);
          },
          py::arg("sql"),
          "Runs host-side SQL (creating tables, seeding rows); rows it gives are "
          "discarded. Raises DatabaseError when it fails or the connection is closed.")
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
             "Raises DatabaseError, saying why, when it cannot be opened.");
}

}  // namespace korvix::python
