// Measuring the groups of a run against pairs that a person labelled.
#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "dedupe/read/csv_reader.h"
#include "dedupe/core/error.h"
#include "korvix/dedupe.h"
#include "korvix/fields.h"

namespace korvix {

namespace {

// A label as people write it, in any case: 1 same, 0 different, -1 none
// (empty), -2 unreadable.
int Label(std::string_view text) {
  std::string folded = FoldColumnName(text, false);
  if (folded.empty()) return -1;
  for (const char* yes : {"yes", "ja", "y", "j", "1", "true", "same"}) {
    if (folded == yes) return 1;
  }
  for (const char* no : {"no", "nein", "n", "0", "false", "different"}) {
    if (folded == no) return 0;
  }
  return -2;
}

// The column of the first of `names` in `header`, or -1.
int Column(const std::vector<std::string>& header, std::initializer_list<const char*> names) {
  for (const char* name : names) {
    for (std::size_t i = 0; i < header.size(); ++i) {
      if (header[i] == name) return static_cast<int>(i);
    }
  }
  return -1;
}

DedupeQuality Measure(const DedupeResult& result, std::span<const LabelledPair> labels, double threshold,
                      std::size_t* labelled, std::size_t* unknown) {
  DedupeQuality q;
  q.threshold = threshold;
  *labelled = *unknown = 0;
  for (const LabelledPair& p : labels) {
    if (p.a == 0 || p.b == 0 || p.a > result.records.size() || p.b > result.records.size()) {
      ++*unknown;
      continue;
    }
    ++*labelled;
    const std::uint32_t ga = result.records[p.a - 1].group, gb = result.records[p.b - 1].group;
    const bool joined = ga != 0 && ga == gb;
    if (joined && p.same) ++q.found;
    if (joined && !p.same) ++q.wrongly_joined;
    if (!joined && p.same) ++q.missed;
  }
  const auto ratio = [](std::size_t x, std::size_t y) { return y == 0 ? 0.0 : static_cast<double>(x) / static_cast<double>(y); };
  q.precision = ratio(q.found, q.found + q.wrongly_joined);
  q.recall = ratio(q.found, q.found + q.missed);
  q.f1 = q.precision + q.recall == 0 ? 0 : 2 * q.precision * q.recall / (q.precision + q.recall);
  return q;
}

}  // namespace

std::vector<LabelledPair> ReadLabelledPairs(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw dedupe::IoError("cannot open " + path + ": " + std::strerror(errno));
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};
  dedupe::CsvReader reader(fd, path);
  dedupe::CsvRecord record;
  if (!reader.Next(&record)) throw dedupe::IoError(path + ": empty, no header");
  if (!record.ok()) throw dedupe::IoError(record.error);
  std::vector<std::string> header;
  for (const std::string_view f : record.fields) header.push_back(FoldColumnName(f, true));
  const int a = Column(header, {"recorda", "a"}), b = Column(header, {"recordb", "b"}),
            same = Column(header, {"same"});
  if (a < 0 || b < 0 || same < 0) {
    throw dedupe::IoError(path + ": the header needs the columns record_a, record_b and same");
  }
  std::vector<LabelledPair> pairs;
  while (reader.Next(&record)) {
    const std::string where = path + ": line " + std::to_string(record.line);
    if (!record.ok()) throw dedupe::IoError(record.error);
    if (record.fields.size() == 1 && record.fields[0].empty()) continue;  // an empty line
    const auto field = [&](int column) {
      return static_cast<std::size_t>(column) < record.fields.size() ? record.fields[static_cast<std::size_t>(column)]
                                                                     : std::string_view();
    };
    const int label = Label(field(same));
    if (label == -1) continue;
    if (label == -2) throw dedupe::IoError(where + ": same is '" + std::string(field(same)) + "', not yes or no");
    LabelledPair pair;
    pair.same = label == 1;
    for (const auto& [column, number] : {std::pair{a, &pair.a}, std::pair{b, &pair.b}}) {
      const std::string_view text = field(column);
      std::uint64_t value = 0;
      bool digits = !text.empty() && text.size() <= 12;
      for (const char c : text) {
        digits = digits && c >= '0' && c <= '9';
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
      }
      if (!digits || value == 0) {
        throw dedupe::IoError(where + ": '" + std::string(text) + "' is no record number (from 1)");
      }
      *number = value;
    }
    pairs.push_back(pair);
  }
  return pairs;
}

DedupeEvaluation EvaluateDedupe(const std::string& path, const DedupeOptions& options,
                                std::span<const LabelledPair> labels) {
  DedupeEvaluation e;
  e.quality = Measure(DedupeFile(path, options), labels, options.verify, &e.labelled, &e.unknown);
  if (options.verify <= 0) return e;
  DedupeOptions at = options;
  at.sample_pairs = 0;
  for (int step = 10; step <= 19; ++step) {
    at.verify = step / 20.0;  // 0.6, not 0.6000000000000001
    std::size_t labelled = 0, unknown = 0;
    e.thresholds.push_back(Measure(DedupeFile(path, at), labels, at.verify, &labelled, &unknown));
  }
  return e;
}

}  // namespace korvix
