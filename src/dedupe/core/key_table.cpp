#include "dedupe/core/key_table.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <memory>

#include "base/parallel.h"
#include "dedupe/core/temp_files.h"

namespace korvix::dedupe {

void KeyColumn::Append(const KeyColumn& other) {
  const std::uint64_t offset = keys_.size();
  keys_.append(other.keys_.begin(), other.keys_.end());
  for (std::size_t i = 0; i < other.size(); ++i) ends_.push_back(offset + other.ends_[i]);
}

void KeyTable::Add(std::span<const std::string> keys, const RecordPlace& place) {
  for (std::size_t a = 0; a < keys_.size(); ++a) keys_[a].Add(keys[a]);
  lines_.push_back(place.line);
  offsets_.push_back(place.offset);
  lengths_.push_back(place.length);
}

void KeyTable::Append(const KeyTable& other) {
  for (std::size_t a = 0; a < keys_.size(); ++a) keys_[a].Append(other.keys_[a]);
  for (std::size_t i = 0; i < other.size(); ++i) {
    lines_.push_back(other.lines_[i]);
    offsets_.push_back(other.offsets_[i]);
  }
  lengths_.append(other.lengths_.begin(), other.lengths_.end());
}

void KeyTable::Reserve(std::size_t records, std::size_t key_bytes) {
  for (KeyColumn& k : keys_) k.Reserve(records, key_bytes);
  lines_.reserve(records);
  offsets_.reserve(records);
  lengths_.reserve(records);
}

void KeyTable::Clear() {
  for (KeyColumn& k : keys_) k.Clear();
  lines_.clear();
  offsets_.clear();
  lengths_.clear();
}

std::size_t KeyTable::key_bytes() const {
  std::size_t bytes = 0;
  for (const KeyColumn& k : keys_) bytes += k.key_bytes();
  return bytes;
}

void KeyTable::Park() {
  for (KeyColumn& k : keys_) k.Park();
  lines_.Park();
  offsets_.Park();
  lengths_.Park();
}

void KeyTable::Cool() const {
  for (const KeyColumn& k : keys_) k.Cool();
  lines_.Cool();
  offsets_.Cool();
  lengths_.Cool();
}

std::size_t KeyTable::memory() const {
  std::size_t bytes = 4 * lines_.capacity() + 4 * offsets_.capacity() + 4 * lengths_.capacity();
  for (const KeyColumn& k : keys_) bytes += k.memory();
  return bytes;
}

namespace {

// A record as the sort sees it: the first 24 key bytes as three big-endian
// numbers (zero-filled), so that comparisons never touch the keys
// themselves, which lie scattered in memory, unless both are longer.
// Keys of up to 24 bytes (all keys of the recommendation) are compared
// and grouped by their entries alone.
constexpr std::size_t kPrefix = 24;

struct SortEntry {
  std::uint64_t word[3];
  std::uint32_t length;
  std::uint32_t record;
};

std::uint64_t BigEndian(std::string_view key, std::size_t at) {
  std::uint64_t v = 0;
  // An empty key may have no bytes at all (a null data pointer): never copied from.
  if (key.size() > at) std::memcpy(&v, key.data() + at, std::min<std::size_t>(key.size() - at, 8));
  return __builtin_bswap64(v);  // the rest stays zero
}

SortEntry MakeEntry(std::string_view key, std::uint32_t record) {
  return {{BigEndian(key, 0), BigEndian(key, 8), BigEndian(key, 16)},
          static_cast<std::uint32_t>(std::min<std::size_t>(key.size(), 0xFFFFFFFFu)),
          record};
}

bool SamePrefix(const SortEntry& a, const SortEntry& b) {
  return a.word[0] == b.word[0] && a.word[1] == b.word[1] && a.word[2] == b.word[2];
}

}  // namespace

namespace {

std::size_t ByteOf(const SortEntry& e, std::size_t i) {
  return static_cast<std::size_t>(e.word[i / 8] >> (56 - 8 * (i % 8)) & 0xFF);
}

// The order of the entries of one column: by key, then by record.
class EntryOrder {
 public:
  explicit EntryOrder(const KeyColumn& table) : table_(table) {}

