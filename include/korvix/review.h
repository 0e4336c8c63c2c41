// A steward's review of a dedupe run: its groups in the order a person
// works through them, each record marked against its group's first as the
// HTML report marks it, with what linked it; the clean file and the mapping
// of the run. What `korvix review` serves to its page; it speaks no HTTP.
//
//   korvix::Review review("kunden.csv", korvix::RecommendedDedupe());
//   std::string page = review.GroupsJson(0, 50, korvix::ReviewOrder::kLeastCertain);
//   review.WriteClean("bereinigt.csv", "zuordnung.csv");
#ifndef KORVIX_REVIEW_H_
#define KORVIX_REVIEW_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

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
  // report, clean and mapping settings are ignored. Throws what DedupeFile
  // throws.
  Review(std::string path, DedupeOptions options);

  // Runs the job again, as after the steward's decisions changed.
  void Rerun();

  const DedupeResult& result() const { return result_; }
  std::size_t groups() const { return result_.groups; }

  // Up to `count` groups from position `first` in `order`, as one JSON
  // object: "total" (the groups), "verified" and "groups", each with "group" (its
  // number in the reports), "size", "certainty" (its weakest record's
  // score), "survivor" (record number) and "records": "record" (from 1),
  // "line", "id", "text" as runs [[MARK, "characters"], ...] (MARK 0
  // shared with the group's first record, 1 its own, 2 the first's that
  // it lacks), and, where linked, "algorithm", "score", "linked_to" and
  // "parts" of the score (kind, name, first_name, street, house_number,
  // plz, town).
  std::string GroupsJson(std::size_t first, std::size_t count, ReviewOrder order) const;

  // Writes the clean file and the mapping of the run as `korvix dedupe
  // --clean --mapping` does, survivors chosen by the options' rule and
  // `fill`. Throws Error (kIo) when a file cannot be written.
  void WriteClean(const std::string& clean, const std::string& mapping, bool fill) const;

 private:
  std::string path_;
  DedupeOptions options_;
  DedupeResult result_;
  // Per group (its number - 1): its records in input order, and each
  // record's strongest pair (an index into result_.pairs, or none).
  std::vector<std::vector<std::uint32_t>> members_;
  std::vector<std::size_t> pair_of_;
  std::vector<std::uint32_t> by_size_, by_certainty_;  // group indices in each order
};

}  // namespace korvix

#endif  // KORVIX_REVIEW_H_
