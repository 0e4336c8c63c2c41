// The parts of the native module _korvix, each bound by its own file.
#ifndef KORVIX_PYTHON_BINDINGS_H_
#define KORVIX_PYTHON_BINDINGS_H_

#include <pybind11/pybind11.h>

namespace korvix::python {

void BindConnection(pybind11::module_& module);
void BindDedupe(pybind11::module_& module);
void BindDoubletFunctions(pybind11::module_& module);
void BindKeyBuilder(pybind11::module_& module);
void BindMatcher(pybind11::module_& module);
void BindSpread(pybind11::module_& module);

}  // namespace korvix::python

#endif  // KORVIX_PYTHON_BINDINGS_H_
