// The reports of a dedupe run: text, CSV, JSON and HTML.
//
// Every report reads the records it prints again from the input (see
// RecordReader) and prints them as UTF-8: bytes that are not UTF-8 read as
// Windows-1252, as the keys do. The text and HTML reports, which people
// read, show control characters as escapes (AppendReadable); the CSV and
// JSON reports, which programs read, keep them.
#ifndef KORVIX_DEDUPE_REPORT_H_
#define KORVIX_DEDUPE_REPORT_H_

#include <chrono>
#include <cstdint>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "dedupe/read/csv_source.h"
#include "dedupe/core/key_table.h"
#include "dedupe/link/linking.h"
#include "dedupe/read/record_reader.h"
#include "dedupe/read/record_source.h"
#include "dedupe/report/report_file.h"
#include "korvix/dedupe.h"

namespace korvix::dedupe {

enum class ReportFormat { kText, kCsv, kJson, kHtml };

// The report's format and encoding from the options: format "text", "csv",
// "json" or "html"; output_encoding "utf-8", "utf-8-bom", "windows-1252" or
// "" for the format's own (UTF-8 with a byte order mark for CSV, else
// UTF-8). JSON and HTML are UTF-8 only, and HTML has no sorted form.
// Throws UsageError.
struct ReportChoice {
  ReportFormat format;
  ReportEncoding encoding;
};
ReportChoice ReportChoiceOf(const DedupeOptions& options);

// The figures of a run, as the last line of a text report gives them:
// "records N, groups G, records in groups R, seconds S, skipped K", with
// ", pairs compared P" when verifying; with a base "records N, base records
// M, records matched R, pairs P, seconds S, skipped K".
struct RunSummary {
  std::size_t records = 0;    // keyed records
  std::size_t groups = 0;     // groups of two or more
  std::size_t in_groups = 0;  // records in those groups (or matched)
  std::uint64_t skipped = 0;  // bad records reported and left out
  double seconds = 0;
  bool verified = false;
  std::uint64_t compared = 0;
  bool with_base = false;
  std::size_t base_records = 0;
  std::size_t pairs = 0;
};
std::string SummaryLine(const RunSummary& summary);

// One input of a run, readable again.
struct ReportSide {
  const KeyTable& table;
  const RecordSource& source;
  const CsvSource* csv;  // the same source when the input is CSV, else null
  RecordReader& reader;
  std::string_view name;  // the path, or "standard input"
  int fd;                 // the input, for pread
};

// A column of one input that an option names (`what`, such as "--id",
// starts the message): for CSV input a column of the header, by its name
// (compared as --map compares names) or its number from 1; for record
// strings (`csv` null) the number of an item. Returns the column (or item)
// from 0, kNoColumn for a CSV input without a header, which has none to
// check. Throws UsageError when the input has no such column.
inline constexpr std::size_t kNoColumn = static_cast<std::size_t>(-1);
std::size_t ColumnOf(std::string_view option, const CsvSource* csv, std::string_view what);

// The --id column of one input: each record's own identifier (such as a
// customer number), which the reports print beside its line number.
class IdColumn {
 public:
  // `option`: the column as ColumnOf finds it. Empty: no id. Throws
  // UsageError when the input has no such column.
  IdColumn(std::string_view option, const CsvSource* csv);

  bool empty() const { return index_ == kNone; }

  // The id of the record whose bytes (as its RecordPlace locates them) are
  // `bytes`, as AppendReadable or AppendPrintable gives it; "" for a record
  // without that column. The view lives until the next call.
  std::string_view Of(std::string_view bytes, bool readable);

 private:
  static constexpr std::size_t kNone = static_cast<std::size_t>(-1);
  const CsvSource* csv_;
  std::size_t index_ = kNone;  // column, or item, from 0
  std::vector<std::string_view> fields_;
  std::string value_;
};

// What a report prints of the base an input was matched against (--base):
// a file read again, or an index that holds what is printed of each record.
struct BaseRecord {
  std::uint64_t line = 0;
  std::string id, text;
};
class ReportBase {
 public:
  virtual ~ReportBase() = default;
  virtual std::size_t size() const = 0;        // its records
  virtual std::uint64_t skipped() const = 0;   // its bad records, left out
  virtual std::uint64_t line(std::uint32_t record) const = 0;
  // The records `wanted` by number: their ids (under the --id option
  // `id`) and record strings, readable (AppendReadable) or printable.
  virtual std::unordered_map<std::uint32_t, BaseRecord> Records(std::string_view id,
                                                                std::vector<std::uint32_t> wanted,
                                                                bool readable) const = 0;
};

// A base that is a file, read again as the input is.
class SideBase final : public ReportBase {
 public:
  explicit SideBase(const ReportSide& side) : side_(side) {}
  std::size_t size() const override { return side_.table.size(); }
  std::uint64_t skipped() const override { return side_.source.skipped(); }
  std::uint64_t line(std::uint32_t record) const override { return side_.table.place(record).line; }
  std::unordered_map<std::uint32_t, BaseRecord> Records(std::string_view id, std::vector<std::uint32_t> wanted,
                                                        bool readable) const override;

