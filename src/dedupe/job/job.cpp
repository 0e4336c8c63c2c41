// The dedupe job from end to end: read and key each input, order the keys,
// link the records, then report or hand back each record's group.
#include <algorithm>
#include <array>
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/parallel.h"
#include "dedupe/read/csv_source.h"
#include "dedupe/core/error.h"
#include "dedupe/read/input.h"
#include "dedupe/key/keying.h"
#include "dedupe/read/line_source.h"
#include "dedupe/link/linking.h"
#include "dedupe/core/progress.h"
#include "dedupe/read/record_reader.h"
#include "dedupe/report/report.h"
#include "korvix/dedupe.h"
#include "korvix/description.h"
#include "korvix/key_builder.h"

namespace korvix::dedupe {

namespace {

// Bytes of records a report holds in memory at once: at least this much, or
// half as much as the keys take, so memory stays proportional to the keys.
constexpr std::size_t kMinReportBudget = std::size_t{64} << 20;

// Record strings in memory, as a source: a record's place is its index.
class MemorySource final : public RecordSource {
 public:
  explicit MemorySource(std::span<const std::string_view> records) : records_(records) {}
  bool Read(RecordBatch* batch) override {
    batch->Clear();
    batch->split = true;
    for (; next_ < records_.size() && batch->text.size() < (std::size_t{1} << 20); ++next_) {
      const std::string_view r = records_[next_];
      const auto length = static_cast<std::uint32_t>(std::min<std::size_t>(r.size(), 0xFFFFFFFFu));
      batch->records.push_back({batch->text.size(), r.size(), {next_ + 1, next_, length}});
      batch->text.append(r);
    }
    return !batch->records.empty();
  }
  void Split(RecordBatch*) const override {}
  std::uint64_t bytes_read() const override { return next_; }
  std::uint64_t skipped() const override { return 0; }
  std::string_view RecordString(std::string_view bytes, std::string*) const override { return bytes; }

 private:
  std::span<const std::string_view> records_;
  std::size_t next_ = 0;
};

bool EndsWithCsv(const std::string& path) {
  if (path.size() < 4) return false;
  std::string tail = path.substr(path.size() - 4);
  for (char& c : tail) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  return tail == ".csv";
}

bool ReadsCsv(const DedupeOptions& options, const std::string& path) {
  if (options.input_format == "csv") return true;
  if (options.input_format == "records") {
    if (!options.map.empty() || !options.delimiter.empty()) {
      throw UsageError("--map and --delimiter are for CSV input, not records");
    }
    return false;
  }
  if (!options.input_format.empty()) {
    throw UsageError("--input-format must be records or csv, not '" + options.input_format + "'");
  }
  return !options.map.empty() || !options.delimiter.empty() || EndsWithCsv(path);
}

// The items of a record that the algorithms read and a CSV must feed: every
// field named, and Bez1 for a compound (a file may well lack Bez2 to Bez4),
// less those the options let a file lack.
std::vector<int> ItemsRequired(std::span<const KeyBuilder> builders, std::span<const int> optional) {
  std::vector<int> items;
  for (const KeyBuilder& b : builders) {
    for (const AlgorithmSlot& slot : b.slots()) {
      const int item = slot.field >= kFieldBez12 && slot.field <= kFieldBez1234 ? kFieldBez1 : slot.field;
      if (item >= kFieldPlz && item <= kFieldKundengruppe &&
          std::find(optional.begin(), optional.end(), item) == optional.end()) {
        items.push_back(item);
      }
    }
  }
  return items;
}

void Tell(const DedupeOptions& options, const std::string& message) {
  if (options.message) options.message(message);
}

// One input of the job: a file (or standard input) or records in memory.
struct Side {
  std::unique_ptr<Input> input;
  std::unique_ptr<RecordSource> source;
  const CsvSource* csv = nullptr;
  KeyTable table;
  std::vector<KeyOrder> orders;
  std::unique_ptr<RecordReader> reader;

  KeptRecords kept;  // when verifying

