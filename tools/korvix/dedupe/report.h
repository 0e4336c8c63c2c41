// The reports of a dedupe run: text, CSV and JSON.
//
// Every report reads the records it prints again from the input (see
// RecordReader) and prints them as UTF-8: bytes that are not UTF-8 read as
// Windows-1252, as the keys do.
#ifndef KORVIX_TOOLS_DEDUPE_REPORT_H_
#define KORVIX_TOOLS_DEDUPE_REPORT_H_

#include <chrono>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "dedupe/csv_source.h"
#include "dedupe/record_reader.h"
#include "dedupe/record_source.h"
#include "key_table.h"
#include "output.h"

namespace korvix::cli {

enum class ReportFormat { kText, kCsv, kJson };

// Parses the --format value: "text", "csv" or "json". Throws UsageError.
ReportFormat ReportFormatFromOption(std::string_view value);

// The figures of a run, as the last line of a text report gives them:
// "records N, groups G, records in groups R, seconds S, skipped K".
struct RunSummary {
  std::size_t records = 0;    // keyed records
  std::size_t groups = 0;     // groups of two or more
  std::size_t in_groups = 0;  // records in those groups
  std::uint64_t skipped = 0;  // bad records reported and left out
  double seconds = 0;
};
std::string SummaryLine(const RunSummary& summary);

// What a report is made of.
struct ReportInput {
  const KeyTable& table;
  std::span<const std::uint32_t> sorted;  // record numbers by key
  std::span<const Group> groups;          // in report order
  const RecordSource& source;
  const CsvSource* csv;                   // the same source when the input is CSV, else null
  RecordReader& reader;
  std::size_t budget;                     // bytes of records held at once
  std::string algorithm_code;
  std::string algorithm_name;
  std::chrono::steady_clock::time_point start;  // of the run, for the seconds

  RunSummary Summary() const;  // the seconds up to now
};

// The records of the groups in the order the reports list them, and where
// each group ends in that list.
struct GroupedRecords {
  std::vector<std::uint32_t> records;
  std::vector<std::size_t> ends;  // position in `records` after each group
};
GroupedRecords RecordsOfGroups(const ReportInput& in);

// The groups, largest first (equal sizes by key): "key KEY (N records)",
// then each record as "  LINE: RECORD STRING", then an empty line; the
// summary line ends the report. With `sorted`, every record instead, in key
// order, as "KEY  LINE: RECORD STRING", then the summary line.
void WriteTextReport(const ReportInput& in, bool sorted, Output* out);

// One row per record, in input order or, with `sorted`, in key order: the
// columns line, key and group (the group's number in the text report, 0 for
// a record without duplicates), then the record: for CSV input its columns
// as they were, else the record string in one column named "record". Uses
// the input's delimiter (',' for record strings), quotes as RFC 4180 says
// and ends rows with CRLF. No summary: the file is for loading elsewhere.
void WriteCsvReport(const ReportInput& in, bool sorted, Output* out);

// One JSON object: "algorithm" (code and name), then "groups" as the text
// report lists them (key, size, records with line and record string) or,
// with `sorted`, "records" (line, key, group, record string) in key order,
// then "summary" with the figures of the summary line.
void WriteJsonReport(const ReportInput& in, bool sorted, Output* out);

}  // namespace korvix::cli

#endif  // KORVIX_TOOLS_DEDUPE_REPORT_H_
