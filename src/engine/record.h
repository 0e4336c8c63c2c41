// Items of a "|"-separated record string.
#ifndef KORVIX_ENGINE_RECORD_H_
#define KORVIX_ENGINE_RECORD_H_

#include <array>
#include <bit>
#include <cstring>
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
    std::size_t i = 0;
    const auto found = [&](std::size_t at) {
      separators_[count_++] = static_cast<std::uint32_t>(at);
      return count_ == items;
    };
#if defined(__SSE2__)
    // Sixteen bytes at a time; a bit of the mask marks each byte that is "|".
    const __m128i bars = _mm_set1_epi8('|');
    for (; i + 16 <= text_.size(); i += 16) {
      const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text_.data() + i));
      for (unsigned hits = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(chunk, bars)));
           hits != 0; hits &= hits - 1) {
        if (found(i + static_cast<std::size_t>(std::countr_zero(hits)))) return;
      }
    }
#else
    if constexpr (std::endian::native == std::endian::little) {
      // Eight bytes at a time; a bit marks each byte that is exactly "|".
      constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7FULL;
      constexpr std::uint64_t kBars = 0x7C7C7C7C7C7C7C7CULL;
      for (; i + 8 <= text_.size(); i += 8) {
        std::uint64_t word;
        std::memcpy(&word, text_.data() + i, 8);
        const std::uint64_t x = word ^ kBars;  // zero bytes where "|" stands
        for (std::uint64_t hits = ~(((x & kLow7) + kLow7) | x | kLow7); hits; hits &= hits - 1) {
          if (found(i + static_cast<std::size_t>(std::countr_zero(hits) / 8))) return;
        }
      }
    }
#endif
    for (; i < text_.size(); ++i) {
      if (text_[i] == '|' && found(i)) return;
    }
  }

  std::string_view text_;
  std::array<std::uint32_t, kMaxItem> separators_;  // only the first count_ are set
  int count_ = 0;
};

}  // namespace korvix::engine

#endif  // KORVIX_ENGINE_RECORD_H_