  // The profiles of `records` (ascending), that of records[k] at places[k],
  // made on all threads from the records kept normalised. Frees those: a
  // side's profiles are made once.
  ProfileList Profiles(std::span<const std::uint32_t> records, std::span<const std::uint32_t> places,
                       unsigned threads) {
    ProfileList list;
    list.profiles.resize(records.size());
    list.copy_of.resize(records.size());
    // Records of one text share one profile: copies are profiled once, and
    // linking knows them by it. An open-addressing table finds each text's
    // first record.
    {
      std::size_t size = 16;
      while (size < 2 * records.size()) size *= 2;
      std::vector<std::uint32_t> table(size, 0);  // 1 + k of records[k], 0 free
      const std::hash<std::string_view> hash;
      for (std::size_t k = 0; k < records.size(); ++k) {
        const std::string_view text = kept.texts.key(records[k]);
        for (std::size_t at = hash(text) & (size - 1);; at = (at + 1) & (size - 1)) {
          if (table[at] == 0) {
            table[at] = static_cast<std::uint32_t>(k + 1);
            list.copy_of[places[k]] = places[k];
            break;
          }
          if (kept.texts.key(records[table[at] - 1]) == text) {
            list.copy_of[places[k]] = places[table[at] - 1];
            break;
          }
        }
      }
    }
    const std::size_t parts = base::PartsFor(records.size(), threads, 4096);
    list.makers.resize(parts);
    base::ParallelParts(parts, [&](std::size_t part) {
      for (std::size_t k = records.size() * part / parts; k < records.size() * (part + 1) / parts; ++k) {
        if (list.copy_of[places[k]] == places[k]) list.profiles[places[k]] = list.makers[part].Make(kept.texts.key(records[k]));
      }
    });
    for (std::size_t k = 0; k < records.size(); ++k) {
      const std::uint32_t made = list.copy_of[places[k]];
      if (made != places[k]) list.profiles[places[k]] = list.profiles[made];
    }
    kept.texts = KeyColumn();
    CountNameWords(list.profiles);
    return list;
  }
};

class Job {
 public:
  explicit Job(const DedupeOptions& options) : options_(options) {
    if (options.algorithms.empty()) throw UsageError("no algorithm to key the records with");
    if (options.sample_pairs > 0 && options.verify <= 0) {
      throw UsageError("pairs are sampled by their scores: verify to sample them");
    }
    if (options.algorithms.size() > 255) throw UsageError("at most 255 algorithms");
    if (options.verify < 0 || options.verify > 1) {
      throw UsageError("the verification threshold must lie between 0 and 1");
    }
    for (const DedupeAlgorithm& a : options.algorithms) {
      builders_.emplace_back(a.code);
      algorithms_.push_back({a.code, a.name.empty() ? DescribeAlgorithm(a.code) : a.name});
    }
    memory_ = options.memory != 0 ? options.memory : DefaultDedupeMemory();
    if (options.verbose) {
      Tell(options, "memory limit " + MemorySizeText(memory_) +
                        (options.memory != 0 ? "" : " (a quarter of the physical memory, at most 2 GiB)"));
    }
  }

  void ReadFile(const std::string& path, bool is_base) {
    Side& side = is_base ? base_.emplace() : input_;
    const bool csv = ReadsCsv(options_, path);
    side.input = std::make_unique<Input>(path);
    Progress progress(options_.progress, side.input->size());
    if (csv) {
      BadRecordPolicy policy;
      policy.strict = options_.strict;
      policy.report = [this, &progress](const std::string& message) {
        progress.Done();
        Tell(options_, message + "; record skipped");
      };
      const char delimiter =
          options_.delimiter.empty() ? CsvReader::kDetect : DelimiterFromOption(options_.delimiter);
      auto source = std::make_unique<CsvSource>(side.input->stream_fd(), side.input->name(), delimiter,
                                                options_.map, std::move(policy));
      if (source->has_header()) {
        source->map().RequireFields(ItemsRequired(builders_, options_.optional_items));
        if (options_.verbose) Describe(*source);
      }
      side.csv = source.get();
      side.source = std::move(source);
    } else {
      side.source = std::make_unique<LineSource>(side.input->stream_fd(), side.input->name());
    }
    IdColumn(options_.id, side.csv);  // a wrong --id fails before the long part
    Key(&side, &progress, side.input->size());
    side.input->EndOfStream();
    progress.Done();
    side.reader = std::make_unique<RecordReader>(side.table, side.input->reread_fd(), side.input->name());
  }

  void ReadMemory(std::span<const std::string_view> records, bool is_base) {
    Side& side = is_base ? base_.emplace() : input_;
    side.source = std::make_unique<MemorySource>(records);
    Key(&side, nullptr, std::nullopt);
  }

  void Link() {
    LinkOptions link;
    link.verify = options_.verify;
    link.max_candidates = options_.max_candidates;
    link.threads = options_.threads;
    link.message = options_.message;
    link.sample = options_.verify > 0 ? options_.sample_pairs : 0;
    link.memory = memory_;
    link.held = Held();
    const auto fetch = [this](Side& side) -> FetchProfiles {
      return [this, &side](std::span<const std::uint32_t> records, std::span<const std::uint32_t> places) {
        return side.Profiles(records, places, options_.threads);
      };
    };
    Progress progress(options_.progress, std::nullopt);
    link.progress = [&progress](std::string_view step, std::uint64_t done, std::uint64_t total) {
      progress.Step(step, done, total, step == "grouping" ? "links" : "pairs");
    };
    links_ = base_ ? LinkToBase(input_.table, input_.orders, fetch(input_), base_->table,
                                base_->orders, fetch(*base_), link)
                   : LinkWithin(input_.table, input_.orders, fetch(input_), link);
  }

