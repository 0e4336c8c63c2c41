// The clean file (the input without its merged records) and the mapping
// (each merged record and its survivor).
#ifndef KORVIX_DEDUPE_CLEAN_FILE_H_
#define KORVIX_DEDUPE_CLEAN_FILE_H_

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "dedupe/clean/survivors.h"
#include "dedupe/core/key_table.h"
#include "dedupe/report/report_file.h"

namespace korvix::dedupe {

// Copies the input (read from `fd` with pread) to `out` byte for byte,
// leaving out each merged record with its line end and putting a filled
// survivor's new bytes in place of its old ones. Everything else (a byte
// order mark, the header, blank lines, records the run skipped) stays.
// Throws IoError when the input cannot be read or has become shorter.
void WriteCleanCopy(int fd, std::string_view name, const KeyTable& table, const Survivors& survivors,
                    ReportFile* out);

// The same for record strings in memory: each kept one on a line.
void WriteCleanRecords(std::span<const std::string_view> records, const Survivors& survivors,
                       ReportFile* out);

// The mapping: a header, then one row per merged record, ascending:
// record, [id,] survivor_record, [survivor_id,] group; record numbers from
// 1. `ids` gives a record's id, null without an id column.
struct MappingFormat {
  char delimiter = ',';
  bool crlf = false;
  std::function<std::string(std::uint32_t)> ids;
};
void WriteMapping(const Survivors& survivors, std::span<const std::uint32_t> groups,
                  const MappingFormat& format, ReportFile* out);

}  // namespace korvix::dedupe

#endif  // KORVIX_DEDUPE_CLEAN_FILE_H_
