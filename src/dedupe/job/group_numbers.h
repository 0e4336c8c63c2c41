// Group numbers that stay: a run that is given an earlier run's CSV report
// keeps the number of every group that continues, so that a host can store
// the numbers.
#ifndef KORVIX_DEDUPE_JOB_GROUP_NUMBERS_H_
#define KORVIX_DEDUPE_JOB_GROUP_NUMBERS_H_

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "dedupe/link/linking.h"

namespace korvix::dedupe {

// The groups of an earlier run: each record's group number (0 alone), by
// the report's id column or by its record number.
struct PreviousGroups {
  bool by_id = false;
  std::unordered_map<std::string, std::uint32_t> of_id;
  std::vector<std::uint32_t> of_record;  // [record - 1]
  std::uint32_t highest = 0;             // the largest number the report used

  // The group of a record of this run in the earlier one, 0 for none.
  std::uint32_t Of(std::uint32_t record, std::string_view id) const;
};

// Reads the "group", "record" and (when `by_id`) "id" columns of a CSV
// report that korvix dedupe wrote. Throws IoError when the file cannot be
// read or lacks a column, UsageError when it is no report of groups.
PreviousGroups ReadPreviousGroups(const std::string& path, bool by_id);

// Numbers `links`' groups anew: a group takes the earlier number of which
// it holds the most records (a group that split: its largest part keeps
// the number, ties to the part first in report order), each earlier number
// going to one group at most, and the pairs with more records in common
// served first; every other group gets a number above any the earlier
// report used, in report order. Sets links->group and links->numbers.
// `id_of` gives each record's id when the groups are matched by id.
void KeepGroupNumbers(const PreviousGroups& previous,
                      const std::function<std::string_view(std::uint32_t)>& id_of, Links* links);

}  // namespace korvix::dedupe

#endif  // KORVIX_DEDUPE_JOB_GROUP_NUMBERS_H_
