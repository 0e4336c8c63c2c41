#include "korvix/algorithm_code.h"

#include "engine/number.h"
#include "engine/slots.h"
#include "base/text.h"

namespace korvix {
namespace engine {
namespace {

// Characters `width` at 1-based `pos` of `code`, as if the code went on with blanks.
template <class CharT>
int ReadAt(std::basic_string_view<CharT> code, int pos, int width) {
  CharT buf[2] = {CharT(' '), CharT(' ')};
  for (int k = 0; k < width; ++k) {
    const std::size_t at = static_cast<std::size_t>(pos - 1 + k);
    if (at < code.size()) buf[k] = code[at];
  }
  return ReadNumber(std::basic_string_view<CharT>(buf, static_cast<std::size_t>(width)));
}

template <class CharT>
AlgorithmSlot ReadSlotOf(std::basic_string_view<CharT> code, int n) {
  const int base = kSlotWidth * n;
  AlgorithmSlot slot;
  slot.field = ReadAt(code, base + 1, 2);
  slot.length = ReadAt(code, base + 3, 2);
  slot.direction = ReadAt(code, base + 5, 1);
  slot.phonetic = ReadAt(code, base + 6, 1);
  return slot;
}

template <class CharT>
SlotList ReadSlotsOf(std::basic_string_view<CharT> code) {
  SlotList list;
  for (int n = 0; n < kMaxSlots; ++n) {
    const AlgorithmSlot slot = ReadSlotOf(code, n);
    if (slot.field == kFieldEnd) break;
    list.slots[list.size++] = slot;
  }
  return list;
}

}  // namespace

// Positions count characters: an ASCII code (every code a writer makes) is
// read from its bytes, any other is decoded first.
AlgorithmSlot ReadSlot(std::string_view code, int n) {
  if (text::IsAscii(code)) return ReadSlotOf(code, n);
  return ReadSlotOf(text::TextView(text::Decode(code)), n);
}

SlotList ReadSlots(std::string_view code) {
  if (text::IsAscii(code)) return ReadSlotsOf(code);
  return ReadSlotsOf(text::TextView(text::Decode(code)));
}

}  // namespace engine

int ReadNumber(std::string_view text) {
  if (text::IsAscii(text)) return engine::ReadNumber(text);
  return engine::ReadNumber(text::TextView(text::Decode(text)));
}

AlgorithmSlot ReadSlot(std::string_view code, int n) { return engine::ReadSlot(code, n); }

std::vector<AlgorithmSlot> ReadAlgorithmCode(std::string_view code) {
  const engine::SlotList list = engine::ReadSlots(code);
  return {list.view().begin(), list.view().end()};
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
