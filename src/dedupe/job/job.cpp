// The dedupe job from end to end: read and key each input, order the keys,
// link the records, then report or hand back each record's group.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <filesystem>
#include <limits>
#include <memory>
#include <numeric>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "base/parallel.h"
#include "dedupe/clean/clean_file.h"
#include "dedupe/clean/survivor_rule.h"
#include "dedupe/clean/survivors.h"
#include "dedupe/read/csv_source.h"
#include "dedupe/core/big_allocator.h"
#include "dedupe/core/error.h"
#include "dedupe/read/input.h"
#include "dedupe/job/decided.h"
#include "dedupe/job/group_numbers.h"
#include "dedupe/job/keyed_base.h"
#include "dedupe/job/spread.h"
#include "dedupe/key/keying.h"
#include "dedupe/core/printable.h"
#include "dedupe/core/spill.h"
#include "dedupe/core/temp_files.h"
#include "dedupe/read/line_source.h"
#include "dedupe/read/memory_source.h"
#include "dedupe/link/linking.h"
#include "dedupe/core/progress.h"
#include "dedupe/read/record_reader.h"
#include "dedupe/report/report.h"
#include "korvix/dedupe.h"
#include "korvix/description.h"
#include "korvix/key_builder.h"
#include "korvix/text.h"