  bool Less(const SortEntry& a, const SortEntry& b) const {
    for (int w = 0; w < 3; ++w) {
      if (a.word[w] != b.word[w]) return a.word[w] < b.word[w];
    }
    if (a.length > kPrefix && b.length > kPrefix) {
      const int c = Rest(a, b);
      if (c != 0) return c < 0;
    }
    // A shorter key here is a prefix of the longer one (the zero fill of its
    // prefix matched real bytes), so it comes first.
    if (a.length != b.length) return a.length < b.length;
    return a.record < b.record;
  }

  bool SameKey(const SortEntry& a, const SortEntry& b) const {
    return SamePrefix(a, b) && a.length == b.length && (a.length <= kPrefix || Rest(a, b) == 0);
  }

 private:
  // Compares what follows the prefixes of two keys longer than that.
  int Rest(const SortEntry& a, const SortEntry& b) const {
    return std::memcmp(table_.key(a.record).data() + kPrefix, table_.key(b.record).data() + kPrefix,
                       std::min(a.length, b.length) - kPrefix);
  }

  const KeyColumn& table_;
};

// The bucket of an entry: its leading bytes read as digits of their own
// ranges, found in a sample, as many as make at most kBuckets buckets. Keys
// are made of few characters (a PLZ of ten digits, capitals), so the buckets
// hold few keys each however alike the keys' leading bits are. A byte
// outside its sampled range sends the key to the first or the last bucket
// that the bytes before it leave open, so the buckets still follow the
// order of the keys.
class Buckets {
 public:
  // Of the records from `first` to `first + n`.
  Buckets(const KeyColumn& table, std::size_t first, std::size_t n) {
    constexpr std::size_t kSample = 1 << 14;
    const std::size_t stride = std::max<std::size_t>(1, n / kSample);
    std::array<std::size_t, kPrefix> lowest, highest;
    lowest.fill(0xFF);
    highest.fill(0);
    for (std::size_t i = first; i < first + n; i += stride) {
      const SortEntry e = MakeEntry(table.key(i), 0);
      for (std::size_t k = 0; k < kPrefix; ++k) {
        lowest[k] = std::min(lowest[k], ByteOf(e, k));
        highest[k] = std::max(highest[k], ByteOf(e, k));
      }
    }
    for (std::size_t k = 0; k < kPrefix && n > 0; ++k) {
      const std::size_t range = highest[k] - lowest[k] + 1;
      if (count_ * range > kBuckets) break;
      digits_.push_back({k, lowest[k], range, 0});
      count_ *= range;
    }
    while (!digits_.empty() && digits_.back().range == 1) digits_.pop_back();  // they tell none apart
    for (std::size_t d = digits_.size(), rest = 1; d-- > 0;) digits_[d].rest = rest *= digits_[d].range;
  }

  std::size_t count() const { return count_; }

  std::size_t Of(const SortEntry& e) const {
    std::size_t b = 0;
    for (const Digit& d : digits_) {
      const std::size_t v = ByteOf(e, d.byte);
      if (v < d.lowest) return b * d.rest;
      if (v - d.lowest >= d.range) return (b + 1) * d.rest - 1;
      b = b * d.range + (v - d.lowest);
    }
    return b;
  }

