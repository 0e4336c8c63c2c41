// The exceptions of the korvix package (see module.cpp for when a call
// raises and when it returns a value):
//
//   korvix.Error               every failure of the package's own
//     korvix.DatabaseError     a database cannot be opened, or a statement fails
//     korvix.ToolkitError      a dialog toolkit cannot be chosen
//     korvix.UnknownClassError no class has the programmatic identifier asked for
//
// The library's korvix::Error is raised as the class its code maps to (one
// table in errors.cpp): a database failure as korvix.DatabaseError, a wrong
// argument as ValueError, a file as OSError. The bindings throw the
// classes below for what only the C interface reports. The message is the
// component's own, as the C interface gives it.
#ifndef KORVIX_PYTHON_ERRORS_H_
#define KORVIX_PYTHON_ERRORS_H_

#include <pybind11/pybind11.h>

#include <stdexcept>

namespace korvix::python {

struct Error : std::runtime_error {
  using std::runtime_error::runtime_error;
};
struct ToolkitError : Error {
  using Error::Error;
};
struct UnknownClassError : Error {
  using Error::Error;
};

// Adds the classes to `module` and translates the C++ exceptions into them.
void BindErrors(pybind11::module_& module);

}  // namespace korvix::python

#endif  // KORVIX_PYTHON_ERRORS_H_
