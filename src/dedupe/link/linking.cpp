#include "dedupe/link/linking.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <cstring>
#include <limits>
#include <mutex>
#include <utility>
#include <numeric>
#include <optional>
#include <unordered_map>
#include <unordered_set>

#include "base/parallel.h"
#include "dedupe/core/batch_file.h"
#include "dedupe/core/error.h"
#include "dedupe/core/temp_files.h"
#include "dedupe/link/strongest_first.h"

namespace korvix::dedupe {

namespace {

constexpr std::uint32_t kNone = 0xFFFFFFFFu;

std::atomic<bool> collapse_copies{true};
bool CollapseCopies() { return collapse_copies.load(std::memory_order_relaxed); }
std::atomic<std::uint64_t> pairs_per_batch{0};  // 0: as the memory limit allows

// Sets of records. A set's root keeps a number of its caller's in the
// bits of its parent (the root's own number at first), marked by the top
// bit: the groups being grown keep their last record there, which would
// take an array of every record otherwise.
class UnionFind {
 public:
  explicit UnionFind(std::size_t n) {
    if (n > KeyTable::kMaxRecords) {
      throw UsageError("more than " + std::to_string(KeyTable::kMaxRecords) + " records cannot be linked");
    }
    parent_.resize(n);
    for (std::uint32_t x = 0; x < n; ++x) parent_[x] = kRoot | x;
  }
  // Halves the path on the way; a record whose parent is the root is left
  // as it is, so that most Finds read their records without writing them
  // (a written page of an array beyond the memory limit goes back to disk).
  std::uint32_t Find(std::uint32_t x) {
    for (;;) {
      const std::uint32_t parent = parent_[x];
      if (parent & kRoot) return x;
      const std::uint32_t up = parent_[parent];
      if (up & kRoot) return parent;
      parent_[x] = up;
      x = up;
    }
  }
  // The root of the joined set is the smaller, and keeps its number.
  void Union(std::uint32_t a, std::uint32_t b) {
    a = Find(a);
    b = Find(b);
    if (a != b) parent_[std::max(a, b)] = std::min(a, b);
  }
  // Makes x a set of its own again. REQUIRES: every record of its set is made so.
  void Reset(std::uint32_t x) { parent_[x] = kRoot | x; }
  // The number kept by a root. REQUIRES: it fits in 31 bits.
  std::uint32_t kept(std::uint32_t root) const { return parent_[root] & ~kRoot; }
  void Keep(std::uint32_t root, std::uint32_t number) { parent_[root] = kRoot | number; }

 private:
  static constexpr std::uint32_t kRoot = 0x80000000u;
  BigVector<std::uint32_t> parent_;
};

// Packed: tens of millions are held while scoring and grouping, the
// largest arrays of a run, and 9 bytes a pair are a quarter less than 12.
// The numbers may lie unaligned, so they are read into values, never bound
// to a reference (as std::max and a map's count would bind them).
struct [[gnu::packed]] Candidate {
  std::uint32_t a, b;
  std::uint8_t algorithm;  // 0-based
};
static_assert(sizeof(Candidate) == 9);

// Sorts `items` stably by key(item), a number of `bits` bits: a radix sort,
// 11 bits at a time, in a few passes where a comparison sort of millions
// would take dozens, each pass on all threads (each counts and moves a
// range of its own).
template <class T, class Key>
void RadixSort(BigVector<T>* items, int bits, unsigned threads, const Key& key) {
  constexpr int kDigit = 11;
  constexpr std::size_t kValues = std::size_t{1} << kDigit;
  const std::size_t n = items->size();
  const std::size_t parts = base::PartsFor(n, threads, 1 << 16);
  const auto range_begin = [n, parts](std::size_t t) { return n * t / parts; };
  BigVector<T> other(n);
  std::vector<std::array<std::size_t, kValues>> at(parts);
  for (int shift = 0; shift < bits; shift += kDigit) {
    const auto digit = [&key, shift](const T& item) {
      return static_cast<std::size_t>(key(item) >> shift & (kValues - 1));
    };
    base::ParallelParts(parts, [&](std::size_t t) {
      at[t].fill(0);
      for (std::size_t i = range_begin(t); i < range_begin(t + 1); ++i) ++at[t][digit((*items)[i])];
    });
    std::size_t sum = 0;
    for (std::size_t v = 0; v < kValues; ++v) {
      for (std::size_t t = 0; t < parts; ++t) sum += std::exchange(at[t][v], sum);
    }
    base::ParallelParts(parts, [&](std::size_t t) {
      for (std::size_t i = range_begin(t); i < range_begin(t + 1); ++i) {
        const T& item = (*items)[i];
        other[at[t][digit(item)]++] = item;
      }
    });
    items->swap(other);
  }
}

// The profiles of one side's candidate records, found by record number.
// They lie in the order of the first key, not of the records: the pairs
// to compare are records that share a key, mostly the first, so that
// comparing them in that order finds their profiles next to each other in
// memory instead of all over it, where every pair waits for memory.
class ProfileSet {
 public:
  // `layout` holds every record number, in key order.
  ProfileSet(std::size_t records, const std::vector<std::uint8_t>& wanted,
             std::span<const std::uint32_t> layout, const FetchProfiles& fetch)
      : place_(records, kNone) {
    std::uint32_t places = 0;
    for (const std::uint32_t r : layout) {
      if (wanted[r]) place_[r] = places++;
    }
    BigVector<std::uint32_t> ascending, at;
    ascending.reserve(places);
    at.reserve(places);
    for (std::uint32_t r = 0; r < records; ++r) {
      if (wanted[r]) {
        ascending.push_back(r);
        at.push_back(place_[r]);
      }
    }
    places_ = places;
    if (!ascending.empty()) list_ = fetch(ascending, at);
  }
  const Profile& operator[](std::uint32_t record) const { return list_.at(place_[record]); }
  const Profile& at_place(std::uint32_t place) const { return list_.at(place); }
  std::size_t memory() const { return 4 * place_.capacity() + list_.memory(); }
  std::uint32_t place(std::uint32_t record) const { return place_[record]; }
  std::size_t places() const { return places_; }
  // The profile that record's is, shared with its copies: a number below size().
  std::uint32_t profile(std::uint32_t record) const { return list_.index(place_[record]); }
  std::size_t size() const { return list_.profiles.size(); }  // distinct profiles
  std::size_t records() const { return place_.size(); }  // with a profile or without

 private:
  BigVector<std::uint32_t> place_;  // of each record's profile, kNone without one
  std::size_t places_ = 0;
  ProfileList list_;
};

// What a run holds against LinkOptions::memory: the keys, the profiles,
// the arrays by record and the candidate pairs. What does not fit goes to
// a file (spill.h); the candidate pairs get what is left, at least a
// quarter of the limit, and are made in batches beyond that.
class Budget {
 public:
  // A candidate pair at its most, while it is scored: itself (9 bytes),
  // its score (4) and its place in the order of profiles (16, twice while
  // that is sorted). 48 are counted, the sum before the pairs were packed:
  // the runs under a limit were measured with that margin.
  static constexpr std::uint64_t kPairBytes = 48;

  explicit Budget(const LinkOptions& options) : limit_(options.memory), held_(options.held) {}

  void Hold(std::uint64_t bytes) { held_ += bytes; }

  // The candidate pairs that fit in what is left, `also` bytes more held.
  std::uint64_t pairs(std::uint64_t also = 0) const {
    if (limit_ == 0) return std::numeric_limits<std::uint64_t>::max();
    const std::uint64_t held = held_ + also;
    return std::max(limit_ - std::min(limit_, held), limit_ / 4) / kPairBytes;
  }

  // Refuses `wanted` candidate pairs and more, as pairs(also) says they do
  // not fit.
  [[noreturn]] void RefusePairs(std::uint64_t wanted, std::uint64_t also = 0) const {
    throw MemoryError("the candidate pairs of the keys, " + std::to_string(wanted) + " and more, need more than the " +
                      MemorySizeText(pairs(also) * kPairBytes) + " left of the memory limit of " +
                      MemorySizeText(limit_) + ": raise the limit (--memory), or key with algorithms that " +
                      "fewer records share, or lower the records compared by key (max_candidates)");
  }

 private:
  std::uint64_t limit_, held_;
};

// Records that verification cannot tell apart: the same profile and the
// same key under every algorithm, so that they share every run and score
// alike against any other record. A class of them whose self-score links
// and is not apart is compared once, not pairwise: the pairs within it are
// not made, only where they reach is noted (a pair within a class links its
// two records, and the pairs from one record reach a stretch of the class
// that follows it, as keys are in input order), and the class is grouped
// from that alone when none of its records links to a record outside it.
// A class that does link outside is linked pair by pair like any record.
class Copies {
 public:
  static constexpr std::uint32_t kNoClass = kNone;
  // Fewer copies are compared pairwise: a class costs two scores and the
  // keys compared, and realistic files hold copies mostly in twos and threes.
  static constexpr std::size_t kFewest = 8;

  Copies(const KeyTable& table, std::size_t algorithms, const ProfileSet& profiles,
         const std::vector<std::uint8_t>& wanted, const LinkOptions& options)
      : algorithms_(algorithms) {
    const std::size_t n = profiles.records();
    // Copies share one profile as they are made (ProfileList::profile_of):
    // the records of each shared profile, in input order, split by their
    // keys. A copy whose profile was made anew is linked pair by pair,
    // with the same outcome.
    BigVector<std::uint32_t> begin(profiles.size() + 1, 0);
    std::uint32_t most = 0;
    for (std::uint32_t r = 0; r < n; ++r) {
      if (wanted[r]) most = std::max(most, ++begin[profiles.profile(r) + 1]);
    }
    if (most < kFewest) return;
    place_.assign(n, kNoClass);
    for (std::size_t q = 0; q < profiles.size(); ++q) begin[q + 1] += begin[q];
    BigVector<std::uint32_t> by_profile(begin.back());
    {
      BigVector<std::uint32_t> at(begin.begin(), begin.end() - 1);
      for (std::uint32_t r = 0; r < n; ++r) {
        if (wanted[r]) by_profile[at[profiles.profile(r)]++] = r;
      }
    }
    // Split by their keys, each record into the first class of its profile
    // whose keys it has: walked in input order, so that the key table is
    // read front to back however far apart copies lie, each class keeping
    // the keys of its first record beside. place_ holds each record's place
    // among its profile's classes until they are gathered.
    {
      struct Split {
        std::uint32_t next;  // the profile's next class, kNone after the last
        std::uint64_t keys;  // where its keys begin in `kept`
      };
      BigVector<Split> splits;
      BigVector<char> kept;
      BigVector<std::uint32_t> first(profiles.size(), kNone);  // each profile's first class
      for (std::uint32_t r = 0; r < n; ++r) {
        if (options.progress && r % (1 << 16) == 0) options.progress("finding copies", r, n);
        if (!wanted[r]) continue;
        const std::uint32_t q = profiles.profile(r);
        if (begin[q + 1] - begin[q] < kFewest) continue;
        std::uint32_t* link = &first[q];
        std::uint32_t place = 0;
        for (; *link != kNone && !KeptKeys(table, kept, splits[*link].keys, r); ++place) link = &splits[*link].next;
        if (*link == kNone) {
          *link = static_cast<std::uint32_t>(splits.size());
          splits.push_back({kNone, kept.size()});
          Keep(table, r, &kept);
        }
        place_[r] = place;
      }
      table.Cool();  // parked, the keys leave memory again
    }
    std::vector<std::vector<std::uint32_t>> found;
    for (std::size_t q = 0; q < profiles.size(); ++q) {
      if (begin[q + 1] - begin[q] < kFewest) continue;
      found.clear();
      for (std::size_t k = begin[q]; k < begin[q + 1]; ++k) {
        const std::uint32_t r = by_profile[k];
        if (place_[r] >= found.size()) found.resize(place_[r] + 1);
        found[place_[r]].push_back(r);
        place_[r] = kNoClass;
      }
      for (auto& f : found) {
        if (f.size() < kFewest) continue;
        const Profile& p = profiles[f[0]];
        const auto self = static_cast<float>(Score(p, p, options.verify));
        if (self < static_cast<float>(options.verify) || Score(p, p) < kApart) continue;
        Add(f, self);
      }
    }
    if (empty()) return;
    // A member reaches itself until its pairs are noted.
    reach_.resize(algorithms_);
    for (auto& reach : reach_) {
      reach.resize(members_.size());
      for (std::size_t c = 0; c < classes(); ++c) {
        for (std::size_t k = begin_[c]; k < begin_[c + 1]; ++k) reach[k] = static_cast<std::uint32_t>(k - begin_[c]);
      }
    }
  }

