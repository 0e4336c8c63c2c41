// Finding the duplicates in a file of address records: the dedupe job.
//
// The job keys every record under one or several algorithms, takes the
// records that share a key under any of them as candidates, optionally
// normalises the records before keying and verifies each candidate pair by
// comparing its fields, and joins the linked records into groups
// transitively. It reads record strings (one per line) or CSV with a header,
// from a file or from memory, and either writes a report (text, CSV, JSON)
// or hands back each record's group.
//
//   korvix::DedupeOptions options = korvix::RecommendedDedupe();
//   korvix::DedupeResult result = korvix::DedupeFile("kunden.csv", options);
//   // result.records[i].group: 0 alone, else the number of its group
//
// The keys themselves are exactly BuildDoubletKey's; normalising changes the
// record before it is keyed, never the key rules.
#ifndef KORVIX_DEDUPE_H_
#define KORVIX_DEDUPE_H_

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "korvix/decisions.h"
#include "korvix/error.h"
#include "korvix/export.h"

namespace korvix {

// Every failure of the job is a korvix::Error (korvix/error.h):
// kInvalidArgument when the options are wrong (or the CSV header does not
// fit them), kIo when a file cannot be read or written.

struct DedupeAlgorithm {
  std::string code;  // the algorithm code
  std::string name;  // for the reports; the description when empty
};

struct DedupeOptions {
  // The keys; records that share a key under any of them are candidates.
  // REQUIRES: at least one.
  std::vector<DedupeAlgorithm> algorithms;

  // Items (1 = PLZ ... 9 = Kundengruppe) that the algorithms read but a CSV
  // file may lack; every other item they read must have a column, or the
  // run is refused (kInvalidArgument): its keys would be built from empty values.
  std::vector<int> optional_items;

  // Normalise every record before keying (NormalizeRecord).
  bool normalize = false;

  // Verify: keep only candidate pairs whose score (ScoreRecords) is at least
  // `verify`; 0 links every candidate pair unseen.
  double verify = 0;

  // With verification, a key shared by more records than this is not
  // compared all-pairs: its records are split by a second key (postcode,
  // house number and the sound of the name) and compared within each part,
  // and the run's messages name the key.
  std::size_t max_candidates = 200;

  // Input: "records", "csv" or "" (CSV for a path ending in .csv); the CSV
  // delimiter ("" detect, ";", ",", "tab" or one character); --map text.
  std::string input_format;
  std::string delimiter;
  std::string map;
  // A CSV record that cannot be used ends the run (kIo) instead of being
  // reported through `message` and skipped.
  bool strict = false;

  // A second file (the customer base): each record of the input is matched
  // against its records only; pairs inside either file are not linked.
  std::string base;

  // The report of RunDedupe: "text", "csv", "json" or "html"; `sorted`
  // lists every record in the order of the first algorithm's keys (not in
  // HTML).
  std::string format = "text";
  bool sorted = false;
  // Where the report goes: "" standard output, else a file path (see
  // RunDedupe).
  std::string output;
  // The report's encoding: "utf-8", "utf-8-bom" or "windows-1252" (text and
  // CSV only; a character it cannot hold is written '?' and counted through
  // `message`); "" for UTF-8 with a byte order mark in CSV, so that Excel
  // reads it right, and plain UTF-8 otherwise.
  std::string output_encoding;
  // A column of the input that identifies a record (a customer number),
  // printed by every report beside the line number: a CSV header's column
  // by name or number from 1, or the item number in record strings. "" for
  // none.
  std::string id;
  // An earlier run's CSV report (--format csv): each group of this run
  // that continues one of it keeps its number, so that a host can store
  // the numbers. A group takes the earlier number of which it holds the
  // most records (of a group that split, the largest part keeps the
  // number; ties to the group first in report order), each number going
  // to one group; the others get numbers above every number the earlier
  // report used, in report order. Records are matched by `id` when it is
  // given (the report must then have the id column), else by record
  // number. Not with a base. "" for numbers 1, 2, 3 ... in report order.
  std::string previous;
  // The HTML report lists the first this many records (the last group
  // listed perhaps in part) and then says what it left out: a page of
  // millions of rows helps nobody.
  std::size_t html_records = 20000;

