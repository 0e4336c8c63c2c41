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
  void Scan(int items) {
    int count = 0;
    // Bit k of `hits` marks a "|" at base + k. Four at a time without a
    // branch each (rarely are there more), so the branches that depend on
    // the record are few: where it ends and where the last item wanted is.
    const auto take = [&](std::size_t base, unsigned hits) {
      do {
        for (int k = 0; k < 4; ++k) {
          // 16 for no hit, so that no branch is needed.
          separators_[count] = static_cast<std::uint32_t>(base + std::countr_zero(hits | 0x10000u));
          count += hits != 0;
          hits &= hits - 1;
        }
      } while (hits != 0);
    };
    const std::size_t size = text_.size();
    std::size_t i = 0;
#if defined(__SSE2__)
    const __m128i bars = _mm_set1_epi8('|');
    const auto bars_at = [&](const char* at) {
      const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
      return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(chunk, bars)));
    };
    for (; i + 16 <= size && count < items; i += 16) take(i, bars_at(text_.data() + i));
    if (count < items && i < size && size >= 16) {
      // The last sixteen bytes, without those already seen.
      take(i, bars_at(text_.data() + size - 16) >> (i - (size - 16)));
      i = size;
    }
#endif
    for (; i < size && count < items; ++i) take(i, text_[i] == '|');
    count_ = count;
  }

  std::string_view text_;
  // Only the first count_ are set. The scan may find up to 15 more than it
  // was asked for, and writes up to three past the last it finds.
  std::array<std::uint32_t, kMaxItem + 20> separators_;
  int count_ = 0;
};

}  // namespace korvix::engine

#endif  // KORVIX_ENGINE_RECORD_H_
