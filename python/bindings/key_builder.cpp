// korvix.KeyBuilder and the plain functions key(), soundex(), describe().
//
// KeyBuilder.keys() is the fast road for many records: it reads every record
// with the GIL held (a str's UTF-8 is usually ready and only borrowed), then
// builds the keys on all cores with the GIL released.
#include "korvix/key_builder.h"

#include <pybind11/pybind11.h>

#include <string>
#include <string_view>
#include <vector>

#include "bindings.h"
#include "key_columns.h"
#include "korvix/description.h"
#include "korvix/phonetic.h"
#include "text.h"

namespace korvix::python {
namespace {

// A key builder that remembers its code, for repr and pickling (so that a
// builder can be sent to the workers of a cluster).
struct PyKeyBuilder {
  explicit PyKeyBuilder(const Text& code) : algorithm(code.str()), builder(algorithm) {}

  std::string algorithm;
  KeyBuilder builder;
};

py::list Keys(const PyKeyBuilder& self, py::handle records, unsigned threads) {
  std::vector<std::string_view> views;
  std::vector<py::object> owners;  // keeps every record alive while the GIL is released
  const Py_ssize_t hint = PyObject_LengthHint(records.ptr(), 0);
  if (hint > 0) {
    views.reserve(static_cast<std::size_t>(hint));
    owners.reserve(static_cast<std::size_t>(hint));
  } else if (hint < 0) {
    PyErr_Clear();
  }
  std::size_t position = 0;
  for (py::handle record : py::iter(records)) {
    Text text;
    if (!ReadText(record, &text)) {
      throw py::type_error("record " + std::to_string(position) + " is " +
                           std::string(Py_TYPE(record.ptr())->tp_name) + ", not str");
    }
    views.push_back(text.view);
    owners.push_back(std::move(text.owner));
    ++position;
  }
  std::vector<std::string> keys;
  {
    py::gil_scoped_release release;
    keys = self.builder.Keys(views, threads);
  }
  py::list result(keys.size());
  for (std::size_t i = 0; i < keys.size(); ++i) {
    PyList_SET_ITEM(result.ptr(), static_cast<Py_ssize_t>(i), ToStr(keys[i]).release().ptr());
  }
  return result;
}

}  // namespace

void BindKeyBuilder(py::module_& module) {
  py::class_<PyKeyBuilder>(module, "KeyBuilder",
                           "An algorithm code parsed once, for keying many records. Gives "
                           "exactly the keys of key(). Safe to share between threads.")
      .def(py::init<const Text&>(), py::arg("algorithm"))
      .def_property_readonly(
          "algorithm", [](const PyKeyBuilder& self) { return ToStr(self.algorithm); },
          "The algorithm code.")
      .def_property_readonly(
          "key_length", [](const PyKeyBuilder& self) { return self.builder.key_length(); },
          "Characters in every key (-1 when a negative slot length makes it vary).")
      .def(
          "key",
          [](const PyKeyBuilder& self, const Text& record) {
            return ToStr(self.builder.Key(record.view));
          },
          py::arg("record"), "The key of one record string.")
      .def("keys", &Keys, py::arg("records"), py::arg("threads") = 0,
           "The keys of an iterable of record strings, in order, built on `threads`\n"
           "threads (0: all cores) with the GIL released. A record that is not a str\n"
           "(or bytes) raises TypeError naming its position; nothing else raises.")
      .def(
          "keys_from_columns",
          [](const PyKeyBuilder& self, py::handle columns, unsigned threads) {
            return KeysFromColumns(self.builder, columns, threads);
          },
          py::arg("columns"), py::arg("threads") = 0,
          "The keys of records given as columns, such as a DataFrame's: item n+1\n"
          "of record i is columns[n][i]. A column is an iterable of str, bytes or\n"
          "None (an empty item), or None when the item is empty in every record;\n"
          "'|' and line breaks inside a value become blanks. Raises TypeError for\n"
          "a value of another type, ValueError for columns of unequal length.")
      .def("__repr__",
           [](const PyKeyBuilder& self) {
             return py::str("KeyBuilder({!r})").format(ToStr(self.algorithm));
           })
      .def(py::pickle(
          [](const PyKeyBuilder& self) { return py::make_tuple(ToStr(self.algorithm)); },
          [](const py::tuple& state) {
            Text code;
            if (state.size() != 1 || !ReadText(state[0], &code)) {
              throw py::type_error("KeyBuilder: bad pickled state");
            }
            return PyKeyBuilder(code);
          }));

  module.def(
      "key",
      [](const Text& algorithm, const Text& record) {
        return ToStr(BuildKey(algorithm.view, record.view));
      },
      py::arg("algorithm"), py::arg("record"),
      "The duplicate key of one record string "
      "('PLZ|Ort|Straße|Suchbegriff|Bez1|Bez2|Bez3|Bez4|Kundengruppe').");
  module.def(
      "soundex", [](const Text& text) { return ToStr(PhoneticCode(text.view)); },
      py::arg("text"), "The phonetic code of a text: 'Meier' and 'Mayer' give 'MR'.");
  module.def(
      "describe", [](const Text& algorithm) { return ToStr(DescribeAlgorithm(algorithm.view)); },
      py::arg("algorithm"), "The readable description of an algorithm code.");
}

}  // namespace korvix::python