namespace korvix::dedupe {

namespace {

// Bytes of records a report holds in memory at once: at least this much, or
// half as much as the keys take, so memory stays proportional to the keys.
constexpr std::size_t kMinReportBudget = std::size_t{64} << 20;

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

bool Surviving(const DedupeOptions& options) {
  return !options.survivor.empty() || !options.clean.empty() || !options.mapping.empty();
}

// Whether two paths name one file: the same inode once both exist, else
// the same path with links followed and dots resolved.
bool SameFile(const std::string& a, const std::string& b) {
  struct stat sa, sb;
  if (::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0) {
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
  }
  std::error_code ea, eb;
  const std::filesystem::path pa = std::filesystem::weakly_canonical(a, ea);
  const std::filesystem::path pb = std::filesystem::weakly_canonical(b, eb);
  return ea || eb ? a == b : pa == pb;
}

// The survivor options that can be checked before reading: the rule, and
// files that would overwrite what the run reads or writes.
SurvivorRule CheckSurvivorOptions(const DedupeOptions& options, const std::string& path) {
  if (!Surviving(options)) {
    if (options.fill) throw UsageError("--fill fills survivors: give --survivor, --clean or --mapping");
    return {};
  }
  const SurvivorRule rule = ParseSurvivorRule(options.survivor.empty() ? "most-complete" : options.survivor);
  if (!options.base.empty()) {
    throw UsageError("survivors are chosen within one file: --survivor, --clean and --mapping do not go with --base");
  }
  const std::pair<const char*, const std::string*> written[] = {
      {"--clean", &options.clean}, {"--mapping", &options.mapping}, {"--output", &options.output}};
  for (std::size_t i = 0; i < 2; ++i) {
    const std::string& file = *written[i].second;
    if (file.empty()) continue;
    if (file == "-") throw UsageError(std::string(written[i].first) + " writes a file, not standard output");
    if (!path.empty() && path != "-" && SameFile(file, path)) {
      throw UsageError(std::string(written[i].first) + " would overwrite the input " + MessageText(file) +
                       ": give a file of its own");
    }
    for (std::size_t k = i + 1; k < 3; ++k) {
      if (!written[k].second->empty() && SameFile(file, *written[k].second)) {
        throw UsageError(std::string(written[i].first) + " and " + written[k].first + " name one file, " +
                         MessageText(file));
      }
    }
  }
  return rule;
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
  std::span<const std::string_view> memory;  // records in memory, else empty

  KeptRecords kept;  // when verifying

  // The profiles of `records` (ascending), that of records[k] at places[k],
  // made on all threads from the records kept normalised, told to
  // `progress` as "preparing". Frees those: a side's profiles are made once.
  ProfileList Profiles(std::span<const std::uint32_t> records, std::span<const std::uint32_t> places,
                       unsigned threads, Progress* progress) {
    ProfileList list;
    // By place: the place of the first record of its text.
    BigVector<std::uint32_t> copy_of(records.size());
    // Records of one text share one profile: copies are profiled once, and
    // linking knows them by it. Open-addressing tables find each text's
    // first record; the texts are hashed on all threads, and each slot
    // keeps the upper half of its text's hash, so that a text is compared
    // with another (far away in memory) only when the two hashes agree.
    // Each thread fills a table of its own, for the texts of its share of
    // the hashes, in input order.
    {
      BigVector<std::uint64_t> hashes(records.size());
      base::ParallelFor(records.size(), threads, 1 << 14, [&](std::size_t begin, std::size_t end) {
        const std::hash<std::string_view> hash;
        for (std::size_t k = begin; k < end; ++k) hashes[k] = hash(kept.texts.key(records[k]));
      });
      const std::size_t shares = base::PartsFor(records.size(), threads, 1 << 16);
      const auto share_of = [shares](std::uint64_t hash) { return (hash >> 24 & 0xFF) % shares; };
      base::ParallelParts(shares, [&](std::size_t share) {
        const auto mine = std::count_if(hashes.begin(), hashes.end(),
                                        [&](std::uint64_t h) { return share_of(h) == share; });
        std::size_t size = 16;
        while (size < 2 * static_cast<std::size_t>(mine)) size *= 2;
        BigVector<std::uint64_t> table(size, 0);  // hash >> 32 << 32 | 1 + k of records[k]; 0 free
        for (std::size_t k = 0; k < records.size(); ++k) {
          if (share_of(hashes[k]) != share) continue;
          const std::uint64_t tag = hashes[k] >> 32 << 32;
          for (std::size_t at = hashes[k] & (size - 1);; at = (at + 1) & (size - 1)) {
            if (table[at] == 0) {
              table[at] = tag | (k + 1);
              copy_of[places[k]] = places[k];
              break;
            }
            const std::size_t first = (table[at] & 0xFFFFFFFFu) - 1;
            if ((table[at] & ~std::uint64_t{0xFFFFFFFFu}) == tag &&
                kept.texts.key(records[first]) == kept.texts.key(records[k])) {
              copy_of[places[k]] = places[first];
              break;
            }
          }
        }
      });
    }
    // Each text's profile once, numbered in the order of its first place;
    // without copies each place has its own.
    std::size_t distinct = 0;
    for (std::size_t q = 0; q < records.size(); ++q) distinct += copy_of[q] == q ? 1 : 0;
    if (distinct < records.size()) {
      list.profile_of.resize(records.size());
      for (std::size_t q = 0, next = 0; q < records.size(); ++q) {
        if (copy_of[q] == q) list.profile_of[q] = static_cast<std::uint32_t>(next++);
      }
      for (std::size_t q = 0; q < records.size(); ++q) list.profile_of[q] = list.profile_of[copy_of[q]];
    }
    // Only now: the tables of the texts are gone.
    list.profiles.resize(distinct);
    const std::size_t parts = base::PartsFor(records.size(), threads, 4096);
    const auto begin_of = [&](std::size_t part) { return records.size() * part / parts; };
    list.makers.resize(parts);
    // Making the profiles is most of the step, setting the shares of the
    // name words the rest: the calling thread tells its part of each, as a
    // share of the records, four fifths and one fifth.
    const auto tell = [&](std::size_t done, std::size_t of, double from, double weight) {
      const double share = from + weight * static_cast<double>(done) / static_cast<double>(std::max<std::size_t>(of, 1));
      progress->Step("preparing", static_cast<std::uint64_t>(share * static_cast<double>(records.size())),
                     records.size(), "records");
    };
    // The texts are let go of as their profiles are made: the two would
    // otherwise peak together.
    constexpr std::size_t kLetGoEvery = 1 << 15;
    base::ParallelParts(parts, [&](std::size_t part) {
      for (std::size_t k = begin_of(part), read = k; k < begin_of(part + 1); ++k) {
        if (copy_of[places[k]] == places[k]) list.profiles[list.index(places[k])] = list.makers[part].Make(kept.texts.key(records[k]));
        if (part == 0 && k % 4096 == 0) tell(k, begin_of(1), 0, 0.8);
        if (k + 1 - read == kLetGoEvery || k + 1 == begin_of(part + 1)) {
          kept.texts.LetGo(records[read], records[k] + 1);
          read = k + 1;
        }
      }
    });
    kept.texts = KeyColumn();
    for (ProfileMaker& maker : list.makers) maker.Finish();
    BigVector<std::uint32_t>().swap(copy_of);
    // The name words counted (CountNameWords) on all threads, each part its
    // share of the profiles: a profile counts for its copies too.
    BigVector<std::uint32_t> times(distinct, 0);
    for (std::size_t q = 0; q < records.size(); ++q) ++times[list.index(static_cast<std::uint32_t>(q))];
    std::vector<NameWordCounts> counts(parts);
    // A part's share of the profiles, or of anything by profile.
    const auto share_of = [&](auto all, std::size_t part) {
      const std::size_t begin = distinct * part / parts;
      return all.subspan(begin, distinct * (part + 1) / parts - begin);
    };
    base::ParallelParts(parts, [&](std::size_t part) {
      counts[part].Add(share_of(std::span(list.profiles), part), share_of(std::span(times), part));
    });
    for (std::size_t part = 1; part < parts; ++part) {
      for (const auto& [word, count] : counts[part].Words()) counts[0].Add(word, count);
    }
    // By maker: profiles of one name share its words, each maker's its own.
    base::ParallelParts(parts, [&](std::size_t part) {
      list.makers[part].SetShares(counts[0], records.size());
      if (part == 0) tell(1, 1, 0.8, 0.2);
    });
    return list;
  }
};

class Job {
 public:
  Job(const DedupeOptions& options, const std::string& path)
      : options_(options), rule_(CheckSurvivorOptions(options, path)), temp_(options.temp_dir) {
    CheckLinking(options);
    if (!options.temp_dir.empty()) temp_.Check();
    if (options.sample_pairs > 0 && options.verify <= 0) {
      throw UsageError("pairs are sampled by their scores: verify to sample them");
    }
    if (!options.previous.empty()) {
      if (!options.base.empty()) throw UsageError("--previous keeps the numbers of groups, which a run with a base has none of");
      previous_ = ReadPreviousGroups(options.previous, !options.id.empty());
    }
    for (const DedupeAlgorithm& a : options.algorithms) {
      builders_.emplace_back(a.code);
      algorithms_.push_back({a.code, a.name.empty() ? DescribeAlgorithm(a.code) : a.name});
    }
    memory_ = options.memory != 0 ? options.memory : DefaultDedupeMemory();
    // Below this, batches of pairs and pieces of the sort would be too small
    // to get anywhere; above it, any file fits, the rest going to a file.
    constexpr std::uint64_t kLeastMemory = std::uint64_t{16} << 20;
    if (memory_ < kLeastMemory) {
      throw MemoryError("the memory limit of " + MemorySizeText(memory_) + " is less than the " +
                        MemorySizeText(kLeastMemory) + " a run needs: raise the limit (--memory)");
    }
    spill_.emplace(memory_, temp_);
    if (options.verbose) {
      Tell(options, "memory limit " + MemorySizeText(memory_) +
                        (options.memory != 0 ? "" : " (half the physical memory)"));
    }
  }

