// Reading the slots of an algorithm code.
#ifndef KORVIX_ENGINE_SLOTS_H_
#define KORVIX_ENGINE_SLOTS_H_

#include <array>
#include <cstddef>
#include <span>
#include <string_view>

#include "korvix/algorithm_code.h"

namespace korvix::engine {

// The slots of a code up to its end mark, kept without allocating.
struct SlotList {
  std::array<AlgorithmSlot, kMaxSlots> slots;
  std::size_t size = 0;

  std::span<const AlgorithmSlot> view() const& { return {slots.data(), size}; }
  void view() && = delete;  // a view of a temporary list would dangle
};

// Slot `n` of `code`; positions past its end read as blanks.
AlgorithmSlot ReadSlot(std::string_view code, int n);

// The slots up to the first field number 0, at most ten.
SlotList ReadSlots(std::string_view code);

}  // namespace korvix::engine

#endif  // KORVIX_ENGINE_SLOTS_H_
