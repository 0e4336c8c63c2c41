// Where the records of a dedupe run come from: record-string files or CSV.
//
// A source hands out the records in batches of about a megabyte, so that the
// keying threads get large pieces of work, and turns the bytes of one record
// into its record string again when a report prints it. The reading thread
// calls Read; Split may run on any thread.
#ifndef KORVIX_DEDUPE_RECORD_SOURCE_H_
#define KORVIX_DEDUPE_RECORD_SOURCE_H_

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "dedupe/core/key_table.h"

namespace korvix::dedupe {

// The bytes of a batch. Unlike a string it grows without clearing what it
// grows by, which a read overwrites anyway, and it keeps its room from
// batch to batch.
class BatchText {
 public:
  const char* data() const { return data_.get(); }
  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  operator std::string_view() const { return {data_.get(), size_}; }  // NOLINT: bytes read as text

  void clear() { size_ = 0; }
  void append(std::string_view bytes) {
    if (!bytes.empty()) std::memcpy(Grow(bytes.size()), bytes.data(), bytes.size());
  }
  // Makes `n` more bytes, their contents undefined; returns the first.
  char* Grow(std::size_t n) {
    if (size_ + n > capacity_) {
      capacity_ = std::max(2 * capacity_, size_ + n);
      std::unique_ptr<char[]> bigger(new char[capacity_]);
      if (size_ > 0) std::memcpy(bigger.get(), data_.get(), size_);
      data_ = std::move(bigger);
    }
    size_ += n;
    return data_.get() + size_ - n;
  }
  // REQUIRES: n <= size().
  void Shrink(std::size_t n) { size_ = n; }

 private:
  std::unique_ptr<char[]> data_;
  std::size_t size_ = 0, capacity_ = 0;
};

// Records of the input as the keying threads get them.
struct RecordBatch {
  // The bytes the records are in: input lines (records are pieces of them)
  // or record strings made from CSV records.
  BatchText text;
  std::uint64_t offset = 0;      // input offset of text[0], before Split
  std::uint64_t first_line = 0;  // line number of text[0], before Split
  bool split = false;            // records are found

  struct Record {
    std::size_t begin = 0;  // in text
    std::size_t size = 0;
    RecordPlace place;
  };
  std::vector<Record> records;

  std::string_view record(std::size_t i) const {
    return std::string_view(text).substr(records[i].begin, records[i].size);
  }
  void Clear() {
    text.clear();
    records.clear();
    split = false;
  }
};

class RecordSource {
 public:
  virtual ~RecordSource() = default;

  // Fills `batch` with the next records; false at the end of the input.
  // Throws IoError when reading fails or, with --strict, at a bad record.
  virtual bool Read(RecordBatch* batch) = 0;

  // Finds the records of a batch that Read left unsplit.
  virtual void Split(RecordBatch* batch) const = 0;

  // Bytes of the input consumed so far; for the progress display.
  virtual std::uint64_t bytes_read() const = 0;

  // Records that were reported and skipped.
  virtual std::uint64_t skipped() const = 0;

  // The record string of a record whose bytes, as its RecordPlace locates
  // them in the input, are `bytes`: `bytes` themselves, or a string made in
  // `*scratch`.
  virtual std::string_view RecordString(std::string_view bytes, std::string* scratch) const = 0;
};

}  // namespace korvix::dedupe

#endif  // KORVIX_DEDUPE_RECORD_SOURCE_H_