 private:
  static constexpr std::size_t kBuckets = std::size_t{1} << 16;
  struct Digit {
    std::size_t byte;
    std::size_t lowest, range;
    std::size_t rest;  // buckets that this digit and those after it tell apart
  };
  std::vector<Digit> digits_;
  std::size_t count_ = 1;
};

// Threads split the records from `first` to `first + n` into ranges.
struct Ranges {
  std::size_t first, n, parts;
  std::size_t begin(std::size_t t) const { return first + n * t / parts; }
  template <class Work>
  void InParallel(const Work& work) const {
    base::ParallelParts(parts, work);
  }
};

// Spreads the entries into the buckets, in input order within each bucket;
// returns where each bucket begins, and the end.
std::vector<std::size_t> Spread(const KeyColumn& table, const Buckets& buckets, const Ranges& ranges,
                                BigArray<SortEntry>& entries) {
  // Counts per range and bucket, then each range's place in each bucket:
  // bucket by bucket, range by range, so input order holds within a bucket.
  std::vector<std::vector<std::uint32_t>> at(ranges.parts,
                                             std::vector<std::uint32_t>(buckets.count(), 0));
  ranges.InParallel([&](std::size_t t) {
    for (std::size_t i = ranges.begin(t); i < ranges.begin(t + 1); ++i) {
      ++at[t][buckets.Of(MakeEntry(table.key(i), 0))];
    }
  });
  std::vector<std::size_t> begin(buckets.count() + 1, 0);
  std::size_t total = 0;
  for (std::size_t b = 0; b < buckets.count(); ++b) {
    begin[b] = total;
    for (std::size_t t = 0; t < ranges.parts; ++t) {
      const std::uint32_t count = at[t][b];
      at[t][b] = static_cast<std::uint32_t>(total);
      total += count;
    }
  }
  begin[buckets.count()] = total;
  ranges.InParallel([&](std::size_t t) {
    for (std::size_t i = ranges.begin(t); i < ranges.begin(t + 1); ++i) {
      const SortEntry e = MakeEntry(table.key(i), static_cast<std::uint32_t>(i));
      entries[at[t][buckets.Of(e)]++] = e;
    }
  });
  return begin;
}

// The record numbers in order, and the runs of equal keys, largest first,
// from the entries in order, handed one at a time to Add.
class Runs {
 public:
  Runs(const EntryOrder& order_of, std::size_t n) : order_of_(order_of) { order_.sorted.reserve(n); }

  void Add(const SortEntry& e) {
    if (i_ > 0 && !order_of_.SameKey(last_, e)) {
      if (i_ - run_ >= 2) order_.groups.push_back({run_, i_ - run_});
      run_ = i_;
    }
    order_.sorted.push_back(e.record);
    ++i_;
    last_ = e;
  }

  KeyOrder Finish() {
    if (i_ - run_ >= 2) order_.groups.push_back({run_, i_ - run_});
    // Sorted by key already, so a stable sort by size keeps equal sizes in key order.
    std::stable_sort(order_.groups.begin(), order_.groups.end(),
                     [](const Group& a, const Group& b) { return a.size > b.size; });
    return std::move(order_);
  }

