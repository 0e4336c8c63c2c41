// Linking records: from keys shared under the algorithms to groups, with or
// without verifying each candidate pair, and matching against a base.
//
// Records that share a key under an algorithm are candidates. Without
// verification every candidate pair is linked, and linked records form
// groups transitively. With verification only the pairs whose Score reaches
// the threshold link, strongest first, and a link that would put two
// records in one group that the scorer tells apart (a score below kApart,
// or a rule such as "first names differ") is refused and kept in
// Links::apart: two sisters each linked to the firm at their address do not
// become one group through it. A record that would join either of two such
// groups about as strongly ("A. Lang" beside "Andrea Lang" and "Anke Lang")
// joins neither: it cannot say which customer it is. Before two groups join, the records of the
// smaller (its first kCheckedMembers² at most) are compared with the first
// kCheckedMembers of the larger, all of them for groups of that size or
// less, so that the work of a join stays bounded whatever a group's size.
#ifndef KORVIX_DEDUPE_LINKING_H_
#define KORVIX_DEDUPE_LINKING_H_

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "dedupe/core/key_table.h"
#include "dedupe/compare/similarity.h"
#include "korvix/dedupe.h"

namespace korvix::dedupe {

// The records of a group that a record joining it is compared with.
constexpr std::size_t kCheckedMembers = 64;

// A link refused: records a and b scored `score`, but x (in a's group) and y
// (in b's) are different customers.
struct KeptApart {
  std::uint32_t a, b;
  float score;
  std::uint32_t x, y;
  float xy_score;
  Rule rule;
};

// Pairs of records that a person decided on (numbers of the input; with a
// base, the second of each pair is the base's). A "same" pair is always
// linked, whatever its keys and score; a "different" pair never is, and no
// group holds both its records, through however many links. REQUIRES: no
// "different" pair lies within records that "same" pairs join.
struct DecidedPairs {
  std::vector<std::pair<std::uint32_t, std::uint32_t>> same, different;
  bool empty() const { return same.empty() && different.empty(); }
};

class TempFolder;

struct LinkOptions {
  double verify = 0;  // 0: link every candidate pair unseen
  std::size_t max_candidates = 200;
  unsigned threads = 0;
  std::function<void(const std::string&)> message;  // may be null
  // Verifying, this many candidate pairs spread over the scores from 0 to
  // 1 into Links::samples, each scored exactly (so every pair is).
  std::size_t sample = 0;
  // The memory the run may hold (0: no limit), and what it holds before
  // linking (the keys). Candidate pairs beyond what is left of it, and at
  // least beyond a quarter of it, wait in a temporary file in `temp` (null:
  // a folder of their own in the system's) and are scored in batches; so
  // do those beyond some two million, whatever the limit.
  // Where all must be at hand at once (samples, a base without verifying),
  // more throws Error (kRefused).
  std::uint64_t memory = 0;
  std::uint64_t held = 0;
  TempFolder* temp = nullptr;
  // Told now and then, on the calling thread, how far a long step is:
  // "finding copies" among the records, "pairing" the records of shared
  // keys (done as the share of the keys), "comparing" candidate pairs,
  // "grouping" by the links; may be null.
  std::function<void(std::string_view step, std::uint64_t done, std::uint64_t total)> progress;
  DecidedPairs decided;
};

// The profiles of some records of one side, the profile of records[k] at
// places[k] of the list. REQUIRES: `records` ascends; `places` holds each
// of 0 to records.size() - 1 once.
using FetchProfiles = std::function<ProfileList(std::span<const std::uint32_t> records,
                                                std::span<const std::uint32_t> places)>;

// What linking found, per record of the input (and of the base).
struct Links {
  BigVector<std::uint32_t> group;       // 0 alone, else the group's 1-based number
  std::vector<std::uint8_t> algorithm;  // 1-based algorithm that linked it, 0 alone
  BigVector<float> score;               // best score of its linked pairs (verifying)
  BigVector<std::uint32_t> best;        // its best pair in `pairs` (verifying), kNoPair for none
  static constexpr std::uint32_t kNoPair = 0xFFFFFFFFu;
  std::vector<KeptApart> apart;         // links refused (verifying or decided, without a base)
  // Per record, with decisions: 1 when it is in its group by a "same" that
  // no shared key and score gave; its best pair is then that one.
  std::vector<std::uint8_t> decided;
  std::vector<DedupePair> samples;      // LinkOptions::sample, by score
  // The groups in report order: largest first, equal sizes by their first
  // record's key under the first algorithm; the records of each in input
  // order, group g's ending at group_ends[g - 1].
  BigVector<std::uint32_t> members;
  std::vector<std::size_t> group_ends;
  // The number of each group in report order, where they are not 1, 2, 3
  // ... (kept from an earlier run); empty otherwise.
  std::vector<std::uint32_t> numbers;
  // With a base, the matched pairs (a the input's, b the base's), by a
  // then score; verifying within one side, each record's strongest pair
  // (a < b), by a then b.
  BigVector<DedupePair> pairs;
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
  explicit GroupCursor(const Links& links) : ends_(links.group_ends), numbers_(links.numbers) {}
  std::size_t index() const { return group_; }  // 0-based
  // The group's number, as the reports print it.
  std::uint32_t number() const {
    return numbers_.empty() ? static_cast<std::uint32_t>(group_ + 1) : numbers_[group_];
  }
  bool StartsAt(std::size_t position) const { return position == begin(); }
  bool EndsAt(std::size_t position) const { return position + 1 == ends_[group_]; }
  std::size_t size() const { return ends_[group_] - begin(); }
  void Next() { ++group_; }

