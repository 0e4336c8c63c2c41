// The order in which links join groups: the strongest first.
#ifndef KORVIX_DEDUPE_STRONGEST_FIRST_H_
#define KORVIX_DEDUPE_STRONGEST_FIRST_H_

#include <bit>
#include <cstddef>
#include <cstdint>
#include <span>

#include "dedupe/core/big_allocator.h"

namespace korvix::dedupe {

// The numbers of the pairs whose scores (0 or more) reach `threshold`,
// strongest first, equal scores in pair order: a group grows by its surest
// links, and a doubtful one is the one refused. Most links of a file from
// few addresses score alike (copies score 1): those of the most common
// score are not listed but found again in the scores, in pair order, which
// spares a list of tens of millions. The scores must outlive the order.
class StrongestFirst {
 public:
  StrongestFirst(std::span<const float> scores, float threshold, unsigned threads);

  // Calls fn(k, pair) for the k-th link in the order, k from 0.
  template <class Fn>
  void ForEach(const Fn& fn) const {
    std::size_t k = 0;
    for (std::size_t j = 0; j < common_at_; ++j) fn(k++, listed_[j]);
    if (common_count_ != 0) {
      for (std::size_t i = 0; i < scores_.size(); ++i) {
        if (std::bit_cast<std::uint32_t>(scores_[i]) == common_) fn(k++, static_cast<std::uint32_t>(i));
      }
    }
    for (std::size_t j = common_at_; j < listed_.size(); ++j) fn(k++, listed_[j]);
  }
  std::size_t size() const { return listed_.size() + common_count_; }

 private:
  std::span<const float> scores_;
  std::uint32_t common_ = 0;       // the bits of the score whose links are not listed
  std::size_t common_count_ = 0;   // 0: every link is listed
  std::size_t common_at_ = 0;      // the listed links stronger than those
  BigVector<std::uint32_t> listed_;
};

}  // namespace korvix::dedupe

#endif  // KORVIX_DEDUPE_STRONGEST_FIRST_H_
