#include "korvix/matcher.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <deque>
#include <mutex>
#include <shared_mutex>
#include <unordered_map>
#include <utility>

#include "base/parallel.h"
#include "dedupe/core/error.h"
#include "dedupe/core/printable.h"
#include "dedupe/job/keyed_base.h"
#include "dedupe/compare/profile.h"
#include "dedupe/compare/record_keys.h"
#include "dedupe/compare/similarity.h"
#include "dedupe/match/index_file.h"
#include "dedupe/report/report_file.h"
#include "korvix/key_builder.h"

namespace korvix {

using dedupe::IndexMeta;
using dedupe::IndexRecord;
using dedupe::IndexView;
using dedupe::IoError;

namespace {

// A file mapped read-only, unmapped with the object.
class Mapping {
 public:
  Mapping() = default;
  explicit Mapping(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw IoError("cannot open " + path + ": " + std::strerror(errno));
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
      ::close(fd);
      throw IoError("cannot read " + path + ": not a regular file");
    }
    size_ = static_cast<std::size_t>(st.st_size);
    if (size_ > 0) {
      data_ = ::mmap(nullptr, size_, PROT_READ, MAP_PRIVATE, fd, 0);
      if (data_ == MAP_FAILED) {
        const int error = errno;
        ::close(fd);
        data_ = nullptr;
        throw IoError("cannot map " + path + ": " + std::strerror(error));
      }
    }
    ::close(fd);
  }
  Mapping(Mapping&& o) noexcept : data_(std::exchange(o.data_, nullptr)), size_(std::exchange(o.size_, 0)) {}
  Mapping& operator=(Mapping&& o) noexcept {
    std::swap(data_, o.data_);
    std::swap(size_, o.size_);
    return *this;
  }
  ~Mapping() {
    if (data_ != nullptr) ::munmap(data_, size_);
  }
  std::span<const unsigned char> bytes() const { return {static_cast<const unsigned char*>(data_), size_}; }

 private:
  void* data_ = nullptr;
  std::size_t size_ = 0;
};

IndexMeta MetaOf(const DedupeOptions& o, std::uint64_t skipped) {
  return {o.algorithms, o.optional_items, o.normalize, o.verify, o.max_candidates, o.id, skipped};
}

}  // namespace

struct Matcher::State final : dedupe::KeyedBase {
  DedupeOptions options;
  std::vector<KeyBuilder> builders;
  std::uint64_t skipped_records = 0;
  // The records and keys as built or loaded: bytes of an index file.
  std::vector<unsigned char> owned;
  Mapping mapped;
  IndexView view;
  // Added since: a deque, whose strings never move.
  struct Added {
    std::uint64_t line;
    std::string profile, id, text;
  };
  std::deque<Added> added;
  std::vector<std::unordered_map<std::string, std::vector<std::uint32_t>>> added_keys;
  mutable std::shared_mutex mutex;

  // Views `bytes` (owned or mapped) as the base.
  void View(std::span<const unsigned char> bytes, const std::string& name) {
    view = IndexView(bytes, name);
    const IndexMeta& m = view.meta();
    options = DedupeOptions();
    options.algorithms = m.algorithms;
    options.optional_items = m.optional_items;
    options.normalize = m.normalize;
    options.verify = m.verify;
    options.max_candidates = static_cast<std::size_t>(m.max_candidates);
    options.id = m.id;
    skipped_records = m.skipped;
    builders.clear();
    for (const DedupeAlgorithm& a : options.algorithms) builders.emplace_back(a.code);
    added_keys.assign(builders.size(), {});
  }

  IndexRecord Record(std::uint32_t r) const {
    if (r < view.records()) return view.record(r);
    const Added& a = added[r - view.records()];
    return {a.line, a.profile, a.id, a.text};
  }

  std::size_t size() const override { return view.records() + added.size(); }
  std::uint64_t skipped() const override { return skipped_records; }
  std::uint64_t line(std::uint32_t record) const override { return Record(record).line; }
  std::unordered_map<std::uint32_t, dedupe::BaseRecord> Records(std::string_view, std::vector<std::uint32_t> wanted,
                                                                bool readable) const override {
    std::unordered_map<std::uint32_t, dedupe::BaseRecord> out;
    for (const std::uint32_t r : wanted) {
      const auto [at, fresh] = out.try_emplace(r);
      if (!fresh) continue;
      const IndexRecord rec = Record(r);
      dedupe::BaseRecord& b = at->second;
      b.line = rec.line;
      // Kept printable; readable is printable with its control characters shown.
      if (readable) {
        dedupe::AppendReadable(rec.id, &b.id);
        dedupe::AppendReadable(rec.text, &b.text);
      } else {
        b.id = rec.id;
        b.text = rec.text;
      }
    }
    return out;
  }
  void Find(std::size_t algorithm, std::string_view key, std::vector<std::uint32_t>* out) const override {
    view.Find(algorithm, key, out);
    if (added.empty()) return;
    const auto& keys = added_keys[algorithm];
    const auto it = keys.find(std::string(key));
    if (it != keys.end()) out->insert(out->end(), it->second.begin(), it->second.end());
  }
  std::string_view ProfileText(std::uint32_t record, std::string* scratch) const override {
    const IndexRecord r = Record(record);
    if (!r.derived) return r.profile;
    dedupe::DeriveProfile(r.text, scratch);
    return *scratch;
  }

