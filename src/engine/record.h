// Items of a "|"-separated record string.
#ifndef KORVIX_ENGINE_RECORD_H_
#define KORVIX_ENGINE_RECORD_H_

#include <array>
#include <bit>
#include <cstdint>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace korvix::engine {

// The highest item index a slot can read (field numbers 10-50).
inline constexpr int kMaxItem = 50;

// Item `index` of `text`, counted from 1: the text before the first "|" after
// index - 1 separators. An index of 1 or less gives item 1; an index past the
// last item gives the empty view.
template <class CharT>
std::basic_string_view<CharT> ItemAt(std::basic_string_view<CharT> text, int index) {
  std::size_t begin = 0;
  for (int k = 1; k < index; ++k) {
    const std::size_t bar = text.find(CharT('|'), begin);
    if (bar == text.npos) return {};
    begin = bar + 1;
  }
  return text.substr(begin, text.find(CharT('|'), begin) - begin);
}

// Finds the separators of a record string once, so that each item is found
// in constant time. Only the items up to `items` are located.
class RecordItems {
 public:
  // REQUIRES: 0 <= items <= kMaxItem.
  RecordItems(std::string_view text, int items) : text_(text) {
    if (items > 0) Scan(items);
  }

  // Item `index`, counted from 1; an index of 1 or less gives item 1, an
  // index past the last item gives the empty view.
  // REQUIRES: index <= the `items` given to the constructor.
  std::string_view Item(int index) const {
    if (index < 1) index = 1;
    const int before = index - 1;  // separators in front of the item
    if (before > count_) return {};
    const std::size_t begin = before == 0 ? 0 : separators_[before - 1] + 1;
    const std::size_t end = before < count_ ? separators_[before] : text_.size();
    return text_.substr(begin, end - begin);
  }

 private:
  // Bit k marks a "|" at text_[at + k], for the bytes of the text among
  // the 64 from `at` on.
  std::uint64_t Bars(std::size_t at) const {
    const std::size_t size = text_.size();
#if defined(__SSE2__)
    const auto bars_at = [&](std::size_t i) {
      const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text_.data() + i));
      return std::uint64_t{static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(chunk, _mm_set1_epi8('|'))))};
    };
    if (at + 64 <= size) return bars_at(at) | bars_at(at + 16) << 16 | bars_at(at + 32) << 32 | bars_at(at + 48) << 48;
    if (size >= 16) {
      std::uint64_t bars = 0;
      std::size_t i = at;
      for (; i + 16 <= size; i += 16) bars |= bars_at(i) << (i - at);
      // The last sixteen bytes, without those already seen.
      if (i < size) bars |= bars_at(size - 16) >> (i - (size - 16)) << (i - at);
      return bars;
    }
#endif
    std::uint64_t bars = 0;
    for (std::size_t i = at; i < size && i < at + 64; ++i) bars |= std::uint64_t{text_[i] == '|'} << (i - at);
    return bars;
  }

  // The separators up to the `items`th, 64 bytes a step: a loop that runs
  // as many times for every record, whatever its values' lengths.
  void Scan(int items) {
    int count = 0;
    for (std::size_t at = 0; at < text_.size(); at += 64) {
      for (std::uint64_t bars = Bars(at); bars != 0 && count < items; bars &= bars - 1) {
        separators_[count++] = static_cast<std::uint32_t>(at + std::countr_zero(bars));
      }
      if (count == items) break;
    }
    count_ = count;
  }

  std::string_view text_;
  std::array<std::uint32_t, kMaxItem> separators_;  // only the first count_ are set
  int count_ = 0;
};

}  // namespace korvix::engine

#endif  // KORVIX_ENGINE_RECORD_H_
