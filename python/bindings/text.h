// Text between Python and the component.
//
// The component reads UTF-8 and takes bytes that are not UTF-8 as
// Windows-1252. From Python it accepts str and bytes: a str whose text came
// from decoding legacy bytes with errors="surrogateescape" gives those bytes
// back, so "M\udcfcller" keys as "Müller"; bytes go in as they are. Results
// come back as str; a byte that is not UTF-8 (possible only in values read
// from a database) becomes a surrogate escape instead of an error.
#ifndef KORVIX_PYTHON_TEXT_H_
#define KORVIX_PYTHON_TEXT_H_

#include <pybind11/pybind11.h>

#include <string>
#include <string_view>

namespace korvix::python {

namespace py = pybind11;

// A text argument: a view of its UTF-8 bytes and what keeps them alive.
struct Text {
  std::string_view view;
  py::object owner;

  std::string str() const { return std::string(view); }
};

// Reads `object` into *text. Returns false, changing nothing and raising
// nothing, when it is neither str nor bytes. Needs the GIL.
bool ReadText(py::handle object, Text* text);

// The str of UTF-8 `text`. Needs the GIL; never raises for bad bytes.
py::str ToStr(std::string_view text);

}  // namespace korvix::python

// Lets bound functions take Text arguments; anything but str and bytes is a
// TypeError raised by pybind11 with the function's signature.
namespace pybind11::detail {
template <>
struct type_caster<korvix::python::Text> {
  PYBIND11_TYPE_CASTER(korvix::python::Text, const_name("str"));
  bool load(handle src, bool) { return korvix::python::ReadText(src, &value); }
};
}  // namespace pybind11::detail

#endif  // KORVIX_PYTHON_TEXT_H_
