// The index file of a Matcher: a base's keys, profiles and printed records.
//
// The layout, every number little-endian:
//   "KVXINDEX", u32 format version, u32 0, u64 bytes after this header,
//   u64 checksum of those bytes (IndexChecksum)
//   the options: u32 algorithms, u32 optional items, u8 normalize, 7 bytes 0,
//     f64 verify, u64 max_candidates, u64 records, u64 skipped, the items
//     (u32 each), then strings (u32 length, bytes): per algorithm its code and
//     name, then the id option; padded to 8 bytes
//   the records: u64 end of each record in the blob, then the blob: per
//     record its line, its profile text's length + 1 (0: the profile text is
//     that of the record string, DeriveProfile, and not stored), and the
//     lengths of id and record string as varints, then those bytes; padded
//   per algorithm: u64 keys K, u64 slots T (more than K), u64 entry bytes;
//     u32 slot[T] (0 free, else where the key's entry starts + 1, placed at
//     SlotOf(KeyHash) with linear probing); the entries, one per key: as
//     varints the key's length, then its bytes, then the number of its
//     records and the records ascending, each but the first as the
//     difference to the one before; each array padded to 8 bytes
// A reader checks every size and number before it trusts it: a damaged file
// is refused, never read outside its bytes.
#ifndef KORVIX_DEDUPE_INDEX_FILE_H_
#define KORVIX_DEDUPE_INDEX_FILE_H_

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "korvix/dedupe.h"

namespace korvix::dedupe {

inline constexpr std::uint32_t kIndexVersion = 1;
inline constexpr std::size_t kIndexHeader = 32;

// What shapes the keys and the decisions of an index.
struct IndexMeta {
  std::vector<DedupeAlgorithm> algorithms;
  std::vector<int> optional_items;
  bool normalize = false;
  double verify = 0;
  std::uint64_t max_candidates = 0;
  std::string id;
  std::uint64_t skipped = 0;  // bad records of the base file, left out
};

// The checksum of the bytes after the header.
std::uint64_t IndexChecksum(std::span<const unsigned char> bytes);

// The hash that places a key in its table, and its slot in a table of `slots`.
std::uint64_t KeyHash(std::string_view key);
std::size_t SlotOf(std::uint64_t hash, std::size_t slots);

struct IndexRecord {
  std::uint64_t line = 0;
  std::string_view profile, id, text;
  bool derived = false;  // the profile text is DeriveProfile(text), not stored
};

// The profile text of a record string as KeyRecords keeps it: most records
// print as they were read, and their profile texts need not be stored.
void DeriveProfile(std::string_view record, std::string* out);

// An index file's bytes, checked whole and then viewed where they lie.
class IndexView {
 public:
  IndexView() = default;
  // Throws IoError naming `name` when the bytes are no sound index.
  IndexView(std::span<const unsigned char> bytes, const std::string& name);

  const IndexMeta& meta() const { return meta_; }
  std::size_t records() const { return records_; }
  IndexRecord record(std::uint32_t r) const;

  // Appends the records whose key under `algorithm` is `key`.
  void Find(std::size_t algorithm, std::string_view key, std::vector<std::uint32_t>* out) const;
  // Calls visit(key, records) for every key of an algorithm, in the file's order.
  template <class Visit>
  void ForEachKey(std::size_t algorithm, const Visit& visit) const {
    const Table& t = tables_[algorithm];
    std::vector<std::uint32_t> records;
    for (std::size_t at = 0; at < t.entry_bytes;) {
      records.clear();
      const std::string_view key = Entry(t, at, &records, &at);
      visit(key, std::span<const std::uint32_t>(records));
    }
  }

 private:
  struct Table {
    std::size_t keys = 0, slots = 0, entry_bytes = 0;
    const std::uint32_t* slot = nullptr;
    const unsigned char* entries = nullptr;
  };
  // The entry at `at` of a checked table: its key, its records appended to
  // `records` (when not null), and where the next entry starts.
  static std::string_view Entry(const Table& t, std::size_t at, std::vector<std::uint32_t>* records,
                                std::size_t* next);
  IndexMeta meta_;
  std::size_t records_ = 0;
  const std::uint64_t* record_end_ = nullptr;
  const unsigned char* blob_ = nullptr;
  std::vector<Table> tables_;
};

// Writes an index: the records in order, then each algorithm's keys.
class IndexWriter {
 public:
  explicit IndexWriter(IndexMeta meta);
  void AddRecord(const IndexRecord& record);
  // REQUIRES: each key once per algorithm, its records ascending and added.
  void AddKey(std::size_t algorithm, std::string_view key, std::span<const std::uint32_t> records);
  // The whole file. Throws UsageError when a part outgrows 32-bit offsets.
  std::vector<unsigned char> Finish() const;

 private:
  struct Table {
    std::string entries;
    std::vector<std::uint32_t> starts;
    std::vector<std::uint64_t> hashes;
  };
  IndexMeta meta_;
  std::vector<std::uint64_t> record_end_;
  std::string blob_, derived_;
  std::vector<Table> tables_;
};

}  // namespace korvix::dedupe

#endif  // KORVIX_DEDUPE_INDEX_FILE_H_
