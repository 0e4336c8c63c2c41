// A base held as an index: its keys looked up one by one instead of sorted
// beside the input's, its records printed from what the index holds. The
// input is linked to it and reported exactly as against a base file.
#ifndef KORVIX_DEDUPE_KEYED_BASE_H_
#define KORVIX_DEDUPE_KEYED_BASE_H_

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "dedupe/core/key_table.h"
#include "dedupe/link/linking.h"
#include "dedupe/report/report.h"
#include "korvix/dedupe.h"

namespace korvix::dedupe {

class KeyedBase : public ReportBase {
 public:
  // Appends the records (ascending) whose key under `algorithm` (0-based)
  // is `key`.
  virtual void Find(std::size_t algorithm, std::string_view key, std::vector<std::uint32_t>* out) const = 0;
  // The record's profile text (ProfileTextOf): a view of the base's own,
  // or of `*scratch`.
  virtual std::string_view ProfileText(std::uint32_t record, std::string* scratch) const = 0;
};

// LinkToBase against `base`: the same runs of shared keys in the same
// order, hence the same pairs, scores and messages. Profiles are made of
// the base's candidates only, so that the cost follows the input, not the
// base. The pairs' `b` are the base's record numbers; base_algorithm and
// base_score stay empty.
Links LinkToKeyedBase(const KeyTable& input, std::span<const KeyOrder> input_orders,
                      const FetchProfiles& fetch_input, const KeyedBase& base, const LinkOptions& options);

// A base read whole for an index: every record's keys and place, profile
// text (verifying), and id and record string as the reports print them
// (printable, AppendPrintable).
struct WholeBase {
  KeyTable table;
  KeyColumn profiles, ids, texts;
  std::uint64_t skipped = 0;
};
// From a file, as DedupeFile reads it, or from record strings in memory.
WholeBase ReadWholeBase(const std::string& path, const DedupeOptions& options);
WholeBase ReadWholeBase(std::span<const std::string_view> records, const DedupeOptions& options);

// RunDedupe of the file at `path` against `base` (options.base unused).
DedupeResult RunDedupeAgainst(const std::string& path, const DedupeOptions& options, const KeyedBase& base);

}  // namespace korvix::dedupe

#endif  // KORVIX_DEDUPE_KEYED_BASE_H_
