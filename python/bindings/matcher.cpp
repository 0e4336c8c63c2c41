// korvix.Matcher: a customer base held ready, one record at a time against it.
#include "korvix/matcher.h"

#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <memory>
#include <string>
#include <vector>

#include "bindings.h"
#include "text.h"

namespace korvix::python {
namespace {

namespace py = pybind11;

DedupeOptions Options(const py::object& algorithms, const py::object& normalize, const py::object& verify,
                      const std::string& id) {
  DedupeOptions options = algorithms.is_none() ? RecommendedDedupe() : DedupeOptions();
  if (!algorithms.is_none()) {
    for (const py::handle a : algorithms) options.algorithms.push_back({a.cast<std::string>(), ""});
  }
  if (!normalize.is_none()) options.normalize = normalize.cast<bool>();
  if (!verify.is_none()) options.verify = verify.cast<double>();
  options.id = id;
  return options;
}

// A base from a path (str or os.PathLike) or from record strings.
std::unique_ptr<Matcher> Make(const py::handle base, const DedupeOptions& options) {
  if (py::isinstance<py::str>(base) || py::hasattr(base, "__fspath__")) {
    const std::string path = py::str(py::module_::import("os").attr("fspath")(base)).cast<std::string>();
    py::gil_scoped_release unlocked;
    return std::make_unique<Matcher>(Matcher::FromFile(path, options));
  }
  std::vector<std::string> records;
  for (const py::handle r : base) {
    if (!py::isinstance<py::str>(r)) {
      throw py::type_error("a record is " + std::string(Py_TYPE(r.ptr())->tp_name) + ", not str");
    }
    records.push_back(r.cast<std::string>());
  }
  const std::vector<std::string_view> views(records.begin(), records.end());
  py::gil_scoped_release unlocked;
  return std::make_unique<Matcher>(views, options);
}

py::dict ToPython(const MatchCandidate& c) {
  py::dict d;
  d["record"] = c.record;
  d["id"] = c.id;
  d["algorithm"] = c.algorithm;
  d["score"] = c.score;
  py::dict parts;
  parts["kind"] = double{c.kind};
  parts["name"] = double{c.name};
  parts["first_name"] = double{c.first_name};
  parts["street"] = double{c.street};
  parts["house_number"] = double{c.house_number};
  parts["plz"] = double{c.plz};
  parts["town"] = double{c.town};
  d["parts"] = parts;
  return d;
}

}  // namespace

void BindMatcher(py::module_& module) {
  py::class_<Matcher>(module, "Matcher",
                      "A customer base held ready: its keys and profiles, to match one record at a "
                      "time as korvix dedupe --base decides.")
      .def(py::init([](py::handle base, py::object algorithms, py::object normalize, py::object verify,
                       const std::string& id) { return Make(base, Options(algorithms, normalize, verify, id)); }),
           py::arg("base"), py::arg("algorithms") = py::none(), py::arg("normalize") = py::none(),
           py::arg("verify") = py::none(), py::arg("id") = "",
           "The base from a file (a path) or from record strings; without algorithms the "
           "recommendation.")
      .def_static(
          "load",
          [](const std::string& path) {
            py::gil_scoped_release unlocked;
            return std::make_unique<Matcher>(Matcher::Load(path));
          },
          py::arg("path"), "An index file that save() or korvix index build wrote.")
      .def(
          "match",
          [](const Matcher& m, const std::string& record, std::size_t limit) {
            std::vector<MatchCandidate> found;
            {
              py::gil_scoped_release unlocked;
              found = m.Match(record, limit);
            }
            py::list out;
            for (const MatchCandidate& c : found) out.append(ToPython(c));
            return out;
          },
          py::arg("record"), py::arg("limit") = 10,
          "The base records the record string matches, best first: dicts of record, id, "
          "algorithm, score and parts.")
      .def(
          "add",
          [](Matcher& m, const std::string& record, const std::string& id) {
            py::gil_scoped_release unlocked;
            return m.Add(record, id);
          },
          py::arg("record"), py::arg("id") = "", "Adds a record string; returns its number.")
      .def(
          "save",
          [](const Matcher& m, const std::string& path) {
            py::gil_scoped_release unlocked;
            m.Save(path);
          },
          py::arg("path"), "Writes the index file, complete or not at all.")
      .def("__len__", &Matcher::size);
}

}  // namespace korvix::python
