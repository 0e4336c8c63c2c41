// Links strongest first, sorted as pair numbers by halves of their scores.
#include "dedupe/link/strongest_first.h"

#include <algorithm>
#include <bit>
#include <numeric>
#include <vector>

#include "base/parallel.h"

namespace korvix::dedupe {

// For scores of 0 and more their bits order as the scores do. The pairs are
// spread by the upper half of those bits, in order, and each part of equal
// upper halves is then sorted by the lower half: beside the result the sort
// holds one such part, not every link twice with its score, and most links
// of files from few addresses score 1 and need no second step. The largest
// part whose links all score alike is not listed at all (ForEach).
StrongestFirst::StrongestFirst(std::span<const float> scores, float threshold, unsigned threads) : scores_(scores) {
  const auto descending = [scores](std::size_t pair) { return ~std::bit_cast<std::uint32_t>(scores[pair]); };
  constexpr std::size_t kHalf = std::size_t{1} << 16;
  std::vector<std::size_t> at(kHalf + 1, 0);
  std::vector<std::uint32_t> bits(kHalf, 0);  // of the first link of each part
  std::vector<std::uint8_t> mixed(kHalf, 0);  // whether its links score differently
  for (std::size_t i = 0; i < scores.size(); ++i) {
    if (!(scores[i] >= threshold)) continue;
    const std::uint32_t h = descending(i) >> 16;
    if (at[h + 1]++ == 0) {
      bits[h] = std::bit_cast<std::uint32_t>(scores[i]);
    } else if (bits[h] != std::bit_cast<std::uint32_t>(scores[i])) {
      mixed[h] = 1;
    }
  }
  std::size_t common = kHalf;
  for (std::size_t h = 0; h < kHalf; ++h) {
    if (!mixed[h] && at[h + 1] != 0 && (common == kHalf || at[h + 1] > at[common + 1])) common = h;
  }
  if (common != kHalf) {
    common_ = bits[common];
    common_count_ = at[common + 1];
    at[common + 1] = 0;
  }
  std::partial_sum(at.begin(), at.end(), at.begin());
  if (common != kHalf) common_at_ = at[common];
  listed_ = BigVector<std::uint32_t>(at.back());
  BigVector<std::uint32_t>& linked = listed_;
  std::vector<std::size_t> next(at.begin(), at.end() - 1);
  for (std::size_t i = 0; i < scores.size(); ++i) {
    if (!(scores[i] >= threshold)) continue;
    const std::size_t h = descending(i) >> 16;
    if (h != common) linked[next[h]++] = static_cast<std::uint32_t>(i);
  }
  // Within a part: few links by a sort of their bits and numbers, many by
  // counting the lower halves (stable, as the part is in pair order).
  base::ParallelFor(kHalf, threads, 1, [&](std::size_t begin, std::size_t end) {
    std::vector<std::uint64_t> few;
    std::vector<std::uint32_t> many, count;
    for (std::size_t h = begin; h < end; ++h) {
      const std::span<std::uint32_t> part(linked.data() + at[h], at[h + 1] - at[h]);
      if (std::all_of(part.begin(), part.end(), [&](std::uint32_t p) { return descending(p) == descending(part[0]); })) {
        continue;
      }
      if (part.size() < kHalf) {
        few.clear();
        for (const std::uint32_t p : part) few.push_back(std::uint64_t{descending(p) & 0xFFFF} << 32 | p);
        std::sort(few.begin(), few.end());
        for (std::size_t k = 0; k < part.size(); ++k) part[k] = static_cast<std::uint32_t>(few[k]);
        continue;
      }
      many.assign(part.begin(), part.end());
      count.assign(kHalf + 1, 0);
      for (const std::uint32_t p : many) ++count[(descending(p) & 0xFFFF) + 1];
      std::partial_sum(count.begin(), count.end(), count.begin());
      for (const std::uint32_t p : many) part[count[descending(p) & 0xFFFF]++] = p;
    }
  });
}

}  // namespace korvix::dedupe
