// A compact array of 64-bit numbers that never fall.
#ifndef KORVIX_DEDUPE_RISING_ARRAY_H_
#define KORVIX_DEDUPE_RISING_ARRAY_H_

#include <algorithm>
#include <cstdint>
#include <vector>

#include "dedupe/core/parkable_array.h"

namespace korvix::dedupe {

// Line numbers, file offsets and key ends grow with the record number and
// almost always stay below 2^32. Such numbers are kept as their low 32 bits
// plus the few places where the high part steps up: half the memory of
// plain 64-bit numbers, and no slower while nothing passes 4 GB.
class RisingArray {
 public:
  // REQUIRES: empty() or value >= back().
  void push_back(std::uint64_t value) {
    const std::uint32_t high = static_cast<std::uint32_t>(value >> 32);
    if (high != (steps_.empty() ? 0 : steps_.back().high)) steps_.push_back({low_.size(), high});
    low_.push_back(static_cast<std::uint32_t>(value));
  }

  std::uint64_t operator[](std::size_t i) const {
    const std::uint64_t low = low_[i];
    if (steps_.empty()) return low;
    // The high part of the last step at or before i.
    const auto after = std::upper_bound(steps_.begin(), steps_.end(), i,
                                        [](std::size_t index, const Step& s) { return index < s.first; });
    return after == steps_.begin() ? low : (std::uint64_t{after[-1].high} << 32) | low;
  }

  std::uint64_t back() const { return (*this)[low_.size() - 1]; }
  std::size_t size() const { return low_.size(); }
  bool empty() const { return low_.empty(); }
  void reserve(std::size_t n) { low_.reserve(n); }
  std::size_t capacity() const { return low_.capacity(); }
  void clear() {
    low_.clear();
    steps_.clear();
  }
  // See ParkableArray.
  void Park() { low_.Park(); }
  void Cool() const { low_.Cool(); }

 private:
  struct Step {
    std::size_t first;   // the first index with this high part
    std::uint32_t high;
  };
  ParkableArray<std::uint32_t> low_;
  std::vector<Step> steps_;
};

}  // namespace korvix::dedupe

#endif  // KORVIX_DEDUPE_RISING_ARRAY_H_
