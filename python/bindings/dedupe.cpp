// The dedupe job and the field table for korvix.frame: the columns of a
// result come back as lists, which pandas turns into a DataFrame.
#include "korvix/dedupe.h"

#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <string>
#include <vector>

#include "bindings.h"
#include "dedupe/job/spread.h"
#include "korvix/fields.h"
#include "text.h"

namespace korvix::python {
namespace {

// The job's options from the keyword arguments of frame.dedupe: algorithms
// as (code, name) pairs, None for the recommendation.
DedupeOptions Options(const py::object& algorithms, const py::object& normalize,
                      const py::object& verify, std::size_t max_candidates, unsigned threads,
                      std::size_t sample_pairs = 0, const py::object& memory = py::none()) {
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
  options.sample_pairs = sample_pairs;
  // Bytes, or a size as the command line takes it ("512M", "2G").
  if (py::isinstance<py::str>(memory)) {
    options.memory = ReadMemorySize(memory.cast<std::string>());
  } else if (!memory.is_none()) {
    options.memory = memory.cast<std::uint64_t>();
  }
  return options;
}

// The survivor options of frame.dedupe; "" and false leave them out. The
// decisions to honour: (kind, a, b), (kind, a) or ("value", a, column)
// tuples, or None.
void Survive(DedupeOptions* options, const std::string& survivor, bool fill, const std::string& clean,
             const std::string& mapping, const py::object& decisions) {
  options->survivor = survivor;
  options->fill = fill;
  options->clean = clean;
  options->mapping = mapping;
  if (decisions.is_none()) return;
  for (const py::handle d : decisions) {
    const auto items = d.cast<std::vector<std::string>>();
    if (items.size() < 2 || items.size() > 3) {
      throw py::value_error("a decision is (kind, a, b), (kind, a) or (\"value\", a, column)");
    }
    options->decisions.push_back(MakeDecision(items[0], items[1], items.size() == 3 ? items[2] : ""));
  }
}

py::dict Columns(const std::vector<DedupeRecord>& records) {
  py::list line, key, group, algorithm, score, survivor, filled;
  for (const DedupeRecord& r : records) {
    line.append(r.line);
    key.append(ToStr(r.key));
    group.append(r.group);
    algorithm.append(r.algorithm);
    score.append(r.score);
    survivor.append(r.survivor);
    filled.append(r.filled.empty() ? py::object(py::none()) : py::object(ToStr(r.filled)));
  }
  py::dict d;
  d["line"] = line;
  d["key"] = key;
  d["group"] = group;
  d["algorithm"] = algorithm;
  d["score"] = score;
  d["survivor"] = survivor;
  d["filled"] = filled;
  return d;
}

py::tuple PairTuple(const DedupePair& p) {
  // Widened as they are, the parts equal what CompareRecords gives the pair
  // when the run scored it as two records alone.
  return py::make_tuple(p.a, p.b, p.algorithm, p.score, double{p.kind}, double{p.name},
                        double{p.first_name}, double{p.street}, double{p.house_number},
                        double{p.plz}, double{p.town});
}

py::dict ToPython(const DedupeResult& result) {
  py::dict d;
  d["records"] = Columns(result.records);
  d["base_records"] = Columns(result.base_records);
  py::list pairs, samples, kept_apart;
  for (const DedupePair& p : result.pairs) pairs.append(PairTuple(p));
  for (const DedupePair& p : result.samples) samples.append(PairTuple(p));
  for (const DedupeKeptApart& k : result.kept_apart) {
    kept_apart.append(py::make_tuple(k.a, k.b, k.score, k.x, k.y, k.xy_score, ToStr(k.rule)));
  }
  d["pairs"] = pairs;
  d["samples"] = samples;
  d["kept_apart"] = kept_apart;
  d["groups"] = result.groups;
  d["skipped"] = result.skipped;
  d["merged"] = result.merged;
  return d;
}

// Runs `run` without the GIL; the job's errors become Python's as
// errors.cpp maps them (wrong options ValueError, files OSError).
template <class Run>
auto Unlocked(Run&& run) {
  py::gil_scoped_release release;
  return run();
}

template <class Run>
py::dict Guarded(Run&& run) {
  return ToPython(Unlocked(std::forward<Run>(run)));
}

py::dict ToPython(const DedupeQuality& q) {
  py::dict d;
  d["threshold"] = q.threshold;
  d["precision"] = q.precision;
  d["recall"] = q.recall;
  d["f1"] = q.f1;
  d["found"] = q.found;
  d["wrongly_joined"] = q.wrongly_joined;
  d["missed"] = q.missed;
  return d;
}

py::dict ToPython(const DedupeEvaluation& e) {
  py::dict d;
  d["labelled"] = e.labelled;
  d["unknown"] = e.unknown;
  d["run"] = ToPython(e.quality);
  py::list thresholds;
  for (const DedupeQuality& q : e.thresholds) thresholds.append(ToPython(q));
  d["thresholds"] = thresholds;
  return d;
}

py::dict ToPython(const RecordComparison& c) {
  py::dict parts;
  parts["kind"] = c.kind;
  parts["name"] = c.name;
  parts["first_name"] = c.first_name;
  parts["street"] = c.street;
  parts["house_number"] = c.house_number;
  parts["plz"] = c.plz;
  parts["town"] = c.town;
  py::dict d;
  d["a"] = ToStr(c.normalized_a);
  d["b"] = ToStr(c.normalized_b);
  d["kind_a"] = ToStr(c.kind_a);
  d["kind_b"] = ToStr(c.kind_b);
  d["parts"] = parts;
  d["score"] = c.score;
  d["rule"] = ToStr(c.rule);
  return d;
}

// (a, b, same) rows as the labels of EvaluateDedupe; frame.evaluate has
// read what people write as a label into a bool already.
std::vector<LabelledPair> Labels(const py::handle rows) {
  std::vector<LabelledPair> labels;
  for (const py::handle row : rows) {
    const auto t = row.cast<std::tuple<std::uint64_t, std::uint64_t, bool>>();
    labels.push_back({std::get<0>(t), std::get<1>(t), std::get<2>(t)});
  }
  return labels;
}

}  // namespace

void BindDedupe(py::module_& module) {
  module.def(
      "dedupe_records",
      [](py::handle records, py::object base, py::object algorithms, py::object normalize,
         py::object verify, std::size_t max_candidates, unsigned threads,
         std::size_t sample_pairs, const std::string& survivor, bool fill, const std::string& clean,
         const std::string& mapping, py::object memory, py::object decisions, const std::string& temp_dir) {
        DedupeOptions options =
            Options(algorithms, normalize, verify, max_candidates, threads, sample_pairs, memory);
        Survive(&options, survivor, fill, clean, mapping, decisions);
        options.temp_dir = temp_dir;
        std::vector<py::object> owners;
        const std::vector<std::string_view> views = Views(records, &owners);
        const std::vector<std::string_view> base_views =
            base.is_none() ? std::vector<std::string_view>() : Views(base, &owners);
        return Guarded([&] { return DedupeRecords(views, options, base_views); });
      },
      py::arg("records"), py::arg("base"), py::arg("algorithms"), py::arg("normalize"),
      py::arg("verify"), py::arg("max_candidates") = 200, py::arg("threads") = 0,
      py::arg("sample_pairs") = 0, py::arg("survivor") = "", py::arg("fill") = false,
      py::arg("clean") = "", py::arg("mapping") = "", py::arg("memory") = py::none(),
      py::arg("decisions") = py::none(), py::arg("temp_dir") = "",
      "The dedupe job on record strings; korvix.dedupe() is the interface.");
  // The options of a file's run, as dedupe_file and evaluate_file take them.
  const auto file_options = [](const std::string& base, const py::object& algorithms,
                               const py::object& normalize, const py::object& verify,
                               const std::string& input_format, const std::string& delimiter,
                               const std::string& map, bool strict, std::size_t max_candidates,
                               unsigned threads, std::size_t sample_pairs, const py::object& memory) {
    DedupeOptions options =
        Options(algorithms, normalize, verify, max_candidates, threads, sample_pairs, memory);
    options.base = base;
    options.input_format = input_format;
    options.delimiter = delimiter;
    options.map = map;
    options.strict = strict;
    return options;
  };
  module.def(
      "dedupe_file",
      [file_options](const std::string& path, const std::string& base, py::object algorithms,
                     py::object normalize, py::object verify, const std::string& input_format,
                     const std::string& delimiter, const std::string& map, bool strict,
                     std::size_t max_candidates, unsigned threads, std::size_t sample_pairs,
                     const std::string& survivor, bool fill, const std::string& clean,
                     const std::string& mapping, const std::string& id, const std::string& previous,
                     py::object memory, py::object decisions, const std::string& temp_dir) {
        DedupeOptions options =
            file_options(base, algorithms, normalize, verify, input_format, delimiter, map,
                         strict, max_candidates, threads, sample_pairs, memory);
        Survive(&options, survivor, fill, clean, mapping, decisions);
        options.temp_dir = temp_dir;
        options.id = id;
        options.previous = previous;
        return Guarded([&] { return DedupeFile(path, options); });
      },
      py::arg("path"), py::arg("base"), py::arg("algorithms"), py::arg("normalize"),
      py::arg("verify"), py::arg("input_format") = "", py::arg("delimiter") = "",
      py::arg("map") = "", py::arg("strict") = false, py::arg("max_candidates") = 200,
      py::arg("threads") = 0, py::arg("sample_pairs") = 0, py::arg("survivor") = "",
      py::arg("fill") = false, py::arg("clean") = "", py::arg("mapping") = "", py::arg("id") = "",
      py::arg("previous") = "", py::arg("memory") = py::none(), py::arg("decisions") = py::none(),
      py::arg("temp_dir") = "", "The dedupe job on a file; korvix.dedupe() is the interface.");
  module.def(
      "evaluate_file",
      [file_options](const std::string& path, py::handle labels, const std::string& base,
                     py::object algorithms, py::object normalize, py::object verify,
                     const std::string& input_format, const std::string& delimiter,
                     const std::string& map, bool strict, std::size_t max_candidates,
                     unsigned threads) {
        const DedupeOptions options =
            file_options(base, algorithms, normalize, verify, input_format, delimiter, map,
                         strict, max_candidates, threads, 0, py::none());
        const std::vector<LabelledPair> pairs = Labels(labels);
        return ToPython(Unlocked([&] { return EvaluateDedupe(path, options, pairs); }));
      },
      py::arg("path"), py::arg("labels"), py::arg("base"), py::arg("algorithms"),
      py::arg("normalize"), py::arg("verify"), py::arg("input_format") = "",
      py::arg("delimiter") = "", py::arg("map") = "", py::arg("strict") = false,
      py::arg("max_candidates") = 200, py::arg("threads") = 0,
      "The groups of a run on a file against (a, b, same) labels; korvix.evaluate() is the "
      "interface.");
  module.def(
      "read_labelled_pairs",
      [](const std::string& path) {
        const std::vector<LabelledPair> pairs = Unlocked([&] { return ReadLabelledPairs(path); });
        py::list rows;
        for (const LabelledPair& p : pairs) rows.append(py::make_tuple(p.a, p.b, p.same));
        return rows;
      },
      py::arg("path"),
      "The labelled pairs of a CSV file as (a, b, same), record numbers from 1; the rows "
      "left unlabelled are left out.");
  module.def(
      "dedupe_settings",
      [](py::object algorithms, py::object normalize, py::object verify) {
        const DedupeOptions options = Options(algorithms, normalize, verify, 200, 0);
        dedupe::CheckLinking(options);
        std::vector<std::string> codes;
        for (const DedupeAlgorithm& a : options.algorithms) codes.push_back(a.code);
        return py::make_tuple(codes, options.normalize, options.verify);
      },
      py::arg("algorithms"), py::arg("normalize"), py::arg("verify"),
      "(codes, normalize, verify) of a run with these arguments: the recommendation's for None. "
      "Raises ValueError for options no run takes.");
  module.def(
      "explain",
      [](const Text& a, const Text& b) { return ToPython(CompareRecords(a.view, b.view)); },
      py::arg("a"), py::arg("b"),
      "How two record strings compare, part by part, as verification compares them: a dict "
      "of the normalised records (a, b), their kinds (kind_a, kind_b: \"person\", "
      "\"organisation\" or \"\"), the parts of the score, the score (their product) and "
      "the rule that decided.");
  module.def(
      "record_identity",
      [](const Text& record, const Text& id) { return ToStr(RecordIdentity(record.view, id.view)); },
      py::arg("record"), py::arg("id") = "",
      "What names a record in a decision: \"id:\" and its id, else \"content:\" and a hash of "
      "the record string normalised.");
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
