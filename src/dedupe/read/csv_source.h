// CSV files with a header row, as a dedupe run reads them.
#ifndef KORVIX_DEDUPE_CSV_SOURCE_H_
#define KORVIX_DEDUPE_CSV_SOURCE_H_

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "dedupe/read/csv_reader.h"
#include "dedupe/read/record_source.h"
#include "dedupe/read/field_map.h"

namespace korvix::dedupe {

// What happens to a record that cannot be used: a malformed one, or one with
// more or fewer fields than the header.
struct BadRecordPolicy {
  // Ends the run: the first bad record throws IoError with its message.
  bool strict = false;
  // Otherwise each one is passed here (a message naming the input and the
  // line, such as "data.csv: line 7: 8 fields, the header has 9") and
  // counted as skipped.
  std::function<void(const std::string& message)> report;
};

// Reads CSV (see CsvReader) whose first record is the header. Each later
// record becomes the record string of the columns that the field map
// chooses.
class CsvSource final : public RecordSource {
 public:
  // Reads the header from `fd` (owned by the caller) and maps its columns by
  // their names and `map_option` (the --map text; FieldMap::Make). Throws
  // UsageError when no mapping results, IoError when the header cannot be
  // read. An input without any record has no header and gives no records.
  CsvSource(int fd, std::string name, char delimiter, std::string_view map_option,
            BadRecordPolicy policy, std::size_t block = CsvReader::kDefaultBlock);

  bool Read(RecordBatch* batch) override;
  void Split(RecordBatch*) const override {}
  std::uint64_t bytes_read() const override { return bytes_read_; }
  std::uint64_t skipped() const override { return skipped_; }
  std::string_view RecordString(std::string_view bytes, std::string* scratch) const override;

  // The header's fields, and the delimiter in use (detected or given).
  const std::vector<std::string>& header() const { return header_; }
  char delimiter() const { return reader_.delimiter(); }

  // The field map; REQUIRES: the input had a header.
  const FieldMap& map() const { return *map_; }
  bool has_header() const { return map_.has_value(); }

  // Splits the bytes of one record (as its RecordPlace locates them) into
  // its fields, for reports that print them. The views live until the next
  // call. Returns false when the bytes no longer parse as one record of the
  // header's width (the file changed during the run).
  bool Fields(std::string_view bytes, std::vector<std::string_view>* fields) const;

 private:
  void Skip(const std::string& message);

  CsvReader reader_;
  std::string name_;
  BadRecordPolicy policy_;
  std::vector<std::string> header_;
  std::optional<FieldMap> map_;
  CsvRecord record_;
  std::string scratch_;
  std::uint64_t bytes_read_ = 0;
  std::uint64_t skipped_ = 0;
  mutable CsvRecord reread_;  // for RecordString and Fields
  mutable std::vector<std::string_view> fields_;
};

}  // namespace korvix::dedupe

#endif  // KORVIX_DEDUPE_CSV_SOURCE_H_