  // At its peak a run holds some five to six times its input (keys,
  // orders, profiles and pairs of realistic data). Reckoning with eight, a
  // run that surely fits its limit keeps its arrays in memory.
  static constexpr std::uint64_t kHeldPerInputByte = 8;

  void ReadFile(const std::string& path, bool is_base) {
    Side& side = is_base ? base_.emplace() : input_;
    const bool csv = ReadsCsv(options_, path);
    side.input = std::make_unique<Input>(path, temp_.parent());
    spill_->Expect(side.input->size() ? *side.input->size() * kHeldPerInputByte
                                      : std::numeric_limits<std::uint64_t>::max());
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
    if (!is_base) SurvivorColumn(side.csv);
    Key(&side, &progress, side.input->size());
    side.input->EndOfStream();
    progress.Done();
    side.reader = std::make_unique<RecordReader>(side.table, side.input->reread_fd(), side.input->name());
  }

  void ReadMemory(std::span<const std::string_view> records, bool is_base) {
    Side& side = is_base ? base_.emplace() : input_;
    side.source = std::make_unique<MemorySource>(records);
    side.memory = records;
    std::uint64_t bytes = 0;
    for (const std::string_view r : records) bytes += r.size() + 1;
    spill_->Expect(bytes * kHeldPerInputByte);
    if (!is_base) SurvivorColumn(nullptr);
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
    link.temp = &temp_;
    if (!options_.decisions.empty() || options_.identify) Decide(&link);
    Progress progress(options_.progress, std::nullopt);
    link.progress = [&progress](std::string_view step, std::uint64_t done, std::uint64_t total) {
      progress.Step(step, done, total,
                    step == "grouping" ? "links" : step == "pairing" ? "keys" : step == "comparing" ? "pairs" : "records");
    };
    const auto fetch = [this, &progress](Side& side) -> FetchProfiles {
      return [this, &side, &progress](std::span<const std::uint32_t> records, std::span<const std::uint32_t> places) {
        // The orders, read to choose the records, leave memory while it peaks.
        for (const KeyOrder& order : side.orders) order.sorted.Cool();
        ProfileList profiles = side.Profiles(records, places, options_.threads, &progress);
        side.table.Cool();  // the places read to read the records
        return profiles;
      };
    };
    if (keyed_ != nullptr) {
      links_ = LinkToKeyedBase(input_.table, input_.orders, fetch(input_), *keyed_, link);
      WarnOfSpilling();
      return;
    }
    links_ = base_ ? LinkToBase(input_.table, input_.orders, fetch(input_), base_->table,
                                base_->orders, fetch(*base_), link)
                   : LinkWithin(input_.table, input_.orders, fetch(input_), link);
    for (const Side* side : {&input_, base_ ? &*base_ : nullptr}) {
      if (side != nullptr) side->table.Cool();
    }
    WarnOfSpilling();
    if (previous_) KeepNumbers();
  }

