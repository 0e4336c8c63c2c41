// A steward's review of a dedupe run: its groups in the order a person
// works through them, each record marked against its group's first as the
// HTML report marks it, with what linked it; the clean file and the mapping
// of the run; the steward's decisions, each stored at once. What `korvix
// review` serves to its page; it speaks no HTTP.
//
//   korvix::DecisionStore store(connection.get());
//   korvix::Review review("kunden.csv", korvix::RecommendedDedupe(), &store);
//   std::string page = review.GroupsJson(0, 50, korvix::ReviewOrder::kLeastCertain);
//   review.WriteClean("bereinigt.csv", "zuordnung.csv");
#ifndef KORVIX_REVIEW_H_
#define KORVIX_REVIEW_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "korvix/decisions.h"
#include "korvix/dedupe.h"
#include "korvix/export.h"

namespace korvix {

// kLargest: the largest groups first, as the reports list them.
// kLeastCertain: the groups whose weakest link scored lowest first (the
// largest first among equals), where a person's eye is most needed.
enum class ReviewOrder { kLargest, kLeastCertain };

class KORVIX_EXPORT Review {
 public:
  // Runs the job on the file at `path` (DedupeFile) with `options`, whose
  // report, clean and mapping settings are ignored, and the decisions in
  // `store` (which must outlive the review). Throws what DedupeFile and
  // the store throw.
  Review(std::string path, DedupeOptions options, DecisionStore* store);

  // Stores at once that records `a` and `b` (numbers from 1 in the current
  // run) are the same customer or different ones, or that `a` survives
  // its group (b is 0), named by their identities (RecordIdentity), as
  // `who` decided. The groups shown stay as they are until Rerun. Throws
  // Error (kInvalidArgument) for a record the run has not, or as the store
  // throws.
  void Decide(DecisionKind kind, std::uint32_t a, std::uint32_t b, const std::string& who);

  // Stores at once that the survivor of the group of `record` (from 1)
  // takes its value of `field` (a name of GroupsJson's "columns") in the
  // clean file, as `who` decided. Throws as Decide.
  void ChooseValue(std::uint32_t record, const std::string& field, const std::string& who);

  // Runs the job again with every decision in the store.
  void Rerun();

  const DedupeResult& result() const { return result_; }
  std::size_t groups() const { return result_.groups; }

  // Up to `count` groups from position `first` in `order`, as one JSON
  // object: "total" (the groups), "verified", "columns" (of the fields:
  // each with its "label" and the "field" that a value decision names)
  // and "groups", each with "group" (its
  // number in the reports), "size", "certainty" (its weakest record's
  // score), "survivor" (record number), "values" (each column a value
  // decision chose, with the record it took it from: {"Ort": 3}) and
  // "records": "record" (from 1), "line", "id", "fields" (its values, one
  // per column), "text" as runs [[MARK, "characters"], ...] (MARK 0
  // shared with the group's first record, 1 its own, 2 the first's that
  // it lacks), "algorithm" and "key" that linked it, "decided" when a
  // decision put it where it is (DedupeRecord::decided), and, verifying,
  // "score", "linked_to" (the record of its strongest pair) and "parts" of
  // the score (kind, name, first_name, street, house_number, plz, town).
  std::string GroupsJson(std::size_t first, std::size_t count, ReviewOrder order) const;

  // Writes the clean file and the mapping as `korvix dedupe --clean
  // --mapping` does, with every decision in the store, survivors chosen
  // by them and else by the options' rule, and `fill`. Throws Error (kIo)
  // when a file cannot be written.
  void WriteClean(const std::string& clean, const std::string& mapping, bool fill) const;

 private:
  // Notes that `record` (from 1) gives `field` to group `group` (from 0).
  void KeepValue(std::uint32_t group, const std::string& field, std::uint32_t record);
  void AppendColumns(std::string* out) const;

  std::string path_;
  DedupeOptions options_;
  DecisionStore* store_;
  DedupeResult result_;
  // Per group (its number - 1): its records in input order, and each
  // record's strongest pair (an index into result_.pairs, or none).
  std::vector<std::vector<std::uint32_t>> members_;
  std::vector<std::size_t> pair_of_;
  // Per group: the value decisions on its records, column and record
  // (from 1), the latest for each column.
  std::vector<std::vector<std::pair<std::string, std::uint32_t>>> values_;
  std::vector<std::uint32_t> by_size_, by_certainty_;  // group indices in each order
};

}  // namespace korvix

#endif  // KORVIX_REVIEW_H_
