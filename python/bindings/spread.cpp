// The steps of korvix.dask.dedupe (dedupe/job/spread.h): numbers travel as
// NumPy arrays, profile texts as bytes.
#include "dedupe/job/spread.h"

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <string>
#include <vector>

#include "bindings.h"
#include "key_columns.h"
#include "text.h"

namespace korvix::python {
namespace {

template <class T>
using Array = py::array_t<T, py::array::c_style | py::array::forcecast>;

template <class T>
std::span<const T> View(const Array<T>& array) {
  return {array.data(), static_cast<std::size_t>(array.size())};
}

template <class T>
Array<T> ToArray(const std::vector<T>& values) {
  return Array<T>(static_cast<py::ssize_t>(values.size()), values.data());
}

DedupeOptions Options(const std::vector<std::string>& codes, bool normalize, double verify,
                      std::size_t max_candidates, unsigned threads) {
  DedupeOptions options;
  for (const std::string& code : codes) options.algorithms.push_back({code, ""});
  options.normalize = normalize;
  options.verify = verify;
  options.max_candidates = max_candidates;
  options.threads = threads;
  return options;
}

dedupe::SpreadCounts Counts(const Array<std::uint64_t>& words, const Array<std::uint32_t>& counts,
                            std::uint64_t records) {
  if (words.size() != counts.size()) throw py::value_error("words and counts differ in length");
  return {View(words), View(counts), records};
}

py::tuple LinkArrays(const std::vector<dedupe::ScoredLink>& links) {
  std::vector<std::uint32_t> a, b;
  std::vector<std::uint8_t> algorithm;
  std::vector<float> score;
  for (const dedupe::ScoredLink& l : links) {
    a.push_back(l.a);
    b.push_back(l.b);
    algorithm.push_back(l.algorithm);
    score.push_back(l.score);
  }
  return py::make_tuple(ToArray(a), ToArray(b), ToArray(algorithm), ToArray(score));
}

}  // namespace

void BindSpread(py::module_& module) {
  module.def(
      "spread_keys",
      [](py::handle columns, const std::vector<std::string>& codes, bool normalize, double verify,
         unsigned threads) {
        const std::vector<std::string> records = RecordsFromColumns(columns);
        const std::vector<std::string_view> views(records.begin(), records.end());
        std::vector<std::vector<std::string>> keys;
        std::vector<std::string> profiles;
        {
          py::gil_scoped_release release;
          dedupe::KeyForSpread(views, Options(codes, normalize, verify, 200, threads), &keys, &profiles);
        }
        py::list key_lists, profile_list(profiles.size());
        for (const std::vector<std::string>& column : keys) {
          TextRun run;
          run.Reserve(column.size());
          for (const std::string& k : column) run.Add(k);
          py::list list(column.size());
          PutStrs(run, list, 0);
          key_lists.append(list);
        }
        for (std::size_t i = 0; i < profiles.size(); ++i) profile_list[i] = py::bytes(profiles[i]);
        return py::make_tuple(key_lists, profile_list);
      },
      py::arg("columns"), py::arg("codes"), py::arg("normalize"), py::arg("verify"),
      py::arg("threads") = 0,
      "Of records given as KeyBuilder.keys_from_columns takes them: ([keys of each record] per algorithm, [profile text of each record] verifying, else []).");
  module.def(
      "spread_count_words",
      [](py::handle profiles) {
        std::vector<py::object> owners;
        const std::vector<std::string_view> views = Views(profiles, &owners, "profile");
        std::vector<std::pair<std::uint64_t, std::uint32_t>> words;
        {
          py::gil_scoped_release release;
          words = dedupe::CountSpreadNameWords(views);
        }
        std::vector<std::uint64_t> hashes;
        std::vector<std::uint32_t> counts;
        for (const auto& [word, count] : words) {
          hashes.push_back(word);
          counts.push_back(count);
        }
        return py::make_tuple(ToArray(hashes), ToArray(counts));
      },
      py::arg("profiles"), "(words, counts) of the surname words of profile texts.");
  module.def(
      "spread_score",
      [](py::handle profiles, const Array<std::uint32_t>& members, const Array<std::uint64_t>& ends,
         const Array<std::uint8_t>& algorithms, py::handle keys, const std::vector<Array<std::uint32_t>>& made,
         const Array<std::uint64_t>& words, const Array<std::uint32_t>& counts, std::uint64_t records,
         const std::vector<std::string>& codes, bool normalize, double verify,
         std::size_t max_candidates, unsigned threads) {
        std::vector<py::object> owners;
        const std::vector<std::string_view> profile_views = Views(profiles, &owners, "profile");
        const std::vector<std::string_view> key_views = Views(keys, &owners, "key");
        if (ends.size() != algorithms.size() || ends.size() != static_cast<py::ssize_t>(key_views.size()) ||
            (ends.size() > 0 && View(ends).back() != static_cast<std::uint64_t>(members.size()))) {
          throw py::value_error("the runs' ends, algorithms and keys do not fit together");
        }
        for (const std::uint32_t r : View(members)) {
          if (r >= profile_views.size() && verify > 0) throw py::value_error("a run names a record without a profile");
        }
        dedupe::SpreadRuns runs{profile_views, View(members), View(ends), View(algorithms), key_views, {}};
        for (const Array<std::uint32_t>& m : made) runs.made.emplace_back(m.data(), m.data() + m.size());
        std::vector<dedupe::ScoredLink> links;
        {
          py::gil_scoped_release release;
          links = dedupe::ScoreSpreadRuns(runs, Counts(words, counts, records),
                                          Options(codes, normalize, verify, max_candidates, threads));
        }
        return LinkArrays(links);
      },
      py::arg("profiles"), py::arg("members"), py::arg("ends"), py::arg("algorithms"), py::arg("keys"),
      py::arg("made"), py::arg("words"), py::arg("counts"), py::arg("records"), py::arg("codes"),
      py::arg("normalize"), py::arg("verify"), py::arg("max_candidates") = 200, py::arg("threads") = 0,
      "(a, b, algorithm, score) of the links of the runs, as arrays.");
  module.def(
      "spread_group",
      [](std::size_t records, const Array<std::uint32_t>& a, const Array<std::uint32_t>& b,
         const Array<std::uint8_t>& algorithm, const Array<float>& score, const Array<std::uint32_t>& linked,
         py::handle profiles, py::handle first_keys, const Array<std::uint64_t>& words,
         const Array<std::uint32_t>& counts, std::uint64_t counted, const std::vector<std::string>& codes,
         bool normalize, double verify, std::size_t max_candidates, unsigned threads) {
        const std::size_t n = static_cast<std::size_t>(a.size());
        if (b.size() != a.size() || algorithm.size() != a.size() || score.size() != a.size()) {
          throw py::value_error("a, b, algorithm and score differ in length");
        }
        std::vector<py::object> owners;
        const std::vector<std::string_view> profile_views = Views(profiles, &owners, "profile");
        const std::vector<std::string_view> key_views = Views(first_keys, &owners, "key");
        if (key_views.size() != static_cast<std::size_t>(linked.size()) ||
            (verify > 0 && profile_views.size() != key_views.size())) {
          throw py::value_error("each linked record needs its profile and its first key");
        }
        std::vector<dedupe::ScoredLink> links(n);
        for (std::size_t i = 0; i < n; ++i) {
          links[i] = {a.data()[i], b.data()[i], algorithm.data()[i], score.data()[i]};
          if (links[i].b >= records || links[i].a >= links[i].b) throw py::value_error("a link needs a < b < records");
        }
        dedupe::SpreadGroups groups;
        {
          py::gil_scoped_release release;
          groups = dedupe::GroupSpreadLinks(records, std::move(links), View(linked), profile_views, key_views,
                                            Counts(words, counts, counted),
                                            Options(codes, normalize, verify, max_candidates, threads));
        }
        return py::make_tuple(ToArray(groups.group), ToArray(groups.algorithm), ToArray(groups.score));
      },
      py::arg("records"), py::arg("a"), py::arg("b"), py::arg("algorithm"), py::arg("score"),
      py::arg("linked"), py::arg("profiles"), py::arg("first_keys"), py::arg("words"), py::arg("counts"),
      py::arg("counted"), py::arg("codes"), py::arg("normalize"), py::arg("verify"),
      py::arg("max_candidates") = 200, py::arg("threads") = 0,
      "(group, algorithm, score) of each record, as arrays, from the links of every run.");
}

}  // namespace korvix::python