  // The group numbers of the earlier report, where its groups continue.
  void KeepNumbers() {
    std::unordered_map<std::uint32_t, std::string> ids;
    if (previous_->by_id) {
      IdColumn id(options_.id, input_.csv);
      Reader()(links_.members, [&](std::size_t position, std::string_view bytes) {
        ids[links_.members[position]] = std::string(id.Of(bytes, false));
      });
    }
    KeepGroupNumbers(*previous_, [&ids](std::uint32_t r) { return std::string_view(ids[r]); }, &links_);
  }

  void Report(ReportFile* out) {
    const auto side = [](const Side& s) {
      return ReportSide{s.table, *s.source, s.csv, *s.reader, s.input->name(), s.input->reread_fd()};
    };
    const ReportSide input = side(input_);
    std::optional<ReportSide> base_side;
    std::optional<SideBase> base;
    if (base_) base.emplace(base_side.emplace(side(*base_)));
    const ReportBase* report_base = keyed_;
    if (report_base == nullptr && base) report_base = &*base;
    const ReportInput report{input,
                             report_base,
                             links_,
                             input_.orders[0].sorted,
                             algorithms_,
                             options_.id,
                             options_.verify > 0,
                             !options_.decisions.empty(),
                             std::max(kMinReportBudget, input_.table.memory() / 2),
                             start_};
    // A report to the terminal would be torn by the progress line.
    Progress progress(options_.progress && (!options_.output.empty() || ::isatty(STDOUT_FILENO) != 1),
                      std::nullopt);
    input_.reader->SetProgress([&progress](std::uint64_t done, std::uint64_t total) {
      progress.Step("reporting", done, total, "records");
    });
    WriteReport(report, options_, out);
    input_.reader->SetProgress(nullptr);
    summary_ = SummaryLine(report.Summary());
  }

  // Picks the survivors, when the options ask for them.
  void Survive() {
    if (!Surviving(options_)) return;
    SurvivorChoice choice;
    choice.rule = rule_;
    choice.column = survivor_column_;
    choice.fill = options_.fill;
    choice.message = options_.message;
    choice.decided = decided_.survivors;
    std::unordered_set<std::string> lacking;
    for (const DecidedValue& v : decided_.values) {
      std::size_t column = kNoColumn;
      try {
        column = ColumnOf(v.field, input_.csv, "a value decision");
      } catch (const Error& e) {
        // The file's columns may have changed since the person decided.
        if (lacking.insert(v.field).second && options_.message) options_.message(std::string(e.what()) + "; passed over");
      }
      if (column != kNoColumn) choice.values.push_back({v.record, column, v.decision});
    }
    if (input_.csv != nullptr) choice.layout = {input_.csv->delimiter(), true};
    survivors_ = ChooseSurvivors(links_, input_.table.size(), choice, Reader());
  }

