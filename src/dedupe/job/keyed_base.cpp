#include "dedupe/job/keyed_base.h"

#include <algorithm>
#include <numeric>

namespace korvix::dedupe {

Links LinkToKeyedBase(const KeyTable& input, std::span<const KeyOrder> input_orders,
                      const FetchProfiles& fetch_input, const KeyedBase& base, const LinkOptions& options) {
  // The runs of the input's equal keys that the base has too, in the order
  // LinkToBase walks them; the base's records of each, by number.
  struct Found {
    std::span<const std::uint32_t> input;
    std::size_t begin, end;  // in `records`
    std::uint8_t algorithm;
    std::string_view key;
  };
  std::vector<Found> found;
  std::vector<std::uint32_t> records;
  for (std::size_t a = 0; a < input_orders.size(); ++a) {
    const auto& l = input_orders[a].sorted;
    const KeyColumn& lk = input.column(a);
    for (std::size_t i = 0; i < l.size();) {
      const std::string_view key = lk.key(l[i]);
      std::size_t i2 = i + 1;
      while (i2 < l.size() && lk.key(l[i2]) == key) ++i2;
      const std::size_t begin = records.size();
      base.Find(a, key, &records);
      if (records.size() > begin) {
        found.push_back({{l.data() + i, i2 - i}, begin, records.size(), static_cast<std::uint8_t>(a), key});
      }
      i = i2;
    }
  }
  // The base's candidates numbered anew from 0 in the order of their
  // numbers: the linking's work and memory follow them, not the base, and
  // every order it keeps by number stays as it was.
  std::vector<std::uint32_t> number(records);
  for (const auto& [a, b] : options.decided.same) number.push_back(b);  // matched whatever their keys
  std::sort(number.begin(), number.end());
  number.erase(std::unique(number.begin(), number.end()), number.end());
  std::vector<std::uint32_t> compact(records.size());
  for (std::size_t k = 0; k < records.size(); ++k) {
    compact[k] = static_cast<std::uint32_t>(std::lower_bound(number.begin(), number.end(), records[k]) - number.begin());
  }
  std::vector<BaseRun> runs;
  runs.reserve(found.size());
  for (const Found& f : found) {
    runs.push_back({f.input, {compact.data() + f.begin, f.end - f.begin}, f.algorithm, f.key});
  }
  std::vector<std::uint32_t> layout(number.size());
  std::iota(layout.begin(), layout.end(), 0u);
  const FetchProfiles fetch_base = [&](std::span<const std::uint32_t> wanted, std::span<const std::uint32_t> places) {
    std::string scratch;
    return MakeProfiles(wanted, places, [&](std::uint32_t c) { return base.ProfileText(number[c], &scratch); });
  };
  // The decided pairs by those numbers; a "different" base record that is
  // no candidate matches anyway not.
  LinkOptions numbered = options;
  for (auto* pairs : {&numbered.decided.same, &numbered.decided.different}) {
    std::erase_if(*pairs, [&](std::pair<std::uint32_t, std::uint32_t>& p) {
      const auto at = std::lower_bound(number.begin(), number.end(), p.second);
      if (at == number.end() || *at != p.second) return true;
      p.second = static_cast<std::uint32_t>(at - number.begin());
      return false;
    });
  }
  Links links = LinkRuns(runs, input.size(), input_orders[0].sorted,
                         fetch_input, number.size(), layout, fetch_base, numbered);
  for (DedupePair& p : links.pairs) p.b = number[p.b];
  links.base_algorithm.clear();
  links.base_score.clear();
  return links;
}

}  // namespace korvix::dedupe
