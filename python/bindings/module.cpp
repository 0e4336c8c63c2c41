// The native module behind the korvix package.
//
// How a call reports failure, the same in every binding:
// - A call that fails raises a korvix.Error subclass (errors.h) with the
//   component's message: opening a database or running a statement on it,
//   choosing a toolkit, creating an object by an unknown identifier.
// - Where the component itself gives a result on failure, that result is
//   returned and nothing is raised: the five methods of DoubletFunctions
//   (a closed or missing connection gives the description as the name, a
//   failed list query an empty list), and a dialog closed without a choice.
// - As anywhere in Python, an argument of the wrong type is a TypeError, a
//   wrong value of the right type (columns of unequal length, an unknown
//   option of the dedupe job) a ValueError, and a file that cannot be read
//   an OSError.
// Nothing is signalled by a return value of False or by a warning.
#include <pybind11/pybind11.h>

#include "bindings.h"
#include "errors.h"
#include "korvix/version.h"

PYBIND11_MODULE(_korvix, module) {
  module.doc() = "Duplicate keys for address records (native part of the korvix package).";
  module.attr("__version__") = KORVIX_VERSION;
  korvix::python::BindErrors(module);
  korvix::python::BindConnection(module);
  korvix::python::BindDedupe(module);
  korvix::python::BindDoubletFunctions(module);
  korvix::python::BindKeyBuilder(module);
  korvix::python::BindMatcher(module);
  korvix::python::BindSpread(module);
}