  // Writes the clean file and the mapping that the options name, to files
  // opened (OpenCleanFiles) before the run.
  void WriteClean() {
    if (clean_) {
      if (input_.memory.empty() && input_.input) {
        WriteCleanCopy(input_.input->reread_fd(), input_.input->name(), input_.table, survivors_, clean_.get());
      } else {
        WriteCleanRecords(input_.memory, survivors_, clean_.get());
      }
    }
    if (mapping_) {
      MappingFormat format;
      format.delimiter = input_.csv != nullptr ? input_.csv->delimiter() : ',';
      format.crlf = input_.input && EndsLinesWithCrlf(input_.input->reread_fd());
      std::unordered_map<std::uint32_t, std::string> ids;
      if (!options_.id.empty()) {
        // The merged records and their survivors.
        std::vector<bool> want(survivors_.of.size());
        for (std::uint32_t r = 0; r < want.size(); ++r) {
          if (survivors_.Merged(r)) want[r] = want[survivors_.of[r]] = true;
        }
        std::vector<std::uint32_t> wanted;
        for (std::uint32_t r = 0; r < want.size(); ++r) {
          if (want[r]) wanted.push_back(r);
        }
        IdColumn id(options_.id, input_.csv);
        Reader()(wanted, [&](std::size_t position, std::string_view bytes) {
          ids[wanted[position]] = std::string(id.Of(bytes, false));
        });
        format.ids = [&ids](std::uint32_t r) { return ids[r]; };
      }
      WriteMapping(survivors_, links_.group, format, mapping_.get());
    }
  }

  // Opens the clean file and the mapping, so that an unwritable place
  // fails before the long part.
  void OpenCleanFiles() {
    if (!options_.clean.empty()) clean_ = std::make_unique<ReportFile>(options_.clean);
    if (!options_.mapping.empty()) mapping_ = std::make_unique<ReportFile>(options_.mapping);
  }
  void CommitCleanFiles() {
    if (clean_) clean_->Commit();
    if (mapping_) mapping_->Commit();
  }

  // Matches the input against `base` instead of a base file.
  void UseKeyedBase(const KeyedBase* base) { keyed_ = base; }

  // Every record of the input, for an index: see WholeBase.
  WholeBase Whole() {
    WholeBase whole;
    IdColumn id(options_.id, input_.csv);
    std::string scratch, printable;
    ForEachRecord(input_, [&](std::uint32_t, std::string_view bytes) {
      whole.ids.Add(id.empty() ? std::string_view() : id.Of(bytes, false));
      printable.clear();
      AppendPrintable(input_.source->RecordString(bytes, &scratch), &printable);
      whole.texts.Add(printable);
    });
    whole.table = std::move(input_.table);
    whole.profiles = std::move(input_.kept.texts);
    whole.skipped = input_.source->skipped();
    return whole;
  }