  // Verifying: besides linking, pick this many candidate pairs spread over
  // the scores from 0 to 1 (DedupeResult::samples), each scored exactly,
  // for a person to label; RunDedupe then writes them as CSV
  // (record_a, record_b, [id_a, id_b,] score, the parts of the score, an
  // empty "same" column, data_a, data_b) instead of the report. 0: none.
  std::size_t sample_pairs = 0;

  // Survivors: one record of each group stands for the group, the others
  // are merged into it (docs/dedupe.md, "Survivors"). `survivor` is the
  // rule that picks it:
  //   "most-complete"   the record with the most non-empty fields
  //   "first"           the earliest record
  //   "max:COLUMN"      the largest value of COLUMN: ISO (YYYY-MM-DD) and
  //                     German (DD.MM.YYYY) dates compare as dates, numbers
  //                     (a decimal comma or point) as numbers, anything
  //                     else as text; a date beats a number, a number beats
  //                     text, anything beats an empty value
  //   "master:COLUMN"   the record whose COLUMN marks it the master: not
  //                     empty and not 0, no, nein or false (any case); the
  //                     earliest of several (told through `message`), the
  //                     most complete when none is marked
  // Ties go to the earliest record. COLUMN is a CSV header's column by name
  // or number from 1, or the item number in record strings. A field of
  // blanks counts as empty. "" picks none (each record is its own
  // survivor), unless `clean` or `mapping` is given: then "most-complete".
  // A rule the job cannot read, or a column the input lacks, is refused
  // (kInvalidArgument). Not with a base.
  std::string survivor;
  // Fill each survivor's empty fields from the other records of its group,
  // taken in the order of the rule (the best first), the first non-empty
  // value winning. For CSV input every column is filled, for record
  // strings every item.
  bool fill = false;
  // Files the job writes (each complete or not at all, as `output`), ""
  // for none. `clean`: the input without the records merged into a
  // survivor, byte for byte as the input has them (header, encoding,
  // quoting, line ends, and records the run skipped); only a filled
  // survivor's line is written anew, its fields as their records quote
  // them. Record strings in memory are written one a line. `mapping`: one
  // row per merged record, "record;id;survivor_record;survivor_id;group"
  // (record numbers from 1 as the reports give them, the id columns only
  // with `id`), in the input's CSV delimiter and line ends (',' and LF for
  // record strings). Neither may name the input, the base, `output` or
  // each other (kInvalidArgument).
  std::string clean;
  std::string mapping;
  // The memory the run may add to the process, in bytes, at least 16 MiB;
  // 0 for DefaultDedupeMemory(). Beyond it candidate pairs are made and
  // scored in batches, keys sorted in pieces through temporary files, and
  // the large arrays that do not fit (keys, profiles, pairs) kept in a
  // temporary file whose pages the run lets go of as it goes: the same
  // result, slower, in the limit whatever the data. A smaller limit, or
  // sampled pairs beyond it, end the run with Error (kRefused) saying why.
  std::uint64_t memory = 0;
  // The folder for the run's temporary files (empty: $TMPDIR, else /tmp):
  // standard input read twice, the sorted pieces of keys and the arrays
  // that do not fit `memory` (a file without a name, gone with the
  // process), where also the keys and places of the records wait once
  // keyed, read back where needed (kept in memory instead where the folder
  // cannot be written or is itself in memory, as tmpfs). They lie in a
  // folder "korvix-PID-XXXXXX" of their own,
  // removed when the run ends, fails or is ended by SIGINT, SIGTERM or
  // SIGHUP; the next run removes those of a run that was killed. A folder
  // given that cannot be written, or a full disk, ends the run with Error
  // (kIo) naming the folder.
  std::string temp_dir;

