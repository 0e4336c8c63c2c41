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
  StreamReplace::State s1, s2, s3, s4, s5;
  const auto emit = [&](char32_t c) { out->push_back(c); };
  const auto step5 = [&](char32_t c) { kStrasseSz.Push(s5, c, emit); };
  const auto step4 = [&](char32_t c) { kStrasse.Push(s4, c, step5); };
  const auto step3 = [&](char32_t c) { kBlankStr.Push(s3, c, step4); };
  const auto step2 = [&](char32_t c) { kBlankStrasseSz.Push(s2, c, step3); };
  for (CharT c : chars) {
    kBlankStrasse.Push(s1, text::Upper(static_cast<std::make_unsigned_t<CharT>>(c)), step2);
  }
  kBlankStrasse.Finish(s1, step2);
  kBlankStrasseSz.Finish(s2, step3);
  kBlankStr.Finish(s3, step4);
  kStrasse.Finish(s4, step5);
  kStrasseSz.Finish(s5, emit);
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
