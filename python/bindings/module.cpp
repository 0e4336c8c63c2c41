// The native module behind the korvix package.
#include <pybind11/pybind11.h>

#include "bindings.h"

PYBIND11_MODULE(_korvix, module) {
  module.doc() = "Duplicate keys for address records (native part of the korvix package).";
  korvix::python::BindConnection(module);
  korvix::python::BindDedupe(module);
  korvix::python::BindDoubletFunctions(module);
  korvix::python::BindKeyBuilder(module);
}