  // What people decided (korvix/decisions.h), honoured over the scores: a
  // "same" pair is always in one group, linked even when no key or score
  // links it; a "different" pair never is, not through any chain of links;
  // a "survivor" is the record its group keeps, whatever the rule. Records
  // are named by RecordIdentity with the value of `id` (for a record whose
  // id is blank, and without `id`, by content). Decisions that contradict
  // each other (a same as b, b same as c, a different from c) are refused
  // (kInvalidArgument) with their records named. Decisions on records the
  // input lacks are passed over. With a base, "same" and "different" decide
  // whether an input record matches a base record.
  std::vector<Decision> decisions;
  // Fill DedupeRecord::identity for every record (it is filled anyway for
  // those that decisions name).
  bool identify = false;
  // Keep each record's text and id in the result (DedupeRecord::text, id)
  // for a program that shows them, such as the review page.
  bool texts = false;

  unsigned threads = 0;  // 0: every processor this process may use
  bool progress = false;  // a progress line on standard error
  bool verbose = false;   // tell how CSV columns are mapped
  // Where warnings go (bad records, large keys, the verbose lines), one
  // message a call, without "korvix dedupe:". Null: nowhere.
  std::function<void(const std::string&)> message;
};

// A pair of records that a person labelled: record numbers from 1 (the
// "record" column of the reports, record_a and record_b of a sample), and
// whether the two are one customer.
struct LabelledPair {
  std::uint64_t a = 0, b = 0;
  bool same = false;
};

// Reads labelled pairs from a CSV file with a header (delimiter ';', ','
// or tab, found in the header): the records in columns named record_a and
// record_b (or a and b), the label in a column named same: yes, no, ja,
// nein, y, n, j, 1, 0, true, false in any case; a row with an empty label
// is not labelled and left out. Throws Error (kIo) when the file
// cannot be read, lacks a column or holds a value that cannot be read (with
// its line).
KORVIX_EXPORT std::vector<LabelledPair> ReadLabelledPairs(const std::string& path);

// How well groups agree with labelled pairs: a pair labelled the same is
// found when its two records share a group.
struct DedupeQuality {
  double threshold = 0;  // the verification threshold of the run
  std::size_t found = 0;           // labelled the same, in one group
  std::size_t wrongly_joined = 0;  // labelled different, in one group
  std::size_t missed = 0;          // labelled the same, not in one group
  double precision = 0, recall = 0, f1 = 0;  // 0 where undefined
};
struct DedupeEvaluation {
  DedupeQuality quality;                  // of the run with `options`
  std::vector<DedupeQuality> thresholds;  // verifying: at 0.50, 0.55, ... 0.95
  std::size_t labelled = 0;               // pairs counted
  std::size_t unknown = 0;                // pairs with a record the file has not
};

// Runs the job on `path` with `options` and measures its groups against
// `labels`; verifying, runs it again at each threshold of the table.
// Throws what DedupeFile throws.
KORVIX_EXPORT DedupeEvaluation EvaluateDedupe(const std::string& path, const DedupeOptions& options,
                                              std::span<const LabelledPair> labels);

// DedupeOptions::memory when 0: half the machine's physical memory.
KORVIX_EXPORT std::uint64_t DefaultDedupeMemory();

// A memory size as a person writes it: bytes, or a number with K, M, G or T
// (of 1024: "512M", "2G", "1.5G"). Throws Error (kInvalidArgument) for
// anything else and for 0.
KORVIX_EXPORT std::uint64_t ReadMemorySize(std::string_view text);

// A memory size for messages: "512.0 MiB", "2.0 GiB", "100 bytes".
KORVIX_EXPORT std::string MemorySizeText(std::uint64_t bytes);

// The zero-configuration choice: three keys (PLZ + street + house number;
// town + street + house number + sound of Bez1; PLZ + sound of Bez1 and
// Bez2), normalising, and verifying at 0.7; a CSV file may lack the town.
// How well it finds duplicates is measured in docs/dedupe.md.
KORVIX_EXPORT DedupeOptions RecommendedDedupe();

// One input record as the job saw it.
struct DedupeRecord {
  std::uint64_t line = 0;   // the physical line where it starts (1-based)
  std::string key;          // its key under the algorithm that linked it (else the first)
  std::uint32_t group = 0;  // its group's number (in report order, or kept: `previous`), 0 alone
  int algorithm = 0;        // 1-based algorithm whose key linked it; 0 when alone or `decided`
  // In its group (or matched) by a person's decision "same" that no shared
  // key and score gave (DedupeOptions::decisions).
  bool decided = false;
  double score = 0;         // best score of its verified pairs; 0 without verification
  // The 0-based position of the record that its group keeps
  // (DedupeOptions::survivor): its own when it is alone, survives, or no
  // survivors were chosen. A record whose survivor is another is merged.
  std::uint32_t survivor = 0;
  // Its identity (RecordIdentity), with DedupeOptions::identify or when a
  // decision names it; else empty.
  std::string identity;
  // A survivor's record as DedupeOptions::fill completed it (the bytes of
  // its line in the clean file); empty when nothing was filled.
  std::string filled;
  // With DedupeOptions::texts: the record string and its --id value, as
  // the text report shows them (control characters as \xNN), and its
  // fields so shown: a CSV record's columns (quotes undone), a record
  // string's items, blanks around each taken off.
  std::string text, id;
  std::vector<std::string> fields;
};

// Two linked records (numbers are 0-based positions in `records`; with a
// base, `a` is the input's and `b` the base's) and what linked them.
struct DedupePair {
  std::uint32_t a = 0, b = 0;
  int algorithm = 0;
  double score = 0;
  // Verifying, the parts of the score (see RecordComparison); else 1.
  float kind = 1, name = 1, first_name = 1, street = 1, house_number = 1, plz = 1, town = 1;
  // Linked by a person's decision "same" where no shared key and score
  // would have linked them (`algorithm` is then 0).
  bool decided = false;
};

// Two records whose pair reached the threshold but that were not put in one
// group: their groups hold two records, x and y, that are different
// customers (their score is below 0.6, or a rule such as "first names
// differ" decided), and a group never joins records that its own members
// tell apart. Numbers as in DedupePair.
struct DedupeKeptApart {
  std::uint32_t a = 0, b = 0;
  double score = 0;
  std::uint32_t x = 0, y = 0;
  double xy_score = 0;
  std::string rule;  // as in RecordComparison
};

struct DedupeResult {
  std::vector<DedupeRecord> records;       // the input's records, in input order
  std::vector<DedupeRecord> base_records;  // the base's, with a base
  // With a base, the matched pairs. Within one file, each linked record's
  // strongest verified pair (its first by a, then b, at its best score),
  // the one the reports print: a group of a million copies has hundreds of
  // millions of linked pairs, which nobody reads.
  std::vector<DedupePair> pairs;
  std::vector<DedupeKeptApart> kept_apart;  // verified pairs that no group joins
  std::vector<DedupePair> samples;          // DedupeOptions::sample_pairs, highest score first
  std::size_t groups = 0;
  std::uint64_t skipped = 0;  // CSV records reported and left out
  std::size_t merged = 0;     // records merged into a survivor (DedupeOptions::survivor)
  std::string summary;        // RunDedupe's summary line ("records N, groups G, ...")
  // With DedupeOptions::texts, a CSV input's header (DedupeRecord::fields
  // by name); empty for record strings.
  std::vector<std::string> columns;
};

// Runs the job on the file at `path` ("-": standard input) and writes the
// report, and the clean file and the mapping when the options name them.
// A report file is written beside `output` under a temporary name and
// renamed over it when complete (its mode kept, a symbolic link
// followed); a device or FIFO is written straight. On any error the process
// sees, `output` is as before and no temporary file is left. Throws
// Error. Returns the result without the records (they went into the
// report).
KORVIX_EXPORT DedupeResult RunDedupe(const std::string& path, const DedupeOptions& options);

// The same job without a report: every record's group (and survivor; the
// clean file and the mapping are written as by RunDedupe).
KORVIX_EXPORT DedupeResult DedupeFile(const std::string& path, const DedupeOptions& options);

// The job on record strings in memory ("PLZ|Ort|Straße|...", line n is
// records[n - 1]); `base` likewise, empty for none.
KORVIX_EXPORT DedupeResult DedupeRecords(std::span<const std::string_view> records,
                                         const DedupeOptions& options,
                                         std::span<const std::string_view> base = {});

// The record string as --normalize changes it before keying: case folded
// to capitals; Ä, Ö, Ü, ß written AE, OE, UE, SS; runs of blanks one blank;
// PLZ of four digits given its leading zero; in the street "Str." and "Str"
// written out as "Strasse"; in the town a qualifier cut ("Frankfurt am
// Main", "Halle (Saale)", "Halle/Saale" give FRANKFURT, HALLE); in the name
// fields (Suchbegriff, Bez1 to Bez4) titles taken off (Dr., Prof.,
// Dipl.-Ing. ...), legal forms at the end taken off (GmbH, GmbH & Co. KG,
// AG, e.K., e.V., UG (haftungsbeschränkt) ...), "&", "+" and "u." written
// UND; hyphens are blanks outside the PLZ.
KORVIX_EXPORT std::string NormalizeRecord(std::string_view record);

// How alike two record strings are, from 0 to 1, as verification scores a
// candidate pair: CompareRecords(a, b).score.
KORVIX_EXPORT double ScoreRecords(std::string_view a, std::string_view b);

// How two records compare, part by part: what verification decides about
// them and why. The records are normalised first (NormalizeRecord). Each
// part lies between 0 and 1, and the score is their product:
//   kind          0 when one is a firm (a legal form, or a firm word such as
//                 Praxis, Autohaus, Bäckerei, Verein) and the other a person
//                 (a title, or a first name or initial beside a surname),
//                 unless the firm's name holds the person's whole name (a
//                 sole trader, "Elli Dietz e.K."); else 1
//   name          the surnames and firm words of Bez1 and Bez2, in any order
//   first_name    the first names and initials: variants and short forms of
//                 one name agree (Katrin, Kathrin; Alex, Alexander), two
//                 different known names are 0 (Jan, Jana; Marieke,
//                 Frederike); "jun." against "sen." is 0
//   street, house_number ("89" lies in "89-91"), plz, town
// A first name that only one record has costs more when the surname is
// common in the file; two records alone have no file, so CompareRecords
// takes every name as rare. Letters a scanner confuses (0/O, 1/l, rn/m)
// count as nearly equal.
struct RecordComparison {
  std::string normalized_a, normalized_b;  // the records as compared
  std::string kind_a, kind_b;  // "person", "organisation", or "" where a record does not tell
  double kind = 1, name = 1, first_name = 1, street = 1, house_number = 1, plz = 1, town = 1;
  double score = 0;
  // The rule that decided: "parts" (their product), "organisation and
  // person", "first names differ" or "generations differ" (the last three
  // make the score 0).
  std::string rule;
};
KORVIX_EXPORT RecordComparison CompareRecords(std::string_view a, std::string_view b);

// The comparison as one JSON object: "a" and "b" (the normalised records),
// "kind_a", "kind_b", "parts" (kind, name, first_name, street,
// house_number, plz, town), "score" and "rule".
KORVIX_EXPORT std::string ComparisonJson(const RecordComparison& comparison);

}  // namespace korvix

#endif  // KORVIX_DEDUPE_H_
