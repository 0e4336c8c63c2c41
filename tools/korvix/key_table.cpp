#include "key_table.h"

#include <algorithm>
#include <numeric>

namespace korvix::cli {

void KeyTable::Add(std::string_view key, const RecordPlace& place) {
  keys_.append(key);
  key_begin_.push_back(keys_.size());
  places_.push_back(place);
}

std::vector<std::uint32_t> KeyTable::SortedByKey() const {
  std::vector<std::uint32_t> order(size());
  std::iota(order.begin(), order.end(), 0u);
  std::stable_sort(order.begin(), order.end(),
                   [this](std::uint32_t a, std::uint32_t b) { return key(a) < key(b); });
  return order;
}

std::vector<Group> DuplicateGroups(const KeyTable& table, std::span<const std::uint32_t> sorted) {
  std::vector<Group> groups;
  for (std::size_t i = 0; i < sorted.size();) {
    std::size_t j = i + 1;
    while (j < sorted.size() && table.key(sorted[j]) == table.key(sorted[i])) ++j;
    if (j - i >= 2) groups.push_back({i, j - i});
    i = j;
  }
  // Sorted by key already, so a stable sort by size keeps equal sizes in key order.
  std::stable_sort(groups.begin(), groups.end(),
                   [](const Group& a, const Group& b) { return a.size > b.size; });
  return groups;
}

}  // namespace korvix::cli