  // The result; the pairs move into it, so call it last.
  DedupeResult Result(bool with_records) {
    if (options_.verbose && spill_->spilled() > 0) {
      Tell(options_, MemorySizeText(spill_->spilled()) + " of arrays beyond the memory limit went to a file in " +
                         temp_.path() + ", let go of " + std::to_string(spill_->drops()) + " times");
    }
    if (options_.verbose) Tell(options_, "peak memory of the process " + MemorySizeText(SpillScope::Peak()));
    DedupeResult result;
    result.skipped = input_.source->skipped() + (base_ ? base_->source->skipped() : 0);
    if (!with_records) {
      // Nothing below reads the records' arrays: they go before the pairs
      // are copied into the result, so that it is not held beside them.
      for (Side* side : {&input_, base_ ? &*base_ : nullptr}) {
        if (side == nullptr) continue;
        side->table = KeyTable();
        std::vector<KeyOrder>().swap(side->orders);
        side->kept = KeptRecords();
      }
      Links rest;
      rest.pairs = std::move(links_.pairs);
      rest.samples = std::move(links_.samples);
      rest.apart = std::move(links_.apart);
      rest.group_ends = std::move(links_.group_ends);
      links_ = std::move(rest);
    }
    result.groups = links_.group_ends.size();
    result.pairs.assign(links_.pairs.begin(), links_.pairs.end());
    BigVector<DedupePair>().swap(links_.pairs);
    result.samples = std::move(links_.samples);
    for (const KeptApart& k : links_.apart) {
      result.kept_apart.push_back({k.a, k.b, k.score, k.x, k.y, k.xy_score, std::string(RuleName(k.rule))});
    }
    result.summary = summary_;
    result.merged = survivors_.merged;
    if (!with_records) return result;
    const auto records = [&](const Side& side, std::span<const std::uint8_t> algorithm,
                             std::span<const float> score, std::span<const std::uint32_t> group) {
      std::vector<DedupeRecord> out(side.table.size());
      for (std::uint32_t r = 0; r < out.size(); ++r) {
        DedupeRecord& d = out[r];
        d.line = side.table.place(r).line;
        d.algorithm = algorithm[r];
        d.key = side.table.key(d.algorithm == 0 ? 0 : d.algorithm - 1u, r);
        d.group = group.empty() ? 0 : group[r];
        d.score = score.empty() ? 0 : score[r];
      }
      return out;
    };
    result.records = records(input_, links_.algorithm, links_.score, links_.group);
    for (std::uint32_t r = 0; r < result.records.size(); ++r) {
      result.records[r].survivor = survivors_.of.empty() ? r : survivors_.of[r];
      result.records[r].decided = !links_.decided.empty() && links_.decided[r] != 0;
      if (!identities_.empty()) result.records[r].identity = std::move(identities_[r]);
    }
    for (const auto& [identity, named] : named_) {
      for (const std::uint32_t r : named) result.records[r].identity = identity;
    }
    for (const DedupePair& p : result.pairs) {
      if (p.decided) result.records[p.a].decided = true;  // a base's record, matched by decision
    }
    for (std::size_t k = 0; k < survivors_.filled.size(); ++k) {
      result.records[survivors_.filled[k]].filled = std::move(survivors_.filled_bytes[k]);
    }
    if (options_.texts) {
      IdColumn id(options_.id, input_.csv);
      std::string scratch;
      std::vector<RawField> fields;
      const RecordLayout layout = input_.csv != nullptr ? RecordLayout{input_.csv->delimiter(), true} : RecordLayout{};
      if (input_.csv != nullptr) result.columns = input_.csv->header();
      ForEachRecord(input_, [&](std::uint32_t r, std::string_view bytes) {
        DedupeRecord& d = result.records[r];
        if (!id.empty()) d.id = id.Of(bytes, true);
        AppendReadable(input_.source->RecordString(bytes, &scratch), &d.text);
        SplitFields(bytes, layout, &fields);
        d.fields.resize(fields.size());
        for (std::size_t f = 0; f < fields.size(); ++f) AppendReadable(fields[f].value, &d.fields[f]);
      });
    }
    if (base_) {
      result.base_records = records(*base_, links_.base_algorithm, links_.base_score, {});
      for (const DedupePair& p : result.pairs) {
        if (p.decided) result.base_records[p.b].decided = true;
      }
    }
    return result;
  }

 private:
  // Each record of `side` with its number and bytes, in input order, from
  // the file or memory.
  void ForEachRecord(Side& side, const std::function<void(std::uint32_t, std::string_view)>& visit) {
    if (!side.reader) {
      for (std::uint32_t r = 0; r < side.memory.size(); ++r) visit(r, side.memory[r]);
      return;
    }
    std::vector<std::uint32_t> all(side.table.size());
    std::iota(all.begin(), all.end(), 0u);
    side.reader->ForEachInOrder(all, std::max(kMinReportBudget, side.table.memory() / 2),
                                [&](const RecordReader::Visited& v) { visit(v.record, v.bytes); });
  }