 private:
  const EntryOrder& order_of_;
  KeyOrder order_;
  SortEntry last_{};
  std::size_t i_ = 0, run_ = 0;  // run_: where the current run of equal keys began
};

// Sorts the entries of the records from `first` to `first + n` into
// entries[0] to entries[n - 1]. The entries are spread into buckets by
// their leading bytes, then the buckets are sorted one by one, each small
// enough to stay in the cache; laid end to end they are the order. No
// second array of entries and no merge.
void Sort(const KeyColumn& table, std::size_t first, std::size_t n, unsigned threads, BigArray<SortEntry>& entries) {
  constexpr std::size_t kMinPerThread = 1 << 16;  // below, a thread costs more than it saves
  const Ranges ranges{first, n, base::PartsFor(n, threads, kMinPerThread)};
  const Buckets buckets(table, first, n);
  const std::vector<std::size_t> begin = Spread(table, buckets, ranges, entries);
  const EntryOrder order_of(table);
  std::atomic<std::size_t> next_bucket{0};
  ranges.InParallel([&](std::size_t) {
    for (std::size_t b; (b = next_bucket++) < buckets.count();) {
      if (begin[b + 1] - begin[b] > 1) {
        std::sort(entries.begin() + begin[b], entries.begin() + begin[b + 1],
                  [&order_of](const SortEntry& x, const SortEntry& y) { return order_of.Less(x, y); });
      }
    }
  });
}

// OrderByKey with `entries`, room for one entry per key.
KeyOrder Order(const KeyColumn& table, unsigned threads, BigArray<SortEntry>& entries) {
  const std::size_t n = table.size();
  Sort(table, 0, n, threads, entries);
  const EntryOrder order_of(table);
  Runs runs(order_of, n);
  for (std::size_t i = 0; i < n; ++i) runs.Add(entries[i]);
  return runs.Finish();
}

// OrderByKey of entries that do not all fit in memory: the records are
// sorted in pieces of entries.size(), written one after the other to a
// file of `temp`, and the pieces merged as they are read back, a block of
// each at a time.
// Records of one piece all come before those of the next, and the order
// tells equal keys apart by record, so the merge is the order of one sort.
KeyOrder OrderInPieces(const KeyColumn& table, unsigned threads, BigArray<SortEntry>& entries, TempFolder& temp) {
  const std::size_t n = table.size();
  const std::size_t piece = entries.size();
  const std::unique_ptr<TempFile> file = temp.Create();
  for (std::size_t first = 0; first < n; first += piece) {
    const std::size_t size = std::min(piece, n - first);
    Sort(table, first, size, threads, entries);
    file->Write({reinterpret_cast<const char*>(entries.begin()), size * sizeof(SortEntry)});
  }
  file->Flush();
  const std::size_t pieces = (n + piece - 1) / piece;
  // Each piece's block lies in the room of the entries.
  const std::size_t block = piece / pieces;
  struct Reader {
    std::size_t at, end;   // the next entry of the piece to read, and its end
    std::size_t in, read;  // the next entry of the block, and the entries in it
  };
  std::vector<Reader> readers(pieces);
  const auto fill = [&](std::size_t k) {
    Reader& r = readers[k];
    r.read = std::min(block, r.end - r.at);
    file->Read(r.at * sizeof(SortEntry), r.read * sizeof(SortEntry),
               reinterpret_cast<char*>(entries.begin() + k * block));
    r.at += r.read;
    r.in = 0;
  };
  const EntryOrder order_of(table);
  const auto entry = [&](std::size_t k) -> const SortEntry& { return entries[k * block + readers[k].in]; };
  // The pieces whose next entry comes first on top.
  const auto later = [&](std::size_t x, std::size_t y) { return order_of.Less(entry(y), entry(x)); };
  std::vector<std::size_t> heap;
  for (std::size_t k = 0; k < pieces; ++k) {
    readers[k] = {k * piece, std::min(n, (k + 1) * piece), 0, 0};
    fill(k);
    heap.push_back(k);
  }
  std::make_heap(heap.begin(), heap.end(), later);
  Runs runs(order_of, n);
  while (!heap.empty()) {
    std::pop_heap(heap.begin(), heap.end(), later);
    const std::size_t k = heap.back();
    runs.Add(entry(k));
    Reader& r = readers[k];
    if (++r.in == r.read) {
      if (r.at == r.end) {
        heap.pop_back();
        continue;
      }
      fill(k);
    }
    std::push_heap(heap.begin(), heap.end(), later);
  }
  return runs.Finish();
}

// The entries of a column of `n` records as the room allows: all of them,
// or as many as fit (but enough that the merge reads blocks of some size).
std::size_t EntriesFor(std::size_t n, std::uint64_t room) {
  constexpr std::size_t kLeastPiece = 1 << 12;
  if (room == 0 || room / sizeof(SortEntry) >= n) return n;
  return std::max<std::size_t>(std::min<std::size_t>(n, kLeastPiece), room / sizeof(SortEntry));
}

}  // namespace

KeyOrder OrderByKey(const KeyColumn& keys, unsigned threads) {
  BigArray<SortEntry> entries(keys.size());
  return Order(keys, threads, entries);
}

bool SortsInPieces(std::size_t records, const SortRoom& room) { return EntriesFor(records, room.bytes) < records; }

std::vector<KeyOrder> OrderByKeys(const KeyTable& table, unsigned threads,
                                  const std::function<void(std::size_t done)>& ordered, const SortRoom& room) {
  // One array of entries for every column: mapping it anew for each would
  // have the kernel clear its pages again.
  const std::size_t n = table.size();
  const std::size_t size = EntriesFor(n, room.bytes);
  BigArray<SortEntry> entries(size);
  std::vector<KeyOrder> orders;
  for (std::size_t a = 0; a < table.algorithms(); ++a) {
    if (ordered) ordered(a);
    orders.push_back(size == n ? Order(table.column(a), threads, entries)
                               : OrderInPieces(table.column(a), threads, entries, *room.temp));
    orders.back().sorted.Park();
    table.column(a).Cool();
  }
  if (ordered) ordered(table.algorithms());
  return orders;
}

}  // namespace korvix::dedupe