  bool empty() const { return self_.empty(); }
  std::size_t classes() const { return self_.size(); }
  std::uint32_t of(std::uint32_t record) const {
    return place_.empty() || place_[record] == kNoClass ? kNoClass : class_of_[place_[record]];
  }
  std::span<const std::uint32_t> members(std::size_t c) const {
    return {members_.data() + begin_[c], begin_[c + 1] - begin_[c]};
  }
  float self(std::size_t c) const { return self_[c]; }

  // True when a and b are of one class: their pair is not made, but noted
  // as made under `algorithm`. A class lies in one run per algorithm, so a
  // thread notes only its own.
  bool Within(std::uint32_t a, std::uint32_t b, std::uint8_t algorithm) {
    const std::uint32_t c = of(a);
    if (c == kNoClass || c != of(b)) return false;
    if (a > b) std::swap(a, b);
    std::uint32_t& reach = reach_[algorithm][place_[a]];
    reach = std::max(reach, static_cast<std::uint32_t>(place_[b] - begin_[c]));
    return true;
  }
  // The last member (its place in the class) that `record` is paired with
  // under `algorithm`; its own place when none.
  std::uint32_t reach(std::size_t algorithm, std::uint32_t record) const {
    return reach_[algorithm][place_[record]];
  }

  // Classes that link outside are linked pair by pair: they are forgotten.
  // The others keep where they reach: their pairs are not made again.
  void Drop(const std::vector<std::uint8_t>& dropped) {
    // Moved down in place: the kept members' places only fall.
    std::vector<std::size_t> begin{0};
    std::size_t kept = 0;
    for (std::size_t c = 0; c < classes(); ++c) {
      if (dropped[c]) {
        for (const std::uint32_t r : members(c)) place_[r] = kNoClass;
        continue;
      }
      for (std::size_t from = begin_[c]; from < begin_[c + 1]; ++from) {
        const std::size_t to = begin.back() + (from - begin_[c]);
        members_[to] = members_[from];
        class_of_[to] = static_cast<std::uint32_t>(kept);
        place_[members_[to]] = static_cast<std::uint32_t>(to);
        for (auto& reach : reach_) reach[to] = reach[from];
      }
      begin.push_back(begin.back() + (begin_[c + 1] - begin_[c]));
      self_[kept++] = self_[c];
    }
    members_.resize(begin.back());
    class_of_.resize(begin.back());
    for (auto& reach : reach_) reach.resize(begin.back());
    self_.resize(kept);
    begin_ = std::move(begin);
  }

 private:
  void Add(const std::vector<std::uint32_t>& records, float self) {
    const auto c = static_cast<std::uint32_t>(self_.size());
    if (begin_.empty()) begin_.push_back(0);
    for (const std::uint32_t r : records) {
      place_[r] = static_cast<std::uint32_t>(members_.size());
      members_.push_back(r);
      class_of_.push_back(c);
    }
    begin_.push_back(members_.size());
    self_.push_back(self);
  }

  // Records of one shared profile are copies of one another where their
  // keys are equal too: all that Score reads of them is (their profiles are
  // copies of one, made from one text), but their keys may read fields the
  // profile does not. The keys of a record are kept as each one's length,
  // then its bytes.
  static void Keep(const KeyTable& table, std::uint32_t r, BigVector<char>* kept) {
    for (std::size_t k = 0; k < table.algorithms(); ++k) {
      const std::string_view key = table.key(k, r);
      const auto size = static_cast<std::uint32_t>(key.size());
      const char* bytes = reinterpret_cast<const char*>(&size);
      kept->insert(kept->end(), bytes, bytes + sizeof size);
      kept->insert(kept->end(), key.begin(), key.end());
    }
  }
  // Whether record r has the keys kept from `at` on.
  static bool KeptKeys(const KeyTable& table, const BigVector<char>& kept, std::uint64_t at, std::uint32_t r) {
    for (std::size_t k = 0; k < table.algorithms(); ++k) {
      std::uint32_t size;
      std::memcpy(&size, kept.data() + at, sizeof size);
      at += sizeof size;
      if (table.key(k, r) != std::string_view(kept.data() + at, size)) return false;
      at += size;
    }
    return true;
  }

  std::size_t algorithms_ = 0;
  // Each record's place in members_, kNoClass for none: what is kept per
  // member, not per record, as most records are in no class.
  BigVector<std::uint32_t> place_;
  std::vector<std::uint32_t> members_;  // of each class in turn, ascending
  std::vector<std::size_t> begin_;
  std::vector<float> self_;  // each class's score of a record against itself
  std::vector<std::uint32_t> class_of_;  // of each member
  std::vector<BigVector<std::uint32_t>> reach_;  // by algorithm and member
};

// Records that share a key: the pairs among them, or between left and right.
// Millions are held while the pairs are made, in 32 bytes each: the key,
// which only a large run tells, is kept apart (RunList::keys).
class Run {
 public:
  static constexpr std::uint32_t kNoKey = ~std::uint32_t{0};
  Run(std::span<const std::uint32_t> left, std::span<const std::uint32_t> right, std::uint8_t algorithm,
      std::uint32_t key)
      : left_(left.data()),
        right_(right.data()),
        left_size_(static_cast<std::uint32_t>(left.size())),
        right_size_(static_cast<std::uint32_t>(right.size())),
        key_(key),
        algorithm_(algorithm) {}
  std::span<const std::uint32_t> left() const { return {left_, left_size_}; }
  std::span<const std::uint32_t> right() const { return {right_, right_size_}; }
  std::uint8_t algorithm() const { return algorithm_; }
  std::uint32_t key() const { return key_; }  // in RunList::keys, or kNoKey

 private:
  const std::uint32_t* left_;
  const std::uint32_t* right_;
  std::uint32_t left_size_, right_size_, key_;
  std::uint8_t algorithm_;
};
static_assert(sizeof(Run) == 32);

struct RunList {
  BigVector<Run> runs;
  std::vector<std::string_view> keys;
  // `key` empty: the run does not tell it.
  void Add(std::span<const std::uint32_t> left, std::span<const std::uint32_t> right, std::uint8_t algorithm,
           std::string_view key) {
    std::uint32_t at = Run::kNoKey;
    if (!key.empty()) {
      at = static_cast<std::uint32_t>(keys.size());
      keys.push_back(key);
    }
    runs.emplace_back(left, right, algorithm, at);
  }
};

// What candidate pairs are made of: the runs, within one side (`right`
// null) or between two; `made`, `copies` and `only` as PairMaker takes them
// (with `only`, the messages of large keys were told before).
struct PairSource {
  std::span<const Run> runs;
  std::span<const std::string_view> keys;  // RunList::keys
  const ProfileSet* left;
  const ProfileSet* right;
  bool within;
  const std::vector<BigVector<std::uint32_t>>* made;
  Copies* copies;
  const std::vector<std::uint32_t>* only = nullptr;
  // Called once the pairs are made (may be null): the parked keys and
  // orders they were made from may leave memory for the links.
  std::function<void()> paired = nullptr;
};

// Of the records of keys shared by too many records, the key that splits
// them: a hash of postcode, house number and the sounds of the name words in
// order, taken once before pairs are made, in the order of the records:
// taken for each key that a record is in, it would read the record's profile
// again and again from all over memory (or a spill file). Two different ones
// that hash alike (about one pair in 10^19) stay one part: their records are
// compared, not linked unseen.
class SplitKeys {
 public:
  SplitKeys(const PairSource& source, std::size_t most, unsigned threads) {
    if (source.left == nullptr) return;  // no profiles: nothing verifies, nothing splits
    std::vector<std::uint8_t> left(source.left->records(), 0), right;
    if (!source.within) right.assign(source.right->records(), 0);
    bool any = false;
    for (const Run& run : source.runs) {
      if ((source.within ? run.left().size() : run.left().size() + run.right().size()) <= most) continue;
      any = true;
      for (const std::uint32_t r : run.left()) left[r] = 1;
      for (const std::uint32_t r : run.right()) right[r] = 1;
    }
    if (!any) return;
    Take(*source.left, left, threads, &left_);
    if (!source.within) Take(*source.right, right, threads, &right_);
  }

  std::uint64_t of(std::uint32_t record, bool right) const { return right ? (*right_)[record] : (*left_)[record]; }
  std::size_t memory() const { return 8 * ((left_ ? left_->size() : 0) + (right_ ? right_->size() : 0)); }

 private:
  static void Take(const ProfileSet& profiles, const std::vector<std::uint8_t>& wanted, unsigned threads,
                   std::optional<BigArray<std::uint64_t>>* into) {
    BigArray<std::uint64_t>& keys = into->emplace(wanted.size());
    base::ParallelFor(wanted.size(), threads, 1 << 14, [&](std::size_t begin, std::size_t end) {
      std::vector<std::uint64_t> sounds;
      std::string bytes;
      for (std::size_t r = begin; r < end; ++r) {
        if (!wanted[r]) continue;
        const Profile& p = profiles[static_cast<std::uint32_t>(r)];
        sounds.clear();
        for (const Profile::Word& w : p.name()) sounds.push_back(w.sound);
        std::sort(sounds.begin(), sounds.end());
        // Neither postcode nor house number holds a '|'.
        bytes.assign(p.plz()).append(1, '|').append(p.number).append(1, '|');
        bytes.append(reinterpret_cast<const char*>(sounds.data()), sounds.size() * sizeof(std::uint64_t));
        keys[r] = std::hash<std::string_view>()(bytes);
      }
    });
  }

  std::optional<BigArray<std::uint64_t>> left_, right_;  // by record, set where wanted
};

class PairStore;

// Adds the candidate pairs of records that share one key: `left` with
// `right`, or within `left` when `right` is empty. Too many records are
// split by their SplitKeys; a part still too large pairs each record only
// with its next `max` neighbours in that order.
class PairMaker {
 public:
  // Adds to `out`; the messages of large keys go to `messages`. `made`
  // (may be null) holds, for each algorithm but the last, the records whose
  // key all of whose records are paired (see AllPaired): a pair of those
  // is not made again under a later algorithm, which would only keep the
  // first anyway. `splits` null: no key is split.
  // `only` (may be null): the pairs of two records of one class in it
  // alone are made.
  // `out` is handed on to `store` whenever it holds `cap` pairs.
  PairMaker(const LinkOptions& options, const std::vector<BigVector<std::uint32_t>>* made,
            Copies* copies, const SplitKeys* splits, const std::vector<std::uint32_t>* only,
            BigVector<Candidate>* out, PairStore* store, std::size_t cap, std::vector<std::string>* messages)
      : options_(options), made_(made), copies_(copies), splits_(splits), only_(only), out_(out), store_(store),
        cap_(cap), messages_(messages) {}

