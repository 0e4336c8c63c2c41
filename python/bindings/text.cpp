#include "text.h"

namespace korvix::python {

bool ReadText(py::handle object, Text* text) {
  PyObject* raw = object.ptr();
  auto owner = py::reinterpret_borrow<py::object>(object);
  if (PyUnicode_Check(raw)) {
    Py_ssize_t size = 0;
    if (const char* data = PyUnicode_AsUTF8AndSize(raw, &size)) {
      text->view = std::string_view(data, static_cast<std::size_t>(size));
      text->owner = std::move(owner);
      return true;
    }
    // Lone surrogates have no UTF-8. Escaped bytes go back to being bytes;
    // any other surrogate passes as its three bytes, which read as
    // Windows-1252 like every other invalid sequence.
    PyErr_Clear();
    PyObject* bytes = PyUnicode_AsEncodedString(raw, "utf-8", "surrogateescape");
    if (bytes == nullptr) {
      PyErr_Clear();
      bytes = PyUnicode_AsEncodedString(raw, "utf-8", "surrogatepass");
    }
    if (bytes == nullptr) {
      PyErr_Clear();
      return false;
    }
    owner = py::reinterpret_steal<py::object>(bytes);
    raw = bytes;
  } else if (!PyBytes_Check(raw)) {
    return false;
  }
  text->view =
      std::string_view(PyBytes_AS_STRING(raw), static_cast<std::size_t>(PyBytes_GET_SIZE(raw)));
  text->owner = std::move(owner);
  return true;
}

py::str ToStr(std::string_view text) {
  PyObject* result = PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()),
                                          "surrogateescape");
  if (result == nullptr) throw py::error_already_set();  // out of memory
  return py::reinterpret_steal<py::str>(result);
}

}  // namespace korvix::python
