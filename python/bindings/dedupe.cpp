// The dedupe job and the field table for korvix.frame: the columns of a
// result come back as lists, which pandas turns into a DataFrame.
#include "korvix/dedupe.h"

#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <string>
#include <vector>

#include "bindings.h"
#include "korvix/fields.h"
#include "text.h"

namespace korvix::python {
namespace {

// The job's options from the keyword arguments of frame.dedupe: algorithms
// as (code, name) pairs, None for the recommendation.
DedupeOptions Options(const py::object& algorithms, const py::object& normalize,
                      const py::object& verify, std::size_t max_candidates, unsigned threads) {
  DedupeOptions options = algorithms.is_none() ? RecommendedDedupe() : DedupeOptions();
  if (!algorithms.is_none()) {
    for (const py::handle a : algorithms) {
      const auto pair = a.cast<std::pair<std::string, std::string>>();
      options.algorithms.push_back({pair.first, pair.second});
    }
  }
  if (!normalize.is_none()) options.normalize = normalize.cast<bool>();
  if (!verify.is_none()) options.verify = verify.cast<double>();
  options.max_candidates = max_candidates;
  options.threads = threads;
  return options;
}

std::vector<std::string_view> Views(const py::handle records, std::vector<py::object>* owners) {
  std::vector<std::string_view> views;
  std::size_t position = 0;
  for (const py::handle r : records) {
    Text text;
    if (!ReadText(r, &text)) {
      throw py::type_error("record " + std::to_string(position) + " is " +
                           std::string(Py_TYPE(r.ptr())->tp_name) + ", not str");
    }
    views.push_back(text.view);
    if (text.owner) owners->push_back(std::move(text.owner));
    ++position;
  }
  return views;
}

py::dict Columns(const std::vector<DedupeRecord>& records) {
  py::list line, key, group, algorithm, score;
  for (const DedupeRecord& r : records) {
    line.append(r.line);
    key.append(ToStr(r.key));
    group.append(r.group);
    algorithm.append(r.algorithm);
    score.append(r.score);
  }
  py::dict d;
  d["line"] = line;
  d["key"] = key;
  d["group"] = group;
  d["algorithm"] = algorithm;
  d["score"] = score;
  return d;
}

py::dict ToPython(const DedupeResult& result) {
  py::dict d;
  d["records"] = Columns(result.records);
  d["base_records"] = Columns(result.base_records);
  py::list pairs;
  for (const DedupePair& p : result.pairs) pairs.append(py::make_tuple(p.a, p.b, p.algorithm, p.score));
  d["pairs"] = pairs;
  d["groups"] = result.groups;
  d["skipped"] = result.skipped;
  return d;
}

// Runs the job without the GIL; its errors become ValueError (options,
// header) or OSError (files).
template <class Run>
py::dict Guarded(Run&& run) {
  DedupeResult result;
  try {
    py::gil_scoped_release release;
    result = run();
  } catch (const DedupeError& e) {
    if (e.kind() == DedupeError::Kind::kUsage) throw py::value_error(e.what());
    PyErr_SetString(PyExc_OSError, e.what());
    throw py::error_already_set();
  }
  return ToPython(result);
}

}  // namespace

void BindDedupe(py::module_& module) {
  module.def(
      "dedupe_records",
      [](py::handle records, py::object base, py::object algorithms, py::object normalize,
         py::object verify, std::size_t max_candidates, unsigned threads) {
        const DedupeOptions options = Options(algorithms, normalize, verify, max_candidates, threads);
        std::vector<py::object> owners;
        const std::vector<std::string_view> views = Views(records, &owners);
        const std::vector<std::string_view> base_views =
            base.is_none() ? std::vector<std::string_view>() : Views(base, &owners);
        return Guarded([&] { return DedupeRecords(views, options, base_views); });
      },
      py::arg("records"), py::arg("base"), py::arg("algorithms"), py::arg("normalize"),
      py::arg("verify"), py::arg("max_candidates") = 200, py::arg("threads") = 0,
      "The dedupe job on record strings; korvix.dedupe() is the interface.");
  module.def(
      "dedupe_file",
      [](const std::string& path, const std::string& base, py::object algorithms,
         py::object normalize, py::object verify, const std::string& input_format,
         const std::string& delimiter, const std::string& map, bool strict,
         std::size_t max_candidates, unsigned threads) {
        DedupeOptions options = Options(algorithms, normalize, verify, max_candidates, threads);
        options.base = base;
        options.input_format = input_format;
        options.delimiter = delimiter;
        options.map = map;
        options.strict = strict;
        return Guarded([&] { return DedupeFile(path, options); });
      },
      py::arg("path"), py::arg("base"), py::arg("algorithms"), py::arg("normalize"),
      py::arg("verify"), py::arg("input_format") = "", py::arg("delimiter") = "",
      py::arg("map") = "", py::arg("strict") = false, py::arg("max_candidates") = 200,
      py::arg("threads") = 0, "The dedupe job on a file; korvix.dedupe() is the interface.");
  module.def(
      "normalize_record", [](const Text& record) { return ToStr(NormalizeRecord(record.view)); },
      py::arg("record"), "The record string as the dedupe job normalises it before keying.");
  module.def(
      "score_records",
      [](const Text& a, const Text& b) { return ScoreRecords(a.view, b.view); }, py::arg("a"),
      py::arg("b"), "How alike two record strings are, 0 to 1, as verification scores them.");
  module.def(
      "record_fields",
      [] {
        py::list fields;
        for (const RecordField& f : RecordFields()) {
          py::list names;
          for (const std::string_view n : f.column_names) names.append(ToStr(n));
          fields.append(py::make_tuple(f.number, ToStr(f.label), names));
        }
        return fields;
      },
      "The fields as (number, label, column names), in the editor's order.");
  module.def(
      "field_of_column",
      [](const Text& name) {
        int rank = 0;
        const int field = FieldOfColumn(name.view, &rank);
        return py::make_tuple(field, rank);
      },
      py::arg("name"), "(item 1-9, rank) of a column name, (0, 0) when it names none.");
  module.def(
      "field_of_label", [](const Text& label) { return FieldOfLabel(label.view); },
      py::arg("label"), "The item (1-9) a field label names, in any case; 0 for none.");
  module.def(
      "fold_column_name",
      [](const Text& name, bool loose) { return ToStr(FoldColumnName(name.view, loose)); },
      py::arg("name"), py::arg("loose") = false, "A column name as names are compared.");
}

}  // namespace korvix::python
