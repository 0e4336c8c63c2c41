// Items of a "|"-separated record string.
#ifndef KORVIX_ENGINE_RECORD_H_
#define KORVIX_ENGINE_RECORD_H_

#include <array>
#include <cstdint>
#include <string_view>

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

// Finds the separators of a record once, so that each item is found in
// constant time. Only the items up to `items` are located.
template <class CharT>
class RecordItems {
 public:
  using View = std::basic_string_view<CharT>;

  // REQUIRES: 0 <= items <= kMaxItem.
  RecordItems(View text, int items) : text_(text) {
    for (std::size_t i = 0; i < text.size() && count_ < items; ++i) {
      if (text[i] == CharT('|')) separators_[count_++] = static_cast<std::uint32_t>(i);
    }
  }

  // Item `index`, counted from 1; an index of 1 or less gives item 1, an
  // index past the last item gives the empty view.
  // REQUIRES: index <= the `items` given to the constructor.
  View Item(int index) const {
    if (index < 1) index = 1;
    const int before = index - 1;  // separators in front of the item
    if (before > count_) return View();
    const std::size_t begin = before == 0 ? 0 : separators_[before - 1] + 1;
    const std::size_t end = before < count_ ? separators_[before] : text_.size();
    return text_.substr(begin, end - begin);
  }

 private:
  View text_;
  std::array<std::uint32_t, kMaxItem> separators_{};
  int count_ = 0;
};

}  // namespace korvix::engine

#endif  // KORVIX_ENGINE_RECORD_H_
