// Reading the slots of an algorithm code that is already decoded.
#ifndef KORVIX_ENGINE_SLOTS_H_
#define KORVIX_ENGINE_SLOTS_H_

#include <vector>

#include "base/text.h"
#include "korvix/algorithm_code.h"

namespace korvix::engine {

// Slot `n` of `code`; positions past its end read as blanks.
AlgorithmSlot ReadSlot(text::TextView code, int n);

// The slots up to the first field number 0, at most ten.
std::vector<AlgorithmSlot> ReadSlots(text::TextView code);

}  // namespace korvix::engine

#endif  // KORVIX_ENGINE_SLOTS_H_