  // Hands on what `out` holds; called at the end of each piece of runs.
  void HandOn();

  void Add(std::span<const std::uint32_t> left, std::span<const std::uint32_t> right, std::uint8_t algorithm,
           std::string_view key, bool within) {
    const std::size_t max = std::max<std::size_t>(options_.max_candidates, 2);
    const std::size_t size = within ? left.size() : left.size() + right.size();
    if (size <= max || splits_ == nullptr) {
      AllPairs(left, right, algorithm, within);
      return;
    }
    if (options_.message) {
      messages_->push_back("key \"" + std::string(key) + "\" of algorithm " +
                           std::to_string(algorithm + 1) + " is shared by " + std::to_string(size) +
                           " records, more than " + std::to_string(max) +
                           "; they are compared only within equal postcode, house number and name sound");
    }
    // The parts are runs of equal split keys in input order; the order of
    // the parts themselves does not matter.
    entries_.clear();
    for (const std::uint32_t r : left) {
      entries_.push_back({splits_->of(r, false), static_cast<std::uint32_t>(entries_.size()), r, false});
    }
    if (!within) {
      for (const std::uint32_t r : right) {
        entries_.push_back({splits_->of(r, true), static_cast<std::uint32_t>(entries_.size()), r, true});
      }
    }
    std::sort(entries_.begin(), entries_.end(),
              [](const Entry& x, const Entry& y) { return x.split != y.split ? x.split < y.split : x.place < y.place; });
    const BigVector<Entry>& entries = entries_;
    if (within) {
      records_.clear();
      for (const Entry& e : entries) records_.push_back(e.record);
      Gather(records_, algorithm);
    }
    for (std::size_t i = 0; i < entries.size();) {
      std::size_t end = i + 1;
      while (end < entries.size() && entries[end].split == entries[i].split) ++end;
      if (within && copies_ != nullptr) SameClassUntil(entries, i, end);
      for (std::size_t x = i; x < end; ++x) {
        std::size_t y = x + 1;
        if (within && copies_ != nullptr) {
          // Copies that follow x are passed over at once: only their reach counts.
          const std::size_t same = std::min({end, x + max, same_until_[x - i]});
          if (same > y) {
            copies_->Within(entries[x].record, entries[same - 1].record, algorithm);
            y = same;
          }
        }
        for (; y < std::min(end, x + max); ++y) {
          const Entry& p = entries[x];
          const Entry& q = entries[y];
          if (within) {
            if (PairedBefore(x, y) || (copies_ != nullptr && copies_->Within(p.record, q.record, algorithm)) ||
                !Wanted(p.record, q.record)) {
              continue;
            }
            out_->push_back({std::min(p.record, q.record), std::max(p.record, q.record), algorithm});
          } else if (p.right != q.right) {
            out_->push_back({p.right ? q.record : p.record, p.right ? p.record : q.record, algorithm});
          }
        }
        HandOnWhenFull();
      }
      i = end;
    }
  }

 private:
  // A record of a split key.
  struct Entry {
    std::uint64_t split;
    std::uint32_t place;  // in the key's order
    std::uint32_t record;
    bool right;
  };

  void AllPairs(std::span<const std::uint32_t> left, std::span<const std::uint32_t> right,
                std::uint8_t algorithm, bool within) {
    if (within) Gather(left, algorithm);
    for (std::size_t i = 0; i < left.size(); ++i) {
      if (within) {
        for (std::size_t j = i + 1; j < left.size(); ++j) {
          if (PairedBefore(i, j) || (copies_ != nullptr && copies_->Within(left[i], left[j], algorithm)) ||
              !Wanted(left[i], left[j])) {
            continue;
          }
          out_->push_back({std::min(left[i], left[j]), std::max(left[i], left[j]), algorithm});
        }
      } else {
        for (const std::uint32_t r : right) out_->push_back({left[i], r, algorithm});
      }
      HandOnWhenFull();
    }
  }

  void HandOnWhenFull() {
    if (out_->size() >= cap_) HandOn();
  }

  bool Wanted(std::uint32_t a, std::uint32_t b) const {
    return only_ == nullptr || ((*only_)[a] != kNone && (*only_)[a] == (*only_)[b]);
  }

  // For each entry from `begin` to `end`, where the run of entries of its
  // class of copies that it starts ends (the next entry for none).
  void SameClassUntil(const BigVector<Entry>& entries, std::size_t begin, std::size_t end) {
    same_until_.resize(end - begin);
    for (std::size_t k = end; k-- > begin;) {
      const std::uint32_t c = copies_->of(entries[k].record);
      const bool same = k + 1 < end && c != Copies::kNoClass && copies_->of(entries[k + 1].record) == c;
      same_until_[k - begin] = same ? same_until_[k + 1 - begin] : k + 1;
    }
  }

  // Takes the keys under the algorithms before `algorithm` of `records`,
  // those PairedBefore compares, at hand: in `made` they lie all over.
  void Gather(std::span<const std::uint32_t> records, std::uint8_t algorithm) {
    before_ = made_ == nullptr ? 0 : std::min<std::size_t>(algorithm, made_->size());
    made_keys_.resize(records.size() * before_);
    for (std::size_t i = 0; i < records.size(); ++i) {
      for (std::size_t b = 0; b < before_; ++b) made_keys_[i * before_ + b] = (*made_)[b][records[i]];
    }
  }

  // True when the records at i and j of those gathered share a key under an
  // earlier algorithm whose records are all paired: the pair is made there.
  bool PairedBefore(std::size_t i, std::size_t j) const {
    for (std::size_t b = 0; b < before_; ++b) {
      const std::uint32_t key = made_keys_[i * before_ + b];
      if (key != 0 && key == made_keys_[j * before_ + b]) return true;
    }
    return false;
  }

  const LinkOptions& options_;
  const std::vector<BigVector<std::uint32_t>>* made_;
  Copies* copies_;  // may be null
  const SplitKeys* splits_;  // may be null
  const std::vector<std::uint32_t>* only_;  // may be null
  BigVector<Candidate>* out_;
  PairStore* store_;
  std::size_t cap_;
  std::vector<std::string>* messages_;
  // As long as the largest run: the whole input where it is one address.
  BigVector<Entry> entries_;
  BigVector<std::uint32_t> records_, made_keys_;
  BigVector<std::size_t> same_until_;
  std::size_t before_ = 0;
};

// Batches are cut between blocks of this many records, whose bounds take
// little room beside the records' own arrays.
constexpr std::size_t kBatchBlock = 64;

// The candidate pairs held in memory at once, at most, where they can be
// scored in batches: 100 MB at 48 bytes a pair, some four times what a
// realistic million records make. Batches through the file's cache cost
// less than the fresh pages of more pairs at once.
constexpr std::uint64_t kMostPairsAtOnce = std::uint64_t{1} << 21;

// At most the pairs that the records of each block make as their first
// record (the input's, against a base): each all records after it in a
// run that is paired whole, its neighbours on either side in a split one.
std::vector<std::uint64_t> PairBounds(const PairSource& source, std::size_t records, const LinkOptions& options) {
  const std::uint64_t most = std::max<std::size_t>(options.max_candidates, 2);
  std::vector<std::uint64_t> bound((records + kBatchBlock - 1) / kBatchBlock, 0);
  for (const Run& run : source.runs) {
    const std::uint64_t size = source.within ? run.left().size() : run.left().size() + run.right().size();
    const std::uint64_t others = source.within ? size - 1 : run.right().size();
    for (std::size_t i = 0; i < run.left().size(); ++i) {
      const std::uint64_t pairs = size > most ? std::min(others, 2 * (most - 1))
                                  : source.within ? size - 1 - i
                                                  : others;
      bound[run.left()[i] / kBatchBlock] += pairs;
    }
  }
  return bound;
}

// The candidate pairs as PairMaker hands them on, from any thread, in no
// set order: in memory while they fit `room`. Beyond it they are laid out in
// a temporary file by the batch of their first record (the input's, against
// a base), batches that each fit `room` (PairBounds), to be scored one after
// the other; or, where all must be at hand at once, they are too many.
class PairStore {
 public:
  // `batches_of` (null: all at once) and `records` are what batches are
  // cut from, `temp` where their file goes (null: a folder of its own).
  PairStore(std::uint64_t room, const PairSource* batches_of, std::size_t records, TempFolder* temp,
            const LinkOptions& options)
      : room_(room), batches_of_(batches_of), records_(records), temp_(temp), options_(options) {}

  void Put(std::span<const Candidate> pairs) {
    const std::lock_guard lock(mutex_);
    if (too_many_) return;
    if (!file_ && memory_.size() + pairs.size() <= room_) {
      memory_.insert(memory_.end(), pairs.begin(), pairs.end());
      return;
    }
    if (batches_of_ == nullptr) {
      too_many_ = true;
      BigVector<Candidate>().swap(memory_);
      return;
    }
    if (!file_) {
      StartFile();
      LayOut(memory_);
      BigVector<Candidate>().swap(memory_);
    }
    LayOut(pairs);
  }

  bool too_many() const { return too_many_; }
  bool in_file() const { return file_ != nullptr; }
  BigVector<Candidate> TakeAll() { return std::move(memory_); }
  std::uint32_t batches() const { return batches_; }
  std::uint64_t made(std::uint32_t k) const { return file_->size(k) / sizeof(Candidate); }
  BigVector<Candidate> TakeBatch(std::uint32_t k) {
    BigVector<Candidate> pairs(made(k));
    file_->Read(k, reinterpret_cast<char*>(pairs.data()));
    return pairs;
  }

 private:
  void StartFile() {
    const std::vector<std::uint64_t> bound = PairBounds(*batches_of_, records_, options_);
    batch_of_.resize(bound.size());
    for (std::size_t begin = 0; begin < bound.size(); ++batches_) {  // in blocks
      std::size_t end = begin + 1;
      for (std::uint64_t pairs = bound[begin]; end < bound.size() && pairs + bound[end] <= room_; ++end) {
        pairs += bound[end];
      }
      std::fill(batch_of_.begin() + static_cast<std::ptrdiff_t>(begin),
                batch_of_.begin() + static_cast<std::ptrdiff_t>(end), batches_);
      begin = end;
    }
    file_ = std::make_unique<BatchFile>(batches_, temp_ != nullptr ? *temp_ : own_temp_.emplace());
  }

  void LayOut(std::span<const Candidate> pairs) {
    const auto batch = [this](const Candidate& c) { return batch_of_[c.a / kBatchBlock]; };
    std::vector<std::size_t> at(batches_ + 1, 0);
    for (const Candidate& c : pairs) ++at[batch(c) + 1];
    std::partial_sum(at.begin(), at.end(), at.begin());
    BigVector<Candidate> by_batch(pairs.size());
    std::vector<std::size_t> next(at.begin(), at.end() - 1);
    for (const Candidate& c : pairs) by_batch[next[batch(c)]++] = c;
    for (std::uint32_t k = 0; k < batches_; ++k) {
      file_->Append(k, {reinterpret_cast<const char*>(by_batch.data() + at[k]), (at[k + 1] - at[k]) * sizeof(Candidate)});
    }
  }

