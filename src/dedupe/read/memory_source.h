// Record strings in memory as a source of records.
#ifndef KORVIX_DEDUPE_MEMORY_SOURCE_H_
#define KORVIX_DEDUPE_MEMORY_SOURCE_H_

#include <algorithm>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "dedupe/read/record_source.h"

namespace korvix::dedupe {

// Record strings in memory, as a source: a record's place is its index.
class MemorySource final : public RecordSource {
 public:
  explicit MemorySource(std::span<const std::string_view> records) : records_(records) {}
  bool Read(RecordBatch* batch) override {
    batch->Clear();
    batch->split = true;
    for (; next_ < records_.size() && batch->text.size() < (std::size_t{1} << 20); ++next_) {
      const std::string_view r = records_[next_];
      const auto length = static_cast<std::uint32_t>(std::min<std::size_t>(r.size(), 0xFFFFFFFFu));
      batch->records.push_back({batch->text.size(), r.size(), {next_ + 1, next_, length}});
      batch->text.append(r);
    }
    return !batch->records.empty();
  }
  void Split(RecordBatch*) const override {}
  std::uint64_t bytes_read() const override { return next_; }
  std::uint64_t skipped() const override { return 0; }
  std::string_view RecordString(std::string_view bytes, std::string*) const override { return bytes; }

 private:
  std::span<const std::string_view> records_;
  std::size_t next_ = 0;
};

}  // namespace korvix::dedupe

#endif  // KORVIX_DEDUPE_MEMORY_SOURCE_H_
