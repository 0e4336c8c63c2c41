// korvix.KeyBuilder and the plain functions key(), soundex(), describe().
//
// KeyBuilder.keys() is the fast road for many records (see key_columns.h).
#include "korvix/key_builder.h"

#include <pybind11/pybind11.h>

#include <string>

#include "bindings.h"
#include "key_columns.h"
#include "korvix/algorithm_code.h"
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
      .def(
          "keys",
          [](const PyKeyBuilder& self, py::handle records, unsigned threads) {
            return KeysOfRecords(self.builder, records, threads);
          },
          py::arg("records"), py::arg("threads") = 0,
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
  module.def(
      "read_algorithm", [](const Text& given) { return ToStr(ReadAlgorithm(given.view)); },
      py::arg("given"),
      "The code that a code or its readable form such as \"5(PLZ)+4R['sndx:Bez1]\" stands for;\n"
      "ValueError says what is wrong with any other text (a code with a typo would key\n"
      "every record alike).");
}

}  // namespace korvix::python
