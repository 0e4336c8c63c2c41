#include "korvix/algorithm_code.h"

#include "engine/number.h"
#include "engine/slots.h"
#include "base/text.h"

namespace korvix {
namespace engine {
namespace {

// Characters `width` at 1-based `pos` of `code`, as if the code went on with blanks.
int ReadAt(text::TextView code, int pos, int width) {
  char32_t buf[2] = {text::kBlank, text::kBlank};
  for (int k = 0; k < width; ++k) {
    const std::size_t at = static_cast<std::size_t>(pos - 1 + k);
    if (at < code.size()) buf[k] = code[at];
  }
  return ReadNumber(text::TextView(buf, static_cast<std::size_t>(width)));
}

}  // namespace

AlgorithmSlot ReadSlot(text::TextView code, int n) {
  const int base = kSlotWidth * n;
  AlgorithmSlot slot;
  slot.field = ReadAt(code, base + 1, 2);
  slot.length = ReadAt(code, base + 3, 2);
  slot.direction = ReadAt(code, base + 5, 1);
  slot.phonetic = ReadAt(code, base + 6, 1);
  return slot;
}

std::vector<AlgorithmSlot> ReadSlots(text::TextView code) {
  std::vector<AlgorithmSlot> slots;
  for (int n = 0; n < kMaxSlots; ++n) {
    const AlgorithmSlot slot = ReadSlot(code, n);
    if (slot.field == kFieldEnd) break;
    slots.push_back(slot);
  }
  return slots;
}

}  // namespace engine

int ReadNumber(std::string_view text) { return engine::ReadNumber(text::Decode(text)); }

AlgorithmSlot ReadSlot(std::string_view code, int n) {
  return engine::ReadSlot(text::Decode(code), n);
}

std::vector<AlgorithmSlot> ReadAlgorithmCode(std::string_view code) {
  return engine::ReadSlots(text::Decode(code));
}

std::string WriteAlgorithmCode(std::span<const AlgorithmSlot> slots) {
  std::string code;
  code.reserve(slots.size() * kSlotWidth);
  const auto two_digits = [&](int v) {
    code.push_back(static_cast<char>('0' + v / 10 % 10));
    code.push_back(static_cast<char>('0' + v % 10));
  };
  for (const AlgorithmSlot& s : slots) {
    if (s.field == kFieldEnd) break;
    two_digits(s.field);
    two_digits(s.length);
    code.push_back(s.direction == 1 ? '1' : '0');
    code.push_back(s.phonetic == 1 ? '1' : '0');
    code.append(10, '0');
  }
  return code;
}

}  // namespace korvix
