#include "korvix/algorithm_code.h"

#include "engine/number.h"
#include "engine/slots.h"
#include "base/text.h"
#include "korvix/description.h"
#include "korvix/error.h"
#include "korvix/fields.h"
#include "korvix/text.h"


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

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int TwoDigits(std::string_view code, std::size_t at) {
  return (code[at] - '0') * 10 + (code[at + 1] - '0');
}

std::string Characters(std::size_t from, std::size_t to) {
  return "characters " + std::to_string(from) + "-" + std::to_string(to);
}

}  // namespace

std::string AlgorithmCodeProblem(std::string_view code) {
  if (code.empty()) return "no code given";
  for (std::size_t i = 0; i < code.size(); ++i) {
    if (IsDigit(code[i])) continue;
    const std::size_t length = text::DecodeCharacter(code, i).length;
    return "character " + std::to_string(i + 1) + " ('" + MessageText(code.substr(i, length)) +
           "') is not a digit: a code has 16 digits for each slot; a readable form looks like "
           "5(PLZ)+4R['sndx:Bez1], a name goes with --name";
  }
  const std::size_t slot = static_cast<std::size_t>(kSlotWidth);
  if (code.size() % slot != 0) {
    const std::size_t last = code.size() / slot * slot;
    return "the code has " + std::to_string(code.size()) +
           " characters, 16 for each slot: the slot from character " + std::to_string(last + 1) +
           " is cut short";
  }
  if (code.size() > slot * kMaxSlots) {
    return "the code has " + std::to_string(code.size() / slot) +
           " slots, at most 10 are read: character " + std::to_string(slot * kMaxSlots + 1) +
           " on is too much";
  }
  for (std::size_t at = 0; at < code.size(); at += slot) {
    const int field = TwoDigits(code, at);
    if (field == 0 || field > kFieldBez1234) {
      return Characters(at + 1, at + 2) + ": field number " + std::string(code.substr(at, 2)) +
             " names no field (1-9 and 51-53 are the fields, 10-50 further record items)";
    }
    if (TwoDigits(code, at + 2) == 0) {
      return Characters(at + 3, at + 4) + ": length 00; a slot takes 1 to 99 characters";
    }
  }
  return {};
}

std::string ReadAlgorithm(std::string_view given) {
  std::string code;
  if (given.find_first_of("([") != std::string_view::npos) {
    DescriptionError error;
    if (!ParseDescription(given, &code, &error)) {
      throw Error(ErrorCode::kInvalidArgument,
                  "character " + std::to_string(error.position) + ": " + error.message);
    }
    return code;
  }
  if (std::string problem = AlgorithmCodeProblem(given); !problem.empty()) {
    throw Error(ErrorCode::kInvalidArgument, problem);
  }
  return std::string(given);
}

}  // namespace korvix