  // The base as an index file's bytes, with what was added.
  std::vector<unsigned char> Bytes() const {
    dedupe::IndexWriter writer(MetaOf(options, skipped_records));
    for (std::uint32_t r = 0; r < size(); ++r) writer.AddRecord(Record(r));
    std::vector<std::uint32_t> postings;
    for (std::size_t a = 0; a < builders.size(); ++a) {
      auto extra = added_keys[a];
      view.ForEachKey(a, [&](std::string_view key, std::span<const std::uint32_t> records) {
        postings.assign(records.begin(), records.end());
        if (const auto it = extra.find(std::string(key)); it != extra.end()) {
          postings.insert(postings.end(), it->second.begin(), it->second.end());
          extra.erase(it);
        }
        writer.AddKey(a, key, postings);
      });
      // New keys in a steady order: the same base gives the same file.
      std::vector<std::pair<std::string, std::vector<std::uint32_t>>> fresh(extra.begin(), extra.end());
      std::sort(fresh.begin(), fresh.end());
      for (const auto& [key, records] : fresh) writer.AddKey(a, key, records);
    }
    return writer.Finish();
  }
};

namespace {

// The base read whole, as an index in memory.
std::vector<unsigned char> IndexOf(dedupe::WholeBase whole, const DedupeOptions& options) {
  dedupe::IndexWriter writer(MetaOf(options, whole.skipped));
  const dedupe::KeyTable& table = whole.table;
  const bool profiles = whole.profiles.size() == table.size();
  // Which profile texts the record strings give again, on all threads:
  // those are not stored.
  std::vector<std::uint8_t> derived(table.size(), 0);
  if (profiles) {
    base::ParallelFor(table.size(), options.threads, 4096, [&](std::size_t begin, std::size_t end) {
      std::string profile;
      for (std::size_t r = begin; r < end; ++r) {
        dedupe::DeriveProfile(whole.texts.key(r), &profile);
        derived[r] = profile == whole.profiles.key(r);
      }
    });
  }
  for (std::size_t r = 0; r < table.size(); ++r) {
    writer.AddRecord({table.place(r).line, profiles ? whole.profiles.key(r) : std::string_view(),
                      whole.ids.key(r), whole.texts.key(r), derived[r] != 0});
  }
  for (std::size_t a = 0; a < table.algorithms(); ++a) {
    const dedupe::KeyOrder order = dedupe::OrderByKey(table.column(a), options.threads);
    const auto& sorted = order.sorted;
    for (std::size_t i = 0; i < sorted.size();) {
      const std::string_view key = table.key(a, sorted[i]);
      std::size_t end = i + 1;
      while (end < sorted.size() && table.key(a, sorted[end]) == key) ++end;
      writer.AddKey(a, key, {sorted.data() + i, end - i});
      i = end;
    }
  }
  return writer.Finish();
}

}  // namespace

Matcher::Matcher(std::unique_ptr<State> state) : state_(std::move(state)) {}
Matcher::Matcher(Matcher&&) noexcept = default;
Matcher& Matcher::operator=(Matcher&&) noexcept = default;
Matcher::~Matcher() = default;

Matcher::Matcher(std::span<const std::string_view> records, const DedupeOptions& options)
    : state_(std::make_unique<State>()) {
  state_->owned = IndexOf(dedupe::ReadWholeBase(records, options), options);
  state_->View(state_->owned, "the index");
}

Matcher Matcher::FromFile(const std::string& path, const DedupeOptions& options) {
  auto state = std::make_unique<State>();
  state->owned = IndexOf(dedupe::ReadWholeBase(path, options), options);
  state->View(state->owned, "the index of " + path);
  return Matcher(std::move(state));
}

Matcher Matcher::Load(const std::string& path) {
  auto state = std::make_unique<State>();
  state->mapped = Mapping(path);
  state->View(state->mapped.bytes(), path);
  return Matcher(std::move(state));
}

