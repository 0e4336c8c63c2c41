// One record at a time against a customer base: the keys and profiles of
// the base held ready, so that matching a new customer costs milliseconds
// instead of keying the whole base again as `korvix dedupe --base` does.
//
//   korvix::Matcher base = korvix::Matcher::FromFile("kunden.csv");
//   for (const korvix::MatchCandidate& c : base.Match("10115|Berlin|...")) {
//     // c.record, c.id, c.score ...
//   }
//   base.Save("kunden.kxi");  // later: korvix::Matcher::Load("kunden.kxi")
//
// A matcher decides as the dedupe job with a base does: the same keys, the
// same normalising, the same threshold and the same rule for keys shared by
// more than max_candidates records. Match(record) gives what
// `korvix dedupe --base BASE NEW` gives for a NEW of that one record, and
// Report(NEW) the very report of that command for a whole file: verifying
// weighs a surname by how common it is among the candidates of the run, so a
// record's score can depend on the other records matched with it.
//
// Match and Report may be called from many threads at once; Add waits for
// them and they for it. Every failure is a korvix::Error (korvix/error.h).
#ifndef KORVIX_MATCHER_H_
#define KORVIX_MATCHER_H_

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "korvix/dedupe.h"
#include "korvix/export.h"

namespace korvix {

// A base record that a record matched, and why.
struct MatchCandidate {
  std::uint32_t record = 0;  // in the base, from 0 in the order it was read and added
  std::string id;            // its id (DedupeOptions::id), "" without an id column
  int algorithm = 0;         // 1-based: the first algorithm whose key it shares
  double score = 0;          // verifying, the score (ScoreRecords); else 0
  // Verifying, the parts of the score as in RecordComparison; else 1.
  float kind = 1, name = 1, first_name = 1, street = 1, house_number = 1, plz = 1, town = 1;
};

class KORVIX_EXPORT Matcher {
 public:
  // A base of record strings ("PLZ|Ort|Straße|..."); `options` give the
  // algorithms, normalize, verify, max_candidates and id (an item number).
  // Throws Error (kInvalidArgument) for wrong options.
  explicit Matcher(std::span<const std::string_view> records,
                   const DedupeOptions& options = RecommendedDedupe());

  // A base file read as DedupeFile reads it: record strings or CSV, with
  // the input options of `options` (input_format, delimiter, map, strict,
  // optional_items, id). Throws Error (kIo when it cannot be read).
  static Matcher FromFile(const std::string& path, const DedupeOptions& options = RecommendedDedupe());

  // An index file that Save wrote, mapped into memory read-only. A file
  // that is damaged, cut short, of another format version or no index at
  // all is refused: Error (kIo) saying which.
  static Matcher Load(const std::string& path);

  Matcher(Matcher&&) noexcept;
  Matcher& operator=(Matcher&&) noexcept;
  ~Matcher();

  // The base records that `record` (a record string) matches, best first
  // (equal scores in base order), at most `limit` of them.
  std::vector<MatchCandidate> Match(std::string_view record, std::size_t limit = 10) const;

  // Adds a record string to the base, with its id (for an id column);
  // returns its number. Its line, for the reports, is the one after the
  // base's last.
  std::uint32_t Add(std::string_view record, std::string_view id = {});

  // Writes the base to an index file: beside `path` under a temporary name,
  // renamed over it when complete. Throws Error (kIo). Like a report
  // written to a file (RunDedupe), one at a time in a process: until it is
  // renamed, the process's signal handlers remove the temporary file.
  void Save(const std::string& path) const;

  // Matches every record of the file at `path` and writes the report that
  // `options` choose (format, output, output_encoding, and how to read the
  // file: input_format, delimiter, map, strict, threads, message), byte for
  // byte what RunDedupe with this base as DedupeOptions::base writes; the
  // keys, threshold and id come from the base.
  DedupeResult Report(const std::string& path, const DedupeOptions& options) const;

  std::size_t size() const;              // records
  const DedupeOptions& options() const;  // what shapes the keys and decisions

 private:
  struct State;
  explicit Matcher(std::unique_ptr<State> state);
  std::unique_ptr<State> state_;
};

}  // namespace korvix

#endif  // KORVIX_MATCHER_H_
