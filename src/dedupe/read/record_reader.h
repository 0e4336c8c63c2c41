// Reading records back from the input by their places.
//
// A report prints records in an order of its own (largest group first, or
// by key), which jumps about the input. One read per record would cost a
// system call each; instead the records are read in input order, a stretch
// of nearby ones with one read, and put into report order in memory, as
// many at a time as a byte budget allows. Their keys and line numbers come
// along, so that a report never looks up a record by its number: with
// millions of records each such look-up is a cache miss.
#ifndef KORVIX_DEDUPE_RECORD_READER_H_
#define KORVIX_DEDUPE_RECORD_READER_H_

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "dedupe/core/big_allocator.h"
#include "dedupe/core/key_table.h"

namespace korvix::dedupe {

class RecordReader {
 public:
  static constexpr std::size_t kDefaultWindow = std::size_t{4} << 20;

  // Reads from `fd` with pread; the descriptor stays the caller's. `name`
  // is for messages. One read covers at most `window` bytes, unless a
  // single record is longer.
  RecordReader(const KeyTable& table, int fd, std::string name,
               std::size_t window = kDefaultWindow);

  // A record as a report gets it: the views live until the visit returns.
  struct Visited {
    std::size_t position = 0;  // in the list of records asked for
    std::uint32_t record = 0;
    std::uint64_t line = 0;
    std::string_view key;
    std::string_view bytes;
  };
  using Visit = std::function<void(const Visited&)>;

  // Visits each record of `records` in that order. REQUIRES: `records`
  // ascends. Throws IoError when the input cannot be read or has become
  // shorter.
  void ForEach(std::span<const std::uint32_t> records, const Visit& visit);

  // Visits each record of `order` in that order, in passes: each pass holds
  // the bytes and keys of about `budget` bytes' worth of records (at least
  // one record, at most twice the budget) and reads the input once.
  // REQUIRES: no record occurs twice in `order`.
  void ForEachInOrder(std::span<const std::uint32_t> order, std::size_t budget,
                      const Visit& visit);

  // Which key a visit gives: for record r the key under algorithm
  // choice[r] (1-based; 0 and an empty choice: the first algorithm). The
  // span must outlive the visits.
  void SetKeyChoice(std::span<const std::uint8_t> choice) { choice_ = choice; }

  // Told now and then how many of the records asked for a visit has had,
  // and of how many: the progress of a long report. May be null.
  using Told = std::function<void(std::uint64_t done, std::uint64_t total)>;
  void SetProgress(Told told) { told_ = std::move(told); }

  // The reads made so far, for tests of the batching.
  std::size_t reads() const { return reads_; }

 private:
  // ForEach, telling the progress when `tell`.
  void VisitAscending(std::span<const std::uint32_t> records, const Visit& visit, bool tell);
  // Reads `size` bytes at `offset` into buf_.
  void ReadAt(std::uint64_t offset, std::size_t size);
  std::string_view Key(std::uint32_t r) const {
    const std::size_t a = choice_.empty() || choice_[r] == 0 ? 0 : choice_[r] - 1u;
    return table_.key(a, r);
  }

  const KeyTable& table_;
  int fd_;
  std::string name_;
  std::size_t window_;
  ByteBuffer buf_;
  ByteBuffer pass_;  // keys and records of one pass of ForEachInOrder
  std::size_t reads_ = 0;
  std::span<const std::uint8_t> choice_;
  Told told_;
};

}  // namespace korvix::dedupe

#endif  // KORVIX_DEDUPE_RECORD_READER_H_