  void Report(ReportFile* out) {
    const auto side = [](const Side& s) {
      return ReportSide{s.table, *s.source, s.csv, *s.reader, s.input->name(), s.input->reread_fd()};
    };
    const ReportSide input = side(input_);
    std::optional<ReportSide> base;
    if (base_) base.emplace(side(*base_));
    const ReportInput report{input,
                             base ? &*base : nullptr,
                             links_,
                             input_.orders[0].sorted,
                             algorithms_,
                             options_.id,
                             options_.verify > 0,
                             std::max(kMinReportBudget, input_.table.memory() / 2),
                             start_};
    WriteReport(report, options_, out);
    summary_ = SummaryLine(report.Summary());
  }

  // The result; the pairs move into it, so call it last.
  DedupeResult Result(bool with_records) {
    DedupeResult result;
    result.groups = links_.group_ends.size();
    result.skipped = input_.source->skipped() + (base_ ? base_->source->skipped() : 0);
    result.pairs = std::move(links_.pairs);
    result.samples = std::move(links_.samples);
    for (const KeptApart& k : links_.apart) {
      result.kept_apart.push_back({k.a, k.b, k.score, k.x, k.y, k.xy_score, std::string(RuleName(k.rule))});
    }
    result.summary = summary_;
    if (!with_records) return result;
    const auto records = [&](const Side& side, const std::vector<std::uint8_t>& algorithm,
                             const std::vector<float>& score, const std::vector<std::uint32_t>* group) {
      std::vector<DedupeRecord> out(side.table.size());
      for (std::uint32_t r = 0; r < out.size(); ++r) {
        DedupeRecord& d = out[r];
        d.line = side.table.place(r).line;
        d.algorithm = algorithm[r];
        d.key = side.table.key(d.algorithm == 0 ? 0 : d.algorithm - 1u, r);
        d.group = group != nullptr ? (*group)[r] : 0;
        d.score = score.empty() ? 0 : score[r];
      }
      return out;
    };
    result.records = records(input_, links_.algorithm, links_.score, &links_.group);
    if (base_) result.base_records = records(*base_, links_.base_algorithm, links_.base_score, nullptr);
    return result;
  }

 private:
  void Key(Side* side, Progress* progress, std::optional<std::uint64_t> size) {
    side->table = KeyRecords(*side->source, builders_, options_.normalize, options_.threads,
                             progress, size, options_.verify > 0 ? &side->kept : nullptr);
    side->orders = OrderByKeys(side->table, options_.threads);
    const std::uint64_t held = Held() + side->kept.texts.memory();
    if (held > memory_) {
      throw MemoryError("the keys of the records take " + MemorySizeText(held) + ", more than the memory limit of " +
                        MemorySizeText(memory_) + ": raise the limit (--memory) or dedupe the file in parts");
    }
  }

  // The keys and their orders of both sides.
  std::uint64_t Held() const {
    std::uint64_t bytes = 0;
    for (const Side* side : {&input_, base_ ? &*base_ : nullptr}) {
      if (side == nullptr) continue;
      bytes += side->table.memory();
      for (const KeyOrder& order : side->orders) bytes += 4 * order.sorted.capacity();
    }
    return bytes;
  }

  void Describe(const CsvSource& source) {
    const char d = source.delimiter();
    std::string shown = d == '\t' ? std::string("tab") : std::string(3, '\'');
    if (d != '\t') shown[1] = d;
    Tell(options_, "delimiter " + shown);
    for (const std::string& line : source.map().Describe()) Tell(options_, line);
  }

  const DedupeOptions& options_;
  std::vector<KeyBuilder> builders_;
  std::vector<DedupeAlgorithm> algorithms_;
  Side input_;
  std::optional<Side> base_;
  Links links_;
  std::uint64_t memory_ = 0;  // the limit of the run
  std::string summary_;
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

}  // namespace

}  // namespace korvix::dedupe

namespace korvix {

DedupeResult RunDedupe(const std::string& path, const DedupeOptions& options) {
  dedupe::ReportChoiceOf(options);  // a wrong format fails before the long part
  dedupe::Job job(options);
  // Opened first, so that an unwritable place fails before the long part.
  std::unique_ptr<dedupe::ReportFile> out = options.output.empty()
                                                ? std::make_unique<dedupe::ReportFile>()
                                                : std::make_unique<dedupe::ReportFile>(options.output);
  job.ReadFile(path, false);
  if (!options.base.empty()) job.ReadFile(options.base, true);
  job.Link();
  job.Report(out.get());
  out->Commit();
  return job.Result(false);
}

DedupeResult DedupeFile(const std::string& path, const DedupeOptions& options) {
  dedupe::Job job(options);
  job.ReadFile(path, false);
  if (!options.base.empty()) job.ReadFile(options.base, true);
  job.Link();
  return job.Result(true);
}

DedupeResult DedupeRecords(std::span<const std::string_view> records, const DedupeOptions& options,
                           std::span<const std::string_view> base) {
  dedupe::Job job(options);
  job.ReadMemory(records, false);
  if (!base.empty()) job.ReadMemory(base, true);
  job.Link();
  return job.Result(true);
}

}  // namespace korvix