  // Hands the identity (RecordIdentity) of every record of `side` with its
  // number to `visit`.
  void Identify(Side& side, const std::function<void(std::uint32_t, std::string)>& visit) {
    IdColumn id(options_.id, side.csv);
    std::string scratch;
    ForEachRecord(side, [&](std::uint32_t r, std::string_view bytes) {
      const std::string_view value = id.empty() ? std::string_view() : id.Of(bytes, false);
      visit(r, RecordIdentity(side.source->RecordString(bytes, &scratch), value));
    });
  }

  // The records that the decisions name, on each side, and what the
  // decisions ask of linking and of the survivors. Reads the input (and the
  // base) once more; a run without decisions does not.
  void Decide(LinkOptions* link) {
    CheckDecisionsAgree(options_.decisions);
    std::unordered_set<std::string> named;
    for (const Decision& d : options_.decisions) named.insert({d.a, d.b});
    if (options_.identify) identities_.resize(input_.table.size());
    Identify(input_, [&](std::uint32_t r, std::string identity) {
      if (named.count(identity) != 0) named_[identity].push_back(r);
      if (options_.identify) identities_[r] = std::move(identity);
    });
    RecordsByIdentity base;
    if (base_) {
      Identify(*base_, [&](std::uint32_t r, std::string identity) {
        if (named.count(identity) != 0) base[identity].push_back(r);
      });
    } else if (keyed_ != nullptr && !options_.decisions.empty()) {
      std::vector<std::uint32_t> all(keyed_->size());
      std::iota(all.begin(), all.end(), 0u);
      for (const auto& [r, record] : keyed_->Records(options_.id, std::move(all), false)) {
        std::string identity = RecordIdentity(record.text, record.id);
        if (named.count(identity) != 0) base[identity].push_back(r);
      }
    }
    const bool with_base = base_ || keyed_ != nullptr;
    decided_ = DecisionsOnRecords(options_.decisions, named_, with_base ? &base : nullptr);
    link->decided = decided_.pairs;
  }

  // Reads records of the input in a given order, from the file or memory.
  ReadRecords Reader() {
    if (!input_.memory.empty() || !input_.reader) {
      return [this](std::span<const std::uint32_t> order,
                    const std::function<void(std::size_t, std::string_view)>& visit) {
        for (std::size_t k = 0; k < order.size(); ++k) visit(k, input_.memory[order[k]]);
      };
    }
    return [this](std::span<const std::uint32_t> order,
                  const std::function<void(std::size_t, std::string_view)>& visit) {
      input_.reader->ForEachInOrder(order, std::max(kMinReportBudget, input_.table.memory() / 2),
                                    [&](const RecordReader::Visited& v) { visit(v.position, v.bytes); });
    };
  }

  // The rule's column, checked against the input's header.
  void SurvivorColumn(const CsvSource* csv) {
    if (!Surviving(options_) || rule_.column.empty()) return;
    survivor_column_ = ColumnOf(rule_.column, csv, "--survivor");
  }

  void Key(Side* side, Progress* progress, std::optional<std::uint64_t> size) {
    side->table = KeyRecords(*side->source, builders_, options_.normalize, options_.threads, progress, size,
                             options_.verify > 0 ? &side->kept : nullptr);
    // The keys are read all together to be sorted, then only here and there,
    // the places to make profiles and the report.
    side->table.Park();
    const std::size_t records = side->table.size();
    const std::size_t keys = records * builders_.size();
    // The sort's entries beside the keys and their orders get what the limit
    // leaves, at least a quarter of it; beyond that each key is sorted in
    // pieces through temporary files, which keeps the sort's pages at hand
    // where the keys themselves spill.
    const std::uint64_t held = Held() + side->kept.texts.memory() + std::uint64_t{4} * keys;
    const SortRoom room{std::max(memory_ - std::min(memory_, held), memory_ / 4), &temp_};
    side->orders = OrderByKeys(side->table, options_.threads, [&](std::size_t done) {
      if (progress != nullptr) progress->Step("ordering", done * records, keys, "keys");
    }, room);
    if (options_.verbose && SortsInPieces(records, room)) Tell(options_, "keys sorted in pieces in " + temp_.path());
    WarnOfSpilling();
  }

