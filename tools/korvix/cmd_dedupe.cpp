// korvix dedupe: finds the duplicate groups of an address file.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include "algorithm_choice.h"
#include "commands.h"
#include "database.h"
#include "key_table.h"
#include "korvix/key_builder.h"
#include "korvix/text.h"
#include "line_reader.h"
#include "output.h"

namespace korvix::cli {
namespace {

constexpr std::size_t kBatch = 1 << 16;

constexpr OptionSpec kOptions[] = {kAlgorithmOption, kNameOption, kUserOption, kAdminOption,
                                   kDbOption};

// Reads every record string of `path` and keys it, batch by batch on all cores.
KeyTable KeyFile(const KeyBuilder& builder, const std::string& path) {
  KeyTable table;
  std::vector<std::string> batch;
  std::vector<RecordPlace> places;
  const auto flush = [&] {
    const std::vector<std::string> keys = builder.Keys(batch);
    for (std::size_t i = 0; i < keys.size(); ++i) table.Add(keys[i], places[i]);
    batch.clear();
    places.clear();
  };
  ForEachInput({path}, [&](LineReader& in) {
    std::string_view line;
    while (in.Next(&line)) {
      batch.emplace_back(line);
      places.push_back({in.line_number(), in.line_offset(), static_cast<std::uint32_t>(line.size())});
      if (batch.size() == kBatch) flush();
    }
  });
  flush();
  return table;
}

// Reads one record again from the input by its place.
class RecordFile {
 public:
  explicit RecordFile(const std::string& path) : path_(path), fd_(OpenInput(path)) {}
  ~RecordFile() { CloseInput(fd_); }

  std::string_view Read(const RecordPlace& place) {
    buf_.resize(place.length);
    std::size_t done = 0;
    while (done < place.length) {
      const ssize_t n = ::pread(fd_, buf_.data() + done, place.length - done,
                                static_cast<off_t>(place.offset + done));
      if (n <= 0 && errno != EINTR) {
        throw IoError("cannot read " + path_ + " again (did it change during the run?)");
      }
      if (n > 0) done += static_cast<std::size_t>(n);
    }
    return buf_;
  }

 private:
  std::string path_;
  int fd_;
  std::string buf_;
};

int Run(const Args& args) {
  if (args.operands().size() != 1) throw UsageError("exactly one FILE is required");
  const std::string& path = args.operands()[0];
  const auto start = std::chrono::steady_clock::now();

  const ChosenAlgorithm algorithm = ChooseAlgorithm(args);
  const KeyBuilder builder(algorithm.code);
  const KeyTable table = KeyFile(builder, path);
  const std::vector<std::uint32_t> sorted = table.SortedByKey();
  const std::vector<Group> groups = DuplicateGroups(table, sorted);

  Output out;
  RecordFile records(path);
  std::size_t in_groups = 0;
  for (const Group& g : groups) {
    in_groups += g.size;
    out.Line("key " + std::string(table.key(sorted[g.begin])) + " (" + std::to_string(g.size) +
             " records)");
    for (std::size_t k = g.begin; k < g.begin + g.size; ++k) {
      const RecordPlace& place = table.place(sorted[k]);
      out.Line("  " + std::to_string(place.line) + ": " + NormalizeText(records.Read(place)));
    }
    out.Line("");
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  char summary[160];
  std::snprintf(summary, sizeof summary,
                "records %zu, groups %zu, records in groups %zu, seconds %.2f", table.size(),
                groups.size(), in_groups, seconds);
  out.Line(summary);
  out.Finish();
  return kExitOk;
}

}  // namespace

extern const Command kDedupeCommand = {
    "dedupe", "find the groups of duplicate records in an address file",
    "(--algorithm CODE | --name NAME [--user NR] [--admin] [--db PATH|URI]) FILE",
    "Keys every record string of FILE (one per line) with the algorithm, groups the records\n"
    "with equal keys and prints the groups of two or more, largest first: the key, then each\n"
    "record with its line number. A summary line ends the report.",
    kOptions, Run};

}  // namespace korvix::cli
