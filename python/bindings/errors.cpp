#include "errors.h"

#include "korvix/error.h"
#include "text.h"

namespace korvix::python {
namespace {

// The classes live as long as the interpreter; never released, so that no
// Python object is touched while it shuts down.
PyObject* error_class = nullptr;
PyObject* database_error_class = nullptr;
PyObject* toolkit_error_class = nullptr;
PyObject* unknown_class_error_class = nullptr;

PyObject* NewClass(py::module_& module, const char* name, PyObject* base, const char* doc) {
  PyObject* cls = PyErr_NewExceptionWithDoc((std::string("korvix.") + name).c_str(), doc, base,
                                            nullptr);
  if (cls == nullptr) throw py::error_already_set();
  module.add_object(name, py::handle(cls));
  return cls;
}

void Raise(PyObject* cls, const std::exception& e) {
  // The message may hold bytes of a file name that are not UTF-8.
  PyErr_SetObject(cls, ToStr(e.what()).ptr());
}

// The Python class of each code of the library's errors. Wrong arguments
// and unreadable files are what Python programs catch as ValueError and
// OSError; the rest are the package's own.
PyObject* ClassOf(ErrorCode code) {
  switch (code) {
    case ErrorCode::kInvalidArgument:
      return PyExc_ValueError;
    case ErrorCode::kIo:
      return PyExc_OSError;
    case ErrorCode::kDatabase:
      return database_error_class;
    case ErrorCode::kRefused:
      break;
  }
  return error_class;
}

}  // namespace

void BindErrors(py::module_& module) {
  error_class = NewClass(module, "Error", PyExc_Exception, "A failure of the korvix package.");
  database_error_class = NewClass(module, "DatabaseError", error_class,
                                  "A database cannot be opened, or a statement failed.");
  toolkit_error_class =
      NewClass(module, "ToolkitError", error_class, "A dialog toolkit cannot be chosen.");
  unknown_class_error_class = NewClass(module, "UnknownClassError", error_class,
                                       "No class has the programmatic identifier asked for.");
  py::register_exception_translator([](std::exception_ptr raised) {
    try {
      if (raised) std::rethrow_exception(raised);
    } catch (const korvix::Error& e) {
      Raise(ClassOf(e.code()), e);
    } catch (const ToolkitError& e) {
      Raise(toolkit_error_class, e);
    } catch (const UnknownClassError& e) {
      Raise(unknown_class_error_class, e);
    } catch (const Error& e) {
      Raise(error_class, e);
    }
  });
}

}  // namespace korvix::python
