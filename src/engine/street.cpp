#include "engine/street.h"

#include <type_traits>

#include "engine/stream_replace.h"
#include "korvix/key_builder.h"

namespace korvix {
namespace engine {
namespace {

// In this order, each over the result of the one before.
constexpr StreamReplace kBlankStrasse{U" STRASSE", U"STR"};
constexpr StreamReplace kBlankStrasseSz{U" STRAßE", U"STR"};
constexpr StreamReplace kBlankStr{U" STR", U"STR"};
constexpr StreamReplace kStrasse{U"STRASSE", U"STR"};
constexpr StreamReplace kStrasseSz{U"STRAßE", U"STR"};

}  // namespace

template <class CharT>
void AppendNormalizedStreet(std::basic_string_view<CharT> chars, text::Text* out) {
  // Every replacement is shorter than what it replaces, so the result is
  // never longer than the input: write in place, then cut to size.
  const std::size_t old = out->size();
  out->resize(old + chars.size());
  char32_t* to = out->data() + old;
  StreamReplace::State s1, s2, s3, s4, s5;
  // The steps are chained by inlined calls: one loop over the characters.
  const auto emit = [&](char32_t c) __attribute__((always_inline)) { *to++ = c; };
  const auto step5 = [&](char32_t c) __attribute__((always_inline)) { kStrasseSz.Push(s5, c, emit); };
  const auto step4 = [&](char32_t c) __attribute__((always_inline)) { kStrasse.Push(s4, c, step5); };
  const auto step3 = [&](char32_t c) __attribute__((always_inline)) { kBlankStr.Push(s3, c, step4); };
  const auto step2 = [&](char32_t c) __attribute__((always_inline)) { kBlankStrasseSz.Push(s2, c, step3); };
  const std::size_t n = chars.size();
  const auto upper = [&](std::size_t k) {
    return text::Upper(static_cast<std::make_unsigned_t<CharT>>(chars[k]));
  };
  const auto str_at = [&](std::size_t k) {
    return k + 2 < n && upper(k) == U'S' && upper(k + 1) == U'T' && upper(k + 2) == U'R';
  };
  // Every pattern holds "STR", with at most a blank before it, and every
  // replacement yields "STR" where its match began. So while no step holds
  // back characters, only an "STR" and the blanks right before it can take
  // part in a match, however the steps feed one another: everything else
  // passes unchanged without entering the chain.
  bool idle = true;
  for (std::size_t i = 0; i < n; ++i) {
    const char32_t c = upper(i);
    if (idle && c == text::kBlank) {
      std::size_t end = i;
      while (end < n && chars[end] == CharT(' ')) ++end;
      if (!str_at(end)) {
        for (; i < end; ++i) *to++ = text::kBlank;
        --i;
        continue;
      }
    } else if (idle && !(c == U'S' && str_at(i))) {
      *to++ = c;
      continue;
    }
    kBlankStrasse.Push(s1, c, step2);
    idle = (s1.held | s2.held | s3.held | s4.held | s5.held) == 0;
  }
  kBlankStrasse.Finish(s1, step2);
  kBlankStrasseSz.Finish(s2, step3);
  kBlankStr.Finish(s3, step4);
  kStrasse.Finish(s4, step5);
  kStrasseSz.Finish(s5, emit);
  out->resize(static_cast<std::size_t>(to - out->data()));
}

template void AppendNormalizedStreet(std::basic_string_view<char>, text::Text*);
template void AppendNormalizedStreet(std::basic_string_view<char32_t>, text::Text*);

}  // namespace engine

std::string NormalizeStreet(std::string_view value) {
  text::Text street;
  engine::AppendNormalizedStreet(text::TextView(text::Decode(value)), &street);
  return text::Encode(street);
}

}  // namespace korvix