  // Once, as soon as the run holds more than its limit: it gets slower.
  void WarnOfSpilling() {
    if (warned_of_spilling_ || spill_->spilled() == 0 || !options_.message) return;
    warned_of_spilling_ = true;
    options_.message("this input needs more than the memory limit of " + MemorySizeText(memory_) +
                     ": what does not fit goes to a temporary file in " + temp_.path() +
                     ", which is slower (a higher --memory keeps it in memory)");
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

  // First, so that it ends last: the arrays the run gave back and the
  // allocator kept are unmapped when every member has given back its own.
  struct ReleaseAtEnd {
    ~ReleaseAtEnd() { ReleaseCachedBlocks(); }
  } release_at_end_;
  const DedupeOptions& options_;
  SurvivorRule rule_;
  TempFolder temp_;  // the run's temporary files, removed with the job
  std::optional<SpillScope> spill_;  // the large arrays beyond the limit
  bool warned_of_spilling_ = false;
  std::size_t survivor_column_ = kNoColumn;
  Survivors survivors_;
  std::unique_ptr<ReportFile> clean_, mapping_;
  std::vector<KeyBuilder> builders_;
  std::vector<DedupeAlgorithm> algorithms_;
  Side input_;
  std::optional<Side> base_;
  Links links_;
  const KeyedBase* keyed_ = nullptr;
  std::optional<PreviousGroups> previous_;
  Decided decided_;
  RecordsByIdentity named_;                // the input's records that decisions name
  std::vector<std::string> identities_;   // every record's, with DedupeOptions::identify
  std::uint64_t memory_ = 0;  // the limit of the run
  std::string summary_;
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

}  // namespace

WholeBase ReadWholeBase(const std::string& path, const DedupeOptions& options) {
  Job job(options, path);
  job.ReadFile(path, false);
  return job.Whole();
}

WholeBase ReadWholeBase(std::span<const std::string_view> records, const DedupeOptions& options) {
  Job job(options, "");
  job.ReadMemory(records, false);
  return job.Whole();
}

DedupeResult RunDedupeAgainst(const std::string& path, const DedupeOptions& options, const KeyedBase& base) {
  ReportChoiceOf(options);  // a wrong format fails before the long part
  Job job(options, path);
  job.UseKeyedBase(&base);
  std::unique_ptr<ReportFile> out =
      options.output.empty() ? std::make_unique<ReportFile>() : std::make_unique<ReportFile>(options.output);
  job.ReadFile(path, false);
  job.Link();
  job.Report(out.get());
  out->Commit();
  return job.Result(false);
}

}  // namespace korvix::dedupe

namespace korvix {

DedupeResult RunDedupe(const std::string& path, const DedupeOptions& options) {
  dedupe::ReportChoiceOf(options);  // a wrong format fails before the long part
  dedupe::Job job(options, path);
  // Opened first, so that an unwritable place fails before the long part.
  std::unique_ptr<dedupe::ReportFile> out = options.output.empty()
                                                ? std::make_unique<dedupe::ReportFile>()
                                                : std::make_unique<dedupe::ReportFile>(options.output);
  job.OpenCleanFiles();
  job.ReadFile(path, false);
  if (!options.base.empty()) job.ReadFile(options.base, true);
  job.Link();
  job.Report(out.get());
  job.Survive();
  job.WriteClean();
  out->Commit();
  job.CommitCleanFiles();
  return job.Result(false);
}

DedupeResult DedupeFile(const std::string& path, const DedupeOptions& options) {
  dedupe::Job job(options, path);
  job.OpenCleanFiles();
  job.ReadFile(path, false);
  if (!options.base.empty()) job.ReadFile(options.base, true);
  job.Link();
  job.Survive();
  job.WriteClean();
  job.CommitCleanFiles();
  return job.Result(true);
}

DedupeResult DedupeRecords(std::span<const std::string_view> records, const DedupeOptions& options,
                           std::span<const std::string_view> base) {
  dedupe::Job job(options, "");
  if (!base.empty() && dedupe::Surviving(options)) {
    throw dedupe::UsageError("survivors are chosen within one input, not against a base");
  }
  job.OpenCleanFiles();
  job.ReadMemory(records, false);
  if (!base.empty()) job.ReadMemory(base, true);
  job.Link();
  job.Survive();
  job.WriteClean();
  job.CommitCleanFiles();
  return job.Result(true);
}

}  // namespace korvix
