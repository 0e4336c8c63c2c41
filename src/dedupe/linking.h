// Linking records: from keys shared under the algorithms to groups, with or
// without verifying each candidate pair, and matching against a base.
//
// Records that share a key under an algorithm are candidates. Without
// verification every candidate pair is linked; with it, only the pairs whose
// Score reaches the threshold. Linked records form groups transitively
// (union-find), so records that share no key may still meet in a group
// through a third.
#ifndef KORVIX_DEDUPE_LINKING_H_
#define KORVIX_DEDUPE_LINKING_H_

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "dedupe/key_table.h"
#include "dedupe/similarity.h"
#include "korvix/dedupe.h"

namespace korvix::dedupe {

struct LinkOptions {
  double verify = 0;  // 0: link every candidate pair unseen
  std::size_t max_candidates = 200;
  unsigned threads = 0;
  std::function<void(const std::string&)> message;  // may be null
};

// The profiles of some records of one side, the profile of records[k] at
// places[k] of the list. REQUIRES: `records` ascends; `places` holds each
// of 0 to records.size() - 1 once.
using FetchProfiles = std::function<ProfileList(std::span<const std::uint32_t> records,
                                                std::span<const std::uint32_t> places)>;

// What linking found, per record of the input (and of the base).
struct Links {
  std::vector<std::uint32_t> group;     // 0 alone, else the group's 1-based number
  std::vector<std::uint8_t> algorithm;  // 1-based algorithm that linked it, 0 alone
  std::vector<float> score;             // best score of its linked pairs (verifying)
  // The groups in report order: largest first, equal sizes by their first
  // record's key under the first algorithm; the records of each in input
  // order, group g's ending at group_ends[g - 1].
  std::vector<std::uint32_t> members;
  std::vector<std::size_t> group_ends;
  // The linked pairs when verifying or matching a base (a < b within one
  // side; with a base, a is the input's, b the base's), by a then score.
  std::vector<DedupePair> pairs;
  std::uint64_t compared = 0;  // pairs scored
  // With a base: the base's records that matched (1-based algorithm), per
  // base record.
  std::vector<std::uint8_t> base_algorithm;
  std::vector<float> base_score;
};

// The group of Links::members that a report is at, as it visits them in
// order: where the group starts, how large it is, and the step to the next.
class GroupCursor {
 public:
  explicit GroupCursor(const Links& links) : ends_(links.group_ends) {}
  std::size_t index() const { return group_; }  // 0-based
  bool StartsAt(std::size_t position) const { return position == begin(); }
  bool EndsAt(std::size_t position) const { return position + 1 == ends_[group_]; }
  std::size_t size() const { return ends_[group_] - begin(); }
  void Next() { ++group_; }

 private:
  std::size_t begin() const { return group_ == 0 ? 0 : ends_[group_ - 1]; }
  const std::vector<std::size_t>& ends_;
  std::size_t group_ = 0;
};

// Links the records of `table`, whose keys under each algorithm are ordered
// in `orders` (one per algorithm).
Links LinkWithin(const KeyTable& table, std::span<const KeyOrder> orders,
                 const FetchProfiles& fetch, const LinkOptions& options);

// Links each record of `input` to the records of `base` it shares a key
// with (and, verifying, that score high enough); no pairs within a side.
// Groups stay empty: the report is per input record.
Links LinkToBase(const KeyTable& input, std::span<const KeyOrder> input_orders,
                 const FetchProfiles& fetch_input, const KeyTable& base,
                 std::span<const KeyOrder> base_orders, const FetchProfiles& fetch_base,
                 const LinkOptions& options);

}  // namespace korvix::dedupe

#endif  // KORVIX_DEDUPE_LINKING_H_
