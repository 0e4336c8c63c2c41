#include "dedupe/key_table.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include "base/parallel.h"

namespace korvix::dedupe {

void KeyColumn::Append(const KeyColumn& other) {
  const std::uint64_t offset = keys_.size();
  keys_.insert(keys_.end(), other.keys_.begin(), other.keys_.end());
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
  lengths_.insert(lengths_.end(), other.lengths_.begin(), other.lengths_.end());
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

std::size_t KeyTable::memory() const {
  std::size_t bytes = 4 * lines_.capacity() + 4 * offsets_.capacity() + 4 * lengths_.capacity();
  for (const KeyColumn& k : keys_) bytes += k.memory();
  return bytes;
}

namespace {

// A record as the sort sees it: the first 16 key bytes as two big-endian
// numbers (zero-filled), so that most comparisons never touch the keys
// themselves, which lie scattered in memory.
struct SortEntry {
  std::uint64_t high;
  std::uint64_t low;
  std::uint32_t length;
  std::uint32_t record;
};

constexpr std::size_t kPrefix = 16;

std::uint64_t BigEndian(const char* p, std::size_t n) {
  std::uint64_t v = 0;
  // The rest stays zero. An empty key may have no bytes at all: p may be null.
  if (n > 0) std::memcpy(&v, p, std::min<std::size_t>(n, 8));
  return __builtin_bswap64(v);
}

SortEntry MakeEntry(std::string_view key, std::uint32_t record) {
  const std::size_t n = key.size();
  return {BigEndian(key.data(), n), n > 8 ? BigEndian(key.data() + 8, n - 8) : 0,
          static_cast<std::uint32_t>(std::min<std::size_t>(n, 0xFFFFFFFFu)), record};
}

}  // namespace

KeyOrder OrderByKey(const KeyColumn& table, unsigned threads) {
  // Compares what follows the first 16 bytes of two keys longer than that.
  const auto rest = [&table](const SortEntry& a, const SortEntry& b) {
    return std::memcmp(table.key(a.record).data() + kPrefix, table.key(b.record).data() + kPrefix,
                       std::min(a.length, b.length) - kPrefix);
  };
  const auto less = [&rest](const SortEntry& a, const SortEntry& b) {
    if (a.high != b.high) return a.high < b.high;
    if (a.low != b.low) return a.low < b.low;
    if (a.length > kPrefix && b.length > kPrefix) {
      const int c = rest(a, b);
      if (c != 0) return c < 0;
    }
    // A shorter key here is a prefix of the longer one (the zero fill of its
    // prefix matched real bytes), so it comes first.
    if (a.length != b.length) return a.length < b.length;
    return a.record < b.record;
  };
  const auto same = [&rest](const SortEntry& a, const SortEntry& b) {
    return a.high == b.high && a.low == b.low && a.length == b.length &&
           (a.length <= kPrefix || rest(a, b) == 0);
  };

  // Threads split the table into ranges of records. The entries are first
  // spread into buckets by the leading bits in which keys differ, in input
  // order within each bucket; then the buckets are sorted one by one, each
  // small enough to stay in the cache, and laid end to end they are the
  // order. No second array of entries and no merge.
  const std::size_t n = table.size();
  constexpr std::size_t kMinPerThread = 1 << 16;  // below, a thread costs more than it saves
  const std::size_t parts = base::PartsFor(n, threads, kMinPerThread);
  const auto in_parallel = [parts](const auto& work) { base::ParallelParts(parts, work); };
  const auto range_begin = [n, parts](std::size_t t) { return n * t / parts; };

  // Which bits of the prefixes differ anywhere: the buckets use the first 16 of them.
  std::vector<std::uint64_t> differ_high(parts, 0), differ_low(parts, 0);
  const SortEntry first = n > 0 ? MakeEntry(table.key(0), 0) : SortEntry{};
  in_parallel([&](std::size_t t) {
    std::uint64_t high = 0, low = 0;
    for (std::size_t i = range_begin(t); i < range_begin(t + 1); ++i) {
      const SortEntry e = MakeEntry(table.key(i), 0);
      high |= e.high ^ first.high;
      low |= e.low ^ first.low;
    }
    differ_high[t] = high;
    differ_low[t] = low;
  });
  std::uint64_t high = 0, low = 0;
  for (std::size_t t = 0; t < parts; ++t) high |= differ_high[t], low |= differ_low[t];
  // Where every prefix agrees in its first 8 bytes, the next 8 decide.
  const bool by_high = high != 0;
  const std::uint64_t differ = by_high ? high : low;
  const int skip = differ == 0 ? 0 : __builtin_clzll(differ);
  constexpr int kBucketBits = 16;
  constexpr std::size_t kBuckets = std::size_t{1} << kBucketBits;
  const auto bucket = [&](const SortEntry& e) -> std::size_t {
    if (differ == 0) return 0;
    return static_cast<std::size_t>(((by_high ? e.high : e.low) << skip) >> (64 - kBucketBits));
  };

  // Counts per range and bucket, then each range's place in each bucket:
  // bucket by bucket, range by range, so input order holds within a bucket.
  std::vector<std::vector<std::uint32_t>> at(parts, std::vector<std::uint32_t>(kBuckets, 0));
  in_parallel([&](std::size_t t) {
    for (std::size_t i = range_begin(t); i < range_begin(t + 1); ++i) {
      ++at[t][bucket(MakeEntry(table.key(i), 0))];
    }
  });
  std::vector<std::size_t> bucket_begin(kBuckets + 1, 0);
  std::size_t total = 0;
  for (std::size_t b = 0; b < kBuckets; ++b) {
    bucket_begin[b] = total;
    for (std::size_t t = 0; t < parts; ++t) {
      const std::uint32_t count = at[t][b];
      at[t][b] = static_cast<std::uint32_t>(total);
      total += count;
    }
  }
  bucket_begin[kBuckets] = total;
  BigArray<SortEntry> entries(n);
  in_parallel([&](std::size_t t) {
    for (std::size_t i = range_begin(t); i < range_begin(t + 1); ++i) {
      const SortEntry e = MakeEntry(table.key(i), static_cast<std::uint32_t>(i));
      entries[at[t][bucket(e)]++] = e;
    }
  });
  std::atomic<std::size_t> next_bucket{0};
  in_parallel([&](std::size_t) {
    for (std::size_t b; (b = next_bucket++) < kBuckets;) {
      if (bucket_begin[b + 1] - bucket_begin[b] > 1) {
        std::sort(entries.begin() + bucket_begin[b], entries.begin() + bucket_begin[b + 1], less);
      }
    }
  });

  // One pass takes the record numbers and finds the runs of equal keys.
  KeyOrder order;
  order.sorted.resize(n);
  std::size_t run = 0;  // where the current run of equal keys began
  for (std::size_t i = 0; i < n; ++i) {
    if (i > 0 && !same(entries[i - 1], entries[i])) {
      if (i - run >= 2) order.groups.push_back({run, i - run});
      run = i;
    }
    order.sorted[i] = entries[i].record;
  }
  if (n - run >= 2) order.groups.push_back({run, n - run});
  // Sorted by key already, so a stable sort by size keeps equal sizes in key order.
  std::stable_sort(order.groups.begin(), order.groups.end(),
                   [](const Group& a, const Group& b) { return a.size > b.size; });
  return order;
}

}  // namespace korvix::dedupe
