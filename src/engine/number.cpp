#include "engine/number.h"

#include <climits>
#include <cstdint>

namespace korvix::engine {
namespace {

template <class CharT>
bool IsDigit(CharT c) { return c >= CharT('0') && c <= CharT('9'); }

}  // namespace

template <class CharT>
int ReadNumber(std::basic_string_view<CharT> chars) {
  std::size_t i = 0;
  const auto skip_blanks = [&] {
    while (i < chars.size() && chars[i] == CharT(' ')) ++i;
  };
  skip_blanks();
  bool negative = false;
  if (i < chars.size() && (chars[i] == CharT('-') || chars[i] == CharT('+'))) {
    negative = chars[i] == CharT('-');
    ++i;
  }
  // The whole part saturates well above INT_MAX; the fraction only matters
  // for rounding: below, exactly or above one half.
  constexpr std::int64_t kCap = std::int64_t{1} << 40;
  std::int64_t whole = 0;
  bool any_digit = false;
  for (skip_blanks(); i < chars.size() && IsDigit(chars[i]); ++i, skip_blanks()) {
    any_digit = true;
    if (whole < kCap) whole = whole * 10 + (chars[i] - CharT('0'));
  }
  int first_fraction = 0;      // first digit after the point
  bool rest_nonzero = false;   // any non-zero digit after that
  if (i < chars.size() && chars[i] == CharT('.')) {
    ++i;
    bool first = true;
    for (skip_blanks(); i < chars.size() && IsDigit(chars[i]); ++i, skip_blanks()) {
      any_digit = true;
      const int d = static_cast<int>(chars[i] - CharT('0'));
      if (first) {
        first_fraction = d;
        first = false;
      } else if (d != 0) {
        rest_nonzero = true;
      }
    }
  }
  if (!any_digit) return 0;
  const bool above_half = first_fraction > 5 || (first_fraction == 5 && rest_nonzero);
  const bool exactly_half = first_fraction == 5 && !rest_nonzero;
  if (above_half || (exactly_half && whole % 2 == 1)) ++whole;
  if (negative) whole = -whole;
  if (whole > INT_MAX) return INT_MAX;
  if (whole < INT_MIN) return INT_MIN;
  return static_cast<int>(whole);
}

template int ReadNumber(std::basic_string_view<char>);
template int ReadNumber(std::basic_string_view<char32_t>);

}  // namespace korvix::engine