  std::mutex mutex_;  // guards what Put changes
  const std::uint64_t room_;
  const PairSource* batches_of_;
  const std::size_t records_;
  TempFolder* temp_;
  const LinkOptions& options_;
  std::atomic<bool> too_many_{false};
  BigVector<Candidate> memory_;
  std::optional<TempFolder> own_temp_;
  std::unique_ptr<BatchFile> file_;
  std::vector<std::uint32_t> batch_of_;  // of each block
  std::uint32_t batches_ = 0;
};

void PairMaker::HandOn() {
  store_->Put(*out_);
  out_->clear();
}

// Makes the candidate pairs of `source` into `store`, on all threads: the
// runs are cut into pieces of about equal work, each with messages of its
// own, told in order at the end when `tell`. Each thread hands on its
// pairs a few at a time, so that what it gathers stays small beside `room`.
void MakePairs(const PairSource& source, const SplitKeys* splits, std::uint64_t room, bool tell,
               const LinkOptions& options, PairStore* store) {
  const std::span<const Run> runs = source.runs;
  const std::size_t threads = options.threads == 0 ? base::UsableProcessors() : options.threads;
  const std::size_t most = std::max<std::size_t>(options.max_candidates, 2);
  const auto work = [&](const Run& r) {
    const std::size_t size = r.left().size() + r.right().size();
    return size * std::min(size, most);
  };
  std::size_t total = 0;
  for (const Run& r : runs) total += work(r);
  const std::size_t pieces = std::min(runs.size(), 8 * threads);
  std::vector<std::size_t> ends;  // the end of each piece in `runs`
  for (std::size_t i = 0, done = 0; i < runs.size(); ++i) {
    done += work(runs[i]);
    if (done * pieces >= total * (ends.size() + 1)) ends.push_back(i + 1);
  }
  if (ends.empty() || ends.back() != runs.size()) ends.push_back(runs.size());
  std::vector<std::vector<std::string>> messages(ends.size());
  std::atomic<std::size_t> next{0};
  // A sixteenth of the room, in all threads together.
  const std::size_t cap = std::clamp<std::uint64_t>(room / 16 / threads, 4096, 1 << 20);
  // The work done by all threads, added in steps; the calling thread tells
  // it as the share of the keys.
  std::atomic<std::uint64_t> worked{0};
  constexpr std::uint64_t kWorkStep = 1 << 18;
  base::ParallelParts(std::min(threads, ends.size()), [&](std::size_t part) {
    BigVector<Candidate> pairs;
    std::uint64_t mine = 0;  // not yet added to `worked`
    for (std::size_t p; (p = next++) < ends.size();) {
      PairMaker maker(options, source.made, source.copies, splits, source.only, &pairs, store, cap, &messages[p]);
      for (std::size_t i = p == 0 ? 0 : ends[p - 1]; i < ends[p] && !store->too_many(); ++i) {
        const Run& run = runs[i];
        maker.Add(run.left(), run.right(), run.algorithm(),
                  run.key() == Run::kNoKey ? std::string_view() : source.keys[run.key()], source.within);
        if ((mine += work(runs[i])) < kWorkStep) continue;
        const std::uint64_t now = worked.fetch_add(mine, std::memory_order_relaxed) + mine;
        mine = 0;
        if (part == 0 && options.progress) {
          options.progress("pairing", static_cast<std::uint64_t>(static_cast<double>(now) / total * runs.size()),
                           runs.size());
        }
      }
      maker.HandOn();
    }
  });
  // Data drawn from few addresses can have thousands of large keys: the
  // first ones are named, the rest counted, so that the notes stay readable.
  constexpr std::size_t kNamedLargeKeys = 10;
  std::size_t large_keys = 0;
  for (const std::vector<std::string>& piece : messages) {
    for (const std::string& m : piece) {
      if (tell && large_keys++ < kNamedLargeKeys) options.message(m);
    }
  }
  if (large_keys > kNamedLargeKeys) {
    options.message(std::to_string(large_keys - kNamedLargeKeys) + " more keys are shared by more than " +
                    std::to_string(most) + " records; they too are compared only within equal postcode, "
                    "house number and name sound");
  }
}

// Each pair once, with the first algorithm that made it, whatever order
// they came in: sorted by (a, b), each run of one pair kept as its smallest
// algorithm. Sorted by the record numbers alone, the pairs of up to four
// million records take four passes, where the algorithm's bits would make
// five.
void Unique(BigVector<Candidate>* pairs, unsigned threads) {
  std::uint32_t most_a = 0, most_b = 0;
  for (const Candidate& c : *pairs) {
    most_a = std::max(most_a, std::uint32_t{c.a});
    most_b = std::max(most_b, std::uint32_t{c.b});
  }
  const int b_bits = std::bit_width(most_b);
  RadixSort(pairs, std::bit_width(most_a) + b_bits, threads,
            [b_bits](const Candidate& c) { return (std::uint64_t{c.a} << b_bits) | c.b; });
  auto kept = pairs->begin();
  for (auto at = pairs->begin(); at != pairs->end();) {
    Candidate pair = *at;
    for (++at; at != pairs->end() && at->a == pair.a && at->b == pair.b; ++at) {
      pair.algorithm = std::min(pair.algorithm, at->algorithm);
    }
    *kept++ = pair;
  }
  pairs->erase(kept, pairs->end());
}

// Where the pairs of one batch lie among all made: `before` of `total`
// were made in the batches before it, `made` in it (before Unique).
struct BatchShare {
  std::uint64_t before = 0, made = 0, total = 0;
};

BigVector<float> ScorePairs(const BigVector<Candidate>& pairs, const ProfileSet& left,
                              const ProfileSet& right, const LinkOptions& options, BatchShare share = {}) {
  // The pairs in the order of their profiles (see ProfileSet).
  struct Next {
    std::uint64_t place;  // of a's profile, then of b's
    std::uint32_t pair;
  };
  const int b_bits = std::bit_width(right.places());
  const std::uint64_t b_mask = (std::uint64_t{1} << b_bits) - 1;
  BigVector<Next> order(pairs.size());
  base::ParallelFor(pairs.size(), options.threads, 1 << 16, [&](std::size_t begin, std::size_t end) {
    for (std::size_t i = begin; i < end; ++i) {
      order[i] = {std::uint64_t{left.place(pairs[i].a)} << b_bits | right.place(pairs[i].b),
                  static_cast<std::uint32_t>(i)};
    }
  });
  RadixSort(&order, std::bit_width(left.places()) + b_bits, options.threads,
            [](const Next& n) { return n.place; });
  BigVector<float> scores(pairs.size());
  const double floor = options.sample > 0 ? 0 : options.verify;
  std::atomic<std::uint64_t> scored{0};
  base::ParallelFor(pairs.size(), options.threads, 1024, [&](std::size_t begin, std::size_t end) {
    constexpr std::size_t kTell = 1 << 14;  // pairs between two counts
    for (std::size_t from = begin; from < end; from += kTell) {
      const std::size_t to = std::min(end, from + kTell);
      // The profiles by the places sorted: the pairs and the places by
      // record would be two more reads a pair from all over memory.
      for (std::size_t k = from; k < to; ++k) {
        const Next& n = order[k];
        scores[n.pair] = static_cast<float>(Score(left.at_place(static_cast<std::uint32_t>(n.place >> b_bits)),
                                                  right.at_place(static_cast<std::uint32_t>(n.place & b_mask)), floor));
      }
      const std::uint64_t done = scored += to - from;
      // The first part runs on the calling thread, the one that may draw.
      if (begin == 0 && options.progress) {
        if (share.total == 0) {
          options.progress("comparing", done, pairs.size());
        } else {  // one count over all batches, not one per batch
          options.progress("comparing", share.before + done * share.made / pairs.size(), share.total);
        }
      }
    }
  });
  return scores;
}

// The threshold as the scores are kept, in a float: a pair that scores the
// threshold exactly is kept, though 0.9 as a float lies below 0.9.
float Threshold(const LinkOptions& options) { return static_cast<float>(options.verify); }

// The parts of a scored pair, into the pair that reports and the result carry.
void SetParts(const Profile& a, const Profile& b, DedupePair* pair) {
  // A product of parts within 0 and 1 is 1 only when each is: copies and
  // exact duplicates, the bulk of large groups, need no comparing again.
  if (pair->score >= 1) return;
  Parts parts;
  Score(a, b, 0, &parts);
  CopyParts(parts, pair);
}

// Only the pairs that link, in their order: those below the threshold are
// counted but need no room while the groups are made. Their pages are let
// go of where they lay, not copied away: a copy would hold every link twice.
void KeepLinks(BigVector<Candidate>* pairs, BigVector<float>* scores, const LinkOptions& options) {
  std::size_t kept = 0;
  for (std::size_t i = 0; i < pairs->size(); ++i) {
    if ((*scores)[i] < Threshold(options)) continue;
    (*pairs)[kept] = (*pairs)[i];
    (*scores)[kept++] = (*scores)[i];
  }
  pairs->resize(kept);
  scores->resize(kept);
  LetGo(*pairs, kept, pairs->capacity());
  LetGo(*scores, kept, scores->capacity());
}

// Scored candidate pairs: every one, or (made in batches) only those that link.
struct Scored {
  BigVector<Candidate> pairs;  // by a, then b
  BigVector<float> scores;
  std::uint64_t compared = 0;  // pairs scored
};

// Reads pieces of scored pairs one after the other, letting go of what it
// has read.
class PieceReader {
 public:
  explicit PieceReader(std::vector<Scored>* pieces) : pieces_(*pieces) { SkipEmpty(); }
  bool done() const { return piece_ == pieces_.size(); }
  const Candidate& pair() const { return pieces_[piece_].pairs[at_]; }
  float score() const { return pieces_[piece_].scores[at_]; }
  void Next() {
    Scored& piece = pieces_[piece_];
    if (++at_ == piece.pairs.size()) {
      piece = Scored();
      ++piece_;
      at_ = 0;
      SkipEmpty();
    } else if (at_ % kLetGoEvery == 0) {
      LetGo(piece.pairs, 0, at_);
      LetGo(piece.scores, 0, at_);
    }
  }

