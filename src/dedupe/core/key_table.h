// The keys of every record of a run, and the records in key order.
//
// A run keeps one key per algorithm and one place per record, never the
// record itself: a key is a dozen bytes, a record a hundred, so ten million
// records take some 300 MB here (a key and 16 bytes each). Records are
// numbered 0, 1, ... in input order; the number is what the sort and the
// groups hand around.
#ifndef KORVIX_DEDUPE_KEY_TABLE_H_
#define KORVIX_DEDUPE_KEY_TABLE_H_

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "dedupe/core/big_allocator.h"
#include "dedupe/core/rising_array.h"
#include "dedupe/core/parkable_array.h"

namespace korvix::dedupe {

// Where a record stands in its input, so that it can be read again later
// instead of being held in memory.
struct RecordPlace {
  std::uint64_t line = 0;    // 1-based line where the record starts
  std::uint64_t offset = 0;  // byte offset of the record in the input
  std::uint32_t length = 0;  // bytes of the record, without its line break
};

// The keys of one algorithm, back to back.
class KeyColumn {
 public:
  void Add(std::string_view key) {
    keys_.append(key.begin(), key.end());
    ends_.push_back(keys_.size());
  }
  void Append(const KeyColumn& other);
  void Reserve(std::size_t records, std::size_t key_bytes) {
    keys_.reserve(key_bytes);
    ends_.reserve(records);
  }
  void Clear() {
    keys_.clear();
    ends_.clear();
  }
  std::size_t size() const { return ends_.size(); }
  std::string_view key(std::size_t i) const {
    const std::uint64_t begin = i == 0 ? 0 : ends_[i - 1];
    return std::string_view(keys_.data() + begin, ends_[i] - begin);
  }
  std::size_t key_bytes() const { return keys_.size(); }
  // Bytes of memory held; parked keys are in a file.
  std::size_t memory() const { return keys_.capacity() + 4 * ends_.capacity(); }
  // The keys of records first..last-1 are read no more: the memory that they
  // alone fill goes back to the system. REQUIRES: first <= last <= size().
  void LetGo(std::size_t first, std::size_t last) {
    if (first < last) keys_.LetGo(first == 0 ? 0 : ends_[first - 1], ends_[last - 1]);
  }
  // See ParkableArray: once all are added, the keys read as before from a
  // file where one can be had.
  void Park() {
    keys_.Park();
    ends_.Park();
  }
  void Cool() const {
    keys_.Cool();
    ends_.Cool();
  }

 private:
  ParkableArray<char> keys_;
  RisingArray ends_;  // end of key i in keys_
};

// Holds one place and one key per algorithm for each record, in input order.
class KeyTable {
 public:
  // The most records a table holds: record numbers are 31 bits, as linking
  // marks the first record of a set in the 32nd.
  static constexpr std::size_t kMaxRecords = 0x7FFFFFFFu;

  explicit KeyTable(std::size_t algorithms = 1) : keys_(algorithms) {}

  // `keys` holds one key per algorithm. REQUIRES: size() < kMaxRecords.
  void Add(std::span<const std::string> keys, const RecordPlace& place);

  // Adds the records of `other` (with as many algorithms) behind these.
  void Append(const KeyTable& other);

  void Reserve(std::size_t records, std::size_t key_bytes);
  void Clear();

  std::size_t size() const { return lines_.size(); }
  bool empty() const { return lines_.empty(); }
  std::size_t algorithms() const { return keys_.size(); }
  const KeyColumn& column(std::size_t algorithm) const { return keys_[algorithm]; }
  std::string_view key(std::size_t i) const { return keys_[0].key(i); }
  std::string_view key(std::size_t algorithm, std::size_t i) const { return keys_[algorithm].key(i); }
  RecordPlace place(std::size_t i) const { return {lines_[i], offsets_[i], lengths_[i]}; }

  // Bytes of all keys together.
  std::size_t key_bytes() const;

  // Bytes of memory the table holds, for sizing buffers beside it.
  std::size_t memory() const;

  // Parks every key and place (ParkableArray), to be read back seldom, and
  // lets go of what was read of them.
  void Park();
  void Cool() const;

 private:
  std::vector<KeyColumn> keys_;
  // The places, column by column: no padding between the fields.
  RisingArray lines_;
  RisingArray offsets_;
  ParkableArray<std::uint32_t> lengths_;
};

// A run of records with equal keys in a key-sorted index.
struct Group {
  std::size_t begin = 0;  // position of its first record in the sorted index
  std::size_t size = 0;
};

// The records of one key column in key order, and their duplicate groups.
struct KeyOrder {
  // Record numbers ordered by key (bytes compared as unsigned, which for
  // UTF-8 is code point order), records of equal keys in input order.
  // Parked by OrderByKeys: read through once or twice, then seldom.
  ParkableArray<std::uint32_t> sorted;
  // The runs of two or more equal keys in `sorted`: largest first, equal
  // sizes by key.
  BigVector<Group> groups;
};

// Sorts and groups on `threads` threads (0: all usable processors).
KeyOrder OrderByKey(const KeyColumn& keys, unsigned threads = 0);

class TempFolder;

// What the sort of the keys may take: `bytes` of memory for the entries it
// sorts, beside the orders it makes (0: as much as it needs), and where it
// writes what does not fit.
struct SortRoom {
  std::uint64_t bytes = 0;
  TempFolder* temp = nullptr;  // REQUIRES: set when bytes is
};

// Whether OrderByKeys sorts `records` in pieces through files in `room`.
bool SortsInPieces(std::size_t records, const SortRoom& room);

// OrderByKey of each column of `table`, in turn, each order parked once
// made; `ordered` (may be null) is told the columns done after each. When
// the entries of a column (32 bytes a record) do not fit `room`, the column
// is sorted in pieces that do, written to temporary files and merged: the
// same orders, in little memory. Throws IoError when the files cannot be
// written.
std::vector<KeyOrder> OrderByKeys(const KeyTable& table, unsigned threads = 0,
                                  const std::function<void(std::size_t done)>& ordered = {},
                                  const SortRoom& room = {});

}  // namespace korvix::dedupe

#endif  // KORVIX_DEDUPE_KEY_TABLE_H_