 private:
  std::size_t begin() const { return group_ == 0 ? 0 : ends_[group_ - 1]; }
  const std::vector<std::size_t>& ends_;
  const std::vector<std::uint32_t>& numbers_;
  std::size_t group_ = 0;
};

// Records that verification cannot tell apart are compared once, not
// pairwise, with the same outcome; a test turns that off to compare.
void SetCollapseCopiesForTesting(bool on);

// Candidate pairs that do not fit the memory limit at once are made and
// scored in batches, with the same outcome; a test caps a batch at `pairs`
// (0: as the limit allows) to compare.
void SetPairsPerBatchForTesting(std::uint64_t pairs);

// Links the records of `table`, whose keys under each algorithm are ordered
// in `orders` (one per algorithm).
Links LinkWithin(const KeyTable& table, std::span<const KeyOrder> orders,
                 const FetchProfiles& fetch, const LinkOptions& options);

// LinkWithin in two steps, for the job spread over the machines of a
// cluster: each machine scores the pairs of the key runs it holds
// (ScoreRuns), and one groups every link they found (GroupLinks). Given all
// the runs of the input, profiles whose name words are counted over all
// records of those runs, and the same options, the groups are LinkWithin's;
// records that verification cannot tell apart are scored pair by pair, as
// they are without collapsing copies.

// Records that share `key` under `algorithm` (0-based), ascending.
struct KeyRun {
  std::span<const std::uint32_t> records;
  std::uint8_t algorithm;
  std::string_view key;
};

// A candidate pair that links (a < b): its score reaches the threshold.
struct ScoredLink {
  std::uint32_t a, b;
  std::uint8_t algorithm;  // 0-based
  float score;
};

// The linking pairs of `runs` (of records below `records`), scored as
// LinkWithin scores them, each pair once with its first algorithm, by a
// then b; unverified, each run's first record paired with the others.
// made[k][r] is 1 + a number of record r's key under algorithm k, equal
// for equal keys, if that key's run has no more than max_candidates
// records, else 0: a pair that shares such a key under an earlier
// algorithm is made there, and not made again.
std::vector<ScoredLink> ScoreRuns(std::span<const KeyRun> runs, std::size_t records,
                                  const std::vector<BigVector<std::uint32_t>>& made,
                                  const FetchProfiles& fetch, const LinkOptions& options);

// The groups of the links that ScoreRuns found in every run (in any order,
// a pair perhaps more than once), grouped as LinkWithin groups them.
// first_key(r) is record r's key under the first algorithm, which orders
// groups of equal size.
Links GroupLinks(std::size_t records, std::vector<ScoredLink> links, const FetchProfiles& fetch,
                 const std::function<std::string_view(std::uint32_t)>& first_key,
                 const LinkOptions& options);

// Links each record of `input` to the records of `base` it shares a key
// with (and, verifying, that score high enough); no pairs within a side.
// Groups stay empty: the report is per input record.
Links LinkToBase(const KeyTable& input, std::span<const KeyOrder> input_orders,
                 const FetchProfiles& fetch_input, const KeyTable& base,
                 std::span<const KeyOrder> base_orders, const FetchProfiles& fetch_base,
                 const LinkOptions& options);

// Records of the input and of a base that share `key` under `algorithm`
// (0-based), each side's in ascending order.
struct BaseRun {
  std::span<const std::uint32_t> input, base;
  std::uint8_t algorithm;
  std::string_view key;
};

// LinkToBase from the runs it finds (algorithm by algorithm, keys
// ascending): whoever finds them otherwise (an index of the base) links
// exactly as it does. Each side has `*_size` records; its layout holds
// each record number once, in the order its profiles are best laid out in.
Links LinkRuns(std::span<const BaseRun> runs, std::size_t input_size,
               std::span<const std::uint32_t> input_layout, const FetchProfiles& fetch_input,
               std::size_t base_size, std::span<const std::uint32_t> base_layout,
               const FetchProfiles& fetch_base, const LinkOptions& options);

}  // namespace korvix::dedupe

#endif  // KORVIX_DEDUPE_LINKING_H_