 private:
  const ReportSide& side_;
};

// Whether the input's lines end with CRLF: the end of its first line, read
// from `fd`; CRLF when no line end is found.
bool EndsLinesWithCrlf(int fd);

// What a report is made of.
struct ReportInput {
  ReportSide input;
  const ReportBase* base;                 // with --base, else null
  const Links& links;
  std::span<const std::uint32_t> sorted;  // record numbers by the first algorithm's key
  std::span<const DedupeAlgorithm> algorithms;
  std::string_view id;                    // the --id option
  bool verified;
  bool decisions;                         // the run honours decisions: the CSV report says which
  std::size_t budget;                     // bytes of records held at once
  std::chrono::steady_clock::time_point start;  // of the run, for the seconds

  // One algorithm and no verification: groups are the records of one key,
  // and the text and JSON reports head each group with it.
  // A decision "same" may join records of other keys.
  bool by_key() const { return algorithms.size() == 1 && !verified && base == nullptr && links.decided.empty(); }
  RunSummary Summary() const;  // the seconds up to now
};

// The input records that matched a base record, ascending, and the base
// records they matched by number: their record strings and ids, readable
// (AppendReadable) or printable.
std::vector<std::uint32_t> MatchedRecords(const ReportInput& in);
std::unordered_map<std::uint32_t, BaseRecord> BaseRecords(const ReportInput& in, bool readable);

// The same of any records of one side: `wanted` by number.
std::unordered_map<std::uint32_t, BaseRecord> RecordsOf(const ReportSide& side, std::string_view id,
                                                        std::vector<std::uint32_t> wanted, bool readable);

// Why a link of `kept` was refused, as the reports say it of one of its
// two records; `other` is the record it was not grouped with (numbers from
// 1): "not grouped with record 12 (score 0.900): records 3 and 7 are
// different customers (first names differ)".
std::string KeptApartNote(const KeptApart& kept, std::uint32_t other);

// Appends ", \"parts\": {\"kind\": K, \"name\": N, ...}": the parts of a
// pair's score, as the JSON and HTML reports show them.
void AppendPartsJson(const DedupePair& pair, std::string* out);

// Writes the report that `options` choose (ReportChoiceOf), or with
// options.sample_pairs the pairs to label (WritePairSample), to `out`, and
// tells options.message how many characters its encoding could not hold.
void WriteReport(const ReportInput& in, const DedupeOptions& options, ReportFile* out);

// The text report. Groups, largest first: "key KEY (N records)" for one
// algorithm without verification, else "group G (N records)"; each record
// as "  LINE: RECORD STRING", followed, unless by key, by "  (algorithm A,
// key KEY, score S)" naming what linked it; an empty line after each group.
// With `sorted`, every record instead, in the order of the first key, as
// "KEY  LINE: RECORD STRING". With a base, each input record that matched,
// "LINE: RECORD STRING", then its matches "  base LINE: RECORD STRING  (...)"
// best first, and an empty line. With an id column every "LINE" is
// "LINE [ID]". The summary line ends the report.
void WriteTextReport(const ReportInput& in, bool sorted, ReportFile* out);

// One row per record, in input order or, with `sorted`, in key order: the
// columns line, key (under the algorithm that linked the record, in key
// order the first), group (the group's number in the text report, 0 for a
// record without duplicates), record (its number among the input's
// records, from 1), id (with an id column), algorithm (the one that linked
// it, 0 for none), decision (when the run has decisions: "same" for a
// record that a decision linked, "different" for one kept apart by one),
// score (when verifying), then, verifying, linked_to (the
// record of its best pair), the parts of that pair's score (kind, name,
// first_name, street, house_number, plz, town) and kept_apart (its links
// that were refused, KeptApartNote), then the record: for CSV input
// its columns as they were, else the record string in one column named
// "data". With a base one row per match, with base_line, base_record and
// base_id (with an id column) after the score and the parts of the
// match's score after them, and one row with those empty
// for a record without match. Uses the input's delimiter (',' for record
// strings) and line ends (EndsLinesWithCrlf), quotes as RFC 4180 says. No
// summary: the file is for loading elsewhere.
void WriteCsvReport(const ReportInput& in, bool sorted, ReportFile* out);

// Pairs for a person to label (DedupeOptions::sample_pairs), one row each
// in the CSV conventions of WriteCsvReport: record_a, record_b (numbers
// from 1), id_a and id_b (with an id column), score, the parts of the score
// (kind, name, first_name, street, house_number, plz, town), same (empty,
// for "yes" or "no"), data_a and data_b (the record strings).
void WritePairSample(const ReportInput& in, ReportFile* out);

// One JSON object: "algorithms" (code and name of each), then "groups" as
// the text report lists them (group, size, records with line, record, key,
// algorithm, score when verifying and data: the record string; "id" after
// "line" with an id column) or, with
// `sorted`, "records" (line, record, key, group, data) in key order, or,
// with a base, "matches" (each matched input record with its "base"
// matches), then "summary" with the figures of the summary line.
void WriteJsonReport(const ReportInput& in, bool sorted, ReportFile* out);

// One self-contained HTML page (no script, nothing fetched) for reviewing
// the groups: the algorithms; each group as a table of its records (line,
// id, record string, and unless by key the algorithm, key and score), every
// record after the first with the characters that differ from the first
// one's marked (<mark> for its own, <del> for those of the first that it
// lacks; CharDiff); then the summary. With a base, each matched input
// record heads a table of its matches. Lists the first `max_records`
// records (whole matches with a base) and then says what it left out.
void WriteHtmlReport(const ReportInput& in, std::size_t max_records, ReportFile* out);

}  // namespace korvix::dedupe

#endif  // KORVIX_DEDUPE_REPORT_H_