 private:
  static constexpr std::size_t kLetGoEvery = std::size_t{1} << 20;
  void SkipEmpty() {
    while (piece_ < pieces_.size() && pieces_[piece_].pairs.empty()) ++piece_;
  }
  std::vector<Scored>& pieces_;
  std::size_t piece_ = 0, at_ = 0;
};

// The pairs of `first` and of `more` (pieces each by a, then b, the
// pieces of `more` in that order too; no pair in two) in one, by a then b.
// Made to measure while what is read is let go of, the pairs are held
// little more than once, however many pieces.
Scored Joined(Scored first, std::vector<Scored> more) {
  if (first.pairs.empty() && more.size() == 1) {
    more[0].compared += first.compared;
    return std::move(more[0]);
  }
  Scored joined;
  std::size_t total = first.pairs.size();
  joined.compared = first.compared;
  for (const Scored& piece : more) {
    total += piece.pairs.size();
    joined.compared += piece.compared;
  }
  joined.pairs.reserve(total);
  joined.scores.reserve(total);
  std::vector<Scored> firsts;
  firsts.push_back(std::move(first));
  PieceReader x(&firsts), y(&more);
  const auto before = [](const Candidate& p, const Candidate& q) { return p.a != q.a ? p.a < q.a : p.b < q.b; };
  while (!x.done() || !y.done()) {
    PieceReader& from = x.done() || (!y.done() && before(y.pair(), x.pair())) ? y : x;
    joined.pairs.push_back(from.pair());
    joined.scores.push_back(from.score());
    from.Next();
  }
  return joined;
}

// The candidate pairs of `source` made unique and scored. When they do not
// fit the memory limit at once, they are laid out in a file by batch (see
// PairStore) and scored batch by batch, of each only the links kept: the
// links, their order and the count compared are those of one batch.
// Samples are drawn from all pairs at once: with them the limit refuses.
// They are added to `before`, none of whose pairs the source makes again.
Scored ScoreCandidates(const PairSource& source, std::size_t records, const Budget& budget,
                       const LinkOptions& options, Scored before = {}) {
  const ProfileSet& right = source.right != nullptr ? *source.right : *source.left;
  if (options.progress) options.progress("pairing", 0, source.runs.size());
  const SplitKeys splits(source, std::max<std::size_t>(options.max_candidates, 2), options.threads);
  // Where they may be scored in batches, the pairs in memory at once are
  // kept to kMostPairsAtOnce however high the limit: more would not score
  // faster, and a few keys that many records share would make the run's
  // memory follow them.
  const std::uint64_t fit = budget.pairs(splits.memory());
  const std::uint64_t testing = pairs_per_batch.load(std::memory_order_relaxed);
  const std::uint64_t room =
      options.sample > 0 ? fit : std::min({fit, kMostPairsAtOnce, testing != 0 ? testing : fit});
  PairStore store(room, options.sample > 0 ? nullptr : &source, records, options.temp, options);
  MakePairs(source, &splits, room, source.only == nullptr, options, &store);
  if (source.paired) source.paired();
  if (store.too_many()) budget.RefusePairs(room + 1, splits.memory());
  std::vector<Scored> pieces;
  if (!store.in_file()) {
    Scored& scored = pieces.emplace_back();
    scored.pairs = store.TakeAll();
    Unique(&scored.pairs, options.threads);
    scored.scores = ScorePairs(scored.pairs, *source.left, right, options);
    scored.compared = scored.pairs.size();
  } else {
    BatchShare share;
    for (std::uint32_t k = 0; k < store.batches(); ++k) share.total += store.made(k);
    // A batch keeps a fifth of its pairs or so. Kept in the batch's own
    // arrays, hundreds of batches held three times their links; they are
    // gathered instead in pieces of kPieceLinks, the batches in pair order.
    constexpr std::size_t kPieceLinks = std::size_t{1} << 21;
    for (std::uint32_t k = 0; k < store.batches(); ++k) {
      share.made = store.made(k);
      BigVector<Candidate> pairs = store.TakeBatch(k);
      Unique(&pairs, options.threads);
      BigVector<float> scores = ScorePairs(pairs, *source.left, right, options, share);
      share.before += share.made;
      const std::uint64_t compared = pairs.size();
      KeepLinks(&pairs, &scores, options);
      if (pieces.empty() || pieces.back().pairs.size() + pairs.size() > pieces.back().pairs.capacity()) {
        Scored& piece = pieces.emplace_back();
        piece.pairs.reserve(std::max(kPieceLinks, pairs.size()));
        piece.scores.reserve(piece.pairs.capacity());
      }
      Scored& piece = pieces.back();
      piece.pairs.insert(piece.pairs.end(), pairs.begin(), pairs.end());
      piece.scores.insert(piece.scores.end(), scores.begin(), scores.end());
      piece.compared += compared;
    }
  }
  return Joined(std::move(before), std::move(pieces));
}

// About `n` of the scored pairs, spread over the scores: the range from 0 to
// 1 in twenty bands, each band giving an equal share (what a band lacks goes
// to the others), evenly spaced within it; by score, highest first.
std::vector<DedupePair> SamplePairs(const BigVector<Candidate>& pairs, const BigVector<float>& scores,
                                    const ProfileSet& left, const ProfileSet& right, std::size_t n) {
  constexpr std::size_t kBands = 20;
  std::array<std::vector<std::uint32_t>, kBands> bands;
  for (std::size_t i = 0; i < pairs.size(); ++i) {
    const auto band = std::min(kBands - 1, static_cast<std::size_t>(std::max(0.0f, scores[i]) * kBands));
    bands[band].push_back(static_cast<std::uint32_t>(i));
  }
  // Shares: the smallest bands first, each taking all it has up to an
  // equal part of what is left.
  std::array<std::size_t, kBands> take{};
  std::array<std::size_t, kBands> by_size;
  std::iota(by_size.begin(), by_size.end(), std::size_t{0});
  std::sort(by_size.begin(), by_size.end(), [&](std::size_t x, std::size_t y) { return bands[x].size() < bands[y].size(); });
  std::size_t left_to_take = n;
  for (std::size_t k = 0; k < kBands; ++k) {
    const std::size_t band = by_size[k];
    take[band] = std::min(bands[band].size(), left_to_take / (kBands - k));
    left_to_take -= take[band];
  }
  std::vector<DedupePair> samples;
  for (std::size_t band = kBands; band-- > 0;) {
    const std::vector<std::uint32_t>& in = bands[band];
    for (std::size_t k = 0; k < take[band]; ++k) {
      const std::uint32_t i = in[k * in.size() / take[band]];
      DedupePair& pair = samples.emplace_back(DedupePair{pairs[i].a, pairs[i].b, pairs[i].algorithm + 1, scores[i]});
      SetParts(left[pairs[i].a], right[pairs[i].b], &pair);
    }
  }
  std::stable_sort(samples.begin(), samples.end(),
                   [](const DedupePair& x, const DedupePair& y) { return x.score > y.score; });
  return samples;
}


// The records that a person decided are different customers, so that a
// join is refused cheaply: only groups that each hold such a record are
// looked into, and only at those records.
class DecidedApart {
 public:
  explicit DecidedApart(std::span<const std::pair<std::uint32_t, std::uint32_t>> different) {
    for (const auto& [x, y] : different) {
      partners_[x].push_back(y);
      partners_[y].push_back(x);
    }
    for (const auto& [x, partners] : partners_) marked_[x].push_back(x);
  }

  // A pair decided different with x in ra's group and y in rb's (roots).
  std::optional<std::pair<std::uint32_t, std::uint32_t>> Between(UnionFind& uf, std::uint32_t ra,
                                                                 std::uint32_t rb) const {
    const auto a = marked_.find(ra), b = marked_.find(rb);
    if (a == marked_.end() || b == marked_.end()) return std::nullopt;
    for (const std::uint32_t x : a->second) {
      for (const std::uint32_t y : partners_.at(x)) {
        if (uf.Find(y) == rb) return std::pair(x, y);
      }
    }
    return std::nullopt;
  }

  void Joined(std::uint32_t root, std::uint32_t other) {
    const auto it = marked_.find(other);
    if (it == marked_.end()) return;
    std::vector<std::uint32_t> moved = std::move(it->second);
    marked_.erase(it);
    std::vector<std::uint32_t>& into = marked_[root];
    into.insert(into.end(), moved.begin(), moved.end());
  }

 private:
  std::unordered_map<std::uint32_t, std::vector<std::uint32_t>> partners_;
  std::unordered_map<std::uint32_t, std::vector<std::uint32_t>> marked_;  // by root
};

// Groups that grow one link at a time and never take in a record that one
// of their members tells apart from another (see linking.h), nor two
// records decided different. Decided "same" pairs are one group from the
// start, and their records are not compared with others: a person vouched
// for them (a customer who moved is not told apart from his old address).
class Clusters {
 public:
  Clusters(std::size_t n, UnionFind* uf, const DecidedPairs& decided)
      : uf_(*uf), next_(n, kEnd | 1) {
    if (!decided.different.empty()) apart_.emplace(decided.different);
    if (!decided.same.empty()) vouched_.assign(n, 0);
    for (const auto& [a, b] : decided.same) {
      vouched_[a] = vouched_[b] = 1;
      if (uf_.Find(a) != uf_.Find(b)) Merge(uf_.Find(a), uf_.Find(b));
    }
  }

  // Makes record r a group of its own again. REQUIRES: no decisions, and
  // every record of its group is made so.
  void Reset(std::uint32_t r) {
    uf_.Reset(r);
    next_[r] = kEnd | 1;
  }

  // Joins the groups of a and b, linked at `score`, unless two of their
  // records are apart (by their profiles, when given, or by a decision);
  // returns the pair found apart, or nothing when they joined (or were one).
  std::optional<KeptApart> Join(std::uint32_t a, std::uint32_t b, float score, const ProfileSet* profiles) {
    std::uint32_t ra = uf_.Find(a), rb = uf_.Find(b);
    if (ra == rb) return std::nullopt;
    if (apart_) {
      if (const auto xy = apart_->Between(uf_, ra, rb)) {
        return KeptApart{a, b, 0, xy->first, xy->second, 0, Rule::kDecided};
      }
    }
    if (size(ra) > size(rb)) std::swap(ra, rb);  // ra the smaller
    std::size_t checked_a = 0;
    for (std::uint32_t x = ra; profiles != nullptr && !(x & kEnd) && checked_a < kCheckedMembers * kCheckedMembers;
         x = next_[x]) {
      ++checked_a;
      std::size_t checked_b = 0;
      for (std::uint32_t y = rb; !(y & kEnd) && checked_b < kCheckedMembers; y = next_[y], ++checked_b) {
        if (score >= kApart && ((x == a && y == b) || (x == b && y == a))) continue;  // the link itself
        if (!vouched_.empty() && (vouched_[x] || vouched_[y])) continue;
        const double score = Score((*profiles)[x], (*profiles)[y], kApart);
        if (score < kApart) {
          Parts parts;  // the exact score and its rule: most pairs checked are not apart
          const double exact = Score((*profiles)[x], (*profiles)[y], 0, &parts);
          const bool a_smaller = uf_.Find(a) == ra;  // x is of a's group, y of b's
          return KeptApart{a, b, 0, a_smaller ? x : y, a_smaller ? y : x, static_cast<float>(exact), parts.rule};
        }
      }
    }
    Merge(ra, rb);
    return std::nullopt;
  }

 private:
  // A group's root keeps its last record in the union-find, and the last
  // record's next is the group's size.
  std::uint32_t size(std::uint32_t root) const { return next_[uf_.kept(root)] & ~kEnd; }
  void Merge(std::uint32_t ra, std::uint32_t rb) {
    const std::uint32_t root = std::min(ra, rb), other = std::max(ra, rb);
    const std::uint32_t last = uf_.kept(root), other_last = uf_.kept(other);
    next_[other_last] = kEnd | (size(root) + size(other));
    next_[last] = other;
    uf_.Union(root, other);
    uf_.Keep(root, other_last);
    if (apart_) apart_->Joined(root, other);
  }

