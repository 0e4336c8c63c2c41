// The dedupe job spread over the machines of a cluster (Python's
// korvix.dask): each machine keys its share of the records; the records
// are gathered by key, so that every run of a key lies whole on one
// machine, which scores the candidate pairs of its runs; one machine groups
// every link found. Each step runs the job's own code (KeyRecords,
// ScoreRuns, GroupLinks), so the groups are the job's. Records are
// numbered as in the input, from 0. Exported for the Python module only:
// hosts run the job (korvix/dedupe.h).
#ifndef KORVIX_DEDUPE_SPREAD_H_
#define KORVIX_DEDUPE_SPREAD_H_

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "dedupe/link/linking.h"
#include "korvix/dedupe.h"
#include "korvix/export.h"

namespace korvix::dedupe {

// Refuses (UsageError) options that no linking runs with: no algorithm,
// more than 255, a threshold outside 0 to 1.
KORVIX_EXPORT void CheckLinking(const DedupeOptions& options);

// Each record's key under each algorithm, keys[a][i], and, verifying, its
// profile text (normalised as the job normalises it), as the job keys them.
KORVIX_EXPORT void KeyForSpread(std::span<const std::string_view> records, const DedupeOptions& options,
                                std::vector<std::vector<std::string>>* keys,
                                std::vector<std::string>* profiles);

// The surname words of records given by their profile texts, each with the
// number of those records whose name holds it. Added up over every record
// in a run of two or more, they are what the job counts (NameWordCounts).
KORVIX_EXPORT std::vector<std::pair<std::uint64_t, std::uint32_t>> CountSpreadNameWords(
    std::span<const std::string_view> profiles);

// The name words counted over all records in runs, and how many those are.
struct SpreadCounts {
  std::span<const std::uint64_t> words;
  std::span<const std::uint32_t> counts;
  std::uint64_t records = 0;
};

// The runs that one machine holds, over records numbered from 0 here in
// the order of the input.
struct SpreadRuns {
  std::span<const std::string_view> profiles;  // of each record (verifying)
  std::span<const std::uint32_t> members;      // of each run in turn, ascending
  std::span<const std::uint64_t> ends;         // of each run in members
  std::span<const std::uint8_t> algorithms;    // of each run, 0-based
  std::span<const std::string_view> keys;      // of each run
  std::vector<std::vector<std::uint32_t>> made;  // as ScoreRuns takes it
};

// ScoreRuns on `runs`.
KORVIX_EXPORT std::vector<ScoredLink> ScoreSpreadRuns(const SpreadRuns& runs, const SpreadCounts& counts,
                                                      const DedupeOptions& options);

// Each record's group (0 alone, else its number in report order), its
// algorithm (1-based, 0 alone) and its best score.
struct SpreadGroups {
  std::vector<std::uint32_t> group;
  std::vector<std::uint8_t> algorithm;
  std::vector<float> score;
};

// GroupLinks on the links of all runs, for `records` records. The records
// of the links (ascending) come with their profile texts (verifying) and
// their keys under the first algorithm.
KORVIX_EXPORT SpreadGroups GroupSpreadLinks(std::size_t records, std::vector<ScoredLink> links,
                                            std::span<const std::uint32_t> linked,
                                            std::span<const std::string_view> profiles,
                                            std::span<const std::string_view> first_keys,
                                            const SpreadCounts& counts, const DedupeOptions& options);

}  // namespace korvix::dedupe

#endif  // KORVIX_DEDUPE_SPREAD_H_
