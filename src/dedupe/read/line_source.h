// Record strings, one per line, as a dedupe run reads them.
#ifndef KORVIX_DEDUPE_LINE_SOURCE_H_
#define KORVIX_DEDUPE_LINE_SOURCE_H_

#include <cstdint>
#include <string>

#include "dedupe/read/record_source.h"

namespace korvix::dedupe {

// Reads record strings from a file descriptor, one per line. A line ends at
// LF; a CR before it is dropped, so CRLF files read like LF files, and the
// last line needs no line end. A line without any byte holds no record and
// is passed over (its number still counts). A UTF-8 byte order mark at the
// very start is no part of the first record. Every other line is a record:
// a record string has no syntax that could fail, so nothing is ever skipped.
//
// Read only cuts the input into blocks of whole lines; Split, on a keying
// thread, finds the lines, so the reading thread does almost nothing.
class LineSource final : public RecordSource {
 public:
  static constexpr std::size_t kDefaultBlock = std::size_t{1} << 20;

  // Reads `fd`, which stays owned by the caller; `name` is for messages.
  // `block` (at least 1) is the size of the reads; a longer line makes a
  // larger batch.
  LineSource(int fd, std::string name, std::size_t block = kDefaultBlock);

  bool Read(RecordBatch* batch) override;
  void Split(RecordBatch* batch) const override;
  std::uint64_t bytes_read() const override { return offset_; }
  std::uint64_t skipped() const override { return 0; }
  std::string_view RecordString(std::string_view bytes, std::string*) const override {
    return bytes;
  }

 private:
  bool ReadMore(BatchText* text, std::size_t want);  // false at the end

  int fd_;
  std::string name_;
  std::size_t block_;
  std::string carry_;          // a started line, read with the last block
  std::uint64_t offset_ = 0;   // input offset of carry_[0]
  std::uint64_t line_ = 1;     // line number of carry_[0]
  bool eof_ = false;
};

}  // namespace korvix::dedupe

#endif  // KORVIX_DEDUPE_LINE_SOURCE_H_
