// The keys of every record of a run, and their duplicate groups.
#ifndef KORVIX_TOOLS_KEY_TABLE_H_
#define KORVIX_TOOLS_KEY_TABLE_H_

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace korvix::cli {

// Where a record stands in its input, so that it can be read again later
// instead of being held in memory.
struct RecordPlace {
  std::uint64_t line = 0;    // 1-based line where the record starts
  std::uint64_t offset = 0;  // byte offset of the record in the input
  std::uint32_t length = 0;  // bytes of the record, without its line break
};

// Holds one key and one place per record, in input order. Memory grows with
// the keys, not with the records: a key is a few bytes, a record many.
class KeyTable {
 public:
  void Add(std::string_view key, const RecordPlace& place);

  std::size_t size() const { return places_.size(); }
  std::string_view key(std::size_t i) const {
    return std::string_view(keys_).substr(key_begin_[i], key_begin_[i + 1] - key_begin_[i]);
  }
  const RecordPlace& place(std::size_t i) const { return places_[i]; }

  // Record indexes ordered by key, records of equal keys in input order.
  std::vector<std::uint32_t> SortedByKey() const;

 private:
  std::string keys_;
  std::vector<std::uint64_t> key_begin_{0};
  std::vector<RecordPlace> places_;
};

// A run of records with equal keys in a key-sorted index.
struct Group {
  std::size_t begin = 0;  // position of its first record in the sorted index
  std::size_t size = 0;
};

// The groups of two or more records: largest first, equal sizes by key.
std::vector<Group> DuplicateGroups(const KeyTable& table, std::span<const std::uint32_t> sorted);

}  // namespace korvix::cli

#endif  // KORVIX_TOOLS_KEY_TABLE_H_