  UnionFind& uf_;
  static constexpr std::uint32_t kEnd = 0x80000000u;
  BigVector<std::uint32_t> next_;  // the next record of its group, or kEnd | its size
  std::optional<DecidedApart> apart_;
  std::vector<std::uint8_t> vouched_;  // records of "same" decisions, when there are any
};

// Numbers the groups of two or more in report order and lists their records;
// first_key(r) is record r's key under the first algorithm.
template <class FirstKey>
void NumberGroups(std::size_t n, const FirstKey& first_key, UnionFind& uf, Links* links) {
  BigVector<std::uint32_t> root(n), size(n, 0);
  for (std::uint32_t r = 0; r < n; ++r) ++size[root[r] = uf.Find(r)];
  // Groups by their first record, which is their root. Equal sizes are in
  // key order: each group's key is looked up once, and its first eight
  // bytes decide most comparisons without reading it.
  struct Group {
    std::uint32_t first, size;
    std::uint64_t head;  // big-endian, zero-filled
    std::string_view key;
  };
  BigVector<Group> groups;
  for (std::uint32_t r = 0; r < n; ++r) {
    if (root[r] != r || size[r] < 2) continue;
    const std::string_view key = first_key(r);
    std::uint64_t head = 0;
    if (!key.empty()) std::memcpy(&head, key.data(), std::min<std::size_t>(key.size(), 8));
    groups.push_back({r, size[r], __builtin_bswap64(head), key});
  }
  std::stable_sort(groups.begin(), groups.end(), [](const Group& x, const Group& y) {
    if (x.size != y.size) return x.size > y.size;
    if (x.head != y.head) return x.head < y.head;
    return x.key < y.key;
  });
  BigVector<std::uint32_t> number(n, 0);  // by root
  std::vector<std::size_t> next(groups.size() + 1, 0);
  for (std::size_t g = 0; g < groups.size(); ++g) {
    number[groups[g].first] = static_cast<std::uint32_t>(g + 1);
    next[g + 1] = next[g] + groups[g].size;
  }
  links->group_ends.assign(next.begin() + 1, next.end());
  links->members.resize(next.back());
  for (std::uint32_t r = 0; r < n; ++r) {
    const std::uint32_t g = number[root[r]];
    links->group[r] = g;
    if (g != 0) links->members[next[g - 1]++] = r;
  }
}

// NumberGroups of the records of `table`.
void NumberGroups(const KeyTable& table, UnionFind& uf, Links* links) {
  NumberGroups(table.size(), [&table](std::uint32_t r) { return table.key(r); }, uf, links);
}

std::span<const std::uint32_t> Members(const KeyOrder& order, const Group& g) {
  return {order.sorted.data() + g.begin, g.size};
}

// One key unverified: its runs are the groups, already in report order.
Links GroupsOfOneKey(std::size_t n, const KeyOrder& order) {
  Links links;
  links.group.assign(n, 0);
  links.algorithm.assign(n, 0);
  for (const Group& g : order.groups) {
    const auto records = Members(order, g);
    links.members.insert(links.members.end(), records.begin(), records.end());
    links.group_ends.push_back(links.members.size());
    for (const std::uint32_t r : records) {
      links.group[r] = static_cast<std::uint32_t>(links.group_ends.size());
      links.algorithm[r] = 1;
    }
  }
  return links;
}

// Several keys unverified: records that share any key are one group.
Links GroupsOfSharedKeys(const KeyTable& table, std::span<const KeyOrder> orders) {
  Links links;
  links.group.assign(table.size(), 0);
  links.algorithm.assign(table.size(), 0);
  UnionFind uf(table.size());
  for (std::size_t a = 0; a < orders.size(); ++a) {
    for (const Group& g : orders[a].groups) {
      const auto records = Members(orders[a], g);
      for (const std::uint32_t r : records) {
        if (links.algorithm[r] == 0) links.algorithm[r] = static_cast<std::uint8_t>(a + 1);
        uf.Union(records[0], r);
      }
    }
  }
  NumberGroups(table, uf, &links);
  return links;
}

// Unverified with decisions: records that share a key are one group, but
// for those a person decided on.
Links GroupsDecided(const KeyTable& table, std::span<const KeyOrder> orders, const LinkOptions& options) {
  Links links;
  links.group.assign(table.size(), 0);
  links.algorithm.assign(table.size(), 0);
  UnionFind uf(table.size());
  Clusters clusters(table.size(), &uf, options.decided);
  for (std::size_t a = 0; a < orders.size(); ++a) {
    for (const Group& g : orders[a].groups) {
      const auto records = Members(orders[a], g);
      for (const std::uint32_t r : records.subspan(1)) {
        if (const std::optional<KeptApart> apart = clusters.Join(records[0], r, 0, nullptr)) {
          links.apart.push_back(*apart);
          continue;
        }
        for (const std::uint32_t joined : {records[0], r}) {
          if (links.algorithm[joined] == 0) links.algorithm[joined] = static_cast<std::uint8_t>(a + 1);
        }
      }
    }
  }
  NumberGroups(table, uf, &links);
  return links;
}

// Marks the records that a "same" decision put in their group where no
// shared key and, verifying, no score would have; verifying, that pair,
// with its score, becomes their best pair: the reports say the decision
// linked them.
void MarkDecided(const KeyTable& table, std::size_t algorithms, const ProfileSet* profiles,
                 const LinkOptions& options, Links* links) {
  if (options.decided.same.empty()) return;
  links->decided.assign(table.size(), 0);
  std::vector<DedupePair> overruled;
  for (const auto& [x, y] : options.decided.same) {
    const auto [a, b] = std::minmax(x, y);
    bool keyed = false;
    for (std::size_t k = 0; k < algorithms && !keyed; ++k) keyed = table.key(k, a) == table.key(k, b);
    DedupePair pair{a, b, 0, 0};
    pair.decided = true;
    if (profiles != nullptr) {
      pair.score = Score((*profiles)[a], (*profiles)[b], 0);
      SetParts((*profiles)[a], (*profiles)[b], &pair);
    }
    if (keyed && (profiles == nullptr || pair.score >= Threshold(options))) continue;
    links->decided[a] = links->decided[b] = 1;
    if (profiles != nullptr) overruled.push_back(pair);
  }
  if (overruled.empty()) return;
  // The pairs stay in pair order; best follows them.
  BigVector<std::pair<DedupePair, std::uint32_t>> all;  // with the place it had, or kNone
  for (std::uint32_t i = 0; i < links->pairs.size(); ++i) all.emplace_back(links->pairs[i], i);
  for (const DedupePair& pair : overruled) all.emplace_back(pair, kNone);
  std::stable_sort(all.begin(), all.end(), [](const auto& p, const auto& q) {
    return std::pair(p.first.a, p.first.b) < std::pair(q.first.a, q.first.b);
  });
  BigVector<std::uint32_t> moved(links->pairs.size());
  links->pairs.clear();
  for (std::uint32_t i = 0; i < all.size(); ++i) {
    links->pairs.push_back(all[i].first);
    if (all[i].second != kNone) moved[all[i].second] = i;
  }
  for (std::uint32_t& best : links->best) {
    if (best != Links::kNoPair) best = moved[best];
  }
  for (std::uint32_t i = 0; i < all.size(); ++i) {
    if (all[i].second != kNone) continue;
    for (const std::uint32_t r : {all[i].first.a, all[i].first.b}) {
      links->best[r] = i;
      links->score[r] = static_cast<float>(all[i].first.score);
    }
  }
}

// Under each algorithm but the last, the 1-based number of each record's
// key if all of that key's records are paired (its records are few), else 0.
std::vector<BigVector<std::uint32_t>> PairedKeys(std::size_t n, std::span<const KeyOrder> orders,
                                                 const LinkOptions& options) {
  const std::size_t most = std::max<std::size_t>(options.max_candidates, 2);
  std::vector<BigVector<std::uint32_t>> made(orders.size() - 1);
  for (std::size_t a = 0; a + 1 < orders.size(); ++a) {
    made[a].resize(n);
    for (std::size_t k = 0; k < orders[a].groups.size(); ++k) {
      if (orders[a].groups[k].size > most) continue;
      for (const std::uint32_t r : Members(orders[a], orders[a].groups[k])) {
        made[a][r] = static_cast<std::uint32_t>(k + 1);
      }
    }
  }
  return made;
}

// Groups by the links strongest first into `uf`; returns each record's
// first link kept, which is its strongest (of equal ones the first in pair
// order: `linked` ascends within a score), or kNone; the links refused are
// in links->apart. A record that joins a group about as
// strongly as it would join another whose customer is a different one
// ("A. Lang" beside "Andrea Lang" and "Anke Lang") is torn between them: it
// cannot say which it is, and joins neither. The first pass finds such
// records, the second groups without their links. A link's outcome depends
// only on the links before it that it is connected with, so without
// decisions the second pass takes up only the links connected with a torn
// record; the others stand as the first pass left them.
BigVector<std::uint32_t> GroupStrongestFirst(const BigVector<Candidate>& pairs,
                                             std::span<const float> scores,
                                             const StrongestFirst& linked,
                                             const ProfileSet& profiles, UnionFind* uf,
                                             Links* links, const LinkOptions& options) {
  constexpr float kTie = 0.02f;
  const std::size_t n = profiles.records();
  BigVector<std::uint32_t> first(n, kNone);
  std::unordered_map<std::uint32_t, KeptApart> torn;  // few: a map, not an array of every record
  links->apart.clear();
  std::optional<Clusters> clusters(std::in_place, n, uf, options.decided);
  // The links of the records marked in `again` (all, when empty) in turn.
  const auto group = [&](int pass, const std::vector<std::uint8_t>& again) {
    linked.ForEach([&](std::size_t k, std::uint32_t i) {
      if (options.progress && k % (1 << 14) == 0) options.progress("grouping", k, linked.size());
      const std::uint32_t a = pairs[i].a, b = pairs[i].b;
      if (!again.empty() && !again[a]) return;
      if (pass == 1 && (torn.count(a) != 0 || torn.count(b) != 0)) {
        KeptApart note = torn.at(torn.count(a) != 0 ? a : b);
        note.a = a;
        note.b = b;
        note.score = scores[i];
        links->apart.push_back(note);
        return;
      }
      if (std::optional<KeptApart> apart = clusters->Join(a, b, scores[i], &profiles)) {
        apart->score = scores[i];
        links->apart.push_back(*apart);
        for (const std::uint32_t r : {a, b}) {
          if (pass == 0 && first[r] != kNone && scores[first[r]] - scores[i] < kTie) torn.emplace(r, *apart);
        }
        return;
      }
      for (const std::uint32_t r : {a, b}) {
        if (first[r] == kNone) first[r] = i;
      }
    });
  };
  group(0, {});
  if (!torn.empty()) {
    std::vector<std::uint8_t> again;
    if (options.decided.empty()) {
      // The records connected with a torn one by links, made groups of their own.
      UnionFind connected(n);
      linked.ForEach([&](std::size_t, std::uint32_t i) { connected.Union(pairs[i].a, pairs[i].b); });
      std::vector<std::uint8_t> torn_set(n, 0);
      for (const auto& [r, note] : torn) torn_set[connected.Find(r)] = 1;
      again.assign(n, 0);
      for (std::uint32_t r = 0; r < n; ++r) again[r] = torn_set[connected.Find(r)];
      for (std::uint32_t r = 0; r < n; ++r) {
        if (!again[r]) continue;
        clusters->Reset(r);
        first[r] = kNone;
      }
      std::erase_if(links->apart, [&](const KeptApart& k) { return again[k.a] != 0; });
    } else {
      *uf = UnionFind(n);
      clusters.emplace(n, uf, options.decided);
      std::fill(first.begin(), first.end(), kNone);
      links->apart.clear();
    }
    group(1, again);
  }
  std::sort(links->apart.begin(), links->apart.end(),
            [](const KeptApart& x, const KeptApart& y) { return x.a != y.a ? x.a < y.a : x.b < y.b; });
  return first;
}

// Each record's strongest pair, `first` of the grouping or, when stronger,
// one of `more`, and those pairs in pair order with their parts: the
// reports print a record's strongest pair, and the others, millions where
// a group is large, are not kept. `more` are pairs within classes of
// copies, each a record's first: no kept pair holds their records. The
// parts are scored on `threads` threads. `first` is let go of at once,
// `pairs` and `scores` as the kept pairs are made. REQUIRES: `pairs` are
// in pair order (by a, then b), as scored pairs are.
void KeepPairs(BigVector<std::uint32_t> first, BigVector<Candidate> pairs, BigVector<float> scores,
               const ProfileSet& profiles, BigVector<DedupePair> more, unsigned threads, Links* links) {
  const std::size_t n = profiles.records();
  links->score.assign(n, 0);
  links->best.assign(n, Links::kNoPair);
  // best: a pair's number, or kMore + a place in `more`.
  constexpr std::uint32_t kMore = 0x80000000u;
  for (std::uint32_t r = 0; r < n; ++r) {
    const std::uint32_t i = first[r];
    if (i == kNone) continue;
    links->score[r] = scores[i];
    links->algorithm[r] = static_cast<std::uint8_t>(pairs[i].algorithm + 1);
    links->best[r] = i;
  }
  BigVector<std::uint32_t>().swap(first);
  std::sort(more.begin(), more.end(),
            [](const DedupePair& x, const DedupePair& y) { return x.a != y.a ? x.a < y.a : x.b < y.b; });
  for (std::size_t k = 0; k < more.size(); ++k) {
    const auto score = static_cast<float>(more[k].score);
    for (const std::uint32_t r : {more[k].a, more[k].b}) {
      if (score > links->score[r]) {
        links->score[r] = score;
        links->algorithm[r] = static_cast<std::uint8_t>(more[k].algorithm);
        links->best[r] = kMore | static_cast<std::uint32_t>(k);
      }
    }
  }
  // The chosen items in pair order: the pairs' by their numbers, marked
  // in bits, among those of `more` in theirs.
  BigVector<std::uint64_t> is_chosen((pairs.size() + 63) / 64, 0);
  BigVector<std::uint32_t> chosen_more;
  for (std::uint32_t r = 0; r < n; ++r) {
    const std::uint32_t item = links->best[r];
    if (item == Links::kNoPair) continue;
    if (item & kMore) {
      chosen_more.push_back(item);
    } else {
      is_chosen[item / 64] |= std::uint64_t{1} << (item % 64);
    }
  }
  std::sort(chosen_more.begin(), chosen_more.end());  // `more` is in pair order
  chosen_more.erase(std::unique(chosen_more.begin(), chosen_more.end()), chosen_more.end());
  BigVector<std::uint32_t> chosen;
  const auto before = [&](std::uint32_t item, std::uint32_t other) {
    const DedupePair& m = more[other & ~kMore];
    const Candidate& p = pairs[item];
    return p.a != m.a ? p.a < m.a : p.b < m.b;
  };
  std::size_t next_more = 0;
  for (std::size_t w = 0; w < is_chosen.size(); ++w) {
    for (std::uint64_t bits = is_chosen[w]; bits != 0; bits &= bits - 1) {
      const auto item = static_cast<std::uint32_t>(w * 64 + static_cast<std::size_t>(std::countr_zero(bits)));
      while (next_more < chosen_more.size() && !before(item, chosen_more[next_more])) {
        chosen.push_back(chosen_more[next_more++]);
      }
      chosen.push_back(item);
    }
  }
  chosen.insert(chosen.end(), chosen_more.begin() + static_cast<std::ptrdiff_t>(next_more), chosen_more.end());
  const auto pair_of = [&](std::uint32_t item) {
    if (item & kMore) return more[item & ~kMore];
    const Candidate& p = pairs[item];
    DedupePair pair{p.a, p.b, p.algorithm + 1, scores[item]};
    SetParts(profiles[p.a], profiles[p.b], &pair);
    return pair;
  };
  // A stretch at a time, letting go of the pairs and of those of `more`
  // read so far (the chosen ones ascend among each): tens of millions of
  // links in files from few addresses, and copies of one record that bring
  // a pair each, are held once here, not twice.
  constexpr std::size_t kStretch = std::size_t{1} << 20;
  links->pairs.clear();
  links->pairs.reserve(chosen.size());
  for (std::size_t from = 0; from < chosen.size(); from += kStretch) {
    const std::size_t to = std::min(chosen.size(), from + kStretch);
    links->pairs.resize(to);
    base::ParallelFor(to - from, threads, 1 << 12, [&](std::size_t begin, std::size_t end) {
      for (std::size_t k = from + begin; k < from + end; ++k) links->pairs[k] = pair_of(chosen[k]);
    });
    bool more_read = false, pairs_read = false;
    for (std::size_t k = to; k > from && !(more_read && pairs_read); --k) {
      const std::uint32_t item = chosen[k - 1];
      if (item & kMore) {
        if (!more_read) LetGo(more, 0, item & ~kMore);
        more_read = true;
      } else if (!pairs_read) {
        LetGo(pairs, 0, item);
        LetGo(scores, 0, item);
        pairs_read = true;
      }
    }
  }
  BigVector<std::uint32_t> best(n, Links::kNoPair);  // apart: places and items are both numbers
  for (std::size_t k = 0; k < chosen.size(); ++k) {
    for (const std::uint32_t r : {links->pairs[k].a, links->pairs[k].b}) {
      if (links->best[r] == chosen[k]) best[r] = static_cast<std::uint32_t>(k);
    }
  }
  links->best = std::move(best);
}

// Groups the classes of copies that link to no record outside them: the
// pairs within a class reach stretches of it, and records that the
// stretches join are one group. Returns each record's first pair (by a,
// then b), which is its strongest: all score the class's self-score.
BigVector<DedupePair> GroupCopies(const Copies& copies, std::size_t algorithms, const ProfileSet& profiles,
                                  UnionFind* uf, std::uint64_t* compared) {
  // A pair for each record but the first of its class at most, reserved
  // at once: grown by doubling, millions of copies were held one and a half times.
  std::size_t most = 0;
  for (std::size_t c = 0; c < copies.classes(); ++c) most += copies.members(c).size() - 1;
  BigVector<DedupePair> firsts;
  firsts.reserve(most);
  std::vector<std::uint32_t> reach;
  for (std::size_t c = 0; c < copies.classes(); ++c) {
    const auto members = copies.members(c);
    reach.assign(members.size(), 0);
    for (std::size_t i = 0; i < members.size(); ++i) {
      for (std::size_t a = 0; a < algorithms; ++a) reach[i] = std::max(reach[i], copies.reach(a, members[i]));
      *compared += reach[i] - i;
    }
    DedupePair pair{0, 0, 0, copies.self(c)};
    SetParts(profiles[members[0]], profiles[members[0]], &pair);
    // The stretches from each record start right after it and grow with it:
    // the first record reaching i is found by a pointer that only moves on.
    std::size_t from = 0;
    for (std::size_t i = 1; i < members.size(); ++i) {
      while (reach[from] < i) ++from;
      if (from == i) continue;  // reached by none: a new group starts
      uf->Union(members[from], members[i]);
      std::size_t a = 0;
      while (copies.reach(a, members[from]) < i) ++a;  // the first algorithm that made it
      pair.a = members[from];
      pair.b = members[i];
      pair.algorithm = static_cast<int>(a + 1);
      firsts.push_back(pair);
    }
  }
  return firsts;
}

}  // namespace

void SetCollapseCopiesForTesting(bool on) { collapse_copies = on; }
void SetPairsPerBatchForTesting(std::uint64_t pairs) { pairs_per_batch = pairs; }

Links LinkWithin(const KeyTable& table, std::span<const KeyOrder> orders,
                 const FetchProfiles& fetch, const LinkOptions& options) {
  if (options.verify <= 0) {
    if (!options.decided.empty()) {
      Links links = GroupsDecided(table, orders, options);
      MarkDecided(table, orders.size(), nullptr, options, &links);
      return links;
    }
    return orders.size() == 1 ? GroupsOfOneKey(table.size(), orders[0])
                              : GroupsOfSharedKeys(table, orders);
  }
  const std::size_t n = table.size();
  std::vector<std::uint8_t> wanted(n, 0);
  for (const KeyOrder& order : orders) {
    for (const Group& g : order.groups) {
      for (const std::uint32_t r : Members(order, g)) wanted[r] = 1;
    }
  }
  for (const auto& [a, b] : options.decided.same) wanted[a] = wanted[b] = 1;
  // Held until the pairs are kept; the groups are numbered without them.
  std::optional<ProfileSet> held(std::in_place, n, wanted, orders[0].sorted, fetch);
  const ProfileSet& profiles = *held;
  // The runs only now, not beside the making of the profiles, which peaks.
  // Only a run of more than max_candidates records names its key (a
  // look-up far away in memory for each run).
  RunList runs;
  const std::size_t most = std::max<std::size_t>(options.max_candidates, 2);
  std::size_t count = 0;
  for (const KeyOrder& order : orders) count += order.groups.size();
  runs.runs.reserve(count);
  for (std::size_t a = 0; a < orders.size(); ++a) {
    for (const Group& g : orders[a].groups) {
      const auto records = Members(orders[a], g);
      runs.Add(records, {}, static_cast<std::uint8_t>(a), g.size > most ? table.key(a, records[0]) : std::string_view());
    }
  }
  // The arrays by record: groups, union-find, links, the keys paired, copies.
  Budget budget(options);
  budget.Hold(profiles.memory() + n * (64 + 8 * orders.size()));
  std::vector<BigVector<std::uint32_t>> made = PairedKeys(n, orders, options);
  // Samples are drawn from every pair scored: with them, no pair is left
  // out. Copies are grouped without a look at decisions.
  std::optional<Copies> copies;
  if (options.sample == 0 && CollapseCopies() && options.decided.empty()) {
    copies.emplace(table, orders.size(), profiles, wanted, options);
    if (copies->empty()) copies.reset();
  }
  const auto cool = [&] {
    for (const KeyOrder& order : orders) order.sorted.Cool();
    table.Cool();
  };
  Scored scored = ScoreCandidates({runs.runs, runs.keys, &profiles, nullptr, /*within=*/true, &made,
                                   copies ? &*copies : nullptr, nullptr, cool},
                                  n, budget, options);
  // A class a pair of which links outside it is linked pair by pair: the
  // pairs within it are made now, in the runs that hold it; the other pairs
  // are those made already. They are all within such classes, so they
  // link no other class outside.
  if (copies) {
    std::vector<std::uint8_t> dropped(copies->classes(), 0);
    std::vector<std::uint32_t> redo;  // the class of each record paired anew
    for (std::size_t i = 0; i < scored.pairs.size(); ++i) {
      if (scored.scores[i] < Threshold(options)) continue;
      for (const std::uint32_t r : {scored.pairs[i].a, scored.pairs[i].b}) {
        const std::uint32_t c = copies->of(r);
        if (c == Copies::kNoClass || dropped[c]) continue;
        dropped[c] = 1;
        if (redo.empty()) redo.assign(n, kNone);
        for (const std::uint32_t m : copies->members(c)) redo[m] = c;
      }
    }
    if (!redo.empty()) {
      copies->Drop(dropped);
      if (copies->empty()) copies.reset();
      std::vector<Run> again;
      for (const Run& run : runs.runs) {
        if (std::any_of(run.left().begin(), run.left().end(), [&](std::uint32_t r) { return redo[r] != kNone; })) {
          again.push_back(run);
        }
      }
      BigVector<Run>().swap(runs.runs);  // the rest are done with: room for the pairs compared anew
      scored = ScoreCandidates({again, runs.keys, &profiles, nullptr, /*within=*/true, &made, nullptr, &redo, cool},
                               n, budget, options, std::move(scored));
    }
  }
  // The runs, the keys paired and the orders they ran through are done
  // with: their memory goes to the grouping, which peaks beside the profiles.
  runs = RunList();
  std::vector<BigVector<std::uint32_t>>().swap(made);
  cool();
  BigVector<Candidate>& pairs = scored.pairs;
  BigVector<float>& scores = scored.scores;
  Links links;  // its arrays by record are made after the grouping, which peaks
  links.compared = scored.compared;
  if (options.sample > 0) {
    links.samples = SamplePairs(pairs, scores, profiles, profiles, options.sample);
  } else {
    KeepLinks(&pairs, &scores, options);
  }
  UnionFind uf(n);
  BigVector<std::uint32_t> first =
      GroupStrongestFirst(pairs, scores, StrongestFirst(scores, Threshold(options), options.threads), profiles, &uf,
                          &links, options);
  BigVector<DedupePair> firsts;
  if (copies) firsts = GroupCopies(*copies, orders.size(), profiles, &uf, &links.compared);
  links.algorithm.assign(n, 0);
  KeepPairs(std::move(first), std::move(pairs), std::move(scores), profiles, std::move(firsts), options.threads,
            &links);
  MarkDecided(table, orders.size(), &profiles, options, &links);
  copies.reset();
  held.reset();
  links.group.assign(n, 0);
  NumberGroups(table, uf, &links);
  return links;
}

Links LinkToBase(const KeyTable& input, std::span<const KeyOrder> input_orders,
                 const FetchProfiles& fetch_input, const KeyTable& base,
                 std::span<const KeyOrder> base_orders, const FetchProfiles& fetch_base,
                 const LinkOptions& options) {
  // The runs of equal keys on both sides, found by walking both orders.
  std::vector<BaseRun> runs;
  for (std::size_t a = 0; a < input_orders.size(); ++a) {
    const auto& l = input_orders[a].sorted;
    const auto& r = base_orders[a].sorted;
    const KeyColumn& lk = input.column(a);
    const KeyColumn& rk = base.column(a);
    for (std::size_t i = 0, j = 0; i < l.size() && j < r.size();) {
      const std::string_view key = lk.key(l[i]);
      const int c = key.compare(rk.key(r[j]));
      if (c < 0) {
        ++i;
      } else if (c > 0) {
        ++j;
      } else {
        std::size_t i2 = i + 1, j2 = j + 1;
        while (i2 < l.size() && lk.key(l[i2]) == key) ++i2;
        while (j2 < r.size() && rk.key(r[j2]) == key) ++j2;
        runs.push_back({{l.data() + i, i2 - i}, {r.data() + j, j2 - j}, static_cast<std::uint8_t>(a), key});
        i = i2;
        j = j2;
      }
    }
  }
  return LinkRuns(runs, input.size(), input_orders[0].sorted, fetch_input, base.size(),
                  base_orders[0].sorted, fetch_base, options);
}

Links LinkRuns(std::span<const BaseRun> base_runs, std::size_t input_size,
               std::span<const std::uint32_t> input_layout, const FetchProfiles& fetch_input,
               std::size_t base_size, std::span<const std::uint32_t> base_layout,
               const FetchProfiles& fetch_base, const LinkOptions& options) {
  std::vector<std::uint8_t> wanted_left(input_size, 0), wanted_right(base_size, 0);
  RunList runs;
  for (const BaseRun& s : base_runs) {
    for (const std::uint32_t r : s.input) wanted_left[r] = 1;
    for (const std::uint32_t r : s.base) wanted_right[r] = 1;
    runs.Add(s.input, s.base, s.algorithm, s.key);
  }
  for (const auto& [a, b] : options.decided.same) wanted_left[a] = wanted_right[b] = 1;
  // Profiles only to verify: unverified, every record of a shared key
  // matches, and the records' texts were not kept to make them from.
  std::optional<ProfileSet> left, right;
  if (options.verify > 0) {
    left.emplace(input_size, wanted_left, input_layout, fetch_input);
    right.emplace(base_size, wanted_right, base_layout, fetch_base);
  }
  Budget budget(options);
  budget.Hold((left ? left->memory() + right->memory() : 0) + (input_size + base_size) * 16);
  const PairSource source{runs.runs, runs.keys, left ? &*left : nullptr, right ? &*right : nullptr, /*within=*/false,
                          nullptr, nullptr};
  Scored scored;
  if (left) {
    scored = ScoreCandidates(source, input_size, budget, options);
  } else {
    PairStore store(budget.pairs(), nullptr, input_size, options.temp, options);
    MakePairs(source, nullptr, budget.pairs(), true, options, &store);
    if (store.too_many()) budget.RefusePairs(budget.pairs() + 1);
    scored.pairs = store.TakeAll();
    Unique(&scored.pairs, options.threads);
  }
  const BigVector<Candidate>& pairs = scored.pairs;
  const BigVector<float>& scores = scored.scores;
  Links links;
  if (options.sample > 0 && left) links.samples = SamplePairs(pairs, scores, *left, *right, options.sample);
  links.group.assign(input_size, 0);
  links.algorithm.assign(input_size, 0);
  links.score.assign(input_size, 0);
  links.base_algorithm.assign(base_size, 0);
  links.base_score.assign(base_size, 0);
  links.compared = scored.compared;
  const auto pair_key = [](std::uint32_t a, std::uint32_t b) { return std::uint64_t{a} << 32 | b; };
  std::unordered_set<std::uint64_t> different, matched;
  for (const auto& [a, b] : options.decided.different) different.insert(pair_key(a, b));
  for (std::size_t i = 0; i < pairs.size(); ++i) {
    const float score = scores.empty() ? 0.0f : scores[i];
    if (!scores.empty() && score < Threshold(options)) continue;
    const Candidate& p = pairs[i];
    if (!different.empty() && different.count(pair_key(p.a, p.b)) != 0) continue;
    if (!options.decided.same.empty()) matched.insert(pair_key(p.a, p.b));
    DedupePair& pair = links.pairs.emplace_back(DedupePair{p.a, p.b, p.algorithm + 1, score});
    if (left) SetParts((*left)[p.a], (*right)[p.b], &pair);
    const auto alg = static_cast<std::uint8_t>(p.algorithm + 1);
    if (links.algorithm[p.a] == 0 || score > links.score[p.a]) {
      links.algorithm[p.a] = alg;
      links.score[p.a] = score;
    }
    if (links.base_algorithm[p.b] == 0 || score > links.base_score[p.b]) {
      links.base_algorithm[p.b] = alg;
      links.base_score[p.b] = score;
    }
  }
  // A person's "same" matches whatever the keys and the score say.
  for (const auto& [a, b] : options.decided.same) {
    if (matched.count(pair_key(a, b)) != 0) continue;
    DedupePair& pair = links.pairs.emplace_back(DedupePair{a, b, 0, 0});
    pair.decided = true;
    if (left) {
      pair.score = Score((*left)[a], (*right)[b]);
      SetParts((*left)[a], (*right)[b], &pair);
    }
  }
  // Each input record's matches, best first.
  std::stable_sort(links.pairs.begin(), links.pairs.end(), [](const DedupePair& x, const DedupePair& y) {
    return x.a != y.a ? x.a < y.a : x.score > y.score;
  });
  // Matched input records are numbered in input order, like groups.
  std::uint32_t number = 0;
  for (std::size_t i = 0; i < links.pairs.size(); ++i) {
    if (i == 0 || links.pairs[i].a != links.pairs[i - 1].a) links.group[links.pairs[i].a] = ++number;
  }
  return links;
}

std::vector<ScoredLink> ScoreRuns(std::span<const KeyRun> key_runs, std::size_t n,
                                  const std::vector<BigVector<std::uint32_t>>& made,
                                  const FetchProfiles& fetch, const LinkOptions& options) {
  std::vector<ScoredLink> links;
  if (options.verify <= 0) {
    for (const KeyRun& k : key_runs) {
      for (std::size_t i = 1; i < k.records.size(); ++i) links.push_back({k.records[0], k.records[i], k.algorithm, 0});
    }
    return links;
  }
  std::vector<std::uint8_t> wanted(n, 0);
  RunList runs;
  for (const KeyRun& k : key_runs) {
    for (const std::uint32_t r : k.records) wanted[r] = 1;
    runs.Add(k.records, {}, k.algorithm, k.key);
  }
  std::vector<std::uint32_t> layout(n);
  std::iota(layout.begin(), layout.end(), 0u);
  const ProfileSet profiles(n, wanted, layout, fetch);
  Budget budget(options);
  budget.Hold(profiles.memory() + n * (8 + 4 * made.size()));
  Scored scored =
      ScoreCandidates({runs.runs, runs.keys, &profiles, nullptr, /*within=*/true, &made, nullptr}, n, budget, options);
  BigVector<Candidate>& pairs = scored.pairs;
  BigVector<float>& scores = scored.scores;
  KeepLinks(&pairs, &scores, options);
  links.reserve(pairs.size());
  for (std::size_t i = 0; i < pairs.size(); ++i) links.push_back({pairs[i].a, pairs[i].b, pairs[i].algorithm, scores[i]});
  return links;
}

Links GroupLinks(std::size_t n, std::vector<ScoredLink> found, const FetchProfiles& fetch,
                 const std::function<std::string_view(std::uint32_t)>& first_key,
                 const LinkOptions& options) {
  // Each pair once, with its first algorithm, by a then b, as Unique leaves them.
  std::sort(found.begin(), found.end(), [](const ScoredLink& x, const ScoredLink& y) {
    return x.a != y.a ? x.a < y.a : x.b != y.b ? x.b < y.b : x.algorithm < y.algorithm;
  });
  found.erase(std::unique(found.begin(), found.end(),
                          [](const ScoredLink& x, const ScoredLink& y) { return x.a == y.a && x.b == y.b; }),
              found.end());
  Links links;
  links.group.assign(n, 0);
  links.algorithm.assign(n, 0);
  UnionFind uf(n);
  if (options.verify <= 0) {
    // Records that share any key are one group; each linked by its first algorithm.
    for (const ScoredLink& l : found) {
      uf.Union(l.a, l.b);
      for (const std::uint32_t r : {l.a, l.b}) {
        const auto algorithm = static_cast<std::uint8_t>(l.algorithm + 1);
        if (links.algorithm[r] == 0 || algorithm < links.algorithm[r]) links.algorithm[r] = algorithm;
      }
    }
    NumberGroups(n, first_key, uf, &links);
    return links;
  }
  std::vector<std::uint8_t> wanted(n, 0);
  BigVector<Candidate> pairs;
  BigVector<float> scores;
  pairs.reserve(found.size());
  scores.reserve(found.size());
  for (const ScoredLink& l : found) {
    wanted[l.a] = wanted[l.b] = 1;
    pairs.push_back({l.a, l.b, l.algorithm});
    scores.push_back(l.score);
  }
  std::vector<ScoredLink>().swap(found);
  std::vector<std::uint32_t> layout(n);
  std::iota(layout.begin(), layout.end(), 0u);
  const ProfileSet profiles(n, wanted, layout, fetch);
  links.compared = pairs.size();
  BigVector<std::uint32_t> first =
      GroupStrongestFirst(pairs, scores, StrongestFirst(scores, Threshold(options), options.threads), profiles, &uf,
                          &links, options);
  KeepPairs(std::move(first), std::move(pairs), std::move(scores), profiles, {}, options.threads, &links);
  NumberGroups(n, first_key, uf, &links);
  return links;
}

}  // namespace korvix::dedupe
