#include "dedupe/read/csv_source.h"

#include "dedupe/core/error.h"

namespace korvix::dedupe {

namespace {
// Records per batch; a megabyte of record strings ends a batch earlier.
constexpr std::size_t kBatchRecords = 1 << 14;
constexpr std::size_t kBatchBytes = std::size_t{1} << 20;
}  // namespace

CsvSource::CsvSource(int fd, std::string name, char delimiter,
                     std::string_view map_option, BadRecordPolicy policy,
                     std::size_t block)
    : reader_(fd, name, delimiter, block), name_(std::move(name)), policy_(std::move(policy)) {
  if (!reader_.Next(&record_)) return;
  if (!record_.ok()) throw IoError(record_.error + " (in the header)");
  header_.assign(record_.fields.begin(), record_.fields.end());
  bytes_read_ = record_.offset + record_.length;
  const std::vector<std::string_view> names(header_.begin(), header_.end());
  map_ = FieldMap::Make(names, map_option);
}

void CsvSource::Skip(const std::string& message) {
  if (policy_.strict) throw IoError(message);
  ++skipped_;
  if (policy_.report) policy_.report(message);
}

bool CsvSource::Read(RecordBatch* batch) {
  batch->Clear();
  batch->split = true;
  if (!map_) return false;
  while (batch->records.size() < kBatchRecords && batch->text.size() < kBatchBytes) {
    if (!reader_.Next(&record_)) break;
    bytes_read_ = record_.offset + record_.length;
    if (!record_.ok()) {
      Skip(record_.error);
      continue;
    }
    if (!map_->RecordString(record_.fields, &scratch_)) {
      Skip(name_ + ": line " + std::to_string(record_.line) + ": " +
           std::to_string(record_.fields.size()) + (record_.fields.size() == 1 ? " field" : " fields") +
           ", the header has " + std::to_string(map_->columns()));
      continue;
    }
    const auto length = static_cast<std::uint32_t>(record_.length);  // at most the reader's limit
    batch->records.push_back(
        {batch->text.size(), scratch_.size(), {record_.line, record_.offset, length}});
    batch->text.append(scratch_);
  }
  // The loop ends early only when the batch is full: empty means the end.
  return !batch->records.empty();
}

bool CsvSource::Fields(std::string_view bytes, std::vector<std::string_view>* fields) const {
  ParseCsvRecord(bytes, reader_.delimiter(), &reread_);
  fields->assign(reread_.fields.begin(), reread_.fields.end());
  return reread_.ok() && map_ && fields->size() == map_->columns();
}

std::string_view CsvSource::RecordString(std::string_view bytes, std::string* scratch) const {
  if (!Fields(bytes, &fields_) || !map_->RecordString(fields_, scratch)) return bytes;
  return *scratch;
}

}  // namespace korvix::dedupe
