// The order in which links join groups: the strongest first.
#ifndef KORVIX_DEDUPE_STRONGEST_FIRST_H_
#define KORVIX_DEDUPE_STRONGEST_FIRST_H_

#include <cstdint>
#include <span>

#include "dedupe/core/big_allocator.h"

namespace korvix::dedupe {

// The numbers of the pairs whose scores (0 or more) reach `threshold`,
// strongest first, equal scores in pair order: a group grows by its surest
// links, and a doubtful one is the one refused.
BigVector<std::uint32_t> StrongestFirst(std::span<const float> scores, float threshold, unsigned threads);

}  // namespace korvix::dedupe

#endif  // KORVIX_DEDUPE_STRONGEST_FIRST_H_