namespace {

// One record keyed as the job keys it, with its profile text when
// verifying.
struct KeyedRecord {
  std::vector<std::string> keys;
  std::string profile;
};

KeyedRecord KeyRecord(std::span<const KeyBuilder> builders, bool normalize, bool verify,
                      std::string_view record) {
  dedupe::RecordKeyer keyer(builders, normalize, verify ? dedupe::kProfileItems : 0);
  KeyedRecord out{std::vector<std::string>(builders.size()), {}};
  keyer.Keys(record, out.keys);
  if (verify) {
    out.profile = std::move(keyer.normal());
    dedupe::ProfileTextOf(out.profile, keyer.marks(), &out.profile);
  }
  return out;
}

}  // namespace

std::vector<MatchCandidate> Matcher::Match(std::string_view record, std::size_t limit) const {
  std::shared_lock lock(state_->mutex);
  const State& s = *state_;
  const bool verify = s.options.verify > 0;
  const KeyedRecord keyed = KeyRecord(s.builders, s.options.normalize, verify, record);
  // The record as an input of one, keyed and ordered as a run orders it.
  dedupe::KeyTable input(s.builders.size());
  input.Add(keyed.keys, {1, 0, static_cast<std::uint32_t>(std::min<std::size_t>(record.size(), 0xFFFFFFFFu))});
  std::vector<dedupe::KeyOrder> orders(s.builders.size());
  for (dedupe::KeyOrder& o : orders) o.sorted.push_back(0);
  const std::string& profile = keyed.profile;
  const dedupe::FetchProfiles fetch = [&](std::span<const std::uint32_t> records, std::span<const std::uint32_t> places) {
    return dedupe::MakeProfiles(records, places, [&](std::uint32_t) { return std::string_view(profile); });
  };
  dedupe::LinkOptions link;
  link.verify = s.options.verify;
  link.max_candidates = s.options.max_candidates;
  link.threads = 1;
  const dedupe::Links links = dedupe::LinkToKeyedBase(input, orders, fetch, s, link);
  std::vector<MatchCandidate> out;
  for (const DedupePair& p : links.pairs) {
    if (out.size() == limit) break;
    MatchCandidate& c = out.emplace_back();
    c.record = p.b;
    c.id = std::string(s.Record(p.b).id);
    c.algorithm = p.algorithm;
    c.score = p.score;
    dedupe::CopyParts(p, &c);
  }
  return out;
}

std::uint32_t Matcher::Add(std::string_view record, std::string_view id) {
  std::unique_lock lock(state_->mutex);
  State& s = *state_;
  if (s.size() >= dedupe::KeyTable::kMaxRecords) throw dedupe::UsageError("the base holds as many records as it can");
  KeyedRecord keyed = KeyRecord(s.builders, s.options.normalize, s.options.verify > 0, record);
  const auto number = static_cast<std::uint32_t>(s.size());
  State::Added added{number == 0 ? 1 : s.Record(number - 1).line + 1, std::move(keyed.profile), {}, {}};
  dedupe::AppendPrintable(id, &added.id);
  dedupe::AppendPrintable(record, &added.text);
  s.added.push_back(std::move(added));
  for (std::size_t a = 0; a < s.builders.size(); ++a) s.added_keys[a][keyed.keys[a]].push_back(number);
  return number;
}

void Matcher::Save(const std::string& path) const {
  std::shared_lock lock(state_->mutex);
  const State& s = *state_;
  std::vector<unsigned char> built;
  std::span<const unsigned char> bytes = !s.owned.empty() ? std::span<const unsigned char>(s.owned) : s.mapped.bytes();
  if (!s.added.empty()) {
    built = s.Bytes();
    bytes = built;
  }
  dedupe::ReportFile out(path);
  out.Write(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
  out.Commit();
}

DedupeResult Matcher::Report(const std::string& path, const DedupeOptions& options) const {
  std::shared_lock lock(state_->mutex);
  DedupeOptions o = options;
  const DedupeOptions& base = state_->options;
  o.algorithms = base.algorithms;
  o.optional_items = base.optional_items;
  o.normalize = base.normalize;
  o.verify = base.verify;
  o.max_candidates = base.max_candidates;
  o.id = base.id;
  o.base.clear();
  return dedupe::RunDedupeAgainst(path, o, *state_);
}

std::size_t Matcher::size() const {
  std::shared_lock lock(state_->mutex);
  return state_->size();
}

const DedupeOptions& Matcher::options() const { return state_->options; }

}  // namespace korvix
